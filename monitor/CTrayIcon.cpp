#include "CTrayIcon.h"

#include <shellapi.h>

#include <cstddef>
#include <cstring>
#include <new>

static_assert(sizeof(NotifyIconDataV1) == NOTIFYICONDATAA_V1_SIZE, "the shell's first record layout");
static_assert(offsetof(NotifyIconDataV1, hIcon) == offsetof(NOTIFYICONDATAA, hIcon), "the shell's field order");
static_assert(offsetof(NotifyIconDataV1, szTip) == offsetof(NOTIFYICONDATAA, szTip), "the shell's field order");
#if !defined(_WIN64)
static_assert(sizeof(NotifyIconDataV1) == 88, "the 88-byte record of the 32-bit shell");
// The balloon's record: the second layout, the first with the balloon's fields.
static_assert(NOTIFYICONDATAA_V2_SIZE == 488, "the 488-byte balloon record of the 32-bit shell");
static_assert(offsetof(NOTIFYICONDATAA, szInfo) == 160, "the balloon text of the 32-bit shell");
static_assert(offsetof(NOTIFYICONDATAA, szInfoTitle) == 420, "the balloon title of the 32-bit shell");
static_assert(offsetof(NOTIFYICONDATAA, dwInfoFlags) == 484, "the balloon flags of the 32-bit shell");
#endif

CTrayIcon::CTrayIcon()
    : m_hInstance(nullptr),
      m_hWndOwner(nullptr),
      m_nID(0),
      m_nid(),
      m_nLoaded(0),
      m_bCreated(0),
      m_bAdded(0),
      m_nIconSize(16) {}

CTrayIcon::~CTrayIcon() { Destroy(); }

int CTrayIcon::Create(const TrayIconInit& init, UINT nCount) {
    if (m_bCreated) return 1;
    try {
        m_icons.resize(nCount);
        m_resources.resize(nCount);
    } catch (const std::bad_alloc&) {
        return 0;
    }
    m_hInstance = init.hInstance;
    m_hWndOwner = init.hWnd;
    m_nID = init.uID;
    if (m_nID == 0) m_nID = MakeId();
    m_nid = NotifyIconDataV1();
    m_nid.cbSize = sizeof m_nid;
    m_nid.hWnd = m_hWndOwner;
    m_nid.uID = m_nID;
    m_nid.uFlags = NIF_ICON;
    m_bCreated = 1;
    return 1;
}

UINT CTrayIcon::MakeId() {
    // The pause makes two set-ups in a row differ in their milliseconds.
    Sleep(50);
    FILETIME ft;
    GetSystemTimeAsFileTime(&ft);
    ULARGE_INTEGER ticks;
    ticks.LowPart = ft.dwLowDateTime;
    ticks.HighPart = ft.dwHighDateTime;
    // 100 ns ticks since 1601 to milliseconds since 1970.
    const unsigned long long ms = (ticks.QuadPart - 116444736000000000ULL) / 10000ULL;
    const UINT seconds = static_cast<UINT>(ms / 1000ULL);
    const UINT millis = static_cast<UINT>(ms % 1000ULL);
    return ((seconds & 0xFFFFu) << 16) | millis;
}

void CTrayIcon::SetCallbackMessage(UINT nMessage) {
    if (!m_bCreated) return;
    m_nid.uFlags |= NIF_MESSAGE;
    m_nid.uCallbackMessage = nMessage;
}

void CTrayIcon::SetTip(LPCSTR lpszTip) {
    if (!m_bCreated) return;
    m_nid.uFlags |= NIF_TIP;
    CopyCut(m_nid.szTip, sizeof m_nid.szTip, lpszTip);
}

void CTrayIcon::CopyCut(char* pszTo, size_t nSize, LPCSTR lpszFrom) {
    const size_t nRoom = nSize - 1;
    size_t nLength = 0;
    if (lpszFrom != nullptr) {
        // Cut between characters: a double-byte character never loses its second byte.
        while (lpszFrom[nLength] != '\0') {
            const size_t nStep =
                IsDBCSLeadByte(static_cast<BYTE>(lpszFrom[nLength])) && lpszFrom[nLength + 1] != '\0' ? 2 : 1;
            if (nLength + nStep > nRoom) break;
            nLength += nStep;
        }
        std::memcpy(pszTo, lpszFrom, nLength);
    }
    pszTo[nLength] = '\0';
}

BOOL CTrayIcon::ShowBalloon(LPCSTR lpszTitle, LPCSTR lpszText) {
    if (!m_bCreated) return 0;
    // The larger record for this one call only: a shell that knows no balloons refuses it,
    // and the icon's own record keeps the first layout that every shell takes.
    NOTIFYICONDATAA nid = {};
    nid.cbSize = NOTIFYICONDATAA_V2_SIZE;
    nid.hWnd = m_nid.hWnd;
    nid.uID = m_nid.uID;
    nid.uFlags = NIF_INFO;
    CopyCut(nid.szInfoTitle, sizeof nid.szInfoTitle, lpszTitle);
    CopyCut(nid.szInfo, sizeof nid.szInfo, lpszText);
    nid.uTimeout = 10000;
    nid.dwInfoFlags = NIIF_WARNING;
    return Shell_NotifyIconA(NIM_MODIFY, &nid);
}

void CTrayIcon::AddIcon(UINT nIDResource) {
    if (m_nLoaded >= m_icons.size()) return;
    m_resources[m_nLoaded] = nIDResource;
    LoadSlotIcon(nIDResource, m_nLoaded, m_nIconSize, m_nIconSize);
    ++m_nLoaded;
}

void CTrayIcon::SetIconSize(int nSize) {
    if (nSize == m_nIconSize) return;
    m_nIconSize = nSize;
    if (!m_bCreated) return;
    // The record follows a reloaded image, so the icon shown changes to its new size.
    for (UINT nSlot = 0; nSlot < m_nLoaded; ++nSlot) LoadSlotIcon(m_resources[nSlot], nSlot, nSize, nSize);
    if (m_bAdded) Notify(NIM_MODIFY);
}

HICON CTrayIcon::LoadSlotIcon(UINT nIDResource, UINT nSlot, int cx, int cy) {
    if (!m_bCreated || nSlot >= m_icons.size()) return nullptr;
    // A reloaded slot gives its old image back and must not leave the record pointing at it.
    const HICON hOld = m_icons[nSlot];
    m_icons[nSlot].Load(m_hInstance, nIDResource, cx, cy);
    if (hOld != nullptr && m_nid.hIcon == hOld) m_nid.hIcon = m_icons[nSlot];
    return m_icons[nSlot];
}

void CTrayIcon::Add(UINT nSlot) {
    if (!m_bCreated || nSlot >= m_icons.size()) return;
    m_nid.hIcon = m_icons[nSlot];
    Notify(NIM_ADD);
    m_bAdded = 1;
}

void CTrayIcon::Modify(UINT nSlot) {
    if (!m_bCreated || nSlot >= m_icons.size()) return;
    m_nid.hIcon = m_icons[nSlot];
    Notify(NIM_MODIFY);
}

void CTrayIcon::Readd() {
    if (!m_bCreated || !m_bAdded) return;
    Notify(NIM_ADD);
}

BOOL CTrayIcon::Delete() {
    if (!m_bCreated) return 0;
    m_nid.hIcon = nullptr;
    m_bAdded = 0;
    return Notify(NIM_DELETE);
}

void CTrayIcon::Destroy() {
    if (m_bCreated) Delete();
    m_hInstance = nullptr;
    m_hWndOwner = nullptr;
    m_nID = 0;
    m_nid = NotifyIconDataV1();
    m_icons.clear();
    m_icons.shrink_to_fit();
    m_resources.clear();
    m_resources.shrink_to_fit();
    m_nLoaded = 0;
    m_bCreated = 0;
}

BOOL CTrayIcon::Notify(DWORD dwMessage) {
    // The first layout is a prefix of the platform's record; cbSize tells the shell which.
    return Shell_NotifyIconA(dwMessage, reinterpret_cast<PNOTIFYICONDATAA>(&m_nid));
}

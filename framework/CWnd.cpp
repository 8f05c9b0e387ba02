#include "CWnd.h"

#include "CDataExchange.h"

#include <atomic>
#include <exception>

namespace {
// The property that ties a window handle to its object.
const char kObjectProperty[] = "qrvl.CWnd";

struct CurrentMessage {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};
thread_local CurrentMessage t_current{};
}  // namespace

CWnd::~CWnd() {
    // Destroying the window here would send its last messages to an object whose derived
    // part is already gone: its owner destroys it while the whole object still stands. A
    // window that outlives its object is a bug; it is reported and cut loose, so that its
    // messages go to the default procedure rather than to freed memory.
    if (m_hWnd) {
        ::OutputDebugStringA("QRVL: a window outlived its CWnd object; destroy it where its owner ends\n");
        Detach();
    }
}

CWnd* CWnd::FromHandlePermanent(HWND hWnd) {
    return hWnd ? static_cast<CWnd*>(::GetPropA(hWnd, kObjectProperty)) : nullptr;
}

void CWnd::Attach(HWND hWnd) {
    m_hWnd = hWnd;
    m_bDestroySeen = false;
    ::SetPropA(hWnd, kObjectProperty, this);
}

void CWnd::Detach() {
    if (m_pfnSuper) {
        ::SetWindowLongPtrA(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
        m_pfnSuper = nullptr;
    }
    ::RemovePropA(m_hWnd, kObjectProperty);
    m_hWnd = nullptr;
}

BOOL CWnd::SubclassWindow(HWND hWnd) {
    if (!hWnd || m_hWnd || FromHandlePermanent(hWnd)) return FALSE;
    Attach(hWnd);
    m_pfnSuper = reinterpret_cast<WNDPROC>(::SetWindowLongPtrA(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(AfxWndProc)));
    return TRUE;
}

BOOL CWnd::CreateEx(DWORD dwExStyle, LPCSTR lpszClassName, LPCSTR lpszWindowName, DWORD dwStyle, int x, int y,
                    int nWidth, int nHeight, HWND hWndParent, HMENU nIDorHMenu) {
    HWND hWnd = ::CreateWindowExA(dwExStyle, lpszClassName, lpszWindowName, dwStyle, x, y, nWidth, nHeight, hWndParent,
                                  nIDorHMenu, ::GetModuleHandleA(nullptr), this);
    return hWnd != nullptr;
}

BOOL CWnd::DestroyWindow() { return m_hWnd ? ::DestroyWindow(m_hWnd) : FALSE; }

BOOL CWnd::UpdateData(BOOL bSaveAndValidate) {
    CDataExchange dx(this, bSaveAndValidate);
    DoDataExchange(&dx);
    return TRUE;
}

void CWnd::DoDataExchange(CDataExchange*) {}

void CWnd::ScreenToClient(LPRECT lpRect) const {
    ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<LPPOINT>(lpRect), 2);
}

BOOL CWnd::ModifyLong(int nIndex, DWORD dwRemove, DWORD dwAdd) {
    DWORD dwOld = static_cast<DWORD>(::GetWindowLongA(m_hWnd, nIndex));
    DWORD dwNew = (dwOld & ~dwRemove) | dwAdd;
    if (dwNew == dwOld) return FALSE;
    ::SetWindowLongA(m_hWnd, nIndex, static_cast<LONG>(dwNew));
    return TRUE;
}

const MessageMap* CWnd::GetThisMessageMap() {
    static const MessageMapEntry entries[] = {{0, 0, 0, nullptr, nullptr}};
    static const MessageMap map = {nullptr, entries};
    return &map;
}

const MessageMap* CWnd::GetMessageMap() const { return GetThisMessageMap(); }

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND) {
        if (OnCommand(wParam, lParam)) return 0;
        return DefWindowProc(message, wParam, lParam);
    }
    for (const MessageMap* pMap = GetMessageMap(); pMap; pMap = pMap->pfnGetBaseMap ? pMap->pfnGetBaseMap() : nullptr) {
        for (const MessageMapEntry* pEntry = pMap->lpEntries; pEntry->pfnHandler; ++pEntry) {
            UINT nEntryMessage = pEntry->pnRegisteredMessage ? *pEntry->pnRegisteredMessage : pEntry->nMessage;
            if (nEntryMessage == message) return pEntry->pfnHandler(this, wParam, lParam);
        }
    }
    return DefWindowProc(message, wParam, lParam);
}

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM lParam) {
    UINT nID = LOWORD(wParam);
    UINT nCode = HIWORD(wParam);
    for (const MessageMap* pMap = GetMessageMap(); pMap; pMap = pMap->pfnGetBaseMap ? pMap->pfnGetBaseMap() : nullptr) {
        for (const MessageMapEntry* pEntry = pMap->lpEntries; pEntry->pfnHandler; ++pEntry) {
            if (pEntry->nMessage == WM_COMMAND && pEntry->nID == nID && pEntry->nCode == nCode) {
                pEntry->pfnHandler(this, wParam, lParam);
                return TRUE;
            }
        }
    }
    return FALSE;
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (m_pfnSuper) return ::CallWindowProcA(m_pfnSuper, m_hWnd, message, wParam, lParam);
    return ::DefWindowProcA(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::Default() { return DefWindowProc(t_current.message, t_current.wParam, t_current.lParam); }

int CWnd::OnCreate(LPCREATESTRUCT) { return static_cast<int>(Default()); }
void CWnd::OnDestroy() { Default(); }
void CWnd::OnPaint() { Default(); }
void CWnd::OnSize(UINT, int, int) { Default(); }
void CWnd::OnSysCommand(UINT, LPARAM) { Default(); }
HCURSOR CWnd::OnQueryDragIcon() { return reinterpret_cast<HCURSOR>(Default()); }
LRESULT CWnd::OnNcHitTest(POINT) { return Default(); }

namespace {
std::atomic<long> g_nHandlerFailures{0};

LRESULT Dispatch(CWnd* pWnd, UINT message, WPARAM wParam, LPARAM lParam,
                 LRESULT (*pfnCall)(CWnd*, UINT, WPARAM, LPARAM)) {
    CurrentMessage saved = t_current;
    t_current = {message, wParam, lParam};
    LRESULT lResult;
    // No C++ exception may cross into the window system; a failed creation fails the window.
    try {
        lResult = pfnCall(pWnd, message, wParam, lParam);
    } catch (...) {
        AfxReportHandlerFailure("message handler", message);
        // A paint that failed must still validate, or the window is asked to paint forever.
        if (message == WM_PAINT) ::ValidateRect(pWnd->m_hWnd, nullptr);
        lResult = message == WM_CREATE ? -1 : 0;
    }
    t_current = saved;
    return lResult;
}
}  // namespace

CString AfxReportHandlerFailure(const char* pszWhere, UINT message) {
    ++g_nHandlerFailures;
    char szWhat[256] = "unknown exception";
    try {
        throw;
    } catch (const std::exception& e) {
        ::lstrcpynA(szWhat, e.what(), sizeof szWhat);
    } catch (...) {
    }
    char szLine[400];
    ::wsprintfA(szLine, "QRVL: exception in %s for message 0x%04X: %s\n", pszWhere, message, szWhat);
    ::OutputDebugStringA(szLine);
    return CString(szWhat);
}

long AfxGetHandlerFailureCount() { return g_nHandlerFailures.load(); }

LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    CWnd* pWnd = CWnd::FromHandlePermanent(hWnd);
    if (!pWnd && message == WM_NCCREATE) {
        // A window of our own class: its object comes with the creation parameters.
        pWnd = static_cast<CWnd*>(reinterpret_cast<LPCREATESTRUCT>(lParam)->lpCreateParams);
        if (pWnd) pWnd->Attach(hWnd);
    }
    if (!pWnd) return ::DefWindowProcA(hWnd, message, wParam, lParam);
    auto call = [](CWnd* p, UINT m, WPARAM w, LPARAM l) { return p->WindowProc(m, w, l); };
    if (message == WM_DESTROY) pWnd->m_bDestroySeen = true;
    if (message != WM_NCDESTROY) return Dispatch(pWnd, message, wParam, lParam, call);

    // A window whose WM_CREATE failed may go without WM_DESTROY; its owner still needs
    // the chance to release what creation had set up.
    if (!pWnd->m_bDestroySeen) {
        pWnd->m_bDestroySeen = true;
        Dispatch(pWnd, WM_DESTROY, 0, 0, call);
    }
    LRESULT lResult = Dispatch(pWnd, message, wParam, lParam, call);
    pWnd->Detach();
    pWnd->PostNcDestroy();
    return lResult;
}

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl) {
    if (rControl.m_hWnd) return;
    rControl.SubclassWindow(pDX->m_pDlgWnd->GetDlgItem(nIDC));
}

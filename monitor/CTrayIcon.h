#pragma once
#include <windows.h>

#include <vector>

#include "CIcon.h"

// What CTrayIcon::Create needs: the module whose icons are loaded, the window the shell
// reports mouse events to, and the icon's id (0 = make one from the clock).
struct TrayIconInit {
    HINSTANCE hInstance;
    HWND hWnd;
    UINT uID;
};

// The shell's notification record in its first layout, the one every shell accepts.
struct NotifyIconDataV1 {
    DWORD cbSize;
    HWND hWnd;
    UINT uID;
    UINT uFlags;
    UINT uCallbackMessage;
    HICON hIcon;
    CHAR szTip[64];
};

// One icon in the shell's notification area, switched between a few preloaded images.
// Used from the thread of the window that receives its mouse messages.
class CTrayIcon {
public:
    CTrayIcon();
    CTrayIcon(const CTrayIcon&) = delete;
    CTrayIcon& operator=(const CTrayIcon&) = delete;
    ~CTrayIcon();

    // Allocates room for nCount images and prepares the record; 1 once created.
    int Create(const TrayIconInit& init, UINT nCount);
    // An id from the clock: seconds since 1970 (low 16 bits) above the milliseconds.
    static UINT MakeId();
    void SetCallbackMessage(UINT nMessage);
    // Texts longer than the record's 63 characters are cut.
    void SetTip(LPCSTR lpszTip);
    // Loads the resource into the next free slot, at the icon size (16 x 16 until set).
    void AddIcon(UINT nIDResource);
    // The images' size in pixels, the small icon size of the owner's DPI: the images loaded
    // so far are loaded again at it, and the shown icon takes its new image.
    void SetIconSize(int nSize);
    // Loads the resource into one slot; the handle, or null when loading failed or nothing was done.
    HICON LoadSlotIcon(UINT nIDResource, UINT nSlot, int cx, int cy);
    // Shows the icon with the slot's image.
    void Add(UINT nSlot = 0);
    // Switches the shown icon to the slot's image.
    void Modify(UINT nSlot);
    // Shows a balloon notification from the icon, with the shell's warning symbol; texts
    // longer than the shell's fields are cut. The icon's image, tip and record stay as they
    // are. The shell's result, 0 when not created.
    BOOL ShowBalloon(LPCSTR lpszTitle, LPCSTR lpszText);
    // Shows the icon again with its current image after the shell's notification area was
    // recreated ("TaskbarCreated"); nothing unless Add was called since the last Delete.
    void Readd();
    // Removes the icon; the shell's result, 0 when not created.
    BOOL Delete();
    // Removes the icon and releases the images; back to the empty state.
    void Destroy();

private:
    BOOL Notify(DWORD dwMessage);
    // Copies as much of the text as fits, with its terminating zero, never splitting a
    // double-byte character.
    static void CopyCut(char* pszTo, size_t nSize, LPCSTR lpszFrom);

    HINSTANCE m_hInstance;
    HWND m_hWndOwner;
    UINT m_nID;
    NotifyIconDataV1 m_nid;
    // One image per slot; its size is the capacity given to Create.
    std::vector<CIcon> m_icons;
    UINT m_nLoaded;
    int m_bCreated;
    // Add was called and no Delete since: what Readd restores.
    int m_bAdded;
    // The resource of each filled slot, to load it again at another size.
    std::vector<UINT> m_resources;
    int m_nIconSize;
};

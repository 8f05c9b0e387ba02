#pragma once
#include <windows.h>

#include <vector>

// The rectangles of a dialog's controls as its template lays them out at 96 DPI, so that
// they can be placed at any DPI by the one ratio that scales the window and its fonts. The
// dialog manager's own layout follows the dialog font's rounded character cell instead,
// which grows a little faster or slower than the DPI. Each placement starts from the same
// rectangles: placing twice, or after the system moved the controls, lands the same.
class CDpiLayout {
public:
    // Takes the rectangles of every child of hDialog, laid out by the dialog manager at nDpi.
    void Record(HWND hDialog, UINT nDpi);
    // The rectangle of the control nID at nDpi, in the dialog's client coordinates; empty
    // for a control that was not recorded.
    RECT RectAt(int nID, UINT nDpi) const;
    // Moves every recorded child to its rectangle at nDpi.
    void PlaceAt(UINT nDpi) const;

private:
    struct Child {
        HWND hWnd;
        int nID;
        RECT rc;  // at 96 DPI
    };
    std::vector<Child> m_children;
};

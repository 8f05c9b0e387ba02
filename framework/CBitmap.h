#pragma once
#include "CGdiObject.h"

class CBitmap : public CGdiOwner<HBITMAP> {
public:
    // A bitmap in the format of the context's (a window's or the screen's, for colour).
    BOOL CreateCompatibleBitmap(HDC hDC, int nWidth, int nHeight) {
        Attach(::CreateCompatibleBitmap(hDC, nWidth, nHeight));
        return IsValid();
    }
};
using CBitmapRef = CGdiObjectT<HBITMAP, false>;

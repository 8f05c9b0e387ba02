#pragma once
#include "CGdiObject.h"

class CDC;

class CBitmap : public CGdiOwner<HBITMAP> {
public:
    BOOL CreateCompatibleBitmap(CDC* pDC, int nWidth, int nHeight);
};
using CBitmapRef = CGdiObjectT<HBITMAP, false>;

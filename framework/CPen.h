#pragma once
#include "CGdiObject.h"

class CPen : public CGdiOwner<HPEN> {
public:
    CPen() = default;
    CPen(int nPenStyle, int nWidth, COLORREF crColor) { CreatePen(nPenStyle, nWidth, crColor); }
    BOOL CreatePen(int nPenStyle, int nWidth, COLORREF crColor) {
        Attach(::CreatePen(nPenStyle, nWidth, crColor));
        return IsValid();
    }
};
using CPenRef = CGdiObjectT<HPEN, false>;

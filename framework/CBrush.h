#pragma once
#include "CGdiObject.h"

class CBrush : public CGdiOwner<HBRUSH> {
public:
    CBrush() = default;
    explicit CBrush(COLORREF crColor) { CreateSolidBrush(crColor); }
    BOOL CreateSolidBrush(COLORREF crColor) {
        Attach(::CreateSolidBrush(crColor));
        return IsValid();
    }
};

#pragma once
#include "CGdiObject.h"

// The Japanese system font, in the program's code page: the face of every text the program
// draws unless a setting names another.
constexpr char kSystemFontFace[] = "ＭＳ ゴシック";

class CFont : public CGdiOwner<HFONT> {
public:
    BOOL CreateFont(int nHeight, int nWidth, int nEscapement, int nOrientation, int nWeight, BYTE bItalic,
                    BYTE bUnderline, BYTE cStrikeOut, BYTE nCharSet, BYTE nOutPrecision, BYTE nClipPrecision,
                    BYTE nQuality, BYTE nPitchAndFamily, LPCSTR lpszFacename) {
        Attach(::CreateFontA(nHeight, nWidth, nEscapement, nOrientation, nWeight, bItalic, bUnderline, cStrikeOut,
                             nCharSet, nOutPrecision, nClipPrecision, nQuality, nPitchAndFamily, lpszFacename));
        return IsValid();
    }
};

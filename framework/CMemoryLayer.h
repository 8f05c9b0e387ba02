#pragma once
#include "CBitmap.h"
#include "CDC.h"

// An off-screen picture: a memory context with a bitmap of its own selected. It owns all
// three of context, bitmap and the bitmap the context held before, and takes them down in
// the one safe order: the old bitmap back, then the context, then its bitmap.
class CMemoryLayer : public CDC {
public:
    CMemoryLayer() = default;
    ~CMemoryLayer() override { Release(); }

    // A layer like pLike's context, nWidth x nHeight; any earlier one is released first.
    BOOL Create(CDC* pLike, int nWidth, int nHeight);
    void Release();

private:
    CBitmap m_bitmap;
    CBitmapRef m_oldBitmap;
};

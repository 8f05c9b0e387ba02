#include <gtest/gtest.h>

#include "Framework.h"
#include "WinTestSupport.h"

namespace {

const char kGothic[] = "ＭＳ ゴシック";

// Draws Japanese text with the system's Japanese font in a real window on the display and
// reads it back: real glyphs, not empty boxes, and the face reports its own name.
TEST(JapaneseText, GothicFaceDrawsRealGlyphs) {
    ASSERT_EQ(std::string(kGothic), "\x82\x6C\x82\x72\x20\x83\x53\x83\x56\x83\x62\x83\x4E");

    CWnd wnd;
    CString cls = AfxRegisterWndClass(0, nullptr, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    ASSERT_TRUE(wnd.CreateEx(WS_EX_TOPMOST, cls, "japanese", WS_POPUP | WS_VISIBLE, 0, 0, 320, 40, nullptr, nullptr));
    wintest::PumpMessages(200);
    {
        CClientDC dc(&wnd);
        CFont font;
        ASSERT_TRUE(font.CreateFont(24, 0, 0, 0, FW_LIGHT, 0, 0, 0, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                    CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FF_SWISS, kGothic));
        CSelectScope scope(dc, font);
        char face[LF_FACESIZE] = {};
        GetTextFaceA(dc, sizeof face, face);
        EXPECT_STREQ(face, kGothic);
        dc.SetBkColor(RGB(0, 0, 0));
        dc.SetTextColor(RGB(255, 255, 255));
        dc.TextOut(0, 4, CString("ゴ"));
        dc.TextOut(40, 4, CString("シ"));
        dc.TextOut(80, 4, CString(kGothic));
        // A private-use character has no glyph in any font: what a missing glyph looks like.
        TextOutW(dc, 280, 4, L"\xE000", 1);
    }
    wintest::Image shot = wintest::CaptureClient(wnd.m_hWnd);
    shot.SaveBmp("japanese_text.bmp");

    auto cell = [&shot](int left) {
        std::vector<COLORREF> pixels;
        for (int y = 0; y < 40; ++y)
            for (int x = left; x < left + 24; ++x) pixels.push_back(shot.At(x, y));
        return pixels;
    };
    const COLORREF white = RGB(255, 255, 255);
    EXPECT_GT(shot.Count(white, {0, 0, 24, 40}), 20);
    EXPECT_GT(shot.Count(white, {40, 0, 64, 40}), 20);
    EXPECT_NE(cell(0), cell(40)) << "two different kana drawn the same";
    EXPECT_NE(cell(0), cell(280)) << "the kana is drawn as a missing-glyph box";
    wnd.DestroyWindow();
}

}  // namespace

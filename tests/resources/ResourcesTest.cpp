#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Framework.h"
#include "WinTestSupport.h"
#include "resource.h"

namespace {

const WORD kJapanese = MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT);

struct DialogItem {
    DWORD exStyle, style;
    short x, y, cx, cy;
    DWORD id;
    std::wstring className;
};

struct DialogTemplate {
    DWORD exStyle, style;
    short x, y, cx, cy;
    std::wstring title, face;
    WORD pointSize;
    std::vector<DialogItem> items;
};

// Reads a 1041 extended dialog template the way the dialog manager does.
DialogTemplate ReadDialog(WORD id) {
    HRSRC hRes = FindResourceExA(nullptr, MAKEINTRESOURCEA(5) /* RT_DIALOG */, MAKEINTRESOURCEA(id), kJapanese);
    EXPECT_NE(hRes, nullptr) << "dialog " << id << " in language 1041";
    auto* p = static_cast<const BYTE*>(LockResource(LoadResource(nullptr, hRes)));
    auto word = [&p] { WORD w = *reinterpret_cast<const WORD*>(p); p += 2; return w; };
    auto dword = [&p] { DWORD d = *reinterpret_cast<const DWORD*>(p); p += 4; return d; };
    auto text = [&p, &word] {
        std::wstring s;
        for (WORD c; (c = word()) != 0;) s += static_cast<wchar_t>(c);
        return s;
    };
    // A class may be stored by ordinal (0x80 button, 0x82 static) or by name.
    auto ordOrText = [&]() -> std::wstring {
        if (*reinterpret_cast<const WORD*>(p) != 0xFFFF) return text();
        word();
        WORD ordinal = word();
        return ordinal == 0x80 ? L"button" : ordinal == 0x82 ? L"static" : std::to_wstring(ordinal);
    };
    DialogTemplate t;
    EXPECT_EQ(word(), 1);
    EXPECT_EQ(word(), 0xFFFF);
    dword();
    t.exStyle = dword();
    t.style = dword();
    WORD count = word();
    t.x = word(); t.y = word(); t.cx = word(); t.cy = word();
    ordOrText();  // menu
    ordOrText();  // class
    t.title = text();
    t.pointSize = word();
    word(); word();  // weight; italic and charset
    t.face = text();
    for (WORD i = 0; i < count; ++i) {
        p = reinterpret_cast<const BYTE*>((reinterpret_cast<UINT_PTR>(p) + 3) & ~UINT_PTR(3));
        DialogItem item;
        dword();
        item.exStyle = dword();
        item.style = dword();
        item.x = word(); item.y = word(); item.cx = word(); item.cy = word();
        item.id = dword();
        item.className = ordOrText();
        CharLowerW(item.className.data());
        ordOrText();
        p += word();
        t.items.push_back(item);
    }
    return t;
}

const std::wstring kGothic = L"\xFF2D\xFF33 \x30B4\x30B7\x30C3\x30AF";  // ＭＳ ゴシック

TEST(Resources, MonitorDialogTemplate) {
    DialogTemplate t = ReadDialog(IDD_MONITOR_DIALOG);
    EXPECT_EQ(t.style, DWORD(WS_POPUP | WS_VISIBLE | DS_MODALFRAME | DS_SETFONT));
    EXPECT_EQ(t.exStyle, DWORD(WS_EX_APPWINDOW | WS_EX_TOOLWINDOW));
    EXPECT_EQ((std::vector<short>{t.x, t.y, t.cx, t.cy}), (std::vector<short>{0, 0, 294, 95}));
    EXPECT_EQ(t.title, L"");
    EXPECT_EQ(t.face, kGothic);
    EXPECT_EQ(t.pointSize, 9);

    ASSERT_EQ(t.items.size(), 8u);
    const DWORD child = WS_CHILD | WS_VISIBLE;
    const DWORD placeholder = child | SS_CENTER | SS_CENTERIMAGE;
    // The six chart places tile two rows of three, without gaps, out to the right edge.
    const DialogItem& first = t.items[0];
    for (int i = 0; i < 6; ++i) {
        const DialogItem& item = t.items[i];
        EXPECT_EQ(item.id, DWORD(1000 + i));
        EXPECT_EQ(item.className, L"static");
        EXPECT_EQ(item.style, placeholder);
        EXPECT_EQ(item.exStyle, DWORD(WS_EX_STATICEDGE | WS_EX_CLIENTEDGE));
        EXPECT_EQ((std::vector<int>{item.x, item.y, item.cx, item.cy}),
                  (std::vector<int>{first.x + i % 3 * first.cx, first.y + i / 3 * first.cy, first.cx, first.cy}))
            << i;
    }
    EXPECT_EQ(first.y, 0);
    EXPECT_EQ(first.x + 3 * first.cx, t.cx);
    // The two small buttons, one above the other in the margin left of the charts.
    const DialogItem& exit = t.items[6];
    const DialogItem& topmost = t.items[7];
    EXPECT_EQ(exit.id, DWORD(IDC_EXIT));
    EXPECT_EQ(exit.className, L"button");
    EXPECT_EQ(exit.style, child | BS_PUSHBUTTON | BS_CENTER | BS_VCENTER | WS_TABSTOP);
    EXPECT_EQ(topmost.id, DWORD(IDC_TOPMOST));
    EXPECT_EQ(topmost.style, child | BS_AUTOCHECKBOX | BS_PUSHLIKE | BS_CENTER | BS_VCENTER | WS_TABSTOP);
    for (const DialogItem* button : {&exit, &topmost}) {
        EXPECT_EQ(button->exStyle, DWORD(WS_EX_STATICEDGE));
        EXPECT_EQ((std::vector<int>{button->cx, button->cy}), (std::vector<int>{8, 8}));
        EXPECT_LE(button->x + button->cx, first.x);
    }
    EXPECT_EQ(topmost.x, exit.x);
    EXPECT_GT(topmost.y, exit.y + exit.cy);
}

TEST(Resources, AboutBoxTemplate) {
    DialogTemplate t = ReadDialog(IDD_ABOUTBOX);
    EXPECT_EQ(t.style, DWORD(DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU));
    EXPECT_EQ(t.exStyle, DWORD(WS_EX_CLIENTEDGE));
    EXPECT_EQ((std::vector<short>{t.cx, t.cy}), (std::vector<short>{167, 87}));
    EXPECT_EQ(t.title, L"\x30D0\x30FC\x30B8\x30E7\x30F3\x60C5\x5831");  // バージョン情報
    EXPECT_EQ(t.face, kGothic);
    ASSERT_EQ(t.items.size(), 4u);
    EXPECT_EQ((std::vector<short>{t.items[0].x, t.items[0].y}), (std::vector<short>{4, 6}));
    EXPECT_EQ(t.items[0].style & SS_TYPEMASK, DWORD(SS_ICON));
    EXPECT_EQ((std::vector<short>{t.items[1].x, t.items[1].y, t.items[1].cx, t.items[1].cy}),
              (std::vector<short>{32, 8, 130, 14}));
    EXPECT_TRUE(t.items[1].style & SS_SUNKEN);
    EXPECT_EQ((std::vector<short>{t.items[2].x, t.items[2].y, t.items[2].cx, t.items[2].cy}),
              (std::vector<short>{57, 32, 54, 8}));
    EXPECT_EQ(t.items[3].id, DWORD(IDOK));
    EXPECT_EQ(t.items[3].style & 0xF, DWORD(BS_DEFPUSHBUTTON));
    EXPECT_EQ((std::vector<short>{t.items[3].x, t.items[3].y, t.items[3].cx, t.items[3].cy}),
              (std::vector<short>{68, 68, 32, 14}));
}

std::string MenuText(HMENU hMenu, UINT id) {
    char text[64] = {};
    GetMenuStringA(hMenu, id, text, sizeof text, MF_BYCOMMAND);
    return text;
}

TEST(Resources, ShiftJisTextsOfMenuAndStrings) {
    // The process runs in code page 932, so the narrow API hands back the Shift-JIS bytes.
    ASSERT_EQ(GetACP(), 932u);
    CMenu menu;
    ASSERT_TRUE(menu.LoadMenu(IDR_TRAYMENU));
    const CMenuRef hPopup = menu.GetSubMenu(0);
    ASSERT_NE(hPopup, nullptr);
    ASSERT_EQ(GetMenuItemCount(hPopup), 6);
    EXPECT_EQ(MenuText(hPopup, ID_TOPMOST), "\x8F\xED\x82\xC9\x8E\xE8\x91\x4F\x82\xC9\x95\x5C\x8E\xA6");
    EXPECT_EQ(MenuText(hPopup, ID_STICK), "\x83\x45\x83\x42\x83\x93\x83\x68\x83\x45\x82\xF0\x8C\xC5\x92\xE8");
    EXPECT_EQ(MenuText(hPopup, ID_SAVEINI), "\x8F\x49\x97\xB9\x8E\x9E\x82\xC9\x90\xDD\x92\xE8\x95\xDB\x91\xB6");
    EXPECT_EQ(MenuText(hPopup, ID_VERSION), "\x83\x6F\x81\x5B\x83\x57\x83\x87\x83\x93\x8F\xEE\x95\xF1");
    EXPECT_EQ(MenuText(hPopup, ID_EXIT), "\x83\x76\x83\x8D\x83\x4F\x83\x89\x83\x80\x82\xCC\x8F\x49\x97\xB9");
    const UINT order[] = {ID_TOPMOST, ID_STICK, ID_SAVEINI, 0, ID_VERSION, ID_EXIT};
    for (int i = 0; i < 6; ++i) {
        MENUITEMINFOA info = {};
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STATE;
        GetMenuItemInfoA(hPopup, i, TRUE, &info);
        EXPECT_EQ(info.wID, order[i]) << i;
        EXPECT_EQ((info.fType & MFT_SEPARATOR) != 0, order[i] == 0) << i;
        if (order[i]) {
            EXPECT_EQ(info.fState & (MFS_CHECKED | MFS_DISABLED), 0u) << i;
        }
    }

    CString about;
    ASSERT_TRUE(about.LoadString(IDS_ABOUTBOX));
    EXPECT_EQ(std::string(about), "\xCA\xDE\xB0\xBC\xDE\xAE\xDD\x8F\xEE\x95\xF1 (&A)...");
}

TEST(Resources, IconsAreSixteenPixelRingsInTheirColours) {
    struct Expected {
        WORD id;
        COLORREF dark, bright;
    };
    const Expected icons[] = {{IDI_TRAY_IDLE, RGB(128, 0, 0), RGB(255, 0, 0)},
                              {IDI_TRAY_ERROR, RGB(128, 0, 128), RGB(255, 0, 255)},
                              {IDI_TRAY_RECEIVED, RGB(0, 128, 0), RGB(0, 255, 0)},
                              {IDI_TRAY_ALARM, RGB(160, 96, 0), RGB(255, 192, 0)},
                              {IDR_MAINFRAME, RGB(128, 0, 0), RGB(255, 0, 0)}};
    CClientDC screen(nullptr);
    for (const Expected& e : icons) {
        // Each size that the display scales ask for (the tray's 16, 24 and 32 at 100, 150
        // and 200 %) has an image drawn for it, none stretched from another.
        HRSRC hGroup = FindResourceA(nullptr, MAKEINTRESOURCEA(e.id), RT_GROUP_ICON);
        auto* pGroup = static_cast<BYTE*>(LockResource(LoadResource(nullptr, hGroup)));
        for (int size : {16, 20, 24, 32, 40, 48}) {
            int image = LookupIconIdFromDirectoryEx(pGroup, TRUE, size, size, LR_DEFAULTCOLOR);
            HRSRC hImage = FindResourceA(nullptr, MAKEINTRESOURCEA(image), RT_ICON);
            ASSERT_NE(hImage, nullptr) << e.id << " at " << size;
            EXPECT_EQ(static_cast<BITMAPINFOHEADER*>(LockResource(LoadResource(nullptr, hImage)))->biWidth, size);
        }
        CIcon icon;
        ASSERT_TRUE(icon.Load(GetModuleHandleA(nullptr), e.id, 16, 16)) << e.id;
        ICONINFO info = {};
        ASSERT_TRUE(GetIconInfo(icon, &info));
        CBitmap color, mask;
        color.Attach(info.hbmColor);
        mask.Attach(info.hbmMask);
        BITMAP bm = {};
        GetObject(color, sizeof bm, &bm);
        EXPECT_EQ(bm.bmWidth, 16) << e.id;
        EXPECT_EQ(bm.bmHeight, 16) << e.id;

        // Drawn over white: the ring in the dark shade, the star in the bright one, the
        // corners transparent.
        CMemoryLayer layer;
        layer.Create(&screen, 16, 16);
        RECT all = {0, 0, 16, 16};
        FillRect(layer, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        DrawIconEx(layer, 0, 0, icon, 16, 16, 0, nullptr, DI_NORMAL);
        wintest::Image image = wintest::CaptureDC(layer, 0, 0, 16, 16);

        EXPECT_EQ(image.At(0, 0), RGB(255, 255, 255)) << e.id;
        EXPECT_EQ(image.At(7, 0), e.dark) << e.id;
        EXPECT_EQ(image.At(0, 8), e.dark) << e.id;
        EXPECT_EQ(image.At(8, 8), e.bright) << e.id;
        EXPECT_GT(image.Count(e.dark), 30) << e.id;
        EXPECT_GT(image.Count(e.bright), 15) << e.id;
    }
}

}  // namespace

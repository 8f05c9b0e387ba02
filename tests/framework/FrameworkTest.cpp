#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <thread>
#include <type_traits>
#include <vector>

#include "Framework.h"
#include "WinTestSupport.h"
#include "framework_test_ids.h"

namespace {

// ---- message tables ------------------------------------------------------------------

class BaseWnd : public CWnd {
public:
    std::vector<std::string> log;
    void OnPaint() {
        CPaintDC dc(this);
        log.push_back("base paint");
    }
    LRESULT OnUserA(WPARAM, LPARAM) {
        log.push_back("base A");
        return 1;
    }
    LRESULT OnUserB(WPARAM, LPARAM) {
        log.push_back("base B");
        return 2;
    }
    void OnBaseCommand() { log.push_back("base command 7"); }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(BaseWnd, CWnd)
    ON_WM_PAINT()
    ON_MESSAGE(WM_APP + 1, OnUserA)
    ON_MESSAGE(WM_APP + 2, OnUserB)
    ON_COMMAND(7, OnBaseCommand)
END_MESSAGE_MAP()

const UINT g_nRegistered = RegisterWindowMessageA("qrvl.framework.test");

class DerivedWnd : public BaseWnd {
public:
    LRESULT OnRegistered(WPARAM, LPARAM) {
        log.push_back("registered");
        return 42;
    }
    LRESULT OnUserAFirst(WPARAM w, LPARAM) {
        log.push_back("derived A first " + std::to_string(w));
        return 10;
    }
    LRESULT OnUserASecond(WPARAM, LPARAM) {
        log.push_back("derived A second");
        return 11;
    }
    void OnClicked() { log.push_back("clicked 5"); }
    void OnDoubleClicked() { log.push_back("double-clicked 5"); }
    void OnThrow() { throw CResourceException(); }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(DerivedWnd, BaseWnd)
    ON_MESSAGE(WM_APP + 1, OnUserAFirst)
    ON_MESSAGE(WM_APP + 1, OnUserASecond)
    ON_BN_CLICKED(5, OnClicked)
    ON_CONTROL(BN_DOUBLECLICKED, 5, OnDoubleClicked)
    ON_COMMAND(9, OnThrow)
    ON_REGISTERED_MESSAGE(g_nRegistered, OnRegistered)
END_MESSAGE_MAP()

HWND CreatePlain(CWnd& wnd) {
    CString cls = AfxRegisterWndClass(CS_HREDRAW | CS_VREDRAW);
    EXPECT_TRUE(wnd.CreateEx(0, cls, "plain", WS_POPUP | WS_VISIBLE, 10, 10, 100, 80, nullptr, nullptr));
    return wnd.m_hWnd;
}

TEST(MessageMap, SearchesInOrderChainsToBaseAndRoutesCommands) {
    DerivedWnd wnd;
    HWND hWnd = CreatePlain(wnd);
    ASSERT_NE(hWnd, nullptr);
    EXPECT_EQ(CWnd::FromHandlePermanent(hWnd), &wnd);

    // The first matching entry wins; the derived table is searched before the base's.
    EXPECT_EQ(SendMessageA(hWnd, WM_APP + 1, 3, 0), 10);
    // A message only the base lists reaches the base's handler.
    EXPECT_EQ(SendMessageA(hWnd, WM_APP + 2, 0, 0), 2);
    // Commands match on id and notification code; the base's entries are reached too.
    SendMessageA(hWnd, WM_COMMAND, MAKEWPARAM(5, BN_CLICKED), 0);
    SendMessageA(hWnd, WM_COMMAND, MAKEWPARAM(5, BN_DOUBLECLICKED), 0);
    SendMessageA(hWnd, WM_COMMAND, MAKEWPARAM(5, BN_SETFOCUS), 0);
    SendMessageA(hWnd, WM_COMMAND, MAKEWPARAM(7, 0), 0);
    // A message registered at run time is matched by its number.
    EXPECT_EQ(SendMessageA(hWnd, g_nRegistered, 0, 0), 42);
    // An exception in a handler stays on our side of the window procedure, and is counted.
    const long nFailures = AfxGetHandlerFailureCount();
    EXPECT_EQ(SendMessageA(hWnd, WM_COMMAND, MAKEWPARAM(9, 0), 0), 0);
    EXPECT_EQ(AfxGetHandlerFailureCount(), nFailures + 1);
    // An unlisted message gets the default processing.
    EXPECT_EQ(SendMessageA(hWnd, WM_GETTEXTLENGTH, 0, 0), 5);

    std::vector<std::string> expected = {"derived A first 3", "base B", "clicked 5", "double-clicked 5",
                                         "base command 7", "registered"};
    EXPECT_EQ(wnd.log, expected);

    wnd.log.clear();
    InvalidateRect(hWnd, nullptr, TRUE);
    UpdateWindow(hWnd);
    EXPECT_EQ(wnd.log, std::vector<std::string>{"base paint"});

    wnd.DestroyWindow();
    EXPECT_EQ(wnd.m_hWnd, nullptr);
    EXPECT_FALSE(IsWindow(hWnd));
}

class FailingPaintWnd : public CWnd {
public:
    int nPaints = 0;
    void OnPaint() {
        ++nPaints;
        throw CResourceException();
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(FailingPaintWnd, CWnd)
    ON_WM_PAINT()
END_MESSAGE_MAP()

TEST(MessageMap, AFailedPaintStillValidatesItsWindow) {
    FailingPaintWnd wnd;
    HWND hWnd = CreatePlain(wnd);
    ASSERT_NE(hWnd, nullptr);
    wintest::PumpMessages(200);
    const int nPaints = wnd.nPaints;
    const long nFailures = AfxGetHandlerFailureCount();
    InvalidateRect(hWnd, nullptr, TRUE);
    wintest::PumpMessages(300);
    // One paint, one failure counted, nothing left to paint: no endless WM_PAINT.
    EXPECT_EQ(wnd.nPaints, nPaints + 1);
    EXPECT_EQ(AfxGetHandlerFailureCount(), nFailures + 1);
    EXPECT_FALSE(GetUpdateRect(hWnd, nullptr, FALSE));
    wnd.DestroyWindow();
}

// ---- dialogs -------------------------------------------------------------------------

class TestDialog : public CDialog {
public:
    explicit TestDialog(int nCreateResult) : CDialog(IDD_TEST_DIALOG), m_nCreateResult(nCreateResult) {}

    std::vector<std::string> log;
    CButton m_btnToggle;
    bool m_bControlsAtCreate = true;
    std::function<void(TestDialog&)> onInit;
    HWND m_hWndSeen = nullptr;

protected:
    void DoDataExchange(CDataExchange* pDX) override {
        CDialog::DoDataExchange(pDX);
        DDX_Control(pDX, IDC_TEST_TOGGLE, m_btnToggle);
        log.push_back(pDX->m_bSaveAndValidate ? "exchange save" : "exchange load");
    }
    BOOL OnInitDialog() override {
        log.push_back("init");
        CDialog::OnInitDialog();
        m_hWndSeen = m_hWnd;
        if (onInit) onInit(*this);
        return TRUE;
    }
    int OnCreate(LPCREATESTRUCT lpcs) {
        log.push_back("create");
        m_bControlsAtCreate = GetDlgItem(IDC_TEST_TOGGLE) != nullptr;
        if (CDialog::OnCreate(lpcs) == -1) return -1;
        return m_nCreateResult;
    }
    void OnDestroy() {
        log.push_back("destroy");
        CDialog::OnDestroy();
    }
    void OnOther() { log.push_back("other"); }

    DECLARE_MESSAGE_MAP()

private:
    int m_nCreateResult;
};

BEGIN_MESSAGE_MAP(TestDialog, CDialog)
    ON_WM_CREATE()
    ON_WM_DESTROY()
    ON_BN_CLICKED(IDC_TEST_OTHER, OnOther)
END_MESSAGE_MAP()

BOOL CALLBACK CountWindow(HWND, LPARAM lParam) {
    ++*reinterpret_cast<int*>(lParam);
    return TRUE;
}

int CountThreadWindows() {
    int n = 0;
    EnumThreadWindows(GetCurrentThreadId(), CountWindow, reinterpret_cast<LPARAM>(&n));
    return n;
}

TEST(Dialog, CreateFailureEndsTheModalRunAndLeavesNoWindow) {
    int before = CountThreadWindows();
    TestDialog dlg(-1);
    EXPECT_EQ(dlg.DoModal(), -1);
    // OnCreate ran before the controls existed; the window was destroyed, never initialised.
    EXPECT_FALSE(dlg.m_bControlsAtCreate);
    EXPECT_EQ(dlg.log, (std::vector<std::string>{"create", "destroy"}));
    EXPECT_EQ(dlg.m_hWnd, nullptr);
    EXPECT_EQ(CountThreadWindows(), before);
}

TEST(Dialog, InitialisesAfterCreateAndBindsControls) {
    TestDialog dlg(0);
    dlg.onInit = [](TestDialog& d) {
        // The bound control is the dialog's own and answers through our object.
        EXPECT_EQ(d.m_btnToggle.m_hWnd, d.GetDlgItem(IDC_TEST_TOGGLE));
        EXPECT_EQ(CWnd::FromHandlePermanent(d.m_btnToggle.m_hWnd), &d.m_btnToggle);
        d.m_btnToggle.SetCheck(BST_CHECKED);
        EXPECT_EQ(d.m_btnToggle.GetCheck(), BST_CHECKED);
        d.SendMessage(WM_COMMAND, MAKEWPARAM(IDC_TEST_OTHER, BN_CLICKED), 0);
        d.PostMessage(WM_CLOSE);
    };
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_TRUE(dlg.m_bControlsAtCreate == false);
    EXPECT_EQ(dlg.log, (std::vector<std::string>{"create", "init", "exchange load", "other", "destroy"}));
    EXPECT_EQ(dlg.m_btnToggle.m_hWnd, nullptr);
}

TEST(Dialog, EnterEscAndCloseEndTheDialog) {
    struct Case {
        const char* what;
        std::function<void(HWND)> action;
        INT_PTR result;
    };
    std::vector<Case> cases = {
        {"Enter", [](HWND h) { PostMessageA(h, WM_KEYDOWN, VK_RETURN, 0); }, IDOK},
        {"Esc", [](HWND h) { PostMessageA(h, WM_KEYDOWN, VK_ESCAPE, 0); }, IDCANCEL},
        {"WM_CLOSE", [](HWND h) { PostMessageA(h, WM_CLOSE, 0, 0); }, IDCANCEL},
    };
    for (const Case& c : cases) {
        TestDialog dlg(0);
        dlg.onInit = [&](TestDialog& d) { c.action(d.m_hWnd); };
        EXPECT_EQ(dlg.DoModal(), c.result) << c.what;
        // OK saves the controls towards the members before the dialog ends.
        bool saved = std::find(dlg.log.begin(), dlg.log.end(), "exchange save") != dlg.log.end();
        EXPECT_EQ(saved, c.result == IDOK) << c.what;
        EXPECT_FALSE(IsWindow(dlg.m_hWndSeen)) << c.what;
    }
}

TEST(Dialog, WithoutAParentItIsOwnedByTheMainWindowAndEndsWithIt) {
    CWinApp app;
    TestDialog main(0), inner(0);
    app.m_pMainWnd = &main;
    INT_PTR nInner = 0;
    inner.onInit = [&](TestDialog& d) {
        // Owned by the main window, which cannot be used meanwhile.
        EXPECT_EQ(GetWindow(d.m_hWnd, GW_OWNER), main.m_hWnd);
        EXPECT_FALSE(IsWindowEnabled(main.m_hWnd));
        main.PostMessage(WM_CLOSE);
    };
    main.onInit = [&](TestDialog& d) {
        // The main window has no owner of its own.
        EXPECT_EQ(GetWindow(d.m_hWnd, GW_OWNER), nullptr);
        nInner = inner.DoModal();
    };
    // Ending the main window ends the dialog it owns: nothing stays behind.
    EXPECT_EQ(main.DoModal(), IDCANCEL);
    EXPECT_EQ(nInner, IDCANCEL);
    EXPECT_FALSE(IsWindow(inner.m_hWndSeen));
    EXPECT_FALSE(IsWindow(main.m_hWndSeen));
}

// The caption of the window captioned "FWTEST" that was activated on this thread, which is
// then told to close.
thread_local std::string t_closedCaption;

LRESULT CALLBACK CloseBoxCaptioned(int nCode, WPARAM wParam, LPARAM lParam) {
    if (nCode == HCBT_ACTIVATE && t_closedCaption.empty()) {
        char text[64] = "";
        GetWindowTextA(reinterpret_cast<HWND>(wParam), text, sizeof text);
        if (std::string(text) == "FWTEST") {
            t_closedCaption = text;
            PostMessageA(reinterpret_cast<HWND>(wParam), WM_COMMAND, IDOK, 0);
        }
    }
    return CallNextHookEx(nullptr, nCode, wParam, lParam);
}

TEST(Dialog, AFailedInitialisationIsShownBeforeTheDialogEnds) {
    CWinApp app;
    app.m_strAppName = "FWTEST";
    TestDialog dlg(0);
    dlg.onInit = [](TestDialog&) { throw CResourceException(); };
    // The box runs inside DoModal: its activation closes it.
    t_closedCaption.clear();
    HHOOK hHook = SetWindowsHookExA(WH_CBT, CloseBoxCaptioned, nullptr, GetCurrentThreadId());
    const long nFailures = AfxGetHandlerFailureCount();
    EXPECT_EQ(dlg.DoModal(), -1);
    UnhookWindowsHookEx(hHook);
    EXPECT_EQ(t_closedCaption, "FWTEST");
    EXPECT_EQ(AfxGetHandlerFailureCount(), nFailures + 1);
    EXPECT_FALSE(IsWindow(dlg.m_hWndSeen));
}

// ---- GDI wrappers --------------------------------------------------------------------

TEST(Window, OneThatOutlivesItsObjectIsCutLooseNotDestroyed) {
    // Destroyed from the base destructor, its last messages would reach an object whose
    // derived part is gone: the window stays, and its messages go to the default procedure.
    HWND hWnd;
    {
        CWnd wnd;
        hWnd = CreatePlain(wnd);
    }
    ASSERT_TRUE(::IsWindow(hWnd));
    EXPECT_EQ(CWnd::FromHandlePermanent(hWnd), nullptr);
    ::SendMessageA(hWnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("loose"));
    char text[16] = {};
    ::GetWindowTextA(hWnd, text, sizeof text);
    EXPECT_STREQ(text, "loose");
    EXPECT_TRUE(::DestroyWindow(hWnd));
}

TEST(Gdi, WrappersReleaseEverythingTheyCreateAndRestoreSelections) {
    long before = GdiCounters::Outstanding();
    CWnd wnd;
    CreatePlain(wnd);
    {
        CClientDC window(&wnd);
        CDC screen;
        ASSERT_TRUE(screen.CreateCompatibleDC(&window));
        CBitmap bitmap;
        ASSERT_TRUE(bitmap.CreateCompatibleBitmap(window, 8, 8));
        CBitmapRef old = screen.SelectObject(&bitmap);
        EXPECT_NE(old.GetSafeHandle(), nullptr);
        CBrush brush(RGB(0, 0, 255));
        CPen pen(PS_SOLID, 0, RGB(255, 0, 0));
        CFont font;
        EXPECT_TRUE(font.CreateFont(12, 0, 0, 0, FW_LIGHT, 0, 0, 0, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                    CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FF_SWISS, "Arial"));
        RECT all = {0, 0, 8, 8};
        screen.FillRect(&all, &brush);
        HGDIOBJ penBefore = GetCurrentObject(screen, OBJ_PEN);
        {
            CSelectScope scope(screen, pen);
            EXPECT_EQ(GetCurrentObject(screen, OBJ_PEN), pen.GetSafeHandle());
            screen.MoveTo(0, 0);
            screen.LineTo(8, 0);
        }
        EXPECT_EQ(GetCurrentObject(screen, OBJ_PEN), penBefore);
        EXPECT_EQ(GetPixel(screen, 3, 0), RGB(255, 0, 0));
        EXPECT_EQ(GetPixel(screen, 3, 3), RGB(0, 0, 255));
        // Moving hands the object over without a second deletion.
        CPen moved(std::move(pen));
        EXPECT_EQ(pen.GetSafeHandle(), nullptr);
        EXPECT_GT(GdiCounters::Outstanding(), before);
        screen.SelectObject(old);
    }
    EXPECT_EQ(GdiCounters::Outstanding(), before);
    wnd.DestroyWindow();
}

TEST(Gdi, OwnersMoveAndReleaseOnceBorrowersNeverRelease) {
    // Copies are refused at the owning base itself, not by each wrapper.
    static_assert(!std::is_copy_constructible_v<CGdiObjectT<HPEN, true>> &&
                  !std::is_copy_assignable_v<CGdiObjectT<HPEN, true>> && !std::is_copy_constructible_v<CIcon> &&
                  !std::is_copy_assignable_v<CIcon>);
    static_assert(std::is_nothrow_move_constructible_v<CPen> && std::is_nothrow_move_assignable_v<CIcon>);
    static_assert(std::is_copy_constructible_v<CPenRef> && std::is_copy_assignable_v<CIconRef>);

    const long before = GdiCounters::Outstanding();
    HICON hGone = nullptr;
    {
        CIcon icon;
        icon.Attach(::CopyIcon(::LoadIconA(nullptr, IDI_APPLICATION)));
        ASSERT_NE(icon.GetSafeHandle(), nullptr);
        {
            // Borrowers come and go, and the icon stays.
            CIconRef borrowed(icon);
            CIconRef copy = borrowed;
            EXPECT_EQ(copy.GetSafeHandle(), icon.GetSafeHandle());
        }
        ICONINFO info = {};
        ASSERT_TRUE(::GetIconInfo(icon, &info));
        CBitmap color, mask;
        color.Attach(info.hbmColor);
        mask.Attach(info.hbmMask);
        CIcon moved(std::move(icon));
        EXPECT_EQ(icon.GetSafeHandle(), nullptr);
        CIcon assigned;
        assigned = std::move(moved);
        EXPECT_EQ(moved.GetSafeHandle(), nullptr);
        hGone = assigned;
        EXPECT_EQ(GdiCounters::Outstanding(), before + 3);
    }
    EXPECT_EQ(GdiCounters::Outstanding(), before);
    ICONINFO info = {};
    EXPECT_FALSE(::GetIconInfo(hGone, &info));
}

// A handle kind that only records its releases, counted like GDI objects.
struct RecordingTraits {
    using Handle = int*;
    static constexpr bool kCounted = true;
    static inline std::vector<int*> released;
    static bool IsValid(int* h) { return h != nullptr; }
    static BOOL Release(int* h) {
        released.push_back(h);
        return TRUE;
    }
};

TEST(Handles, EachOwnedHandleIsReleasedOnceWhateverTheMoves) {
    using Owner = CHandleT<RecordingTraits, true>;
    using Borrowed = CHandleT<RecordingTraits, false>;
    std::mt19937 rng(20261209);
    for (int round = 0; round < 50; ++round) {
        const long before = GdiCounters::Outstanding();
        int slots[8];
        RecordingTraits::released.clear();
        {
            std::vector<Owner> owners;
            for (int& slot : slots) owners.emplace_back(&slot);
            for (int i = 0; i < 20; ++i) {
                Owner& to = owners[rng() % 8];
                Owner& from = owners[rng() % 8];
                // Borrowed copies come and go without a release.
                const Borrowed borrowed(from.GetSafeHandle()), copy = borrowed;
                const size_t nBefore = RecordingTraits::released.size();
                int* const hDisplaced = to.GetSafeHandle();
                if (&to == &from) continue;
                to = std::move(from);
                // Move-assignment gives back the handle it displaces at once.
                EXPECT_EQ(RecordingTraits::released.size(), nBefore + (hDisplaced ? 1 : 0));
                EXPECT_EQ(to.GetSafeHandle(), copy.GetSafeHandle());
            }
        }
        std::vector<int*> released = RecordingTraits::released;
        std::sort(released.begin(), released.end());
        EXPECT_TRUE(std::adjacent_find(released.begin(), released.end()) == released.end());
        EXPECT_EQ(released.size(), 8u);
        EXPECT_EQ(GdiCounters::Outstanding(), before);
    }
}

// ---- CString -------------------------------------------------------------------------

TEST(String, SharesBuffersFormatsAndLoadsShiftJis) {
    CString a("abc");
    CString b = a;
    // Copies share one buffer; a change makes a new one and leaves the copy alone.
    EXPECT_EQ(a.GetString(), b.GetString());
    b += CString("d");
    EXPECT_STREQ(a, "abc");
    EXPECT_STREQ(b, "abcd");
    a = a.GetString() + 1;  // assignment from its own buffer
    EXPECT_STREQ(a, "bc");

    CString s;
    EXPECT_TRUE(s.IsEmpty());
    EXPECT_STREQ(s, "");
    s.Format("%.*lf", 1, 45.25);
    EXPECT_STREQ(s, "45.2");
    // A negative precision counts as absent: six decimals.
    s.Format("%.*lf", -1, 10.0);
    EXPECT_STREQ(s, "10.000000");
    s.Format("  %.*lf  ", 3, -10.0);
    EXPECT_STREQ(s, "  -10.000  ");
    s.Format("0x%06x", 0xC000);
    EXPECT_STREQ(s, "0x00c000");
    s.Format("0x%06x", 0x1234567);
    EXPECT_STREQ(s, "0x1234567");
    s.Format("%.1lf|%.1lf", std::numeric_limits<double>::quiet_NaN(), -std::numeric_limits<double>::infinity());
    EXPECT_STREQ(s, "nan|-inf");
    s.Format("QUORVEL GRAPH - %s", "localhost");
    EXPECT_EQ(s.GetLength(), 25);
    EXPECT_TRUE(s == CString("QUORVEL GRAPH - localhost"));

    // The resource text comes back as its Shift-JIS bytes (ｶﾀｶﾅ ソ表: half-width kana, then
    // a character whose trail byte is a backslash).
    EXPECT_TRUE(s.LoadString(IDS_TEST_TEXT));
    EXPECT_EQ(std::string(s), std::string("\xB6\xC0\xB6\xC5 \x83\x5C\x95\x5C"));
    EXPECT_FALSE(s.LoadString(4711));
    EXPECT_TRUE(s.IsEmpty());

    // Copies taken and dropped on several threads at once keep the count right.
    CString shared("shared text");
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&shared] {
            for (int i = 0; i < 20000; ++i) {
                CString copy = shared;
                ASSERT_EQ(copy.GetLength(), 11);
            }
        });
    for (auto& t : threads) t.join();
    EXPECT_STREQ(shared, "shared text");
}

TEST(String, ArgumentsFollowTheProgramNameAndItsBlanks) {
    EXPECT_STREQ(AfxArgumentsOf("QRVLGRPH.EXE"), "");
    EXPECT_STREQ(AfxArgumentsOf("C:\\x\\QRVLGRPH.EXE   "), "");
    EXPECT_STREQ(AfxArgumentsOf("QRVLGRPH.EXE  \t two words "), "two words ");
    EXPECT_STREQ(AfxArgumentsOf("\"C:\\Program Files\\QRVLGRPH.EXE\" \"quoted\" x"), "\"quoted\" x");
}

// ---- profile -------------------------------------------------------------------------

TEST(Profile, ReadsAndWritesARealIniFile) {
    CWinApp app;
    app.SetNamesFromModule(nullptr);
    // The names come from the executable: framework_test.exe.
    EXPECT_STREQ(app.m_strAppName, "framework_test");
    EXPECT_STREQ(app.m_strProfileName, "framework_test.INI");

    app.m_strProfileName = "QRVLFWTEST.INI";
    wintest::DeleteWindowsFile("QRVLFWTEST.INI");
    // Absent keys give their defaults.
    EXPECT_STREQ(app.GetProfileString("S", "Missing", "dflt"), "dflt");
    EXPECT_EQ(static_cast<int>(app.GetProfileInt("S", "Missing", -7)), -7);

    EXPECT_TRUE(app.WriteProfileString("S", "Host", "localhost"));
    EXPECT_TRUE(app.WriteProfileInt("S", "Neg", -12));
    EXPECT_TRUE(app.WriteProfileString("S", "Color", "0x00c000"));
    EXPECT_TRUE(app.WriteProfileString("S", "Empty", ""));
    EXPECT_TRUE(app.WriteProfileString("T", "Font", "\x82\x6C\x82\x72 \x83\x53\x83\x56\x83\x62\x83\x4E"));

    EXPECT_STREQ(app.GetProfileString("S", "Host", "x"), "localhost");
    EXPECT_EQ(static_cast<int>(app.GetProfileInt("S", "Neg", 0)), -12);
    EXPECT_EQ(app.GetProfileInt("S", "Color", 0), 49152u);
    EXPECT_STREQ(app.GetProfileString("S", "Empty", "x"), "");
    EXPECT_STREQ(app.GetProfileString("T", "Font"), "\x82\x6C\x82\x72 \x83\x53\x83\x56\x83\x62\x83\x4E");

    WritePrivateProfileStringA(nullptr, nullptr, nullptr, "QRVLFWTEST.INI");
    EXPECT_EQ(wintest::ReadWindowsFile("QRVLFWTEST.INI"),
              "[S]\r\nHost=localhost\r\nNeg=-12\r\nColor=0x00c000\r\nEmpty=\r\n"
              "[T]\r\nFont=\x82\x6C\x82\x72 \x83\x53\x83\x56\x83\x62\x83\x4E\r\n");
    wintest::DeleteWindowsFile("QRVLFWTEST.INI");
}

}  // namespace

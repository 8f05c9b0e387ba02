#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include <ctime>
#include <string>
#include <vector>

#include "CTrayIcon.h"
#include "Framework.h"
#include "MonitorMessages.h"
#include "TrayProbe.h"
#include "WinTestSupport.h"
#include "resource.h"

namespace {

using trayprobe::InShell;
using trayprobe::Shown;
using trayprobe::ShownIcons;
using trayprobe::TipShown;

// The window the shell reports mouse events on the icon to.
class OwnerWnd : public CWnd {
public:
    struct Event {
        WPARAM id;
        LPARAM mouse;
    };
    std::vector<Event> events;

    OwnerWnd() {
        CString cls = AfxRegisterWndClass(0);
        CreateEx(0, cls, "tray owner", WS_POPUP, 600, 600, 20, 20, nullptr, nullptr);
    }
    ~OwnerWnd() override { DestroyWindow(); }

    LRESULT OnTrayNotify(WPARAM wParam, LPARAM lParam) {
        events.push_back({wParam, lParam});
        return 0;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(OwnerWnd, CWnd)
    ON_MESSAGE(WM_TRAYNOTIFY, OnTrayNotify)
END_MESSAGE_MAP()

// Clicks the first icon; true when the shell reported the button press to the owner, with
// the id it reported.
bool ClickFirstIcon(OwnerWnd& owner, UINT& reportedId) {
    std::vector<HWND> icons = ShownIcons();
    if (icons.empty()) return false;
    RECT rc;
    GetWindowRect(icons[0], &rc);
    owner.events.clear();
    wintest::Click((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
    bool pressed = wintest::PumpUntil(
        [&] {
            for (const OwnerWnd::Event& e : owner.events)
                if (e.mouse == WM_LBUTTONDOWN) {
                    reportedId = static_cast<UINT>(e.id);
                    return true;
                }
            return false;
        },
        3000);
    wintest::MoveMouse(700, 500);
    return pressed;
}

void SetUpAsTheMonitorDoes(CTrayIcon& icon, HWND hOwner, UINT uID, LPCSTR tip = "QUORVEL GRAPH - localhost") {
    TrayIconInit init = {GetModuleHandleA(nullptr), hOwner, uID};
    ASSERT_EQ(icon.Create(init, 3), 1);
    icon.SetCallbackMessage(WM_TRAYNOTIFY);
    icon.SetTip(tip);
    icon.AddIcon(IDI_TRAY_IDLE);
    icon.AddIcon(IDI_TRAY_RECEIVED);
    icon.AddIcon(IDI_TRAY_ERROR);
}

TEST(TrayIcon, SetUpAndIds) {
    OwnerWnd owner;

    // Id 0: the set-up pauses at least 50 ms and takes its id from the clock, seconds since
    // 1970 in the high half and milliseconds in the low half; the shell reports that id.
    CTrayIcon first;
    TrayIconInit init = {GetModuleHandleA(nullptr), owner, 0};
    const UINT secondsBefore = static_cast<UINT>(time(nullptr));
    int nCreated = 0;
    const double msFirst = wintest::MeasureMs([&] { nCreated = first.Create(init, 3); });
    const UINT secondsAfter = static_cast<UINT>(time(nullptr));
    ASSERT_EQ(nCreated, 1);
    EXPECT_GE(msFirst, 49.5);
    first.SetCallbackMessage(WM_TRAYNOTIFY);
    first.AddIcon(IDI_TRAY_IDLE);
    first.Add(0);
    UINT firstId = 0;
    ASSERT_TRUE(ClickFirstIcon(owner, firstId));
    EXPECT_LT(firstId & 0xFFFFu, 1000u);
    EXPECT_TRUE((firstId >> 16) == (secondsBefore & 0xFFFFu) || (firstId >> 16) == (secondsAfter & 0xFFFFu))
        << std::hex << firstId;
    EXPECT_TRUE(InShell(owner, firstId));
    first.Destroy();

    // A second set-up right after gets another id.
    CTrayIcon second;
    ASSERT_EQ(second.Create(init, 3), 1);
    second.SetCallbackMessage(WM_TRAYNOTIFY);
    second.Add(0);
    UINT secondId = 0;
    ASSERT_TRUE(ClickFirstIcon(owner, secondId));
    EXPECT_NE(secondId, firstId);
    second.Destroy();

    // A given id is used as it is, without the pause.
    CTrayIcon given;
    init.uID = 4711;
    const double msGiven = wintest::MeasureMs([&] { nCreated = given.Create(init, 3); });
    ASSERT_EQ(nCreated, 1);
    EXPECT_LT(msGiven, 40.0);
    given.Add(0);
    EXPECT_TRUE(InShell(owner, 4711));

    // Created a second time: 1, and the first set-up stays (id, owner and the one-slot table
    // that the icon loaded into).
    OwnerWnd other;
    CTrayIcon once;
    TrayIconInit one = {GetModuleHandleA(nullptr), owner, 17};
    ASSERT_EQ(once.Create(one, 1), 1);
    TrayIconInit again = {GetModuleHandleA(nullptr), other, 18};
    EXPECT_EQ(once.Create(again, 3), 1);
    once.AddIcon(IDI_TRAY_RECEIVED);
    once.AddIcon(IDI_TRAY_ERROR);
    once.Add(1);
    EXPECT_FALSE(InShell(owner, 17));
    once.Add(0);
    EXPECT_TRUE(InShell(owner, 17));
    EXPECT_FALSE(InShell(other, 18));
    // The given id's icon has no image loaded; the other one shows its only image.
    EXPECT_EQ(Shown(), (std::vector<std::string>{"none", "green"}));
    given.Destroy();
    once.Destroy();
    EXPECT_TRUE(Shown().empty());
}

TEST(TrayIcon, ShowsSwitchesAndRemovesTheIcon) {
    OwnerWnd owner;
    CTrayIcon icon;
    SetUpAsTheMonitorDoes(icon, owner, 1);

    // Prepared but not shown; a switch before the icon is shown changes nothing visible,
    // and the icon then starts red.
    EXPECT_TRUE(Shown().empty());
    icon.Modify(1);
    EXPECT_TRUE(Shown().empty());
    EXPECT_FALSE(InShell(owner, 1));
    icon.Add(0);
    EXPECT_EQ(Shown(), (std::vector<std::string>{"red"}));

    // Slots 1 and 2 hold 131 (green) and 130 (magenta); slot 3 of three does nothing.
    icon.Modify(1);
    EXPECT_EQ(Shown(), (std::vector<std::string>{"green"}));
    icon.Modify(2);
    EXPECT_EQ(Shown(), (std::vector<std::string>{"magenta"}));
    icon.Modify(3);
    icon.Add(3);
    EXPECT_EQ(Shown(), (std::vector<std::string>{"magenta"}));
    // A fourth image on a table of three is not loaded over any slot.
    icon.AddIcon(IDI_TRAY_RECEIVED);
    icon.Modify(0);
    EXPECT_EQ(Shown(), (std::vector<std::string>{"red"}));
    icon.Modify(2);
    EXPECT_EQ(Shown(), (std::vector<std::string>{"magenta"}));

    // The flags accumulate: every switch still carries the tip and the callback message,
    // so a new tip reaches the shell with the next switch.
    EXPECT_EQ(TipShown(), "QUORVEL GRAPH - localhost");
    UINT reportedId = 0;
    ASSERT_TRUE(ClickFirstIcon(owner, reportedId));
    EXPECT_EQ(reportedId, 1u);
    icon.SetTip("QUORVEL GRAPH - sensors");
    EXPECT_EQ(TipShown(), "QUORVEL GRAPH - localhost");
    icon.Modify(1);
    EXPECT_EQ(TipShown(), "QUORVEL GRAPH - sensors");
    EXPECT_EQ(Shown(), (std::vector<std::string>{"green"}));

    // After the shell lost the icon, Readd shows it again with its current image.
    NOTIFYICONDATAA lost = {};
    lost.cbSize = NOTIFYICONDATAA_V1_SIZE;
    lost.hWnd = owner;
    lost.uID = 1;
    ASSERT_TRUE(Shell_NotifyIconA(NIM_DELETE, &lost));
    EXPECT_TRUE(Shown().empty());
    icon.Readd();
    EXPECT_EQ(Shown(), (std::vector<std::string>{"green"}));
    EXPECT_EQ(TipShown(), "QUORVEL GRAPH - sensors");

    // Delete removes it once; Destroy's own removal is refused and changes nothing, and
    // the shell refuses further switches. (Wine does not repaint an icon that moves left
    // into a freed place, so only the icons are counted here, not their colours.)
    OwnerWnd neighbour;
    CTrayIcon other;
    SetUpAsTheMonitorDoes(other, neighbour, 1);
    other.Add(2);
    EXPECT_EQ(Shown(), (std::vector<std::string>{"green", "magenta"}));
    EXPECT_TRUE(icon.Delete());
    EXPECT_EQ(ShownIcons().size(), 1u);
    EXPECT_FALSE(InShell(owner, 1));
    lost.uFlags = NIF_ICON;
    EXPECT_FALSE(Shell_NotifyIconA(NIM_MODIFY, &lost));
    icon.Readd();
    EXPECT_FALSE(InShell(owner, 1));
    icon.Destroy();
    EXPECT_EQ(icon.Delete(), 0);
    EXPECT_TRUE(InShell(neighbour, 1));
    EXPECT_EQ(ShownIcons().size(), 1u);
    other.Destroy();
    EXPECT_TRUE(Shown().empty());
}

TEST(TrayIcon, GuardsTipsAndEmptySlots) {
    OwnerWnd owner;

    // Uncreated, and again after Destroy: nothing reaches the shell and Delete gives 0.
    CTrayIcon icon;
    for (int round = 0; round < 2; ++round) {
        icon.SetCallbackMessage(WM_TRAYNOTIFY);
        icon.SetTip("tip");
        icon.AddIcon(IDI_TRAY_IDLE);
        EXPECT_EQ(icon.LoadSlotIcon(IDI_TRAY_IDLE, 0, 16, 16), nullptr);
        icon.Add(0);
        icon.Modify(0);
        icon.Readd();
        EXPECT_TRUE(Shown().empty()) << round;
        EXPECT_EQ(icon.Delete(), 0) << round;
        icon.Destroy();
        SetUpAsTheMonitorDoes(icon, owner, 2);
        icon.Add(0);
        EXPECT_EQ(Shown(), (std::vector<std::string>{"red"}));
        icon.Destroy();
    }

    // A failed load still takes its slot; the empty slot shows no image.
    const long nIconsBefore = GdiCounters::Outstanding();
    CTrayIcon gaps;
    TrayIconInit init = {GetModuleHandleA(nullptr), owner, 3};
    ASSERT_EQ(gaps.Create(init, 2), 1);
    gaps.AddIcon(999);
    gaps.AddIcon(IDI_TRAY_ERROR);
    gaps.Add(0);
    EXPECT_TRUE(InShell(owner, 3));
    EXPECT_EQ(Shown(), (std::vector<std::string>{"none"}));
    gaps.Modify(1);
    EXPECT_EQ(Shown(), (std::vector<std::string>{"magenta"}));
    // Reloading a slot replaces its image and gives the old one back; Destroy gives back all.
    EXPECT_NE(gaps.LoadSlotIcon(IDI_TRAY_ERROR, 0, 16, 16), nullptr);
    EXPECT_NE(gaps.LoadSlotIcon(IDI_TRAY_RECEIVED, 0, 16, 16), nullptr);
    EXPECT_EQ(gaps.LoadSlotIcon(IDI_TRAY_RECEIVED, 2, 16, 16), nullptr);
    EXPECT_EQ(GdiCounters::Outstanding(), nIconsBefore + 2);
    gaps.Modify(0);
    EXPECT_EQ(Shown(), (std::vector<std::string>{"green"}));
    gaps.Destroy();
    EXPECT_EQ(GdiCounters::Outstanding(), nIconsBefore);

    // Tips: 63 characters fit; a longer text is cut to 63, never inside a double-byte
    // character; the record behind the tip is untouched (the images still show).
    const std::string fits(63, 'x');
    const std::string longer = std::string(63, 'y') + "-and-a-long-host-name.example";
    const std::string kana = std::string(62, 'z') + "\x83\x41";  // 62 letters, then a double-byte katakana
    const struct {
        std::string tip;
        std::string shown;
    } tips[] = {{fits, fits}, {longer, std::string(63, 'y')}, {kana, std::string(62, 'z')}, {"", ""}};
    for (const auto& t : tips) {
        CTrayIcon tipped;
        SetUpAsTheMonitorDoes(tipped, owner, 4, t.tip.c_str());
        tipped.Add(0);
        tipped.Modify(2);
        EXPECT_EQ(Shown(), (std::vector<std::string>{"magenta"})) << t.tip;
        if (!t.shown.empty()) {
            EXPECT_EQ(TipShown(), t.shown);
        }
        EXPECT_TRUE(tipped.Delete());
        EXPECT_TRUE(Shown().empty());
    }
}

}  // namespace

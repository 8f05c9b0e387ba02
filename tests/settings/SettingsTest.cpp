// The monitor's settings on real profile files in the Windows folder, written and read
// through the platform's profile functions and compared as text.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "CMonitorSettings.h"
#include "CWinApp.h"
#include "WinTestSupport.h"

namespace {

// "ＭＳ ゴシック" in Shift-JIS.
const char kGothic[] = "\x82\x6C\x82\x72 \x83\x53\x83\x56\x83\x62\x83\x4E";

// The window's rectangle as created, and its restored rectangle at exit.
const RECT kCreatedRect = {3, 5, 591, 167};
const RECT kNormalRect = {120, -40, 708, 122};

using wintest::DefaultSection;
using wintest::Edited;
using wintest::Renamed;
using wintest::Resource;

std::string WithoutCarriageReturns(std::string text) {
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    return text;
}

bool EveryLineEndsInCrLf(const std::string& text) {
    for (size_t i = 0; i < text.size(); ++i)
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) return false;
    return !text.empty() && text.back() == '\n';
}

// The text without the lines of some keys.
std::string Without(std::string text, const std::vector<std::string>& keys) {
    for (const auto& key : keys) {
        size_t start = text.find("\n" + key + "=") + 1;
        text.erase(start, text.find('\n', start) + 1 - start);
    }
    return text;
}

bool EqualRects(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

class SettingsProfile : public testing::Test {
protected:
    void SetUp() override {
        // The program's own naming: the executable's name plus ".INI", in the Windows folder.
        m_app.SetNamesFromModule(nullptr);
        ASSERT_STREQ(m_app.m_strProfileName, "settings_test.INI");
        wintest::DeleteWindowsFile(m_app.m_strProfileName);
    }
    void TearDown() override { wintest::DeleteWindowsFile(m_app.m_strProfileName); }

    std::string FileText() {
        WritePrivateProfileStringA(nullptr, nullptr, nullptr, m_app.m_strProfileName);
        return wintest::ReadWindowsFile(m_app.m_strProfileName);
    }
    bool FileExists() {
        return GetFileAttributesA(wintest::WindowsPath(m_app.m_strProfileName).c_str()) != INVALID_FILE_ATTRIBUTES;
    }
    void WriteFile(const std::string& text) { wintest::WriteWindowsFile(m_app.m_strProfileName, text); }

    CWinApp m_app;
};

TEST_F(SettingsProfile, WithoutAFileEveryKeyTakesItsDefault) {
    CMonitorSettings settings;
    EXPECT_STREQ(settings.m_strSection, "QRVGRPH");
    EXPECT_EQ(settings.m_nErrorCounter, 0);
    settings.LoadSettings(m_app, kCreatedRect);

    // Loading only reads.
    EXPECT_FALSE(FileExists());

    // Host, timers, titles and scales.
    EXPECT_STREQ(settings.m_strHostName, "localhost");
    EXPECT_EQ(settings.m_nSocketTimer, 2000);
    EXPECT_EQ(settings.m_nMonitorTimer, 10);
    EXPECT_EQ(settings.m_nDelayTimer, 3);
    EXPECT_STREQ(settings.m_charts[0].strTitle, "CPU");
    EXPECT_STREQ(settings.m_charts[1].strTitle, "PWR");
    EXPECT_STREQ(settings.m_charts[2].strTitle, "SYS");
    EXPECT_STREQ(settings.m_charts[3].strTitle, "Vcore");
    EXPECT_STREQ(settings.m_charts[4].strTitle, "VTT");
    EXPECT_STREQ(settings.m_charts[5].strTitle, "Vio");
    EXPECT_EQ(settings.m_charts[0].nMax, 60);
    EXPECT_EQ(settings.m_charts[0].nMin, 20);
    EXPECT_EQ(settings.m_charts[1].nMax, 60);
    EXPECT_EQ(settings.m_charts[1].nMin, 20);
    EXPECT_EQ(settings.m_charts[2].nMax, 60);
    EXPECT_EQ(settings.m_charts[2].nMin, 20);
    EXPECT_EQ(settings.m_charts[3].nMax, 30);
    EXPECT_EQ(settings.m_charts[3].nMin, 20);
    EXPECT_EQ(settings.m_charts[4].nMax, 30);
    EXPECT_EQ(settings.m_charts[4].nMin, 20);
    EXPECT_EQ(settings.m_charts[5].nMax, 40);
    EXPECT_EQ(settings.m_charts[5].nMin, 30);

    // Fonts: the Japanese system face, byte for byte.
    EXPECT_STREQ(settings.m_strTitleFontName, kGothic);
    EXPECT_EQ(settings.m_nTitleFontSize, 12);
    EXPECT_STREQ(settings.m_strNumberFontName, kGothic);
    EXPECT_EQ(settings.m_nNumberFontSize, 12);
    EXPECT_STREQ(settings.m_strGraphFontName, kGothic);
    EXPECT_EQ(settings.m_nGraphFontSize, 12);

    // Colours.
    EXPECT_EQ(settings.m_crBackColor, RGB(0, 0, 0));
    EXPECT_EQ(settings.m_crLineColor, RGB(0, 192, 0));
    EXPECT_EQ(settings.m_crTempColor, RGB(255, 64, 0));
    EXPECT_EQ(settings.m_crVoltColor, RGB(255, 255, 64));
    EXPECT_EQ(settings.m_crNumberColor, RGB(255, 255, 255));

    // The window stays where it was created; the flags are off but saving is on.
    EXPECT_TRUE(EqualRects(settings.m_rcWindow, kCreatedRect));
    EXPECT_EQ(settings.m_nStick, 0);
    EXPECT_EQ(settings.m_nTopMost, 0);
    EXPECT_EQ(settings.m_nSaveIni, 1);
}

TEST_F(SettingsProfile, TheFirstSaveWritesTheWholeSectionInSaveOrder) {
    CMonitorSettings settings;
    settings.LoadSettings(m_app, kCreatedRect);
    settings.SaveSettings(m_app, kNormalRect);

    // Every key, ending with SaveIni and ErrorCounter; the rectangle is the restored one.
    std::string text = FileText();
    EXPECT_TRUE(EveryLineEndsInCrLf(text));
    EXPECT_EQ(WithoutCarriageReturns(text), Resource("DEFAULT_SECTION"));
    EXPECT_TRUE(EqualRects(settings.m_rcWindow, kNormalRect));

    // The next start reads back what was saved: the colours from their "0x" form.
    CMonitorSettings next;
    next.LoadSettings(m_app, kCreatedRect);
    EXPECT_EQ(next.m_crLineColor, 49152u);
    EXPECT_EQ(next.m_crVoltColor, 0x40FFFFu);
    EXPECT_TRUE(EqualRects(next.m_rcWindow, kNormalRect));
    EXPECT_STREQ(next.m_strGraphFontName, kGothic);

    // Saved again unchanged, the file stays byte for byte the same.
    next.SaveSettings(m_app, next.m_rcWindow);
    EXPECT_EQ(FileText(), text);
}

TEST_F(SettingsProfile, ColoursAreWrittenAsHexWithAtLeastSixDigits) {
    // Typed by hand in decimal and beyond 24 bits.
    WriteFile("[QRVGRPH]\r\nLineColor=255\r\nBackColor=0x1000000\r\nNumberColor=0xff00ff00\r\n"
              "TempColor=16639\r\n");
    CMonitorSettings settings;
    settings.LoadSettings(m_app, kCreatedRect);
    EXPECT_EQ(settings.m_crLineColor, 255u);
    EXPECT_EQ(settings.m_crBackColor, 0x1000000u);
    EXPECT_EQ(settings.m_crNumberColor, 0xFF00FF00u);
    EXPECT_EQ(settings.m_crTempColor, 0x40FFu);

    // Keys already in the file keep their place; the rest follow in save order.
    settings.SaveSettings(m_app, kNormalRect);
    std::string expected = "[QRVGRPH]\r\nLineColor=0x0000ff\r\nBackColor=0x1000000\r\nNumberColor=0xff00ff00\r\n"
                           "TempColor=0x0040ff\r\n";
    std::string rest = Without(DefaultSection(), {"LineColor", "BackColor", "NumberColor", "TempColor"});
    expected += rest.substr(rest.find('\n') + 1);
    EXPECT_EQ(FileText(), expected);
}

TEST_F(SettingsProfile, WithSaveIniOffOnlySaveIniAndErrorCounterAreWritten) {
    // A section edited by hand: a colour in decimal, an old count, another section after it.
    std::string section = Edited(DefaultSection(), {{"LineColor", "255"}, {"SaveIni", "0"}, {"ErrorCounter", "12"}});
    std::string other = Renamed(DefaultSection(), "Other");
    WriteFile(section + other);

    CMonitorSettings settings;
    settings.LoadSettings(m_app, kCreatedRect);
    RECT rcLoaded = settings.m_rcWindow;
    settings.m_nErrorCounter += 2;
    settings.SaveSettings(m_app, kCreatedRect);

    // Every other byte as it was: no colour rewritten, no window position saved.
    EXPECT_EQ(FileText(), Edited(section, {{"ErrorCounter", "2"}}) + other);
    EXPECT_TRUE(EqualRects(settings.m_rcWindow, rcLoaded));

    // A section without ErrorCounter gets it at its end, before the next section.
    WriteFile("[QRVGRPH]\r\nSaveIni=0\r\n" + other);
    CMonitorSettings appended;
    appended.LoadSettings(m_app, kCreatedRect);
    appended.SaveSettings(m_app, kNormalRect);
    EXPECT_EQ(FileText(), "[QRVGRPH]\r\nSaveIni=0\r\nErrorCounter=0\r\n" + other);
}

TEST_F(SettingsProfile, ErrorCounterIsWrittenAtEverySaveCountedFromZero) {
    // Whatever the file held, a run starts at 0.
    WriteFile(Edited(DefaultSection(), {{"ErrorCounter", "57"}}));
    CMonitorSettings settings;
    settings.LoadSettings(m_app, kCreatedRect);
    EXPECT_EQ(settings.m_nErrorCounter, 0);
    settings.SaveSettings(m_app, kNormalRect);
    EXPECT_EQ(FileText(), DefaultSection());

    // Counts beyond what a short would hold.
    CMonitorSettings counted;
    counted.LoadSettings(m_app, kCreatedRect);
    counted.m_nErrorCounter = 1000000;
    counted.SaveSettings(m_app, kNormalRect);
    EXPECT_EQ(FileText(), Edited(DefaultSection(), {{"ErrorCounter", "1000000"}}));

    // Also with SaveIni off.
    counted.m_nSaveIni = 0;
    ++counted.m_nErrorCounter;
    counted.SaveSettings(m_app, kCreatedRect);
    EXPECT_EQ(FileText(), Edited(DefaultSection(), {{"SaveIni", "0"}, {"ErrorCounter", "1000001"}}));
}

TEST_F(SettingsProfile, ValuesAreNeitherValidatedNorClamped) {
    // A screen left of and above the primary one, inverted scales, zero and negative timers,
    // flags beyond 0 and 1, an empty host and title.
    std::string text = Edited(DefaultSection(), {{"HostName", ""},
                                                 {"SocketTimer", "0"},
                                                 {"MonitorTimer", "-5"},
                                                 {"DelayTimer", "-2147483648"},
                                                 {"StringTSYS", ""},
                                                 {"CPUTempMax", "10"},
                                                 {"CPUTempMin", "90"},
                                                 {"VioMin", "-30"},
                                                 {"TitleFontSize", "-16"},
                                                 {"Top", "-300"},
                                                 {"Left", "-1920"},
                                                 {"Right", "-1332"},
                                                 {"Bottom", "-138"},
                                                 {"Stick", "-1"},
                                                 {"TopMost", "2"},
                                                 {"SaveIni", "3"}});
    WriteFile(text);
    CMonitorSettings settings;
    settings.LoadSettings(m_app, kCreatedRect);
    EXPECT_STREQ(settings.m_strHostName, "");
    EXPECT_EQ(settings.m_nSocketTimer, 0);
    EXPECT_EQ(settings.m_nMonitorTimer, -5);
    EXPECT_EQ(settings.m_nDelayTimer, INT_MIN);
    EXPECT_STREQ(settings.m_charts[2].strTitle, "");
    EXPECT_EQ(settings.m_charts[0].nMax, 10);
    EXPECT_EQ(settings.m_charts[0].nMin, 90);
    EXPECT_EQ(settings.m_charts[5].nMin, -30);
    EXPECT_EQ(settings.m_nTitleFontSize, -16);
    EXPECT_TRUE(EqualRects(settings.m_rcWindow, RECT{-1920, -300, -1332, -138}));
    EXPECT_EQ(settings.m_nStick, -1);
    EXPECT_EQ(settings.m_nTopMost, 2);
    EXPECT_EQ(settings.m_nSaveIni, 3);

    // Saved with the window where it was placed, the file comes back unchanged.
    settings.SaveSettings(m_app, RECT{-1920, -300, -1332, -138});
    EXPECT_EQ(FileText(), text);

    // SaveIni 3 is on like 1: moved back to the primary screen, the window's place is saved.
    settings.SaveSettings(m_app, kNormalRect);
    EXPECT_EQ(FileText(), Edited(text, {{"Top", "-40"}, {"Left", "120"}, {"Right", "708"}, {"Bottom", "122"}}));
}

TEST_F(SettingsProfile, AnySectionTheProgramWritesReadsBackAsItWas) {
    // Every key but SaveIni and ErrorCounter with a random value of its kind: colours as
    // the program writes them, numbers over the whole range, texts with double-byte
    // characters. Loaded and saved at the place it was loaded, the file stays byte for byte.
    std::mt19937 random(27);
    auto like = [&random](const std::string& value) {
        char buffer[32];
        const unsigned bits = static_cast<unsigned>(random()) >> (random() % 32);
        if (value.compare(0, 2, "0x") == 0)
            std::snprintf(buffer, sizeof buffer, "0x%06x", bits);
        else if (value.find_first_not_of("-0123456789") == std::string::npos)
            std::snprintf(buffer, sizeof buffer, "%d", static_cast<int>(random() % 2 ? bits : ~bits));
        else
            return (random() % 2 ? kGothic : "") + std::to_string(bits) + " x";
        return std::string(buffer);
    };
    for (int round = 0; round < 40; ++round) {
        std::string text;
        size_t start = 0;
        const std::string defaults = DefaultSection();
        for (size_t end; (end = defaults.find("\r\n", start)) != std::string::npos; start = end + 2) {
            std::string line = defaults.substr(start, end - start);
            const size_t equals = line.find('=');
            const std::string key = line.substr(0, equals);
            if (equals != std::string::npos && key != "SaveIni" && key != "ErrorCounter")
                line = key + "=" + like(line.substr(equals + 1));
            text += line + "\r\n";
        }
        WriteFile(text);
        CMonitorSettings settings;
        settings.LoadSettings(m_app, kCreatedRect);
        settings.SaveSettings(m_app, settings.m_rcWindow);
        ASSERT_EQ(FileText(), text) << round;
    }
}

TEST_F(SettingsProfile, EachSectionIsItsOwn) {
    // A section named by blanks and quotes, created by its first save.
    const char kQuoted[] = "\"sensor box\" 2  'b'";
    CMonitorSettings quoted;
    quoted.m_strSection = kQuoted;
    quoted.LoadSettings(m_app, kCreatedRect);
    quoted.SaveSettings(m_app, kNormalRect);
    EXPECT_EQ(FileText(), Renamed(DefaultSection(), kQuoted));

    // It reads back from that section only.
    std::string first = Renamed(Edited(DefaultSection(), {{"HostName", "alpha"}}), kQuoted);
    std::string second = Renamed(Edited(DefaultSection(), {{"HostName", "beta"}, {"SaveIni", "0"}}), "QRVGRPH");
    WriteFile(first + second);
    CMonitorSettings a;
    a.m_strSection = kQuoted;
    a.LoadSettings(m_app, kCreatedRect);
    CMonitorSettings b;
    b.LoadSettings(m_app, kCreatedRect);
    EXPECT_STREQ(a.m_strHostName, "alpha");
    EXPECT_STREQ(b.m_strHostName, "beta");

    // Two sections in one file, each saved without touching the other.
    a.m_nTopMost = 1;
    a.m_nErrorCounter = 4;
    a.SaveSettings(m_app, kCreatedRect);
    std::string firstSaved = Edited(first, {{"TopMost", "1"}, {"ErrorCounter", "4"}, {"Top", "5"},
                                            {"Left", "3"}, {"Right", "591"}, {"Bottom", "167"}});
    EXPECT_EQ(FileText(), firstSaved + second);
    b.m_nErrorCounter = 9;
    b.SaveSettings(m_app, kCreatedRect);
    EXPECT_EQ(FileText(), firstSaved + Edited(second, {{"ErrorCounter", "9"}}));
}

TEST_F(SettingsProfile, ASaveWithoutALoadWritesNothing) {
    // A start that failed before loading leaves no file behind.
    CMonitorSettings failed;
    failed.m_strSection = "failed start";
    ++failed.m_nErrorCounter;
    failed.SaveSettings(m_app, kNormalRect);
    EXPECT_FALSE(FileExists());

    // Nor does it touch a file that is there, not even SaveIni and ErrorCounter.
    std::string text = Edited(DefaultSection(), {{"ErrorCounter", "7"}});
    WriteFile(text);
    CMonitorSettings unloaded;
    unloaded.SaveSettings(m_app, kCreatedRect);
    EXPECT_EQ(FileText(), text);
}

}  // namespace

TEST_F(SettingsProfile, AlarmLimitsAreReadInTheCLocaleAndSavedOnlyWhenTheyWereThere) {
    // Without a limit, the defaults: three polls, a colour that stands out on black, and
    // nothing new in the saved section (the first-save test compares it byte for byte).
    CMonitorSettings none;
    none.LoadSettings(m_app, kCreatedRect);
    EXPECT_EQ(none.m_nAlarmPolls, 3);
    EXPECT_EQ(none.m_crAlarmColor, 0x00C0FFu);
    for (const CMonitorSettings::ChartSettings& chart : none.m_charts) EXPECT_FALSE(chart.alarmHigh.bSet || chart.alarmLow.bSet);
    EXPECT_STREQ(none.m_strUnreadAlarmKeys, "");

    // Limits in their own unit, in any decimal form the C locale writes; an empty one is
    // no limit and no mistake; a comma or a unit is not understood, and named.
    std::string section = DefaultSection();
    section.insert(section.find("SaveIni="),
                   "CPUTempAlarmHigh=85\r\nCPUTempAlarmLow=\r\nVcoreAlarmHigh=1.45\r\nVcoreAlarmLow=0.8\r\n"
                   "VioAlarmLow=3,1\r\nPWRTempAlarmHigh=90C\r\nSYSTempAlarmLow=-5.5\r\nAlarmPolls=5\r\n");
    WriteFile(section);
    CMonitorSettings settings;
    settings.LoadSettings(m_app, kCreatedRect);
    EXPECT_TRUE(settings.m_charts[0].alarmHigh.bSet);
    EXPECT_EQ(settings.m_charts[0].alarmHigh.dValue, 85.0);
    EXPECT_FALSE(settings.m_charts[0].alarmLow.bSet);
    EXPECT_EQ(settings.m_charts[3].alarmHigh.dValue, 1.45);
    EXPECT_EQ(settings.m_charts[3].alarmLow.dValue, 0.8);
    EXPECT_EQ(settings.m_charts[2].alarmLow.dValue, -5.5);
    EXPECT_FALSE(settings.m_charts[5].alarmLow.bSet);
    EXPECT_FALSE(settings.m_charts[1].alarmHigh.bSet);
    EXPECT_STREQ(settings.m_strUnreadAlarmKeys, "PWRTempAlarmHigh, VioAlarmLow");
    EXPECT_EQ(settings.m_nAlarmPolls, 5);

    // Saved, every key that was there keeps its text, and no other alarm key appears.
    settings.SaveSettings(m_app, kNormalRect);
    EXPECT_EQ(FileText(), section);

    // Decimal texts give the double strtod gives, to its last bits where they are short;
    // anything else is refused.
    double d = 0;
    for (const char* text : {"0", "-0.25", "+12", "007.5", "1.", ".5", "123456789012345678901234567890"}) {
        EXPECT_TRUE(CMonitorSettings::ParseDecimal(text, d)) << text;
        EXPECT_DOUBLE_EQ(d, std::strtod(text, nullptr)) << text;
    }
    for (const char* text : {"", " ", "-", ".", "1.2.3", "1e3", "0x10", "1,5", "85 C", "nan", "inf"})
        EXPECT_FALSE(CMonitorSettings::ParseDecimal(text, d)) << text;
}

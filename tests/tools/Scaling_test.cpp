// Every window of the product at the scales people use: the display's DPI
// (the prefix's LogPixels, which Wine reads when a program starts) is set,
// and a fresh program shows each window and checks its layout: every text
// fits its control, every control lies inside its window and none overlaps
// another. In the same way, the prefix's colours (which Wine also reads when
// a program starts) are set to a high-contrast scheme, and each text of the
// setup dialog and the queue window must stand out from its background.
#include <gtest/gtest.h>
#include <windows.h>

#include <list>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "rtl/WinHandles.h"
#include "tests/support/TestPaths.h"
#include "tests/tools/ToolRun.h"

namespace {

constexpr const wchar_t* kDesktopKey = L"Control Panel\\Desktop";
constexpr const wchar_t* kColoursKey = L"Control Panel\\Colors";
constexpr const wchar_t* kThemeKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\ThemeManager";

// The colours of a high-contrast scheme: white text on black.
constexpr std::pair<const wchar_t*, const wchar_t*> kWhiteOnBlack[] = {
    {L"Window", L"0 0 0"}, {L"WindowText", L"255 255 255"}, {L"ButtonFace", L"0 0 0"}, {L"ButtonText", L"255 255 255"}};
// Only the windows dark: the button face and its text stay as they were.
constexpr std::pair<const wchar_t*, const wchar_t*> kDarkWindows[] = {{L"Window", L"0 0 0"},
                                                                      {L"WindowText", L"255 255 255"}};

// A value of the prefix's HKEY_CURRENT_USER for the programs started
// meanwhile; the value it had comes back afterwards, so that no other test
// sees it.
class PrefixValue {
public:
    PrefixValue(const wchar_t* key, const wchar_t* name, DWORD type, const void* data, DWORD size) : name_(name) {
        RegCreateKeyExW(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, key_.put(), nullptr);
        DWORD oldType = 0, oldSize = 0;
        if (RegQueryValueExW(key_.get(), name, nullptr, &oldType, nullptr, &oldSize) == ERROR_SUCCESS) {
            std::vector<BYTE> old(oldSize);
            RegQueryValueExW(key_.get(), name, nullptr, &oldType, old.data(), &oldSize);
            saved_.emplace(oldType, std::move(old));
        }
        RegSetValueExW(key_.get(), name, 0, type, static_cast<const BYTE*>(data), size);
    }
    PrefixValue(const wchar_t* key, const wchar_t* name, DWORD value)
        : PrefixValue(key, name, REG_DWORD, &value, sizeof value) {}
    PrefixValue(const wchar_t* key, const wchar_t* name, const wchar_t* text)
        : PrefixValue(key, name, REG_SZ, text, static_cast<DWORD>((wcslen(text) + 1) * sizeof *text)) {}
    ~PrefixValue() {
        if (saved_)
            RegSetValueExW(key_.get(), name_.c_str(), 0, saved_->first, saved_->second.data(),
                           static_cast<DWORD>(saved_->second.size()));
        else
            RegDeleteValueW(key_.get(), name_.c_str());
    }
    PrefixValue(const PrefixValue&) = delete;
    PrefixValue& operator=(const PrefixValue&) = delete;

private:
    rtl::UniqueHKey key_;
    std::wstring name_;
    std::optional<std::pair<DWORD, std::vector<BYTE>>> saved_;
};

}  // namespace

TEST(EveryScale, EveryWindowShowsAllItsTextInsideItselfWithoutOverlaps) {
    const std::string program = testsupport::BinDir() + "show_dialog.exe";
    for (const DWORD dpi : {96, 120, 144, 192}) {
        const PrefixValue display(kDesktopKey, L"LogPixels", dpi);
        for (const char* window : {"setup", "setup-long-card", "action-buttons", "chooser", "queue", "folders", "report"}) {
            SCOPED_TRACE(std::to_string(dpi) + " DPI, " + window);
            const tooltest::ToolRun run = tooltest::RunTool(program, {"check", window});
            EXPECT_EQ(run.exitCode, 0u) << run.output;
        }
        // Moved to a monitor of another DPI, every window lays itself out,
        // its fonts and its list's columns again. The forms only move up:
        // Wine draws a themed check box at the screen's DPI whatever the
        // window's, which a check box moved down cannot hold.
        const std::string other = std::to_string(dpi == 144 ? 96 : 144);
        const std::pair<const char*, std::string> moves[] = {
            {"queue", other}, {"folders", other}, {"report", other}, {"setup", "192"}, {"action-buttons", "192"}};
        for (const auto& [window, to] : moves) {
            if (to == std::to_string(dpi)) continue;
            SCOPED_TRACE(std::to_string(dpi) + " DPI, " + window + " moved to " + to);
            const tooltest::ToolRun run = tooltest::RunTool(program, {"check-moved", window, to});
            EXPECT_EQ(run.exitCode, 0u) << run.output;
        }
    }
}

// The setup dialog and the queue window in ordinary colours, in white text
// on black (where the dialog's own white background must come with dark
// text), and in high contrast (which Windows draws without visual styles,
// and where each keeps the user's colours), also when it is switched on
// while they are shown: each text, the check box's mark, the list's rows,
// its column titles and the status line stand out from their background.
TEST(HighContrast, EveryTextOfTheSetupDialogAndTheQueueWindowStandsOutFromItsBackground) {
    const std::string program = testsupport::BinDir() + "show_dialog.exe";
    struct Scheme {
        const char* name;
        bool whiteOnBlack;
        std::string highContrast;  // show_dialog's variant
    };
    for (const auto& [name, whiteOnBlack, highContrast] :
         {Scheme{"ordinary colours", false, ""}, Scheme{"white text on black", true, ""},
          Scheme{"high contrast", true, "high-contrast"},
          Scheme{"high contrast switched on while shown", true, "high-contrast-later"}}) {
        SCOPED_TRACE(name);
        std::list<PrefixValue> scheme;
        for (const auto& [colour, value] : kWhiteOnBlack)
            if (whiteOnBlack) scheme.emplace_back(kColoursKey, colour, value);
        if (!highContrast.empty()) scheme.emplace_back(kThemeKey, L"ThemeActive", L"0");
        for (const char* window : {"setup", "queue"}) {
            std::vector<std::string> args = {"contrast", window};
            if (!highContrast.empty()) args.push_back(highContrast);
            const tooltest::ToolRun run = tooltest::RunTool(program, args);
            EXPECT_EQ(run.exitCode, 0u) << window << ":\n" << run.output;
        }
    }
}

// With only the windows dark, the labels of a window without a colour of its
// own are drawn in the button face's text, which stands out from the face
// they lie on, not in the window text, which need not.
TEST(HighContrast, LabelsKeepToTheButtonFacesTextWhenOnlyTheWindowsAreDark) {
    const std::string program = testsupport::BinDir() + "show_dialog.exe";
    std::list<PrefixValue> scheme;
    for (const auto& [colour, value] : kDarkWindows) scheme.emplace_back(kColoursKey, colour, value);
    for (const char* window : {"report", "queue"}) {
        const tooltest::ToolRun run = tooltest::RunTool(program, {"contrast", window});
        EXPECT_EQ(run.exitCode, 0u) << window << ":\n" << run.output;
    }
}

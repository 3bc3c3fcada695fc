// Every window of the product at the scales people use: the display's DPI
// (the prefix's LogPixels, which Wine reads when a program starts) is set,
// and a fresh program shows each window and checks its layout: every text
// fits its control, every control lies inside its window and none overlaps
// another.
#include <gtest/gtest.h>
#include <windows.h>

#include <optional>
#include <string>

#include "tests/support/TestPaths.h"
#include "tests/tools/ToolRun.h"

namespace {

constexpr const wchar_t* kDesktopKey = L"Control Panel\\Desktop";
constexpr const wchar_t* kLogPixels = L"LogPixels";

// The display's DPI for the programs started meanwhile; the value the
// prefix had comes back afterwards, so that no other test sees another scale.
class DisplayDpi {
public:
    explicit DisplayDpi(DWORD dpi) {
        RegCreateKeyExW(HKEY_CURRENT_USER, kDesktopKey, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &key_, nullptr);
        DWORD value = 0, type = 0, size = sizeof value;
        if (RegQueryValueExW(key_, kLogPixels, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) ==
                ERROR_SUCCESS &&
            type == REG_DWORD)
            saved_ = value;
        RegSetValueExW(key_, kLogPixels, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi), sizeof dpi);
    }
    ~DisplayDpi() {
        if (saved_)
            RegSetValueExW(key_, kLogPixels, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&*saved_), sizeof *saved_);
        else
            RegDeleteValueW(key_, kLogPixels);
        RegCloseKey(key_);
    }
    DisplayDpi(const DisplayDpi&) = delete;
    DisplayDpi& operator=(const DisplayDpi&) = delete;

private:
    HKEY key_ = nullptr;
    std::optional<DWORD> saved_;
};

}  // namespace

TEST(EveryScale, EveryWindowShowsAllItsTextInsideItselfWithoutOverlaps) {
    const std::string program = testsupport::BinDir() + "show_dialog.exe";
    for (const DWORD dpi : {96, 120, 144, 192}) {
        const DisplayDpi display(dpi);
        for (const char* window : {"setup", "action-buttons", "chooser", "queue", "folders"}) {
            SCOPED_TRACE(std::to_string(dpi) + " DPI, " + window);
            const tooltest::ToolRun run = tooltest::RunTool(program, {"check", window});
            EXPECT_EQ(run.exitCode, 0u) << run.output;
        }
    }
}

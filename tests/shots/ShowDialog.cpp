// Shows one of the product's windows for a screen grab or a layout check,
// then closes it.
//   show_dialog NAME RECT_FILE DONE_FILE
// Once the window is painted, its screen rectangle is written to RECT_FILE as
// an ImageMagick geometry (WxH+X+Y); the window is cancelled when DONE_FILE
// appears, or after a minute.
//   show_dialog check NAME
// Prints each problem of the window's layout (tests/support/LayoutCheck.h),
// one a line, and exits with 1 when there is any.
//   show_dialog check-moved NAME DPI
// The same after the window heard that it moved to a monitor of DPI (queue
// and folders: the tools' windows lay themselves out again).
//   show_dialog contrast NAME [high-contrast|high-contrast-later]
// The same for texts that do not stand out from their background
// (tests/support/ContrastCheck.h); with high-contrast the conduit hears that
// the user reads the screen in high contrast (with high-contrast-later: from
// when the window is shown, as the system colours change), and every text
// must be in the user's own colours.
#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <initializer_list>
#include <map>
#include <string>

#include "conduit/kivHotSyncAction.h"
#include "desktop/DesktopLayout.h"
#include "desktop/HostRecords.h"
#include "ui/Controls.h"
#include "tests/support/ContrastCheck.h"
#include "tests/support/LayoutCheck.h"
#include "tests/support/TestPaths.h"
#include "tests/support/WindowDriver.h"
#include "tools/queue/QueueFile.h"
#include "tools/window/QueueWindow.h"
#include "tools/window/Remembered.h"
#include "tools/window/SendTo.h"

namespace {

namespace drv = testsupport;

bool answerHighContrast = false;
std::atomic<bool> highContrastOn = false;

// Wine 8 neither takes a high-contrast setting (SPI_SETHIGHCONTRAST fails)
// nor reports one: the module hears what Windows answers while it is on.
// HIGHCONTRASTA and HIGHCONTRASTW differ only in the scheme's name.
template <auto Original>
BOOL WINAPI HighContrastOn(UINT action, UINT param, void* data, UINT flags) {
    if (action != SPI_GETHIGHCONTRAST || !data) return Original(action, param, data, flags);
    auto* contrast = static_cast<HIGHCONTRASTA*>(data);
    contrast->dwFlags = HCF_AVAILABLE | (highContrastOn ? HCF_HIGHCONTRASTON : 0);
    contrast->lpszDefaultScheme = nullptr;
    return TRUE;
}

void AnswerHighContrast(HMODULE module) {
    const std::map<std::string, uintptr_t> answers = {
        {"SystemParametersInfoA", reinterpret_cast<uintptr_t>(&HighContrastOn<SystemParametersInfoA>)},
        {"SystemParametersInfoW", reinterpret_cast<uintptr_t>(&HighContrastOn<SystemParametersInfoW>)}};
    auto* base = reinterpret_cast<BYTE*>(module);
    const auto* headers = reinterpret_cast<const IMAGE_NT_HEADERS*>(
        base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const DWORD imports = headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
    for (auto* library = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports); library->Name; ++library) {
        const auto* names = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + library->OriginalFirstThunk);
        auto* slot = reinterpret_cast<IMAGE_THUNK_DATA*>(base + library->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slot) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            const auto* byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            const auto answer = answers.find(reinterpret_cast<const char*>(byName->Name));
            if (answer == answers.end()) continue;
            DWORD protection = 0;
            VirtualProtect(&slot->u1.Function, sizeof slot->u1.Function, PAGE_READWRITE, &protection);
            slot->u1.Function = answer->second;
            VirtualProtect(&slot->u1.Function, sizeof slot->u1.Function, protection, &protection);
        }
    }
}

void ShowActionDialog(bool withButtons) {
    kiv::TkivHotSyncActionDialog dialog(nullptr);
    dialog.ConduitName = "Tolvane";
    if (withButtons) {
        dialog.OnBtnDataClick = [](rtl::TComponent*) {};
        dialog.OnBtnAboutClick = [](rtl::TComponent*) {};
    }
    dialog.Execute();
}

// The shipped conduit's setup dialog as the host opens it: a stand-in
// desktop whose user has two card slots and a settings file.
void ShowSetupDialog(const char* directory = "/Palm/Launcher", const char* secondCard = "MultiMediaCard",
                     std::uint32_t chosenCard = desktop::FourCC("sdig")) {
    desktop::DesktopLayout desktop(desktop::DesktopLayout::TempFolder("shot"));
    const std::string user = desktop.AddUser(1001, "Alice", "Alice");
    desktop.AddSlot(1001, 1, desktop::FourCC("sdig"), "SD card");
    desktop.AddSlot(1001, 2, desktop::FourCC("mmcd"), secondCard);
    CreateDirectoryA((user + "\\Tolvane").c_str(), nullptr);
    const std::string settings = user + "\\Tolvane\\Tolvane.ini";
    WritePrivateProfileStringA("Setup", "Directory", directory, settings.c_str());
    WritePrivateProfileStringA("Setup", "MediaType", std::to_string(chosenCard).c_str(), settings.c_str());
    WritePrivateProfileStringA("Setup", "Conduit_Enabled", "1", settings.c_str());
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, settings.c_str());  // flushed before the conduit reads it
    const std::string conduit = desktop.Folder() + "\\Tolvane.dll";
    CopyFileA((testsupport::BinDir() + "Tolvane.dll").c_str(), conduit.c_str(), FALSE);
    const HMODULE module = LoadLibraryA(conduit.c_str());
    if (!module) throw drv::DriverError("cannot load " + conduit);
    if (answerHighContrast) AnswerHighContrast(module);
    using CfgConduitFn = long(__cdecl*)(long, void*, unsigned long*);
    const auto cfg = reinterpret_cast<CfgConduitFn>(reinterpret_cast<void*>(GetProcAddress(module, "CfgConduit")));
    desktop::host::CfgConduitInfo info{};
    info.infoVersion = 1;
    info.infoSize = sizeof info;
    info.userId = 1001;
    user.copy(info.pathName, sizeof info.pathName - 1);
    unsigned long size = sizeof info;
    if (cfg) cfg(0, &info, &size);
    FreeLibrary(module);
}

// A stand-in desktop with two HotSync users; Alice has files queued for
// each kind of card folder: the default, her type rule's, their own.
struct ToolDesktop {
    ToolDesktop() : desktop(desktop::DesktopLayout::TempFolder("shot")) {
        RegDeleteKeyW(HKEY_CURRENT_USER, queuewindow::kRememberedKey);
        alice = desktop.AddUser(1001, "Alice", "Alice");
        desktop.AddSlot(1001, 1, desktop::FourCC("sdig"), "SD card");
        desktop.AddUser(1002, "Bob", "Bob");
        desktop.AddSlot(1002, 1, desktop::FourCC("sdig"), "SD card");
        const std::string books = desktop.Folder() + "\\Books\\";
        CreateDirectoryA(books.c_str(), nullptr);
        queuetool::QueueFile queue(alice + "\\Tolvane\\Tolvane.ini");
        const queuetool::NewSettings settings{desktop::FourCC("sdig")};
        queue.SetTypeFolders({{"mp3", "/AUDIO"}}, settings);
        for (const char* name : {"Pocket Atlas.pdb", "Morning song.mp3", "Harbour.jpg"}) {
            files.push_back(books + name);
            if (FILE* file = std::fopen(files.back().c_str(), "wb")) std::fclose(file);
        }
        queue.Add(files[0], settings);
        queue.Add(files[1], settings);
        queue.Add(files[2], settings, "/DCIM/Trip");
    }
    ~ToolDesktop() { RegDeleteKeyW(HKEY_CURRENT_USER, queuewindow::kRememberedKey); }
    desktop::DesktopLayout desktop;
    std::string alice;
    std::vector<std::string> files;
};

void ShowQueueWindow() {
    const ToolDesktop tools;
    queuewindow::WindowOptions options;
    options.user = L"Alice";
    queuewindow::RunQueueWindow(options);
}

void ShowChooser() {
    const ToolDesktop tools;
    queuewindow::SendTo({L"C:\\Books\\a.pdb", L"C:\\Books\\b.pdb"});
}

const std::map<std::string, std::function<void()>> kDialogs = {
    {"action", [] { ShowActionDialog(false); }},
    {"action-buttons", [] { ShowActionDialog(true); }},
    {"setup", [] { ShowSetupDialog(); }},
    {"setup-refusal", [] { ShowSetupDialog("Palm\\Launcher"); }},
    // A handheld may give its slot a long name: chosen, the closed box's tip
    // and the open list show it whole.
    {"setup-long-card",
     [] {
         ShowSetupDialog("/Palm/Launcher", "MultiMediaCard in the expansion slot at the top of the handheld",
                         desktop::FourCC("mmcd"));
     }},
    {"setup-long-card-tip",
     [] {
         ShowSetupDialog("/Palm/Launcher", "MultiMediaCard in the expansion slot at the top of the handheld",
                         desktop::FourCC("mmcd"));
     }},
    {"chooser", ShowChooser},
    {"queue", ShowQueueWindow},
    {"folders", ShowQueueWindow},
    {"report", ShowQueueWindow},
};

const std::map<std::string, std::string> kCaptions = {
    {"action", "Change HotSync Action"},
    {"action-buttons", "Change HotSync Action"},
    {"setup", "Tolvane Conduit"},
    {"setup-refusal", "Tolvane Conduit"},
    {"setup-long-card", "Tolvane Conduit"},
    {"setup-long-card-tip", "Tolvane Conduit"},
    {"chooser", "Tolvane Queue: HotSync user"},
    {"queue", "Tolvane Queue"},
    {"folders", "Tolvane Queue"},
    {"report", "Tolvane Queue"},
};

// The window that NAME shows once it is up: the card folders dialog is
// opened from the queue window, with the suggested folders in its list; the
// check's report from its "Check..." button.
HWND ShownWindow(const std::string& name) {
    const HWND window = drv::WaitForWindow(kCaptions.at(name));
    if (name == "report") {
        drv::Click(drv::Child(window, "Button", "Chec&k..."));
        // The check reads every user's files before its report shows: on a
        // loaded machine that takes longer than a window takes to open.
        return drv::WaitForWindow("Tolvane installation check", drv::Millis(30000));
    }
    if (name != "folders") return window;
    drv::Click(drv::Child(window, "Button", "Card &folders..."));
    const HWND dialog = drv::WaitForWindow("Card folders by file type");
    drv::Click(drv::Child(dialog, "Button", "&Suggested"));  // returns with the list filled
    return dialog;
}

// Closes what NAME showed.
void CloseShown(const std::string& name, HWND window) {
    drv::Close(window);
    drv::WaitUntilGone(window);
    if (name != "folders" && name != "report") return;
    const HWND queue = drv::WaitForWindow(kCaptions.at(name));
    drv::Close(queue);
    drv::WaitUntilGone(queue);
}

using ProblemsOf = std::function<std::vector<std::string>(HWND)>;

// What Windows sends a window that moved to a monitor of `dpi`: the size it
// suggests holds the client area in proportion (Windows scales the frame as
// well; Wine's frame keeps the metrics the program started with). Returns
// that client size.
SIZE MoveToDpi(HWND window, int dpi) {
    RECT r{}, client{};
    GetWindowRect(window, &r);
    GetClientRect(window, &client);
    const int old = rtl::DpiOf(window);
    const int width = r.right - r.left - client.right + MulDiv(client.right, dpi, old);
    const int height = r.bottom - r.top - client.bottom + MulDiv(client.bottom, dpi, old);
    RECT suggested{r.left, r.top, r.left + width, r.top + height};
    SendMessageW(window, rtl::kWmDpiChanged, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
    return SIZE{MulDiv(client.right, dpi, old), MulDiv(client.bottom, dpi, old)};
}

// A window that kept its size has not taken the new DPI.
std::vector<std::string> MovedProblems(HWND window, int dpi) {
    const SIZE expected = MoveToDpi(window, dpi);
    std::vector<std::string> problems = drv::LayoutProblems(window, {L"State", L"Desktop file"});
    const SIZE client = drv::ClientSize(window);
    if (std::abs(client.cx - expected.cx) > 1 || std::abs(client.cy - expected.cy) > 1)
        problems.push_back("its client area is " + std::to_string(client.cx) + "x" + std::to_string(client.cy) +
                           " at " + std::to_string(dpi) + " DPI, not " + std::to_string(expected.cx) + "x" +
                           std::to_string(expected.cy));
    return problems;
}

int Check(const std::string& name, const ProblemsOf& problemsOf) {
    std::vector<std::string> problems;
    drv::ModalWatcher watcher([&] {
        const HWND window = ShownWindow(name);
        RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        problems = problemsOf(window);
        CloseShown(name, window);
    });
    kDialogs.at(name)();
    const std::string failure = watcher.Join();
    if (!failure.empty()) problems.push_back("show_dialog: " + failure);
    for (const std::string& problem : problems) std::printf("%s: %s\n", name.c_str(), problem.c_str());
    return problems.empty() ? 0 : 1;
}

// The screen rectangle of the windows, together.
void WriteRect(std::initializer_list<HWND> windows, const std::string& path) {
    RECT r{};
    for (const HWND window : windows) {
        RECT one{};
        GetWindowRect(window, &one);
        UnionRect(&r, &r, &one);
    }
    const std::string partial = path + ".part";
    FILE* file = std::fopen(partial.c_str(), "w");
    if (!file) throw drv::DriverError("cannot write " + partial);
    std::fprintf(file, "%ldx%ld+%ld+%ld\n", r.right - r.left, r.bottom - r.top, r.left, r.top);
    std::fclose(file);
    MoveFileExA(partial.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
}

BOOL CALLBACK PointerLeaves(HWND control, LPARAM) noexcept {
    SendMessageW(control, WM_MOUSELEAVE, 0, 0);
    return TRUE;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (argc == 3 && mode == "check" && kDialogs.count(argv[2]))
        // The state takes the rest of the list, a tip tells what it cuts; a
        // desktop file's full path may be longer than any column.
        return Check(argv[2], [](HWND window) { return drv::LayoutProblems(window, {L"State", L"Desktop file"}); });
    if (argc == 4 && mode == "check-moved" && kDialogs.count(argv[2])) {
        const int dpi = std::atoi(argv[3]);
        return Check(argv[2], [dpi](HWND window) { return MovedProblems(window, dpi); });
    }
    const std::string variant = argc == 4 ? argv[3] : "";
    if ((argc == 3 || variant == "high-contrast" || variant == "high-contrast-later") && mode == "contrast" &&
        kDialogs.count(argv[2])) {
        answerHighContrast = argc == 4;
        highContrastOn = variant == "high-contrast";
        return Check(argv[2], [](HWND window) {
            if (answerHighContrast && !highContrastOn) {
                highContrastOn = true;
                SendMessageA(window, WM_SYSCOLORCHANGE, 0, 0);  // what the system sends every window then
            }
            return drv::ContrastProblems(window, answerHighContrast);
        });
    }
    if (argc != 4 || !kDialogs.count(argv[1])) {
        std::fprintf(stderr,
                     "usage: show_dialog action|action-buttons|setup|setup-refusal|setup-long-card|setup-long-card-tip|chooser|queue|folders|report RECT_FILE "
                     "DONE_FILE\n       show_dialog check NAME\n       show_dialog check-moved queue|folders DPI\n"
                     "       show_dialog contrast NAME [high-contrast|high-contrast-later]\n");
        return 2;
    }
    const std::string name = argv[1], rectFile = argv[2], doneFile = argv[3];
    drv::ModalWatcher watcher([&] {
        const HWND window = ShownWindow(name);
        RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
        Sleep(500);  // let the dialog's thread paint
        // Xvfb's pointer stays in the middle of the screen, where nothing
        // moves it, and a themed control under it would be drawn lit.
        EnumChildWindows(window, &PointerLeaves, 0);
        Sleep(300);
        // The refusal: OK with a directory no card can take, and its message over the dialog.
        HWND box = nullptr;
        if (name == "setup-refusal") {
            drv::Click(drv::Child(window, "Button", "OK"));
            box = drv::WaitForWindow("Tolvane");
            Sleep(500);
            WriteRect({window, box}, rectFile);
        } else if (name == "setup-long-card-tip") {
            // The pointer rests on the closed box, which cuts the chosen card's name: its tip shows it whole.
            const HWND combo = drv::Children(window, "ComboBox").at(0);
            RECT r{};
            GetWindowRect(combo, &r);
            SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
            HWND tip = nullptr;
            drv::WaitFor([&] { return (tip = FindWindowW(TOOLTIPS_CLASSW, nullptr)) && IsWindowVisible(tip); },
                         drv::Millis(5000));
            Sleep(300);
            WriteRect({window, tip}, rectFile);
        } else if (name == "setup-long-card") {
            // Its card list open, in the picture with the dialog.
            const HWND combo = drv::Children(window, "ComboBox").at(0);
            SendMessageW(combo, CB_SHOWDROPDOWN, TRUE, 0);
            COMBOBOXINFO info{};
            info.cbSize = sizeof info;
            GetComboBoxInfo(combo, &info);
            Sleep(300);
            WriteRect({window, info.hwndList}, rectFile);
        } else {
            WriteRect({window}, rectFile);
        }
        drv::WaitFor([&] { return GetFileAttributesA(doneFile.c_str()) != INVALID_FILE_ATTRIBUTES; },
                     drv::Millis(60000));
        if (box) drv::AnswerMessageBox("Tolvane", "OK");
        CloseShown(name, window);
    });
    kDialogs.at(name)();
    const std::string failure = watcher.Join();
    if (!failure.empty()) std::fprintf(stderr, "show_dialog: %s\n", failure.c_str());
    return failure.empty() ? 0 : 1;
}

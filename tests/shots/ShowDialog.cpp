// Shows one of the conduit's dialogs for a screen grab, then closes it.
//   show_dialog NAME RECT_FILE DONE_FILE
// Once the dialog is painted, its screen rectangle is written to RECT_FILE as
// an ImageMagick geometry (WxH+X+Y); the dialog is cancelled when DONE_FILE
// appears, or after a minute.
#include <windows.h>

#include <cstdio>
#include <functional>
#include <initializer_list>
#include <map>
#include <string>

#include "conduit/kivHotSyncAction.h"
#include "desktop/DesktopLayout.h"
#include "desktop/HostRecords.h"
#include "tests/support/TestPaths.h"
#include "tests/support/WindowDriver.h"

namespace {

namespace drv = testsupport;

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
void ShowSetupDialog(const char* directory = "/Palm/Launcher") {
    desktop::DesktopLayout desktop(desktop::DesktopLayout::TempFolder("shot"));
    const std::string user = desktop.AddUser(1001, "Alice", "Alice");
    desktop.AddSlot(1001, 1, desktop::FourCC("sdig"), "SD card");
    desktop.AddSlot(1001, 2, desktop::FourCC("mmcd"), "MultiMediaCard");
    CreateDirectoryA((user + "\\Tolvane").c_str(), nullptr);
    const std::string settings = user + "\\Tolvane\\Tolvane.ini";
    WritePrivateProfileStringA("Setup", "Directory", directory, settings.c_str());
    WritePrivateProfileStringA("Setup", "MediaType", std::to_string(desktop::FourCC("sdig")).c_str(), settings.c_str());
    WritePrivateProfileStringA("Setup", "Conduit_Enabled", "1", settings.c_str());
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, settings.c_str());  // flushed before the conduit reads it
    const std::string conduit = desktop.Folder() + "\\Tolvane.dll";
    CopyFileA((testsupport::BinDir() + "Tolvane.dll").c_str(), conduit.c_str(), FALSE);
    const HMODULE module = LoadLibraryA(conduit.c_str());
    if (!module) throw drv::DriverError("cannot load " + conduit);
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

const std::map<std::string, std::function<void()>> kDialogs = {
    {"action", [] { ShowActionDialog(false); }},
    {"action-buttons", [] { ShowActionDialog(true); }},
    {"setup", [] { ShowSetupDialog(); }},
    {"setup-refusal", [] { ShowSetupDialog("Palm\\Launcher"); }},
};

const std::map<std::string, std::string> kCaptions = {
    {"action", "Change HotSync Action"},
    {"action-buttons", "Change HotSync Action"},
    {"setup", "Tolvane Conduit"},
    {"setup-refusal", "Tolvane Conduit"},
};

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

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4 || !kDialogs.count(argv[1])) {
        std::fprintf(stderr, "usage: show_dialog action|action-buttons|setup|setup-refusal RECT_FILE DONE_FILE\n");
        return 2;
    }
    const std::string name = argv[1], rectFile = argv[2], doneFile = argv[3];
    drv::ModalWatcher watcher([&] {
        const HWND window = drv::WaitForWindow(kCaptions.at(name));
        RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
        Sleep(500);  // let the dialog's thread paint
        // The refusal: OK with a directory no card can take, and its message over the dialog.
        HWND box = nullptr;
        if (name == "setup-refusal") {
            drv::Click(drv::Child(window, "Button", "OK"));
            box = drv::WaitForWindow("Tolvane");
            Sleep(500);
            WriteRect({window, box}, rectFile);
        } else {
            WriteRect({window}, rectFile);
        }
        drv::WaitFor([&] { return GetFileAttributesA(doneFile.c_str()) != INVALID_FILE_ATTRIBUTES; },
                     drv::Millis(60000));
        if (box) drv::AnswerMessageBox("Tolvane", "OK");
        drv::Close(window);
        drv::WaitUntilGone(window);
    });
    kDialogs.at(name)();
    const std::string failure = watcher.Join();
    if (!failure.empty()) std::fprintf(stderr, "show_dialog: %s\n", failure.c_str());
    return failure.empty() ? 0 : 1;
}

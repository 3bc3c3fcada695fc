// tolvane-register.exe: the installer's hands for registering the conduit.
//
//   tolvane-register install DLL     register DLL, also over an existing registration
//   tolvane-register uninstall DLL   unregister DLL (deletes the users' Tolvane folders)
//
// `install` never calls DllUnregisterServer: that also deletes every user's
// Tolvane folder, queue and settings included. The Conduit Manager refuses
// to install a creator ID that it has already, so an existing entry of the
// conduit's creator ID is removed first, on its own, with the Conduit
// Manager's own call; then DllRegisterServer writes the entry anew with the
// new file's path. A message box that the conduit shows is closed at once
// and its text printed, so a silent install never waits for a click.
// Prints what failed, with the error text, and exits with
// 0 done, 1 usage, 2 the DLL or the Palm Desktop could not be loaded,
// 3 registration or unregistration failed.
#include <windows.h>

#include <iostream>
#include <string>

#include "conduit/kivPalmSyncError.h"
#include "palm/kivCondMgre.h"
#include "rtl/SysUtils.h"
#include "rtl/WinHandles.h"
#include "tools/register/BoxCatcher.h"

namespace {

enum ExitCode : int { kOk = 0, kUsage = 1, kCannotLoad = 2, kFailed = 3 };

// The conduit's creator ID, as its data module sets it.
constexpr const char* kCreatorID = "tVan";
// What the Conduit Manager answers when it had no entry to remove.
constexpr long kCmNotFound = -1003;

using RegistrationFn = HRESULT(__stdcall*)();

std::string SystemText(DWORD code) {
    char buffer[512] = {};
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                                        buffer, sizeof buffer, nullptr);
    std::string text(buffer, length);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return text;
}

// What a registration result means, for the user.
std::string ResultText(HRESULT result) {
    if (result == 1) return "the conduit did not start inside the registration (is the Palm Desktop complete?)";
    if (const char* palmText = kiv::PalmSyncErrorText(result); palmText && *palmText)
        return rtl::Format("Palm error %ld: %s", static_cast<long>(result), palmText);
    const std::string system = SystemText(static_cast<DWORD>(result));
    return rtl::Format("error 0x%08lX", static_cast<unsigned long>(result)) + (system.empty() ? "" : ": " + system);
}

class Conduit {
public:
    explicit Conduit(const std::string& path) : module_(LoadLibraryA(path.c_str())), error_(GetLastError()) {}
    explicit operator bool() const noexcept { return static_cast<bool>(module_); }
    DWORD LoadError() const noexcept { return error_; }
    RegistrationFn Export(const char* name) const {
        return reinterpret_cast<RegistrationFn>(reinterpret_cast<void*>(GetProcAddress(module_.get(), name)));
    }

private:
    rtl::UniqueHModule module_;
    DWORD error_;
};

// Drops the Conduit Manager entry of our creator ID, and nothing else.
bool RemoveOldEntry() {
    palm::LoadPalmLibrary(palm::condmgr::Library);
    if (!palm::condmgr::Library.loaded) {
        std::cerr << "Cannot load the Conduit Manager (CONDMGR.DLL) of the Palm Desktop.\n";
        return false;
    }
    const long result = palm::CmRemoveConduitByCreatorID(kCreatorID);
    palm::FinishPalmLibrary(palm::condmgr::Library);
    palm::condmgr::Library.loaded = false;
    if (result > 0) std::cout << "Replaced the earlier registration of " << kCreatorID << ".\n";
    if (result > 0 || result == kCmNotFound) return true;
    std::cerr << "Cannot replace the earlier registration: " << ResultText(result) << "\n";
    return false;
}

int Call(const Conduit& conduit, const char* exportName, const char* done) {
    const RegistrationFn fn = conduit.Export(exportName);
    if (!fn) {
        std::cerr << "The conduit lacks " << exportName << "; is it a Tolvane.dll?\n";
        return kCannotLoad;
    }
    const HRESULT result = fn();
    if (result != S_OK) {
        std::cerr << exportName << " failed: " << ResultText(result) << "\n";
        return kFailed;
    }
    std::cout << done << "\n";
    return kOk;
}

// The texts of the conduit's message boxes follow the outcome; a box shown
// while the conduit unloads is among them.
int Run(const std::string& command, const std::string& path) {
    const registertool::BoxCatcher catcher;
    int code = kOk;
    {
        const Conduit conduit(path);
        if (!conduit) {
            std::cerr << "Cannot load " << path << ": " << SystemText(conduit.LoadError()) << "\n";
            code = kCannotLoad;
        } else if (command == "install") {
            code = RemoveOldEntry() ? Call(conduit, "DllRegisterServer", "Registered the conduit with the HotSync Manager.")
                                    : kFailed;
        } else {
            code = Call(conduit, "DllUnregisterServer", "Unregistered the conduit.");
        }
    }
    for (const std::string& text : catcher.Texts()) std::cerr << "The conduit said: " << text << "\n";
    return code;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc == 3 ? argv[1] : "";
    if (command != "install" && command != "uninstall") {
        std::cerr << "usage: tolvane-register install|uninstall PATH\\Tolvane.dll\n";
        return kUsage;
    }
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    try {
        return Run(command, argv[2]);
    } catch (const rtl::Exception& e) {
        std::cerr << e.Message() << "\n";
    } catch (const std::exception& e) {
        std::cerr << e.what() << "\n";
    }
    return kFailed;
}

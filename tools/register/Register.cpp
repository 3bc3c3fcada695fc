// tolvane-register.exe: the installer's hands for registering the conduit.
//
//   tolvane-register install DLL        register DLL, also over an existing registration
//   tolvane-register uninstall DLL      unregister DLL and delete every user's Tolvane folder
//   tolvane-register remove-entry DLL   drop only the conduit's Conduit Manager entry;
//                                       every user's Tolvane folder stays
//   tolvane-register check FILE...      whether each file can be replaced (none is held open)
//   tolvane-register desktop FOLDER     whether FOLDER holds every Palm Desktop library that
//                                       the conduit loads, and who else may write into it
//
// `install` never calls DllUnregisterServer: that also deletes every user's
// Tolvane folder, queue and settings included. The Conduit Manager refuses
// to install a creator ID that it has already, so an existing entry of the
// conduit's creator ID is removed first, on its own, with the Conduit
// Manager's own call; then DllRegisterServer writes the entry anew with the
// new file's path.
//
// `uninstall` and `remove-entry` change nothing while a program holds the
// library. DllUnregisterServer deletes the users' folders before the Conduit
// Manager may refuse to drop the entry, so `uninstall` moves those folders
// aside first and puts them back when the unregistration fails: a failed
// uninstall removes nothing.
//
// The helper runs with administrator rights, from a copy that Setup carries.
// The folder of the DLL that it is given is the Palm Desktop folder: every
// Palm Desktop library comes from there, and the DLL search holds that
// folder and System32 only; nothing beside the helper, in the current
// folder or in a folder that a user's registry names is loaded. Paths come
// in as Unicode; one that the ANSI code page cannot spell exactly (which the
// Palm Desktop's libraries take) is refused rather than mapped to a
// look-alike.
//
// The conduit shows a message box while it loads when a Palm Desktop library
// is missing: `install` and `uninstall` load every one of them from the
// folder first, and refuse a folder that lacks one, before the conduit is
// loaded. A box that the conduit shows all the same is closed at once and
// its text printed, so a silent install never waits for a click. Every
// report is one line. Exit codes: 0 done, 1 usage, 2 the DLL or the Palm
// Desktop could not be loaded, 3 registration or unregistration failed, 4 a
// file is in use, 5 the folder lacks a Palm Desktop library (or one cannot
// be loaded), 6 (`desktop` only) the folder is complete, but others than the
// administrators may write into it.
#include <windows.h>

#include <algorithm>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "app/DesktopLibraries.h"
#include "conduit/kivPalmComp.h"
#include "conduit/kivPalmSyncError.h"
#include "palm/kivCondMgre.h"
#include "palm/kivHSAPI.h"
#include "palm/kivUserData.h"
#include "rtl/AnsiText.h"
#include "rtl/FolderAccess.h"
#include "rtl/SysUtils.h"
#include "rtl/WinHandles.h"
#include "tools/register/BoxCatcher.h"
#include "tools/register/FoldersAside.h"
#include "tools/register/InUse.h"
#include "tools/start/DllSearch.h"

namespace {


enum ExitCode : int { kOk = 0, kUsage = 1, kCannotLoad = 2, kFailed = 3, kInUse = 4, kIncomplete = 5, kShared = 6 };

// The conduit's creator ID, as its data module sets it.
constexpr const char* kCreatorID = "tVan";
// What the Conduit Manager answers when it had no entry to remove.
constexpr long kCmNotFound = -1003;

// A failure with the exit code that reports it.
class Failure : public rtl::Exception {
public:
    Failure(int code, std::string text) : rtl::Exception(std::move(text)), code_(code) {}
    int Code() const noexcept { return code_; }

private:
    int code_;
};

// The installer shows each line of the output in its details list, so a
// report never spans lines.
std::string OneLine(std::string text) {
    for (char& c : text)
        if (c == '\r' || c == '\n' || c == '\t') c = ' ';
    return text;
}

void Say(const std::string& text) { std::cout << OneLine(text) << std::endl; }

// What a registration result means, for the user.
std::string ResultText(HRESULT result) {
    if (result == 1) return "the conduit did not start inside the registration (is the Palm Desktop complete?)";
    if (const char* palmText = kiv::PalmSyncErrorText(result); palmText && *palmText)
        return rtl::Format("Palm error %ld: %s", static_cast<long>(result), palmText);
    const std::string system = rtl::SystemMessage(static_cast<DWORD>(result));
    return rtl::Format("error 0x%08lX", static_cast<unsigned long>(result)) + (system.empty() ? "" : ": " + system);
}

using RegistrationFn = HRESULT(__stdcall*)();

// What a path says, for the user; characters that the code page lacks show as "?".
std::string Shown(const std::wstring& path) { return rtl::LossyFromWide(path, CP_ACP); }

// The Palm Desktop libraries that the conduit loads, by name, each with
// what it is; empty when the folder holds all of them.
std::wstring MissingLibraries(const std::wstring& folder) {
    std::wstring missing;
    for (const app::DesktopLibrary& library : app::kDesktopLibraries) {
        const std::wstring file = rtl::WideFromAnsi(library.info.fileName);
        const DWORD attributes = GetFileAttributesW((folder + file).c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
        missing += (missing.empty() ? L"" : L", ") + file + L" (the " + library.name + L")";
    }
    return missing;
}

void RequireEveryLibrary(const std::wstring& folder) {
    if (const std::wstring missing = MissingLibraries(folder); !missing.empty())
        throw Failure(kIncomplete, "The Palm Desktop folder " + Shown(folder) + " lacks " + Shown(missing) +
                                       ", which Tolvane needs: choose the folder of a complete Palm Desktop, or"
                                       " install the Palm Desktop again. Nothing was changed.");
}

// Every Palm Desktop library that the conduit loads, loaded from the folder
// before the conduit: the conduit's own loads then find them loaded, and a
// library that is missing or cannot be loaded is reported here, instead of
// in the message box that the conduit shows while it loads.
class DesktopLibrariesLoaded {
public:
    explicit DesktopLibrariesLoaded(const std::wstring& folder) {
        RequireEveryLibrary(folder);
        for (const app::DesktopLibrary& library : app::kDesktopLibraries) {
            const std::wstring path = folder + rtl::WideFromAnsi(library.info.fileName);
            modules_.emplace_back(LoadLibraryW(path.c_str()));
            if (!modules_.back())
                throw Failure(kIncomplete, "Cannot load the Palm Desktop's " + Shown(path) + ": " +
                                               rtl::SystemMessage(GetLastError()) + " Nothing was changed.");
        }
    }

private:
    std::vector<rtl::UniqueHModule> modules_;
};

class Conduit {
public:
    explicit Conduit(const std::wstring& path) : libraries_(FolderOf(path)), module_(LoadLibraryW(path.c_str())) {
        if (!module_)
            throw Failure(kCannotLoad, "Cannot load " + Shown(path) + ": " + rtl::SystemMessage(GetLastError()));
    }
    void Call(const char* exportName, const char* done) const {
        const auto fn =
            reinterpret_cast<RegistrationFn>(reinterpret_cast<void*>(GetProcAddress(module_.get(), exportName)));
        if (!fn) throw Failure(kCannotLoad, std::string("The conduit lacks ") + exportName + "; is it a Tolvane.dll?");
        const HRESULT result = fn();
        if (result != S_OK) throw Failure(kFailed, std::string(exportName) + " failed: " + ResultText(result));
        Say(done);
    }

private:
    static std::wstring FolderOf(const std::wstring& path) { return path.substr(0, path.find_last_of(L"\\/") + 1); }

    DesktopLibrariesLoaded libraries_;  // loaded first, freed last
    rtl::UniqueHModule module_;
};

// One Palm Desktop library, loaded in this process for as long as it lives.
class PalmLibraryInUse {
public:
    explicit PalmLibraryInUse(const palm::Binding& binding) {
        if (!scope_.Load(binding))
            throw Failure(kCannotLoad, std::string("Cannot load the Palm Desktop's ") + binding.info.fileName + ".");
    }

private:
    palm::BindingScope scope_;
};

// Drops the Conduit Manager entry of our creator ID, and nothing else;
// false when there was none.
bool RemoveEntry(const char* refusal) {
    const PalmLibraryInUse conduitManager(palm::condmgr::kBinding);
    const long result = palm::CmRemoveConduitByCreatorID(kCreatorID);
    if (result == kCmNotFound) return false;
    if (result <= 0) throw Failure(kFailed, refusal + ResultText(result));
    return true;
}

void RequireReplaceable(const std::wstring& path, const char* outcome) {
    if (const auto why = registertool::WhyNotReplaceable(path)) throw Failure(kInUse, *why + outcome);
}

// The library is loaded before anything changes, so that one that cannot
// be loaded leaves the earlier registration as it was.
void Install(const std::wstring& path) {
    const Conduit conduit(path);
    if (RemoveEntry("Cannot replace the earlier registration: "))
        Say(std::string("Replaced the earlier registration of ") + kCreatorID + ".");
    try {
        conduit.Call("DllRegisterServer", "Registered the conduit with the HotSync Manager.");
    } catch (const Failure&) {
        // The conduit leaves the calls that succeeded before the refused one;
        // an entry without its title or folder is no registration to keep.
        try {
            RemoveEntry("");
        } catch (const rtl::Exception&) {
        }
        throw;
    }
}

registertool::FoldersAside MoveConduitFoldersAside() {
    try {
        return registertool::FoldersAside(kiv::ConduitDirectories(kCreatorID));
    } catch (const Failure&) {
        throw;
    } catch (const rtl::Exception& e) {
        throw Failure(kInUse, e.Message() + " Nothing was removed.");
    }
}

void Uninstall(const std::wstring& path) {
    RequireReplaceable(path, " Nothing was removed.");
    const PalmLibraryInUse users(palm::userdata::kBinding);
    const PalmLibraryInUse conduitManager(palm::condmgr::kBinding);
    const Conduit conduit(path);
    registertool::FoldersAside folders = MoveConduitFoldersAside();
    conduit.Call("DllUnregisterServer", "Unregistered the conduit.");
    for (const std::string& line : folders.Delete()) Say(line);
    Say("Deleted every HotSync user's Tolvane folder.");
}

void RemoveEntryOnly(const std::wstring& path) {
    RequireReplaceable(path, " Nothing was removed.");
    if (RemoveEntry("The Conduit Manager refused to remove the conduit's entry: ")) {
        Say("Removed the conduit's Conduit Manager entry.");
        // Tells a running HotSync Manager, as the unregistration does; without it nothing is lost.
        try {
            const PalmLibraryInUse hotSyncManager(palm::hsapi::kBinding);
            palm::HsRefreshConduitInfo();
        } catch (const rtl::Exception&) {
        }
    } else {
        Say("The conduit was not registered.");
    }
    Say("Every HotSync user's Tolvane folder stays as it was.");
}

void Check(const std::vector<std::wstring>& files) {
    std::vector<std::string> reasons;
    for (const std::wstring& file : files)
        if (const auto why = registertool::WhyNotReplaceable(file)) reasons.push_back(*why);
    if (reasons.empty()) return;
    for (size_t i = 0; i + 1 < reasons.size(); ++i) std::cerr << OneLine(reasons[i]) << std::endl;
    throw Failure(kInUse, reasons.back());
}

// Who else may change what the helper and the HotSync Manager load from
// the folder: the folder itself, or one of the libraries in it.
std::optional<std::vector<std::wstring>> OthersWhoMayChange(const std::wstring& folder) {
    auto others = rtl::OthersWhoMayWrite(folder);
    for (const app::DesktopLibrary& library : app::kDesktopLibraries) {
        if (!others) break;
        const auto more = rtl::OthersWhoMayWrite(folder + rtl::WideFromAnsi(library.info.fileName));
        if (!more) continue;
        for (const std::wstring& name : *more)
            if (std::find(others->begin(), others->end(), name) == others->end()) others->push_back(name);
    }
    return others;
}

constexpr const char* kWhatRunsThere =
    "Setup and the uninstaller load Tolvane.dll and the Palm Desktop's libraries from there with administrator"
    " rights, and the HotSync Manager loads them for every user who synchronizes: whoever may change them can"
    " have code of theirs run as an administrator, or as another user.";

// Before Setup copies anything: a folder that lacks a library fails; one
// that others may change is named, and the install goes on.
int Desktop(const std::wstring& folder) {
    RequireEveryLibrary(folder);
    const auto others = OthersWhoMayChange(folder);
    if (!others) {
        Say("Warning: Windows keeps no permissions for the Palm Desktop folder " + Shown(folder) +
            " (its drive has none, or they cannot be read), so anybody who can reach it may change what is in it. " +
            kWhatRunsThere + " Keep the Palm Desktop on a drive that keeps permissions.");
        return kShared;
    }
    if (others->empty()) return kOk;
    std::wstring names;
    for (const std::wstring& name : *others) names += (names.empty() ? L"" : L", ") + name;
    Say("Warning: others than the administrators may change the Palm Desktop folder " + Shown(folder) +
        " or its libraries: " + Shown(names) + ". " + kWhatRunsThere +
        " Let only the administrators write there (the folder's Properties, Security).");
    return kShared;
}

// What a command takes after its name.
enum class Takes { Conduit, Folder, Files };

struct Command {
    const wchar_t* name;
    Takes takes;  // one conduit, one folder, or any number of files
    int (*run)(const std::vector<std::wstring>& args);
};

const Command kCommands[] = {
    {L"install", Takes::Conduit, [](const std::vector<std::wstring>& a) { return Install(a[0]), int(kOk); }},
    {L"uninstall", Takes::Conduit, [](const std::vector<std::wstring>& a) { return Uninstall(a[0]), int(kOk); }},
    {L"remove-entry", Takes::Conduit,
     [](const std::vector<std::wstring>& a) { return RemoveEntryOnly(a[0]), int(kOk); }},
    {L"check", Takes::Files, [](const std::vector<std::wstring>& a) { return Check(a), int(kOk); }},
    {L"desktop", Takes::Folder, [](const std::vector<std::wstring>& a) { return Desktop(a[0]); }},
};

const Command* FindCommand(int argc, wchar_t** argv) {
    if (argc < 3) return nullptr;
    for (const Command& command : kCommands)
        if (argv[1] == std::wstring(command.name) && (command.takes == Takes::Files || argc == 3)) return &command;
    return nullptr;
}

std::wstring FullPath(const std::wstring& path) {
    std::wstring full(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
        if (length == 0) return path;
        if (length < full.size()) return full.substr(0, length);
        full.resize(length);
    }
}

// The full path of what a command names (a conduit, or a folder), and the
// Palm Desktop folder (with the final backslash): the conduit's folder, or
// the folder named; empty for `check`, which loads no library.
struct Target {
    std::wstring path, folder;
};

Target TargetOf(const Command& command, const std::vector<std::wstring>& args) {
    if (command.takes == Takes::Files) return {};
    const std::wstring full = FullPath(args[0]);
    if (command.takes == Takes::Folder) {
        const std::wstring folder = full.empty() || full.back() == L'\\' ? full : full + L'\\';
        return {folder, folder};
    }
    const size_t slash = full.find_last_of(L"\\/");
    return {full, slash == std::wstring::npos ? std::wstring() : full.substr(0, slash + 1)};
}

// The Palm Desktop's libraries take ANSI paths: the folder must have an
// exact ANSI spelling.
void UseDesktopFolder(const std::wstring& folder) {
    const auto ansi = rtl::AnsiFromWide(folder);
    if (!ansi || folder.empty())
        throw Failure(kCannotLoad, "The folder " + Shown(folder) +
                                       " has a name that the Palm Desktop cannot read (letters outside this Windows'"
                                       " code page): install the Palm Desktop and Tolvane into a folder named in"
                                       " plain letters.");
    palm::UsePalmDesktopDir(*ansi);
}

// The texts of the conduit's message boxes follow the outcome; a box shown
// while the conduit unloads is among them.
int Run(const Command& command, const Target& target, std::vector<std::wstring> files) {
    const registertool::BoxCatcher catcher;
    int code = kOk;
    try {
        if (command.takes != Takes::Files) {
            UseDesktopFolder(target.folder);
            files[0] = target.path;
        }
        code = command.run(files);
    } catch (const Failure& failure) {
        std::cerr << OneLine(failure.Message()) << std::endl;
        code = failure.Code();
    } catch (const rtl::Exception& e) {
        std::cerr << OneLine(e.Message()) << std::endl;
        code = kFailed;
    }
    for (const std::string& text : catcher.Texts()) std::cerr << OneLine("The conduit said: " + text) << std::endl;
    return code;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    // Nothing is loaded before the search is narrowed; finding the command
    // and the folder loads nothing.
    const Command* command = FindCommand(argc, argv);
    const std::vector<std::wstring> files = argc > 2 ? std::vector<std::wstring>(argv + 2, argv + argc)
                                                     : std::vector<std::wstring>();
    const Target target = command ? TargetOf(*command, files) : Target{};
    toolstart::LimitDllSearchTo(target.folder);
    if (!command) {
        std::cerr << "usage: tolvane-register install|uninstall|remove-entry PATH\\Tolvane.dll\n"
                     "       tolvane-register check FILE...\n"
                     "       tolvane-register desktop FOLDER\n";
        return kUsage;
    }
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    try {
        return Run(*command, target, files);
    } catch (const rtl::Exception& e) {
        std::cerr << OneLine(e.Message()) << std::endl;
    } catch (const std::exception& e) {
        std::cerr << OneLine(e.what()) << std::endl;
    }
    return kFailed;
}

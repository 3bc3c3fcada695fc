#include "tools/queue/InstallCheck.h"

#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <memory>
#include <optional>

#include "app/CardFolders.h"
#include "app/DesktopLibraries.h"
#include "app/Outbox.h"
#include "app/OutboxRule.h"
#include "app/PathRules.h"
#include "app/Settings.h"
#include "app/memorycard.h"
#include "palm/kivCondMgre.h"
#include "palm/kivHSAPI.h"
#include "palm/kivHslog.h"
#include "palm/kivPalmInstall.h"
#include "palm/kivSyncMgr.h"
#include "palm/kivUserData.h"
#include "rtl/AnsiText.h"
#include "rtl/Classes.h"
#include "rtl/IniEncoding.h"
#include "rtl/IniFiles.h"
#include "rtl/Paths.h"
#include "rtl/SysUtils.h"
#include "rtl/Text.h"
#include "rtl/WinHandles.h"
#include "tools/queue/DesktopUsers.h"
#include "tools/queue/FileFacts.h"
#include "tools/queue/QueueFile.h"

namespace queuetool {

namespace {

// Every line the check can say: its point, its verdict, its text and what to
// do, in the words of the README's "When something does not work". %1, %2
// ... are filled in; in a user's points %1 is the user's name. The point
// tests below say which line applies, so that each text is written once.
enum class Say : size_t {
    DesktopFolder, NoHotSyncPath, DesktopFolderMissing,
    Library, LibraryMissing, ConduitManagerMissing, UserDataMissing, DesktopUnusable,
    Registered, NotRegistered, ConduitBeside, ConduitUnnamed, ConduitMissing, ConduitElsewhere, ConduitVersion,
    Shortcut, ShortcutMissing, ShortcutElsewhere,
    HotSyncRunning, HotSyncIdle,
    UserFolder, UserFolderMissing,
    Settings, NotSetUp, SettingsTooLarge, SettingsHeld, SettingsDenied, SettingsReadOnly, SettingsHeldForWriting,
    InstallOn, InstallOff,
    Card, NoCard, CardNotReported,
    CardDirectory, CardDirectoryRefused,
    TypeFolders, TypeFolderRefused,
    Queue, FileMissing, FileIsFolder, FileUnreadable, EntryRefused, SameCardPath, CardPathIsFolder,
    NoOutbox, Outbox, OutboxRightsUnknown, OutboxMissing, OutboxRefused, OutboxOthersWrite,
    Count
};

struct LineKind {
    Say id;
    const wchar_t* point;
    Verdict verdict;
    const wchar_t* text;
    const wchar_t* fix;
};

constexpr Verdict kOk = Verdict::Ok, kWarning = Verdict::Warning, kProblem = Verdict::Problem;
constexpr const wchar_t* kSetupAgain = L"Run Tolvane-setup.exe again.";
constexpr const wchar_t* kInstallThis = L"Register this one: tolvane-register install \"%2\" (or run Tolvane-setup.exe again).";
constexpr const wchar_t* kInSetupDialog = L" in Tolvane's setup dialog (change Tolvane's HotSync action in the HotSync Manager).";

constexpr LineKind kLines[] = {
    {Say::DesktopFolder, L"Palm Desktop folder", kOk, L"%1 (the registry names its HotSync Manager %2).", L""},
    {Say::NoHotSyncPath, L"Palm Desktop folder", kProblem,
     L"The registry names no HotSync Manager (HKEY_CURRENT_USER\\Software\\U.S. Robotics\\Pilot Desktop\\Core, "
     L"HotSyncPath): the HotSync never ran under this Windows account.",
     L"Start the HotSync Manager once under this account, or install the Palm Desktop."},
    {Say::DesktopFolderMissing, L"Palm Desktop folder", kProblem,
     L"%1, the folder of the HotSync Manager that the registry names (%2), is missing.",
     L"Install the Palm Desktop again, or start its HotSync Manager once so that it records where it is."},
    {Say::Library, L"%1", kOk, L"%2, version %3.", L""},
    {Say::LibraryMissing, L"%1", kProblem, L"%2 is missing: the HotSync Manager cannot load Tolvane.",
     L"Install the Palm Desktop again."},
    {Say::ConduitManagerMissing, L"%1", kProblem,
     L"%2 is missing: Tolvane cannot be registered, the HotSync Manager cannot load it, and neither its "
     L"registration nor the HotSync users can be checked.",
     L"Install the Palm Desktop again (Tolvane needs its Conduit Manager, CONDMGR.DLL)."},
    {Say::UserDataMissing, L"%1", kProblem,
     L"%2 is missing: Tolvane cannot find the HotSync users, and they cannot be checked.",
     L"Install the Palm Desktop again."},
    {Say::DesktopUnusable, L"Palm Desktop", kProblem, L"%1 The registration and the HotSync users cannot be checked.",
     L"Install the Palm Desktop again."},
    {Say::Registered, L"Registration", kOk,
     L"Tolvane (creator tVan) is registered with the Conduit Manager; its folder in each user's folder is \"%1\".", L""},
    {Say::NotRegistered, L"Registration", kProblem,
     L"Tolvane is not registered with the Conduit Manager: the HotSync Manager does not list it.",
     L"Run Tolvane-setup.exe again, or: tolvane-register install \"%1\""},
    {Say::ConduitBeside, L"Registered conduit", kOk, L"%1, the Tolvane.dll beside this tool, version %2.", L""},
    {Say::ConduitUnnamed, L"Registered conduit", kWarning,
     L"The Conduit Manager does not say which Tolvane.dll it registered (error %1), so it cannot be compared "
     L"with the one beside this tool.",
     kSetupAgain},
    {Say::ConduitMissing, L"Registered conduit", kProblem,
     L"The Conduit Manager names %1, which is missing: the HotSync Manager cannot load Tolvane.", kInstallThis},
    {Say::ConduitElsewhere, L"Registered conduit", kProblem,
     L"The Conduit Manager names %1, not the Tolvane.dll beside this tool: the HotSync Manager loads that other copy.",
     kInstallThis},
    {Say::ConduitVersion, L"Registered conduit", kWarning,
     L"%1 is version %2, and this tool %3: the conduit and its tools do not match.",
     L"Run the Tolvane-setup.exe of one version, so that all of Tolvane is that version."},
    {Say::Shortcut, L"%1", kOk, L"\"%2\" starts %3.", L""},
    {Say::ShortcutMissing, L"%1", kWarning, L"There is no \"%2\" (%3).", kSetupAgain},
    {Say::ShortcutElsewhere, L"%1", kWarning, L"\"%2\" starts %3, not the queue window beside this tool (%4).",
     kSetupAgain},
    {Say::HotSyncRunning, L"HotSync Manager", kOk,
     L"%1 runs: it holds Tolvane.dll, so Setup and the uninstaller would ask you to close it first.", L""},
    {Say::HotSyncIdle, L"HotSync Manager", kOk, L"%1 does not run now.", L""},
    {Say::UserFolder, L"%1: user folder", kOk, L"%2.", L""},
    {Say::UserFolderMissing, L"%1: user folder", kProblem,
     L"%2, the folder that the Palm Desktop records for %1, is missing: nothing can be installed for %1.",
     L"If it was renamed or moved, put it back."},
    {Say::Settings, L"%1: settings file", kOk, L"%2 (%3, %4 bytes).", L""},
    {Say::NotSetUp, L"%1: settings file", kOk,
     L"Tolvane is not set up for %1 (no %2): the HotSync installs nothing for %1, and its log says "
     L"\"Did you configure the Conduit?\". To start, configure the conduit or queue a file.",
     L""},
    {Say::SettingsTooLarge, L"%1: settings file", kProblem,
     L"%2 is %3 bytes, too large to be a settings file: Tolvane neither reads nor changes it, and no HotSync "
     L"installs from it.",
     L"Another program probably wrote it: move it out of the folder (the queue tool or the setup dialog then "
     L"starts a new one)."},
    {Say::SettingsHeld, L"%1: settings file", kProblem,
     L"%2 is held open by another program: no HotSync installs from it.",
     L"Close the program that holds it open (an editor, a backup or sync tool)."},
    {Say::SettingsDenied, L"%1: settings file", kProblem, L"Windows does not let you open %2.",
     L"Run this as the Windows user who owns the HotSync user's folder, or ask for access to it."},
    {Say::SettingsReadOnly, L"%1: settings file", kProblem,
     L"%2 is read-only: copied files could not leave the queue, so the HotSync installs no queued file.",
     L"Clear the file's read-only attribute (Properties in Explorer)."},
    {Say::SettingsHeldForWriting, L"%1: settings file", kProblem,
     L"Another program holds %2 open and keeps others from changing it: copied files could not leave the "
     L"queue, so the HotSync installs no queued file.",
     L"Close the program that holds it open (an editor, a backup or sync tool)."},
    {Say::InstallOn, L"%1: install to card", kOk, L"On.", L""},
    {Say::InstallOff, L"%1: install to card", kWarning, L"Off: the HotSync installs nothing for %1.",
     L"Tick \"Install to card\"%3"},
    {Say::Card, L"%1: card", kOk, L"%2, a slot that %1's handheld reported.", L""},
    {Say::NoCard, L"%1: card", kProblem,
     L"No card is chosen: the HotSync logs \"Tolvane found no VFS volume\" and installs nothing.",
     L"Choose the card's slot%3"},
    {Say::CardNotReported, L"%1: card", kProblem,
     L"The chosen card type %2 is none that %1's handheld reported (%4): the HotSync finds no such card.",
     L"Choose the card's slot%3 If it lists none, HotSync once with the card in the handheld."},
    {Say::CardDirectory, L"%1: card directory", kOk, L"%2.", L""},
    {Say::CardDirectoryRefused, L"%1: card directory", kProblem, L"%2 The HotSync installs nothing.",
     L"Choose another card directory%3"},
    {Say::TypeFolders, L"%1: card folders by type", kOk, L"%2.", L""},
    {Say::TypeFolderRefused, L"%1: card folders by type", kProblem,
     L"The folder of type %2: %3 Its files are not copied and stay queued.",
     L"tolvane-queue folders %1 %2=/FOLDER with another folder, or \"%2=\" to remove the rule."},
    {Say::Queue, L"%1: queue", kOk, L"%2.", L""},
    {Say::FileMissing, L"%1: queue", kProblem,
     L"%2 (%3) is missing: the HotSync logs \"Error installing\" for it and keeps it queued.",
     L"Put it back, or: tolvane-queue remove %1 %2"},
    {Say::FileIsFolder, L"%1: queue", kProblem, L"%2 (%3) is a folder, not a file: the HotSync cannot copy it.",
     L"Queue the files inside it instead, then: tolvane-queue remove %1 %2"},
    {Say::FileUnreadable, L"%1: queue", kWarning,
     L"%2 (%3) cannot be read now: another program holds it open, or you may not read it.",
     L"Close that program (or let it finish writing), or fix the file's permissions."},
    {Say::EntryRefused, L"%1: queue", kProblem, L"%2 (%3): %4",
     L"Queue the file again under a name or card folder that a card takes, then: tolvane-queue remove %1 %2"},
    {Say::SameCardPath, L"%1: queue", kProblem,
     L"%2 (%3) and %4 (%5) both go to %6 on the card: the later copy replaces the earlier one.",
     L"Send one of them into another card folder (tolvane-queue add --to DIR %1 FILE), or rename it."},
    {Say::CardPathIsFolder, L"%1: queue", kProblem,
     L"The card path of %2 (%3) is the card folder of %4 (%5): the card cannot hold a file and a folder of one "
     L"name.",
     L"Send one of them into another card folder (tolvane-queue add --to DIR %1 FILE), or rename it."},
    {Say::NoOutbox, L"%1: outbox", kOk, L"None.", L""},
    {Say::Outbox, L"%1: outbox", kOk,
     L"%2: allowed, and neither Everyone nor Users nor Authenticated Users may save files into it.", L""},
    {Say::OutboxRightsUnknown, L"%1: outbox", kOk,
     L"%2: allowed; its drive keeps no permissions, so anybody who can reach it may save files into it.", L""},
    {Say::OutboxMissing, L"%1: outbox", kProblem, L"%2 is missing: the HotSync takes no file from it.",
     L"tolvane-queue outbox %1 FOLDER (or --off)"},
    {Say::OutboxRefused, L"%1: outbox", kProblem, L"%2 cannot be an outbox: %3. The HotSync takes no file from it.",
     L"Choose another folder: tolvane-queue outbox %1 FOLDER (or --off)"},
    {Say::OutboxOthersWrite, L"%1: outbox", kWarning,
     L"%3 may save files into %2, and every file saved there goes to %1's card.",
     L"In the folder's Properties, Security, let only your account write to it; or choose a folder of your own."},
};

constexpr bool InOrder() {
    for (size_t i = 0; i < std::size(kLines); ++i)
        if (kLines[i].id != Say(i)) return false;
    return true;
}
static_assert(std::size(kLines) == size_t(Say::Count) && InOrder(), "kLines lists every Say once, in its order");

constexpr const char* kCreatorID = "tVan";  // the conduit's, as it registers itself
constexpr const wchar_t* kConduitFile = L"Tolvane.dll";
constexpr const wchar_t* kWindowProgram = L"tolvane-queue-window.exe";

std::wstring W(const std::string& ansi) { return rtl::WideFromAnsi(ansi); }

std::wstring Filled(std::wstring text, const std::vector<std::wstring>& args) {
    for (size_t at = text.find(L'%'); at != std::wstring::npos && at + 1 < text.size(); at = text.find(L'%', at)) {
        const size_t n = size_t(text[at + 1] - L'1');
        if (n >= args.size()) {
            ++at;
            continue;
        }
        text.replace(at, 2, args[n]);
        at += args[n].size();
    }
    return text;
}

std::wstring ThisProgram() {
    wchar_t path[MAX_PATH + 1] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

std::wstring FolderPart(const std::wstring& path) { return path.substr(0, path.find_last_of(L"\\/:") + 1); }

bool IsFolder(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsFile(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// A card's media type as the setup dialog shows it: its four characters, or
// the number when they are not all printable.
std::wstring MediaTypeName(uint32_t type) {
    std::wstring text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const wchar_t c = wchar_t((type >> shift) & 0xFF);
        if (c < 0x20 || c > 0x7E) return std::to_wstring(type);
        text += c;
    }
    return text;
}

// What the check found so far, and the report it writes.
struct Checkup {
    CheckReport report;
    std::wstring tool = ThisProgram();
    std::wstring beside = FolderPart(tool);
    std::wstring version = facts::FileVersion(tool).value_or(L"(none)");
    std::string hotSyncPath;
    std::wstring desktopFolder;  // with its final "\"; "" when not found
    bool libraries = false;      // User Data and Conduit Manager are there
    std::unique_ptr<PalmDesktop> desktop;
    std::wstring userNamed;

    void Line(Say id, const std::vector<std::wstring>& args) {
        const LineKind& kind = kLines[size_t(id)];
        report.lines.push_back({kind.verdict, Filled(kind.point, args), Filled(kind.text, args), Filled(kind.fix, args)});
    }
};

// --- The installation's points -----------------------------------------------

void CheckDesktopFolder(Checkup& c) {
    c.hotSyncPath = palm::GetRegisteredHotSyncPath();
    const std::wstring folder = W(rtl::ExtractFilePath(c.hotSyncPath));
    if (folder.empty()) return c.Line(Say::NoHotSyncPath, {});
    if (!IsFolder(folder)) return c.Line(Say::DesktopFolderMissing, {folder, W(c.hotSyncPath)});
    c.desktopFolder = folder;
    c.Line(Say::DesktopFolder, {folder, W(c.hotSyncPath)});
}

// Without User Data or the Conduit Manager no queue program works either.
Say MissingLine(const palm::BindingInfo& info) {
    if (&info == &palm::userdata::Info) return Say::UserDataMissing;
    if (&info == &palm::condmgr::Info) return Say::ConduitManagerMissing;
    return Say::LibraryMissing;
}

void CheckLibraries(Checkup& c) {
    if (c.desktopFolder.empty()) return;
    c.libraries = true;
    for (const app::DesktopLibrary& library : app::kDesktopLibraries) {
        const std::wstring path = c.desktopFolder + W(library.info.fileName);
        if (!IsFile(path)) {
            const Say missing = MissingLine(library.info);
            c.Line(missing, {library.name, path});
            if (missing != Say::LibraryMissing) c.libraries = false;
            continue;
        }
        c.Line(Say::Library, {library.name, path, facts::FileVersion(path).value_or(L"not given")});
    }
    if (!c.libraries) return;
    try {
        c.desktop = std::make_unique<PalmDesktop>();
    } catch (const rtl::Exception& e) {
        c.Line(Say::DesktopUnusable, {W(e.Message())});
    }
}

// The registration is asked of the Conduit Manager only: its entry, its
// folder name and the library file it records, as the conduit registered them.
void CheckRegistration(Checkup& c) {
    if (!c.desktop) return;
    const std::wstring beside = c.beside + kConduitFile;
    char folder[256] = {};
    long size = sizeof folder - 1;
    if (palm::CmGetCreatorDirectory(kCreatorID, folder, &size) != 0) return c.Line(Say::NotRegistered, {beside});
    c.Line(Say::Registered, {W(rtl::BufferText(folder))});
    char name[256] = {};
    size = sizeof name - 1;
    if (const long error = palm::CmGetCreatorName(kCreatorID, name, &size); error != 0)
        return c.Line(Say::ConduitUnnamed, {std::to_wstring(error)});
    const std::wstring registered = W(rtl::BufferText(name));
    if (!IsFile(registered)) return c.Line(Say::ConduitMissing, {registered, beside});
    if (!facts::SameFile(registered, beside)) return c.Line(Say::ConduitElsewhere, {registered, beside});
    const std::wstring version = facts::FileVersion(registered).value_or(L"(none)");
    if (version != c.version) return c.Line(Say::ConduitVersion, {registered, version, c.version});
    c.Line(Say::ConduitBeside, {registered, version});
}

// Setup's entries: every user's Start menu, and Send To of the account
// that installed; both start the queue window.
void CheckShortcuts(Checkup& c) {
    static const struct {
        int folder;
        const wchar_t* point;
        const wchar_t* name;
        const wchar_t* where;
    } kShortcuts[] = {
        {CSIDL_COMMON_PROGRAMS, L"Start menu", L"Tolvane Queue", L"the Start menu of all users"},
        {CSIDL_SENDTO, L"Send To", L"Tolvane card queue", L"this account's Send To menu"},
    };
    const std::wstring window = c.beside + kWindowProgram;
    for (const auto& shortcut : kShortcuts) {
        const std::wstring link = facts::ShellFolder(shortcut.folder) + L"\\" + shortcut.name + L".lnk";
        const std::optional<std::wstring> target = facts::ShortcutTarget(link);
        if (!target) c.Line(Say::ShortcutMissing, {shortcut.point, shortcut.name, shortcut.where});
        else if (!facts::SameFile(*target, window)) c.Line(Say::ShortcutElsewhere, {shortcut.point, shortcut.name, *target, window});
        else c.Line(Say::Shortcut, {shortcut.point, shortcut.name, *target});
    }
}

void CheckHotSyncManager(Checkup& c) {
    const std::wstring program = W(c.hotSyncPath);
    const std::wstring name = program.substr(program.find_last_of(L"\\/:") + 1);
    if (name.empty()) return;
    c.Line(facts::ProgramRuns(name) ? Say::HotSyncRunning : Say::HotSyncIdle, {name});
}

// --- Each HotSync user's points ------------------------------------------------

// One user's check: a point that finds what keeps the later ones from
// being checked (no folder, no readable settings file) ends it.
struct UserCheck {
    explicit UserCheck(const DesktopUser& checked) : user(checked), name(W(checked.name)), queue(SettingsFileOf(checked)) {}
    const DesktopUser& user;
    std::wstring name;
    QueueFile queue;
    QueueSetup setup;
    Preview preview;
};

bool CheckUserFolder(Checkup& c, UserCheck& u) {
    if (!MissingUserFolder(u.user).empty()) {
        c.Line(Say::UserFolderMissing, {u.name, W(u.user.userPath)});
        return false;
    }
    c.Line(Say::UserFolder, {u.name, W(u.user.userPath)});
    return true;
}

const wchar_t* EncodingName(const std::string& file) {
    char head[3] = {};
    DWORD got = 0;
    const rtl::UniqueFile opened(CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                             nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (opened) ReadFile(opened.get(), head, sizeof head, &got, nullptr);
    switch (rtl::DetectIniEncoding(std::string_view(head, got))) {
        case rtl::IniEncoding::Utf8: return L"UTF-8";
        case rtl::IniEncoding::Utf16Le: return L"UTF-16";
        case rtl::IniEncoding::Ansi: break;
    }
    return L"ANSI code page";
}

// Read-only, held or too large, the HotSync installs nothing: the run's
// own refusals. The probes share everything, so that no other program is
// kept out while they ask.
bool CheckSettingsFile(Checkup& c, UserCheck& u) {
    const std::string& file = u.queue.FileName();
    const std::wstring shown = W(file);
    if (!u.queue.Exists()) {
        c.Line(Say::NotSetUp, {u.name, shown});
        return false;
    }
    WIN32_FILE_ATTRIBUTE_DATA data{};
    GetFileAttributesExA(file.c_str(), GetFileExInfoStandard, &data);
    const uint64_t size = (uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    if (size > rtl::kLargestSettingsFile) {
        c.Line(Say::SettingsTooLarge, {u.name, shown, std::to_wstring(size)});
        return false;
    }
    constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    const DWORD readError = OpenError(file, GENERIC_READ, kShareAll);
    if (readError == ERROR_SHARING_VIOLATION || readError == ERROR_LOCK_VIOLATION) {
        c.Line(Say::SettingsHeld, {u.name, shown});
        return false;
    }
    if (readError != ERROR_SUCCESS) {
        c.Line(Say::SettingsDenied, {u.name, shown});
        return false;
    }
    if (data.dwFileAttributes & FILE_ATTRIBUTE_READONLY) c.Line(Say::SettingsReadOnly, {u.name, shown});
    else if (OpenError(file, GENERIC_READ | GENERIC_WRITE, kShareAll) != ERROR_SUCCESS)
        c.Line(Say::SettingsHeldForWriting, {u.name, shown});
    else c.Line(Say::Settings, {u.name, shown, EncodingName(file), std::to_wstring(size)});
    u.preview = u.queue.MakePreview(QueueFile::FileChecks::Later);
    u.setup = u.preview;
    return true;
}

bool CheckInstallSwitch(Checkup& c, UserCheck& u) {
    c.Line(u.setup.enabled ? Say::InstallOn : Say::InstallOff, {u.name, L"", kInSetupDialog});
    return true;
}

bool CheckCard(Checkup& c, UserCheck& u) {
    const uint32_t chosen = uint32_t(u.setup.mediaType);
    if (chosen == 0) {
        c.Line(Say::NoCard, {u.name, L"", kInSetupDialog});
        return true;
    }
    std::wstring reported;
    for (const app::TSlot& slot : app::GetSlots(u.user.id)) {
        const std::wstring shown = W(slot.DisplayName) + L" (" + MediaTypeName(slot.MediaType) + L")";
        if (slot.MediaType == chosen) {
            c.Line(Say::Card, {u.name, shown});
            return true;
        }
        reported += (reported.empty() ? L"it reported " : L", ") + shown;
    }
    c.Line(Say::CardNotReported,
           {u.name, MediaTypeName(chosen), kInSetupDialog, reported.empty() ? L"it reported no card slot" : reported});
    return true;
}

bool CheckCardDirectory(Checkup& c, UserCheck& u) {
    if (u.setup.cardDirectoryProblem.empty()) c.Line(Say::CardDirectory, {u.name, W(u.setup.cardDirectory)});
    else c.Line(Say::CardDirectoryRefused, {u.name, W(u.setup.cardDirectoryProblem), kInSetupDialog});
    return true;
}

bool CheckTypeFolders(Checkup& c, UserCheck& u) {
    std::wstring rules;
    bool refused = false;
    for (const auto& [type, directory] : u.queue.TypeFolders()) {
        if (directory.empty()) continue;  // counts as no rule
        const app::rules::CardDirectoryCheck check = app::rules::CheckCardDirectory(directory);
        if (!check.Usable()) {
            c.Line(Say::TypeFolderRefused, {u.name, W(type), W(check.problem)});
            refused = true;
        }
        rules += (rules.empty() ? L"" : L", ") + W(type) + L"=" + W(directory);
    }
    if (!refused) c.Line(Say::TypeFolders, {u.name, rules.empty() ? L"none" : rules});
    return true;
}

// Each queued file as the next HotSync will find it, and each two that
// would take one place on the card; the entries' own warnings (a name or
// folder no card takes) are the queue programs' sentences.
bool CheckQueue(Checkup& c, UserCheck& u) {
    const std::vector<PreviewEntry>& entries = u.preview.entries;
    const std::vector<CardPathClash> clashes = FindCardPathClashes(entries);
    std::vector<size_t> clashWarnings(entries.size());
    for (const CardPathClash& clash : clashes) {
        ++clashWarnings[clash.first];
        ++clashWarnings[clash.second];
    }
    const size_t before = c.report.lines.size();
    uint64_t total = 0;
    for (size_t i = 0; i < entries.size(); ++i) {
        const PreviewEntry& line = entries[i];
        const std::vector<std::wstring> named{u.name, W(line.entry.key), W(line.entry.source)};
        const size_t own = line.warnings.size() - clashWarnings[i];
        for (size_t w = 0; w < own; ++w) c.Line(Say::EntryRefused, {u.name, named[1], named[2], W(line.warnings[w])});
        if (own > 0) continue;
        std::optional<uint64_t> size;
        switch (LookAtSource(line.entry.source, size)) {
            case SourceState::Missing: c.Line(Say::FileMissing, named); break;
            case SourceState::Folder: c.Line(Say::FileIsFolder, named); break;
            case SourceState::Unreadable: c.Line(Say::FileUnreadable, named); break;
            case SourceState::Ready: total += size.value_or(0); break;
        }
    }
    for (const CardPathClash& clash : clashes) {
        const PreviewEntry& first = entries[clash.first];
        const PreviewEntry& second = entries[clash.second];
        c.Line(clash.nested ? Say::CardPathIsFolder : Say::SameCardPath,
               {u.name, W(first.entry.key), W(first.entry.source), W(second.entry.key), W(second.entry.source),
                W(first.cardPath)});
    }
    if (c.report.lines.size() == before)
        c.Line(Say::Queue, {u.name, entries.empty() ? std::wstring(L"empty")
                                                    : std::to_wstring(entries.size()) + L" queued (" +
                                                          std::to_wstring(total) + L" bytes), each readable, " +
                                                          L"no two with one card path"});
    return true;
}

bool CheckOutbox(Checkup& c, UserCheck& u) {
    const std::string folder =
        app::outbox::FolderOf(u.queue.Value(app::settings::outbox::kSection, app::settings::outbox::kFolder));
    const std::wstring shown = W(folder);
    if (folder.empty()) c.Line(Say::NoOutbox, {u.name});
    else if (!IsFolder(shown)) c.Line(Say::OutboxMissing, {u.name, shown});
    else if (const std::string refusal = app::outbox::OutboxRefusal(folder); !refusal.empty())
        c.Line(Say::OutboxRefused, {u.name, shown, W(refusal)});
    else if (const std::optional<std::wstring> others = facts::OthersWhoMayWrite(shown); !others)
        c.Line(Say::OutboxRightsUnknown, {u.name, shown});
    else if (!others->empty()) c.Line(Say::OutboxOthersWrite, {u.name, shown, *others});
    else c.Line(Say::Outbox, {u.name, shown});
    return true;
}

using InstallationPoint = void (*)(Checkup&);
constexpr InstallationPoint kInstallationPoints[] = {&CheckDesktopFolder, &CheckLibraries, &CheckRegistration,
                                                     &CheckShortcuts, &CheckHotSyncManager};
using UserPoint = bool (*)(Checkup&, UserCheck&);
constexpr UserPoint kUserPoints[] = {&CheckUserFolder,    &CheckSettingsFile,   &CheckInstallSwitch, &CheckCard,
                                     &CheckCardDirectory, &CheckTypeFolders,    &CheckQueue,         &CheckOutbox};

void CheckUsers(Checkup& c) {
    if (!c.desktop) return;
    std::vector<const DesktopUser*> users;
    if (c.userNamed.empty()) {
        for (const DesktopUser& user : c.desktop->Users()) users.push_back(&user);
    } else {
        const std::optional<std::string> ansi = rtl::AnsiFromWide(c.userNamed);
        const ChosenUser chosen = ChooseUser(c.desktop->Users(), ansi.value_or("?"));
        if (!chosen.user) {
            c.report.refusal = ansi ? W(chosen.note)
                                    : L"No HotSync user is named \"" + c.userNamed + L"\". " + W(KnownUsers(c.desktop->Users()));
            return;
        }
        users.push_back(chosen.user);
    }
    for (const DesktopUser* user : users) {
        UserCheck u(*user);
        for (const UserPoint point : kUserPoints)
            if (!point(c, u)) break;
    }
}

}  // namespace

int CheckReport::ExitCode() const {
    int code = refusal.empty() ? 0 : 2;
    for (const CheckLine& line : lines) code = std::max(code, line.verdict == Verdict::Problem ? 2 : line.verdict == Verdict::Warning ? 1 : 0);
    return code;
}

const wchar_t* CheckReport::Word(Verdict verdict) noexcept {
    static constexpr const wchar_t* kWords[] = {L"ok", L"warning", L"problem"};
    return kWords[size_t(verdict)];
}

std::wstring CheckReport::Summary() const {
    size_t problems = 0, warnings = 0;
    for (const CheckLine& line : lines) {
        problems += line.verdict == Verdict::Problem;
        warnings += line.verdict == Verdict::Warning;
    }
    if (problems + warnings == 0 && refusal.empty()) return L"All " + std::to_wstring(lines.size()) + L" points are ok.";
    return std::to_wstring(problems) + (problems == 1 ? L" problem, " : L" problems, ") + std::to_wstring(warnings) +
           (warnings == 1 ? L" warning" : L" warnings") + L" of " + std::to_wstring(lines.size()) + L" points.";
}

std::wstring CheckReport::Text() const {
    std::wstring text;
    for (const std::wstring& line : heading) text += line + L"\n";
    for (const CheckLine& line : lines) {
        const std::wstring word = Word(line.verdict);
        text += word + std::wstring(9 - word.size(), L' ') + line.point + L": " + line.text;
        if (!line.fix.empty()) text += L" What to do: " + line.fix;
        text += L"\n";
    }
    if (!refusal.empty()) text += refusal + L"\n";
    return text + Summary() + L"\n";
}

CheckReport CheckInstallation(const std::wstring& user) {
    Checkup c;
    c.userNamed = user == L"-" ? L"" : user;
    c.report.heading.push_back(L"Tolvane " + c.version + L" checks its installation (" + c.tool +
                               L"); nothing is changed.");
    try {
        for (const InstallationPoint point : kInstallationPoints) point(c);
        CheckUsers(c);
    } catch (const rtl::Exception& e) {
        c.report.refusal = L"The check stopped: " + W(e.Message());
    } catch (const std::exception& e) {
        c.report.refusal = L"The check stopped: " + W(e.what());
    }
    return c.report;
}

std::wstring SaveReport(const CheckReport& report, const std::wstring& file) {
    std::wstring text;
    for (const wchar_t ch : report.Text()) {
        if (ch == L'\n') text += L'\r';
        text += ch;
    }
    const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes = "\xEF\xBB\xBF" + std::string(size_t(length > 0 ? length : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), bytes.data() + 3, length, nullptr, nullptr);
    const rtl::UniqueFile out(
        CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (!out || !WriteFile(out.get(), bytes.data(), DWORD(bytes.size()), &written, nullptr) || written != bytes.size())
        return L"The report could not be saved as " + file + L": " + W(rtl::SystemMessage(GetLastError()));
    return L"";
}

}  // namespace queuetool

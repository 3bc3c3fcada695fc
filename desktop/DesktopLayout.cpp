#include "desktop/DesktopLayout.h"

#include <windows.h>

#include <stdexcept>

#include "desktop/Files.h"
#include "desktop/Handles.h"

namespace desktop {
namespace {

constexpr const char* kCoreKey = "Software\\U.S. Robotics\\Pilot Desktop\\Core";
constexpr const char* kHostValue = "HotSyncPath";
constexpr const char* kCallLogFile = "calls.log";
constexpr const char* kLibraries[] = {"userdata.dll", "VFSAPI.dll",  "hslog20.dll", "sync20.dll",
                                      "instaide.dll", "CONDMGR.DLL", "hsapi.dll"};

[[noreturn]] void Fail(const std::string& what) {
    throw std::runtime_error(what + " (error " + std::to_string(GetLastError()) + ")");
}

void CopyInto(const std::string& from, const std::string& folder, const std::string& name) {
    if (!CopyOneFile(JoinPath(from, name), JoinPath(folder, name)))
        Fail("cannot copy " + JoinPath(from, name) + " to " + folder);
}

}  // namespace

DesktopLayout::DesktopLayout(std::string folder, LayoutOptions options)
    : folder_(WithoutTrailingSlash(FullPath(folder))), options_(std::move(options)) {
    if (options_.swapped && !options_.lackingEntry.empty())
        throw std::invalid_argument("the lacking builds keep the normal calling conventions");
    const std::string bin = options_.binFolder.empty() ? ProgramFolder() : options_.binFolder;
    if (!CreateDirectories(folder_)) Fail("cannot create " + folder_);

    const std::string set = JoinPath(bin, options_.swapped ? "desktop-swapped" : "desktop");
    for (const char* library : kLibraries) CopyInto(set, folder_, library);
    if (!options_.lackingEntry.empty()) {
        const std::string lacking = JoinPath(bin, "desktop-lacking-" + options_.lackingEntry);
        bool copied = false;
        for (const char* library : kLibraries) {
            if (!FileExists(JoinPath(lacking, library))) continue;
            CopyInto(lacking, folder_, library);
            copied = true;
        }
        if (!copied) throw std::invalid_argument("no build lacks " + options_.lackingEntry + " in " + bin);
    }
    CopyInto(bin, folder_, kHostFile);

    if (options_.callLog) description_.switches.callLog = kCallLogFile;
    Save();
    if (options_.registerHost) {
        previousHost_ = RegisteredHost();
        SetRegisteredHost(HostPath());
    }
}

DesktopLayout::~DesktopLayout() {
    try {
        if (options_.registerHost && !options_.keep) {
            if (previousHost_) SetRegisteredHost(*previousHost_);
            else RemoveRegisteredHost();
        }
    } catch (...) {
        // A destructor cannot report; the next layout sets the value anew.
    }
    if (!options_.keep) RemoveTree(folder_);
}

std::string DesktopLayout::TempFolder(const std::string& prefix) {
    char temp[MAX_PATH + 1] = {};
    GetTempPathA(MAX_PATH, temp);
    static unsigned counter = 0;
    return JoinPath(temp, prefix + "-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter) +
                              "-" + std::to_string(GetTickCount()));
}

std::string DesktopLayout::ProgramFolder() { return ParentOf(ModulePath(nullptr)); }

std::string DesktopLayout::HostPath() const { return JoinPath(folder_, kHostFile); }

std::string DesktopLayout::LibraryPath(const std::string& fileName) const { return JoinPath(folder_, fileName); }

std::string DesktopLayout::CorePath() const { return Desktop{folder_, description_}.CorePath(); }

void DesktopLayout::Save() const {
    if (!description_.ToIni().Save(JoinPath(folder_, kDescriptionFile))) Fail("cannot write the description");
}

void DesktopLayout::SetCorePath(const std::string& path) {
    description_.corePath = path;
    if (!CreateDirectories(CorePath())) Fail("cannot create " + CorePath());
    Save();
}

std::string DesktopLayout::AddUser(std::uint32_t id, const std::string& name, const std::string& folder,
                                   std::uint32_t expansionManager) {
    User user{id, name, folder, expansionManager, {}};
    const std::string path = Desktop{folder_, description_}.UserFolder(user);
    if (!CreateDirectories(path)) Fail("cannot create " + path);
    description_.users.push_back(std::move(user));
    Save();
    return path;
}

User& DesktopLayout::FindUser(std::uint32_t id) {
    for (User& user : description_.users)
        if (user.id == id) return user;
    throw std::invalid_argument("no user " + std::to_string(id));
}

void DesktopLayout::AddSlot(std::uint32_t userId, long ref, std::uint32_t mediaType, const std::string& displayName) {
    FindUser(userId).slots.push_back({ref, mediaType, displayName});
    Save();
}

std::string DesktopLayout::AddVolume(std::uint16_t ref, std::uint32_t mediaType,
                                     std::optional<std::uint64_t> capacity) {
    Volume volume{ref, mediaType, "Cards\\Volume" + std::to_string(ref), capacity};
    const std::string path = Desktop{folder_, description_}.VolumeFolder(volume);
    if (!CreateDirectories(path)) Fail("cannot create " + path);
    description_.volumes.push_back(std::move(volume));
    Save();
    return path;
}

std::string DesktopLayout::CardFile(std::uint16_t ref, const std::string& cardPath) const {
    const Volume* volume = description_.FindVolume(ref);
    if (!volume) throw std::invalid_argument("no volume " + std::to_string(ref));
    std::string path = Desktop{folder_, description_}.VolumeFolder(*volume);
    for (std::size_t start = 0; start <= cardPath.size();) {
        auto end = cardPath.find('/', start);
        if (end == std::string::npos) end = cardPath.size();
        if (end > start) path = JoinPath(path, cardPath.substr(start, end - start));
        start = end + 1;
    }
    return path;
}

void DesktopLayout::SetSyncUser(std::optional<std::uint32_t> userId) {
    description_.syncUser = userId;
    Save();
}

void DesktopLayout::FailEntry(const std::string& entry, long code) {
    description_.switches.failEntry.push_back({entry, code});
    Save();
}

void DesktopLayout::FailCopy(const std::string& source, long code) {
    description_.switches.failCopy.push_back({source, code});
    Save();
}

void DesktopLayout::ExitAt(const std::string& entry, unsigned call, ExitKind kind) {
    description_.switches.exitAt.push_back({entry, call, kind});
    Save();
}

void DesktopLayout::ClearSwitches() {
    description_.switches = Switches{description_.switches.callLog, {}, {}, {}};
    Save();
}

void DesktopLayout::SetCallLog(bool on) {
    description_.switches.callLog = on ? kCallLogFile : "";
    Save();
}

std::vector<std::string> DesktopLayout::CallLog() const { return ReadLines(JoinPath(folder_, kCallLogFile)); }

void DesktopLayout::ClearCallLog() const { DeleteFileA(JoinPath(folder_, kCallLogFile).c_str()); }

std::vector<std::string> DesktopLayout::HotSyncLog(std::uint32_t userId) const {
    const Desktop desktop{folder_, description_};
    const User* user = description_.FindUser(userId);
    if (!user) throw std::invalid_argument("no user " + std::to_string(userId));
    return ReadLines(desktop.HotSyncLogPath(user));
}

std::vector<std::string> DesktopLayout::DesktopLog() const {
    return ReadLines(Desktop{folder_, description_}.HotSyncLogPath(nullptr));
}

std::vector<ConduitEntry> DesktopLayout::Conduits() const {
    return ConduitRegistry(JoinPath(folder_, kConduitFile)).Entries();
}

std::optional<ConduitEntry> DesktopLayout::Conduit(const std::string& creator) const {
    return ConduitRegistry(JoinPath(folder_, kConduitFile)).Find(creator);
}

unsigned DesktopLayout::RefreshCount() const {
    return unsigned(ReadLines(JoinPath(folder_, kRefreshLogFile)).size());
}

void DesktopLayout::SetRegisteredHost(const std::string& path) {
    HKEY opened = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kCoreKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &opened, nullptr) !=
        ERROR_SUCCESS)
        Fail("cannot create the registry key");
    UniqueKey key(opened);
    if (RegSetValueExA(key.get(), kHostValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                       DWORD(path.size() + 1)) != ERROR_SUCCESS)
        Fail("cannot set the registry value");
}

void DesktopLayout::RemoveRegisteredHost() {
    HKEY opened = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kCoreKey, 0, KEY_SET_VALUE, &opened) != ERROR_SUCCESS) return;
    UniqueKey key(opened);
    RegDeleteValueA(key.get(), kHostValue);
}

std::optional<std::string> DesktopLayout::RegisteredHost() {
    HKEY opened = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kCoreKey, 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS)
        return std::nullopt;
    UniqueKey key(opened);
    char value[MAX_PATH + 1] = {};
    DWORD size = MAX_PATH, type = 0;
    if (RegQueryValueExA(key.get(), kHostValue, nullptr, &type, reinterpret_cast<BYTE*>(value), &size) !=
            ERROR_SUCCESS ||
        type != REG_SZ)
        return std::nullopt;
    return std::string(value);
}

}  // namespace desktop

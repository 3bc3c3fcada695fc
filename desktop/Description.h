// The simulated desktop and handheld, as the description file "desktop.ini"
// in the desktop folder tells them: core path, HotSync users with their
// recorded expansion slots, the handheld's mounted card volumes, the user of
// the HotSync in progress, and the test switches. desktop/README.md shows the
// file. Paths in the file may be relative to the desktop folder.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "desktop/IniDocument.h"

namespace desktop {

inline constexpr const char* kDescriptionFile = "desktop.ini";
inline constexpr const char* kConduitFile = "conduits.ini";
inline constexpr const char* kHotSyncLogFile = "HotSync.log";
inline constexpr const char* kRefreshLogFile = "refresh.log";
inline constexpr const char* kHostFile = "hotsync.exe";
// Exit code of a process that a switch ended on purpose.
inline constexpr unsigned kSwitchExitCode = 99;

struct Slot {
    long ref = 0;
    std::uint32_t mediaType = 0;
    std::string displayName;
};

struct User {
    std::uint32_t id = 0;
    std::string name;
    std::string folder;  // relative to the core path
    std::uint32_t expansionManager = 0;
    std::vector<Slot> slots;
};

struct Volume {
    std::uint16_t ref = 0;
    std::uint32_t mediaType = 0;
    std::string folder;  // the folder that plays the card
    std::optional<std::uint64_t> capacity;
};

enum class ExitKind { Terminate, Exit };
struct ExitSwitch {
    std::string entry;
    unsigned call = 0;  // 1 for the first call
    ExitKind kind = ExitKind::Terminate;
};
struct CodeSwitch {
    std::string name;  // entry point, or source file (name or full path)
    long code = 0;
};

struct Switches {
    std::string callLog;  // empty: no call log
    std::vector<CodeSwitch> failEntry;
    std::vector<CodeSwitch> failCopy;
    std::vector<ExitSwitch> exitAt;
    unsigned extraVolumes = 0;  // VFSVolumeEnumerate reports this many more than it fills
};

struct Description {
    std::string corePath = ".";
    std::vector<User> users;
    std::vector<Volume> volumes;
    std::optional<std::uint32_t> syncUser;
    Switches switches;

    static Description FromIni(const IniDocument& ini);
    IniDocument ToIni() const;

    const User* FindUser(std::uint32_t id) const;
    const Volume* FindVolume(std::uint16_t ref) const;
    std::optional<long> FailCode(const std::string& entry) const;
    std::optional<long> FailCopyCode(const std::string& sourcePath) const;
};

// The description together with the folder it lies in, which resolves its
// relative paths.
struct Desktop {
    std::string folder;
    Description description;

    static Desktop Load(const std::string& folder);
    std::string CorePath() const;
    std::string UserFolder(const User& user) const;
    std::string VolumeFolder(const Volume& volume) const;
    std::string CallLogPath() const;  // empty when the call log is off
    // The HotSync log of a user; without a user, the desktop's own log.
    std::string HotSyncLogPath(const User* user) const;
    std::string InFolder(const std::string& name) const;
};

std::string ExitSwitchText(const ExitSwitch& exit);

}  // namespace desktop

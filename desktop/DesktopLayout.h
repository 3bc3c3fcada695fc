// Lays out a stand-in Palm Desktop in a folder, as an installation would be,
// for the conduit's integration tests, the demo and desktop-setup.exe:
//
//   DesktopLayout desktop(DesktopLayout::TempFolder("sync"));   // libraries, host, description
//   desktop.AddUser(1001, "Alice", "Alice");                    // user folder below the core path
//   desktop.AddSlot(1001, 1, FourCC("sdig"), "SD card");
//   std::string card = desktop.AddVolume(1, FourCC("sdig"));    // folder that plays the card
//   desktop.SetSyncUser(1001);                                   // whose HotSync log gets entries
//   desktop.FailCopy("second.prc", 0x2A0F);                      // test switches
//   ... load Tolvane.dll, call it ...
//   desktop.CallLog(); desktop.HotSyncLog(1001); desktop.Conduit("tVan");
//
// Every change is written to the description file at once, so the stand-ins
// see it on their next call. The libraries and hotsync.exe are copied from
// the build's bin folder (the folder of the running program by default):
// desktop\ (normal), desktop-swapped\ (calling conventions swapped) and
// desktop-lacking-ENTRY\ (the one library that lacks ENTRY, copied over the
// normal set). Failures throw std::runtime_error. Unless `keep` is set, the
// destructor puts the registry value back as it found it and deletes the
// folder (unload the libraries first).
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "desktop/ConduitRegistry.h"
#include "desktop/Description.h"
#include "desktop/Strings.h"

namespace desktop {

struct LayoutOptions {
    bool swapped = false;           // the build with stdcall and cdecl swapped
    std::string lackingEntry;       // e.g. "SyncLoopBackTest"; not with `swapped`
    std::string binFolder;          // empty: the running program's folder
    bool registerHost = true;       // HotSyncPath -> FOLDER\hotsync.exe
    bool callLog = true;            // FOLDER\calls.log
    bool keep = false;              // leave the folder and the registry value behind
};

class DesktopLayout {
public:
    explicit DesktopLayout(std::string folder, LayoutOptions options = {});
    ~DesktopLayout();
    DesktopLayout(const DesktopLayout&) = delete;
    DesktopLayout& operator=(const DesktopLayout&) = delete;

    // A fresh folder name below the temporary folder, not yet created.
    static std::string TempFolder(const std::string& prefix);
    // The build's bin folder: the running program's folder.
    static std::string ProgramFolder();

    const std::string& Folder() const noexcept { return folder_; }
    std::string HostPath() const;
    std::string LibraryPath(const std::string& fileName) const;
    std::string CorePath() const;

    // The simulated desktop and handheld.
    void SetCorePath(const std::string& path);  // relative to Folder() or absolute
    std::string AddUser(std::uint32_t id, const std::string& name, const std::string& folder,
                        std::uint32_t expansionManager = 1);  // returns the user's folder
    void AddSlot(std::uint32_t userId, long ref, std::uint32_t mediaType, const std::string& displayName);
    std::string AddVolume(std::uint16_t ref, std::uint32_t mediaType,
                          std::optional<std::uint64_t> capacity = std::nullopt);  // returns the card folder
    std::string CardFile(std::uint16_t ref, const std::string& cardPath) const;   // disk path of a card path
    void SetSyncUser(std::optional<std::uint32_t> userId);

    // Test switches.
    void FailEntry(const std::string& entry, long code);
    void FailCopy(const std::string& source, long code);  // file name or full desktop path
    void ExitAt(const std::string& entry, unsigned call, ExitKind kind = ExitKind::Terminate);
    void ClearSwitches();  // the call log stays as it is
    void SetCallLog(bool on);

    // Direct access for anything else; Save() writes it.
    Description& Edit() noexcept { return description_; }
    void Save() const;

    // What the stand-ins recorded.
    std::vector<std::string> CallLog() const;
    void ClearCallLog() const;
    std::vector<std::string> HotSyncLog(std::uint32_t userId) const;
    std::vector<std::string> DesktopLog() const;  // entries made with no HotSync user set
    std::vector<ConduitEntry> Conduits() const;
    std::optional<ConduitEntry> Conduit(const std::string& creator) const;
    unsigned RefreshCount() const;

    // HKCU "Software\U.S. Robotics\Pilot Desktop\Core" "HotSyncPath".
    static void SetRegisteredHost(const std::string& path);
    static void RemoveRegisteredHost();
    static std::optional<std::string> RegisteredHost();

private:
    User& FindUser(std::uint32_t id);
    std::string folder_;
    LayoutOptions options_;
    Description description_;
    std::optional<std::string> previousHost_;
};

}  // namespace desktop

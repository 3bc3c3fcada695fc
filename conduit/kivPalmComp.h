// The conduit component: the one object that the exported entry points reach.
// It turns host calls into events that the application handles, writes
// HotSync log entries and passes progress texts to the host.
//
// Also the host's records, in the host's byte layout, and the bodies of the
// exported functions (declared in conduit/kivExports.h).
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "conduit/kivBaseClasses.h"
#include "rtl/SysUtils.h"

namespace kiv {

#pragma pack(push, 1)
struct TkivSyncProperties {
    uint32_t SyncType;       // not read
    char PathName[256];      // the HotSync user's desktop folder
    // The host's fields beyond this point are neither read nor written.
};
static_assert(offsetof(TkivSyncProperties, PathName) == 4);

struct TkivCfgConduitInfo {
    uint32_t InfoVersion;
    uint32_t InfoSize;
    uint32_t CreatorCode;
    uint32_t UserID;
    char UserName[64];
    char PathName[256];
    int32_t SyncPermanent;
    int32_t SyncTemporary;
    int32_t SyncNew;
    int32_t SyncPref;
};
static_assert(sizeof(TkivCfgConduitInfo) == 352);
static_assert(offsetof(TkivCfgConduitInfo, UserName) == 16);
static_assert(offsetof(TkivCfgConduitInfo, PathName) == 80);
static_assert(offsetof(TkivCfgConduitInfo, SyncPermanent) == 336);
static_assert(offsetof(TkivCfgConduitInfo, SyncPref) == 348);

struct TkivConduitRequestInfo {
    uint32_t InfoVersion;
    uint32_t InfoSize;
    uint8_t Reserved[72];
};
static_assert(sizeof(TkivConduitRequestInfo) == 80);

// Only the first 524 bytes of the host's preference record are ours to touch.
struct TkivSyncPreference {
    char PathName[256];
    uint8_t Reserved[260];
    int32_t SyncPref;
    int32_t SyncType;
};
static_assert(sizeof(TkivSyncPreference) == 524);
static_assert(offsetof(TkivSyncPreference, SyncPref) == 516);
static_assert(offsetof(TkivSyncPreference, SyncType) == 520);
#pragma pack(pop)

// Sync action codes and preference kinds the host understands.
enum SyncAction : int32_t { eSyncFiles = 0, eHHtoPC = 2, ePCtoHH = 3, eDoNothing = 6 };
enum SyncPrefKind : int32_t { ePermanent = 1, eTemporary = 2 };

// HotSync log activity codes.
enum LogActivity : int32_t {
    slText = -1,
    slSyncStarted = 19,
    slSyncFinished = 20,
    slSyncAborted = 21,
    slWarning = 22,
};

// The host's progress function: one text, C calling convention.
using ProgressCallback = void(__cdecl*)(const char*);

class ERegisterError : public rtl::Exception {
public:
    using Exception::Exception;
};

// There is no conduit component to answer a call.
class ENoComponent : public rtl::Exception {
public:
    ENoComponent() : Exception("The TkivPalmComponent could not be found") {}
};

class TkivPalmComponent;
using TkivConfigConduitProc = std::function<void(TkivCfgConduitInfo& data)>;
using TkivExecConduitProc = std::function<void(const TkivSyncProperties& props)>;
using rtl::TNotifyEvent;
using TkivUnregisterConduitProc = std::function<void(rtl::TComponent* sender, bool& removeDirs)>;

class TkivPalmComponent : public TkivSingletonComponent {
public:
    static constexpr const char* StaticClassName = "TkivPalmComponent";

    explicit TkivPalmComponent(rtl::TComponent* owner) : TkivPalmComponent(owner, StaticClassName) {}

    // Published properties.
    uint16_t Version() const noexcept { return version_; }
    const std::string& ConduitName() const noexcept { return conduitName_; }
    void SetConduitName(std::string value) { conduitName_ = std::move(value); }
    std::string ConduitVersion() const;
    void SetConduitVersion(const std::string& value);
    int32_t Priority() const noexcept { return priority_; }
    void SetPriority(int32_t value);
    const std::string& Directory() const noexcept { return directory_; }
    void SetDirectory(std::string value) { directory_ = std::move(value); }
    const std::string& CreatorFile() const noexcept { return creatorFile_; }
    void SetCreatorFile(std::string value) { creatorFile_ = std::move(value); }
    const std::string& Information() const noexcept { return information_; }
    void SetInformation(std::string value) { information_ = std::move(value); }
    const std::string& RemoteFile() const noexcept { return remoteFile_; }
    void SetRemoteFile(std::string value) { remoteFile_ = std::move(value); }
    const std::string& CreatorID() const noexcept { return creatorID_; }
    void SetCreatorID(const std::string& value);

    TkivConfigConduitProc OnConfigConduit;
    TkivExecConduitProc OnExecConduit;
    TNotifyEvent OnRegisterConduit;
    TkivUnregisterConduitProc OnUnregisterConduit;

    virtual void ShowStatus(const std::string& text);
    virtual void ExecConduit(const TkivSyncProperties& props);

    void ConfigConduit(TkivCfgConduitInfo& data);
    void DefaultConfigConduit(TkivCfgConduitInfo& data);
    void RegisterConduit();
    bool UnregisterConduit();
    void AddLogEntry(const std::string& text, int32_t activity, bool timestamp);

    // Held only while OpenConduit runs.
    void SetProgressCallback(ProgressCallback callback) noexcept { progressCallback_ = callback; }
    ProgressCallback GetProgressCallback() const noexcept { return progressCallback_; }
    bool SyncStarted() const noexcept { return syncStarted_; }
    const std::string& StatusText() const noexcept { return statusText_; }

protected:
    TkivPalmComponent(rtl::TComponent* owner, const char* className);

private:
    uint16_t version_ = 0x0100;
    std::string conduitName_;
    int32_t priority_ = 2;
    std::string directory_ = "Default";
    std::string creatorFile_;
    std::string information_;
    std::string remoteFile_;
    std::string creatorID_ = "STRT";

    bool syncStarted_ = false;
    ProgressCallback progressCallback_ = nullptr;
    std::string statusText_;
};

// The one conduit component; throws ENoComponent when there is none.
TkivPalmComponent& FindPalmComponent();

// The conduit's folder in every HotSync user's folder, as the Conduit
// Manager and User Data name them; only folders that are safe to delete.
std::vector<std::string> ConduitDirectories(const std::string& creatorID);

// Deletes a folder with everything in it, permanently and without asking; a
// link inside goes as a link, its target untouched (rtl/FolderTree.h).
void DeleteFolderTree(const std::string& path);

// Deletes the conduit's folder in every HotSync user's folder.
void RemoveConduitDirectories(const std::string& creatorID);

}  // namespace kiv

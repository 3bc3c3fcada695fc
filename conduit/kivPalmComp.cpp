#include "conduit/kivPalmComp.h"

#include <windows.h>

#include <algorithm>
#include <charconv>
#include <iterator>
#include <memory>
#include <cstring>
#include <string_view>
#include <typeinfo>

#include "conduit/kivExportGuard.h"
#include "conduit/kivExports.h"
#include "conduit/kivHotSyncAction.h"
#include "conduit/kivPalmSyncError.h"
#include "palm/kivCondMgre.h"
#include "palm/kivHSAPI.h"
#include "palm/kivHslog.h"
#include "palm/kivSyncMgr.h"
#include "palm/kivUserData.h"
#include "rtl/AnsiText.h"
#include "rtl/FolderTree.h"
#include "rtl/ModulePath.h"
#include "rtl/Paths.h"
#include "rtl/Text.h"
#include "ui/Forms.h"

namespace kiv {

namespace {

// A whole signed decimal number, nothing else (no blanks, no hex, no second dot).
bool ParseDecimal(std::string_view text, int& value) {
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    if (text.empty()) return false;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

// Copies a text into a host buffer of `size` bytes: at most size - 1
// characters and a NUL. Nothing is written into a buffer of size 0.
void CopyToHostBuffer(const std::string& text, char* buffer, unsigned long size) {
    if (size == 0) return;
    const size_t count = std::min<size_t>(text.size(), size - 1);
    std::memcpy(buffer, text.data(), count);
    buffer[count] = '\0';
}

}  // namespace

// --- The component -------------------------------------------------------

TkivPalmComponent::TkivPalmComponent(rtl::TComponent* owner, const char* className)
    : TkivSingletonComponent(owner, className) {}

std::string TkivPalmComponent::ConduitVersion() const {
    return rtl::Format("%u.%u", static_cast<unsigned>(version_ >> 8), static_cast<unsigned>(version_ & 0xFF));
}

void TkivPalmComponent::SetConduitVersion(const std::string& value) {
    const size_t dot = value.find('.');
    int major = 0, minor = 0;
    if (dot == std::string::npos || !ParseDecimal(std::string_view(value).substr(0, dot), major) ||
        !ParseDecimal(std::string_view(value).substr(dot + 1), minor) || major < 0 || major > 255 || minor < 0 ||
        minor > 255)
        throw ERegisterError("The specified version string was invalid");
    version_ = static_cast<uint16_t>(major * 256 + minor);
}

void TkivPalmComponent::SetPriority(int32_t value) {
    if (value < 0 || value > 4) throw ERegisterError("The priority must be in the range 0 to 4");
    priority_ = value;
}

void TkivPalmComponent::SetCreatorID(const std::string& value) {
    if (value.size() != 4) throw ERegisterError("The Creator ID must be four characters long");
    creatorID_ = value;
}

void TkivPalmComponent::ShowStatus(const std::string& text) {
    statusText_ = text;
    if (!progressCallback_) return;
    progressCallback_(statusText_.c_str());
    palm::SyncYieldCycles(1);
}

void TkivPalmComponent::ExecConduit(const TkivSyncProperties& props) {
    if (!OnExecConduit) return;
    try {
        OnExecConduit(props);
    } catch (const rtl::Exception& e) {
        // Only the plain silent abort goes unreported; anything derived from
        // it is a real failure of the run.
        if (typeid(e) != typeid(rtl::EAbort) && syncStarted_) AddLogEntry(conduitName_, slSyncAborted, false);
        throw;
    }
    if (syncStarted_) AddLogEntry(conduitName_, slSyncFinished, false);
}

void TkivPalmComponent::AddLogEntry(const std::string& text, int32_t activity, bool timestamp) {
    palm::LogAddEntry(text.c_str(), activity, timestamp ? -1L : 0L);
    if (activity == slSyncStarted) syncStarted_ = true;
    else if (activity == slSyncFinished || activity == slSyncAborted) syncStarted_ = false;
}

void TkivPalmComponent::ConfigConduit(TkivCfgConduitInfo& data) {
    if (OnConfigConduit) OnConfigConduit(data);
    else DefaultConfigConduit(data);
}

void TkivPalmComponent::RegisterConduit() {
    if (OnRegisterConduit) OnRegisterConduit(this);
}

bool TkivPalmComponent::UnregisterConduit() {
    bool removeDirs = true;
    if (OnUnregisterConduit) OnUnregisterConduit(this, removeDirs);
    return removeDirs;
}

namespace {

// The HotSync action dialog's actions, by index, as sync action codes.
constexpr int32_t kSyncActionOfIndex[] = {eSyncFiles, ePCtoHH, eHHtoPC, eDoNothing};

// An action the dialog cannot show preselects "synchronise the files".
int32_t ActionIndexOf(int32_t syncAction) {
    const auto* found = std::find(std::begin(kSyncActionOfIndex), std::end(kSyncActionOfIndex), syncAction);
    return found == std::end(kSyncActionOfIndex) ? 0 : static_cast<int32_t>(found - std::begin(kSyncActionOfIndex));
}

}  // namespace

void TkivPalmComponent::DefaultConfigConduit(TkivCfgConduitInfo& data) {
    const auto dialog = std::make_unique<TkivHotSyncActionDialog>(nullptr);
    dialog->ActionIndex = ActionIndexOf(data.SyncTemporary);
    dialog->ConduitName = conduitName_;
    if (dialog->Execute() && dialog->ActionIndex >= 0 &&
        dialog->ActionIndex < static_cast<int32_t>(std::size(kSyncActionOfIndex)))
        data.SyncNew = kSyncActionOfIndex[dialog->ActionIndex];
    data.SyncPref = dialog->SetAsDefault ? ePermanent : eTemporary;
}

TkivPalmComponent& FindPalmComponent() {
    TkivPalmComponent* component = FindSingletonInstance<TkivPalmComponent>();
    if (!component) throw ENoComponent();
    return *component;
}

// --- Removing the users' conduit folders -----------------------------------

namespace {

bool HasAny(std::string_view text, std::string_view characters) {
    return text.find_first_of(characters) != std::string_view::npos;
}

// The conduit's folder name must name one folder inside a user's folder.
bool SafeConduitFolderName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." && !HasAny(name, "\\/:*?");
}

// A user's folder must lie below the core path.
bool SafeUserFolderName(std::string_view name) {
    return !name.empty() && name != "." && name.front() != '\\' && name.front() != '/' &&
           name.find("..") == std::string_view::npos && !HasAny(name, ":*?");
}

// The folder of the user at `index`, or "" when it cannot be had safely.
std::string UserFolder(short index) {
    unsigned long id = 0;
    if (palm::UmGetUserID(index, &id) != 0) return {};
    char buffer[256] = {};
    short size = 255;
    if (palm::UmGetUserDirectory(id, buffer, &size) < 0) return {};
    std::string folder = rtl::BufferText(buffer);
    return SafeUserFolderName(folder) ? folder : std::string();
}

}  // namespace

void DeleteFolderTree(const std::string& path) { rtl::DeleteFolderTree(rtl::WideFromAnsi(path)); }

std::vector<std::string> ConduitDirectories(const std::string& creatorID) {
    std::vector<std::string> folders;
    char corePath[256] = {};
    long coreSize = 255;
    if (palm::CmGetCorePath(corePath, &coreSize) != 0) return folders;
    try {
        const std::string core = rtl::BufferText(corePath);
        char dirBuffer[256] = {};
        long dirSize = 255;
        if (palm::CmGetCreatorDirectory(creatorID.c_str(), dirBuffer, &dirSize) != 0) return folders;
        const std::string conduitFolder = rtl::BufferText(dirBuffer);
        if (core.empty() || !SafeConduitFolderName(conduitFolder)) return folders;
        const short count = palm::UmGetUserCount();
        for (short i = 0; i < count; ++i) {
            try {
                const std::string user = UserFolder(i);
                if (!user.empty()) folders.push_back(rtl::IncludeTrailingBackslash(rtl::IncludeTrailingBackslash(core) + user) + conduitFolder);
            } catch (...) {
                // One user whose folder cannot be had must not keep the others.
            }
        }
    } catch (...) {
        // Unregistration goes on with the folders found so far.
    }
    return folders;
}

void RemoveConduitDirectories(const std::string& creatorID) {
    for (const std::string& folder : ConduitDirectories(creatorID)) {
        try {
            DeleteFolderTree(folder);
        } catch (...) {
            // One user's folder that cannot be removed must not keep the others.
        }
    }
}

}  // namespace kiv

// --- The exported functions ---------------------------------------------
// Each body runs inside RunExport, whose table gives the answer to whatever
// escapes it (conduit/kivExportGuard.h).

using namespace kiv;

namespace {

// The creator ID's four characters as they lie in memory, first one lowest.
uint32_t CreatorCodeOf(const TkivPalmComponent& component) noexcept {
    if (component.CreatorID().size() != 4) return 0;
    uint32_t code = 0;
    std::memcpy(&code, component.CreatorID().data(), 4);
    return code;
}

void RefreshHotSyncManager() noexcept { palm::HsRefreshConduitInfo(); }

long ConduitInfo(const TkivPalmComponent& component, long infoType, const void* inArgs, void* out,
                 unsigned long& outSize) {
    switch (infoType) {
    case 0: {
        const auto* request = static_cast<const TkivConduitRequestInfo*>(inArgs);
        if (!request) return CONDERR_INVALID_INARGS_PTR;
        if (request->InfoVersion != 1 || request->InfoSize != sizeof(TkivConduitRequestInfo))
            return CONDERR_INVALID_INARGS_STRUCT;
        if (outSize == 0) return CONDERR_INVALID_BUFFER_SIZE;
        CopyToHostBuffer(component.ConduitName(), static_cast<char*>(out), outSize);
        return kConduitDone;
    }
    case 1:
    case 2: {
        if (outSize != 4) return CONDERR_INVALID_BUFFER_SIZE;
        const uint32_t value = infoType == 1 ? 0x10000000u : static_cast<uint32_t>(eSyncFiles);
        std::memcpy(out, &value, sizeof value);
        return kConduitDone;
    }
    default:
        return CONDERR_UNSUPPORTED_CONDUITINFO_ENUM;
    }
}

// The host's progress function is never called once OpenConduit is over,
// however its run ended.
class ProgressScope {
public:
    ProgressScope(TkivPalmComponent& component, ProgressCallback progress) noexcept : component_(component) {
        component_.SetProgressCallback(progress);
    }
    ~ProgressScope() { component_.SetProgressCallback(nullptr); }
    ProgressScope(const ProgressScope&) = delete;
    ProgressScope& operator=(const ProgressScope&) = delete;

private:
    TkivPalmComponent& component_;
};

// The record the configuration handler sees, built from the host's preference.
TkivCfgConduitInfo ConfigurationRecord(const TkivPalmComponent& component, const TkivSyncPreference& pref) {
    TkivCfgConduitInfo info{};
    info.InfoVersion = 0xFFFFFFFFu;
    info.InfoSize = sizeof(TkivCfgConduitInfo);
    info.CreatorCode = CreatorCodeOf(component);
    std::memcpy(info.PathName, pref.PathName, sizeof info.PathName);
    info.SyncPermanent = pref.SyncType;
    info.SyncTemporary = pref.SyncType;
    // A dialog closed without OK writes nothing: hand the host back the
    // action it had rather than "synchronise the files".
    info.SyncNew = pref.SyncType;
    info.SyncPref = pref.SyncPref;
    return info;
}

// The Conduit Manager entry from the component's properties. A Palm error is
// the one failure that the user is told about, before it is answered.
void WriteConduitManagerEntry(TkivPalmComponent& component) {
    try {
        component.RegisterConduit();
        const char* creator = component.CreatorID().c_str();
        CheckPalmSyncError(palm::CmInstallCreator(creator, 1));
        CheckPalmSyncError(palm::CmSetCreatorName(creator, rtl::ThisModuleFileName(255).c_str()));
        CheckPalmSyncError(palm::CmSetCreatorTitle(creator, component.ConduitName().c_str()));
        CheckPalmSyncError(palm::CmSetCreatorDirectory(creator, component.Directory().c_str()));
        if (!component.CreatorFile().empty())
            CheckPalmSyncError(palm::CmSetCreatorFile(creator, component.CreatorFile().c_str()));
        if (!component.RemoteFile().empty())
            CheckPalmSyncError(palm::CmSetCreatorRemote(creator, component.RemoteFile().c_str()));
        CheckPalmSyncError(palm::CmSetCreatorPriority(creator, component.Priority()));
        if (!component.Information().empty())
            CheckPalmSyncError(palm::CmSetCreatorInfo(creator, component.Information().c_str()));
    } catch (const EPalmSyncError& e) {
        // Modal to the registration tool's window, which is half registered.
        rtl::MessageDlg(e.Message(), component.ConduitName(), MB_OK);
        throw;
    }
}

}  // namespace

extern "C" long __cdecl GetConduitName(char* name, unsigned short length) noexcept {
    return RunExport<long>(ExportId::GetConduitName, [&] {
        const TkivPalmComponent& component = FindPalmComponent();
        if (!name || length == 0) return kConduitFailed;
        CopyToHostBuffer(component.ConduitName(), name, length);
        return kConduitDone;
    });
}

extern "C" unsigned long __cdecl GetConduitVersion(void) noexcept {
    return RunExport<unsigned long>(ExportId::GetConduitVersion, [] { return FindPalmComponent().Version(); });
}

extern "C" long __cdecl GetConduitInfo(long infoType, void* inArgs, void* out, unsigned long* outSize) noexcept {
    return RunExport<long>(ExportId::GetConduitInfo, [&]() -> long {
        const TkivPalmComponent& component = FindPalmComponent();
        if (!out) return CONDERR_INVALID_PTR;
        if (!outSize) return CONDERR_INVALID_OUTSIZE_PTR;
        return ConduitInfo(component, infoType, inArgs, out, *outSize);
    });
}

extern "C" long __cdecl OpenConduit(ProgressCallback progress, const TkivSyncProperties* props) noexcept {
    return RunExport<long>(ExportId::OpenConduit, [&] {
        TkivPalmComponent& component = FindPalmComponent();
        if (!props) return kConduitFailed;
        const ProgressScope scope(component, progress);
        component.ExecConduit(*props);
        return kConduitDone;
    });
}

extern "C" long __cdecl ConfigureConduit(TkivSyncPreference* pref) noexcept {
    return RunExport<long>(ExportId::ConfigureConduit, [&] {
        if (!pref) return kConduitFailed;
        TkivPalmComponent& component = FindPalmComponent();
        TkivCfgConduitInfo info = ConfigurationRecord(component, *pref);
        component.ConfigConduit(info);
        pref->SyncPref = info.SyncPref;
        pref->SyncType = info.SyncNew;
        return kConduitDone;
    });
}

extern "C" long __cdecl CfgConduit(long cfgType, void* args, unsigned long* argsSize) noexcept {
    return RunExport<long>(ExportId::CfgConduit, [&]() -> long {
        if (!args) return CONDERR_INVALID_INARGS_PTR;
        if (!argsSize) return CONDERR_INVALID_ARGSSIZE;
        if (*argsSize != sizeof(TkivCfgConduitInfo)) return CONDERR_INVALID_ARGSSIZE_VALUE;
        if (cfgType != 0) return CONDERR_UNSUPPORTED_STRUCT_VERSION;
        FindPalmComponent().ConfigConduit(*static_cast<TkivCfgConduitInfo*>(args));
        return kConduitDone;
    });
}

extern "C" HRESULT __stdcall DllRegisterServer(void) noexcept {
    return RunExport<HRESULT>(ExportId::DllRegisterServer, [] {
        WriteConduitManagerEntry(FindPalmComponent());
        RefreshHotSyncManager();
        return S_OK;
    });
}

extern "C" HRESULT __stdcall DllUnregisterServer(void) noexcept {
    return RunExport<HRESULT>(ExportId::DllUnregisterServer, [] {
        TkivPalmComponent& component = FindPalmComponent();
        // The folder names come from the conduit's own Conduit Manager entry,
        // so the folders go before the entry does.
        if (component.UnregisterConduit()) RemoveConduitDirectories(component.CreatorID());
        if (palm::CmRemoveConduitByCreatorID(component.CreatorID().c_str()) <= 0) return E_FAIL;
        RefreshHotSyncManager();
        return S_OK;
    });
}

extern "C" HRESULT __stdcall DllGetClassObject(REFCLSID, REFIID, void**) noexcept {
    return CLASS_E_CLASSNOTAVAILABLE;
}

extern "C" HRESULT __stdcall DllCanUnloadNow(void) noexcept { return S_OK; }

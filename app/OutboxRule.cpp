#include "app/OutboxRule.h"

#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <optional>
#include <utility>

#include "app/FileIdentity.h"
#include "app/Settings.h"
#include "palm/kivCondMgre.h"
#include "palm/kivUserData.h"
#include "rtl/AnsiText.h"
#include "rtl/Paths.h"
#include "rtl/Text.h"

namespace app::outbox {

namespace {

using identity::FileId;

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// The buffer sizes of the Palm Desktop's own calls for folders.
constexpr short kFolderBuffer = 256;

std::string Ansi(const std::wstring& wide) { return rtl::LossyFromWide(wide, CP_ACP); }

bool IsAbsolute(const std::string& path) {
    return (path.size() >= 2 && path[1] == ':') || (!path.empty() && rtl::IsPathSeparator(path[0]));
}

std::optional<std::string> CorePath() {
    char buffer[kFolderBuffer] = {};
    long size = kFolderBuffer - 1;
    if (palm::CmGetCorePath(buffer, &size) != 0) return std::nullopt;
    return rtl::BufferText(buffer);
}

void AddUsers(std::vector<GuardedFolder>& guarded) {
    const std::optional<std::string> core = CorePath();
    const short count = palm::UmGetUserCount();
    for (short index = 0; index < count; ++index) {
        unsigned long id = 0;
        char name[kFolderBuffer] = {}, folder[kFolderBuffer] = {};
        short nameSize = kFolderBuffer - 1, folderSize = kFolderBuffer - 1;
        if (palm::UmGetUserID(index, &id) != 0 || palm::UmGetUserDirectory(id, folder, &folderSize) < 0) continue;
        palm::UmGetUserName(id, name, &nameSize);
        const std::string relative = rtl::BufferText(folder);
        if (relative.empty()) continue;
        const std::string path =
            IsAbsolute(relative) || !core ? relative : rtl::IncludeTrailingBackslash(*core) + relative;
        guarded.push_back({path, "the folder of the HotSync user " + rtl::BufferText(name) + ", " + path});
    }
}

void AddSystemFolders(std::vector<GuardedFolder>& guarded) {
    wchar_t buffer[MAX_PATH + 1] = {};
    if (GetWindowsDirectoryW(buffer, MAX_PATH)) guarded.push_back({Ansi(buffer), "the Windows folder " + Ansi(buffer)});
    if (SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_PROGRAM_FILES, nullptr, SHGFP_TYPE_CURRENT, buffer)))
        guarded.push_back({Ansi(buffer), "the Program Files folder " + Ansi(buffer)});
    // A 32-bit program on 64-bit Windows sees both, under these names.
    for (const wchar_t* variable : {L"ProgramFiles", L"ProgramFiles(x86)", L"ProgramW6432"}) {
        const DWORD length = GetEnvironmentVariableW(variable, buffer, MAX_PATH);
        if (length > 0 && length < MAX_PATH) guarded.push_back({Ansi(buffer), "the Program Files folder " + Ansi(buffer)});
    }
}

bool Holds(const std::vector<FileId>& holders, const FileId& id) {
    return std::find(holders.begin(), holders.end(), id) != holders.end();
}

// A drive's root, spelt as one or reached through another name.
bool IsDriveRoot(const std::wstring& full, HANDLE handle, const FileId& id) {
    if (identity::ParentOf(full).empty()) return true;
    const std::wstring final = identity::FinalPath(handle);
    if (!final.empty() && identity::ParentOf(final).empty()) return true;
    wchar_t volume[MAX_PATH + 1] = {};
    if (GetVolumePathNameW(full.c_str(), volume, MAX_PATH) && identity::IdOf(volume) == id) return true;
    return false;
}

// The Sent folder, when there is one, must be a plain folder right inside
// the outbox: else a HotSync would move the user's files wherever it leads.
std::string SentProblem(const std::wstring& full, HANDLE outbox) {
    const std::wstring sent = full + L"\\" + rtl::WideFromAnsi(settings::outbox::kSentFolder);
    const DWORD attributes = GetFileAttributesW(sent.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return "";
    const char* const problem = "its Sent folder is a link (or leads elsewhere), so that sent files would move out "
                                "of it; make Sent a plain folder inside the outbox";
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return "its Sent is a file, not a folder; move that file away";
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return problem;
    const rtl::UniqueFile handle = identity::Open(sent, FILE_READ_ATTRIBUTES, kShareAll, identity::Links::NotFollowed);
    if (!handle || (identity::AttributesOf(handle.get()) & FILE_ATTRIBUTE_REPARSE_POINT)) return problem;
    const std::wstring outboxFinal = identity::FinalPath(outbox), sentFinal = identity::FinalPath(handle.get());
    if (!outboxFinal.empty() && !identity::SamePath(identity::ParentOf(sentFinal), outboxFinal)) return problem;
    return "";
}

// A folder still to be made lies where its nearest folder that exists is.
std::string WouldLieIn(const std::wstring& full, const std::vector<GuardedFolder>& guarded) {
    std::wstring existing = identity::ParentOf(full);
    std::optional<FileId> id;
    while (!existing.empty() && !(id = identity::IdOf(existing))) existing = identity::ParentOf(existing);
    if (!id) return "";
    const std::vector<FileId> holders = identity::HoldersOf(existing);
    for (const GuardedFolder& guard : guarded) {
        const std::optional<FileId> guardId = identity::IdOf(rtl::WideFromAnsi(guard.path));
        if (guardId && (*guardId == *id || Holds(holders, *guardId))) return "it would lie in " + guard.what;
    }
    return "";
}

}  // namespace

std::vector<GuardedFolder> GuardedFolders() {
    // The nearest first: a user's folder usually lies in the Palm Desktop's.
    std::vector<GuardedFolder> guarded;
    AddUsers(guarded);
    const std::string desktop = palm::GetPalmDesktopDir();
    if (!desktop.empty()) guarded.push_back({desktop, "the Palm Desktop folder " + desktop});
    // Usually the Palm Desktop folder itself, which then names it.
    if (const std::optional<std::string> core = CorePath(); core && !core->empty())
        guarded.push_back({*core, "the Palm Desktop's folder of HotSync users " + *core});
    AddSystemFolders(guarded);
    return guarded;
}

std::string OutboxRefusal(const std::string& folder, const std::vector<GuardedFolder>& guarded) {
    if (folder.empty()) return "";
    const std::wstring full = identity::FullPath(rtl::WideFromAnsi(folder));
    const rtl::UniqueFile handle = identity::Open(full, FILE_READ_ATTRIBUTES, kShareAll, identity::Links::Followed);
    const std::optional<FileId> id = handle ? identity::IdOf(handle.get()) : std::nullopt;
    if (!id) return WouldLieIn(full, guarded);
    if (!(identity::AttributesOf(handle.get()) & FILE_ATTRIBUTE_DIRECTORY)) return "it is a file, not a folder";
    if (IsDriveRoot(full, handle.get(), *id)) return "it is the root of a drive, which holds far more than files for the card";
    // Each guarded folder's identity once; the nearest relation names it:
    // being one first, then lying in one, then holding one.
    std::vector<std::pair<const GuardedFolder*, FileId>> known;
    for (const GuardedFolder& guard : guarded)
        if (const std::optional<FileId> guardId = identity::IdOf(rtl::WideFromAnsi(guard.path)))
            known.emplace_back(&guard, *guardId);
    for (const auto& [guard, guardId] : known)
        if (guardId == *id) return "it is " + guard->what;
    const std::vector<FileId> holders = identity::HoldersOf(full);
    for (const auto& [guard, guardId] : known)
        if (Holds(holders, guardId)) return "it lies in " + guard->what;
    for (const auto& [guard, guardId] : known)
        if (Holds(identity::HoldersOf(rtl::WideFromAnsi(guard->path)), *id)) return "it holds " + guard->what;
    return SentProblem(full, handle.get());
}

}  // namespace app::outbox

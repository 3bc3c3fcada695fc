#include "tools/queue/DesktopUsers.h"

#include <windows.h>

#include <algorithm>

#include "app/PathRules.h"
#include "app/memorycard.h"
#include "palm/kivCondMgre.h"
#include "palm/kivUserData.h"
#include "rtl/Classes.h"
#include "rtl/ModulePath.h"
#include "rtl/Paths.h"
#include "rtl/SysUtils.h"
#include "rtl/Text.h"

namespace queuetool {

namespace {

constexpr const char* kConduitFolderName = "Tolvane";

// The same buffer sizes as the conduit's unregistration uses.
constexpr short kFolderBufferSize = 256;
constexpr long kCorePathBufferSize = 256;

bool IsAbsolute(const std::string& path) {
    return (path.size() >= 2 && path[1] == ':') || (!path.empty() && (path[0] == '\\' || path[0] == '/'));
}

std::optional<std::string> AskCorePath() {
    char buffer[kCorePathBufferSize] = {};
    long size = kCorePathBufferSize - 1;
    if (palm::CmGetCorePath(buffer, &size) != 0) return std::nullopt;
    return rtl::BufferText(buffer);
}

std::string CorePath() {
    if (auto path = AskCorePath()) return *path;
    throw rtl::Exception("The Conduit Manager does not say where the HotSync users' folders are.");
}

// A text that a User Data call leaves in a buffer, or none on failure.
template <class Call>
std::optional<std::string> UserText(Call call) {
    char buffer[kFolderBufferSize] = {};
    short size = kFolderBufferSize - 1;
    if (call(buffer, &size) < 0) return std::nullopt;
    return rtl::BufferText(buffer);
}

std::optional<std::string> UserFolder(unsigned long id) {
    auto folder = UserText([&](char* b, short* s) { return palm::UmGetUserDirectory(id, b, s); });
    if (folder && folder->empty()) folder.reset();
    return folder;
}

void SetFolder(DesktopUser& user, const std::string& folder, const std::string& corePath) {
    user.folder = folder;
    const std::string full = IsAbsolute(folder) ? folder : rtl::IncludeTrailingBackslash(corePath) + folder;
    user.userPath = rtl::IncludeTrailingBackslash(full);
    user.conduitFolder = app::rules::ConduitFolder(user.userPath, kConduitFolderName);
}

std::optional<DesktopUser> ReadUser(short index, const std::string& corePath) {
    DesktopUser user;
    if (palm::UmGetUserID(index, &user.id) != 0) return std::nullopt;
    const auto name = UserText([&](char* b, short* s) { return palm::UmGetUserName(user.id, b, s); });
    const auto folder = UserFolder(user.id);
    if (!name || !folder) return std::nullopt;
    user.name = *name;
    SetFolder(user, *folder, corePath);
    for (const app::TSlot& slot : app::GetSlots(user.id))
        if (slot.MediaType != 0) {
            user.firstSlotMediaType = slot.MediaType;
            break;
        }
    return user;
}

std::vector<DesktopUser> ReadUsers(const std::string& corePath) {
    std::vector<DesktopUser> users;
    const short count = palm::UmGetUserCount();
    for (short index = 0; index < count; ++index)
        if (auto user = ReadUser(index, corePath)) users.push_back(std::move(*user));
    return users;
}

// A library that is missing entirely means no Palm Desktop; one that lacks
// an entry point is a Palm Desktop we cannot work with.
void Load(palm::BindingScope& bindings, const palm::Binding& binding) {
    bool loaded = false;
    try {
        loaded = bindings.Load(binding);
    } catch (const rtl::Exception&) {
        throw rtl::Exception(std::string("The Palm Desktop library ") + binding.info.fileName +
                             " lacks entry points that Tolvane needs; is the Palm Desktop too old?");
    }
    if (!loaded)
        throw rtl::Exception(std::string("No Palm Desktop installation found: cannot load ") + binding.info.fileName +
                             " from " + rtl::GetModuleDir() + " nor from the folder of the registered HotSync "
                             "Manager. Install the Palm Desktop, or run this tool from its folder.");
}

}  // namespace

std::string SettingsFileOf(const DesktopUser& user) { return user.conduitFolder + "Tolvane.ini"; }

std::string MissingUserFolder(const DesktopUser& user) {
    const std::string& conduit = user.conduitFolder;
    if (conduit.empty()) return "";  // no folder known, none to miss
    const std::string folder = rtl::ExtractFilePath(std::string_view(conduit).substr(0, conduit.size() - 1));
    const DWORD attributes = GetFileAttributesA(folder.c_str());
    if (!folder.empty() && attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return "";
    return "The folder of the HotSync user " + user.name + ", " + folder +
           ", is missing. The Palm Desktop's user settings name it as that user's folder: if it was renamed or "
           "moved, put it back, then try again.";
}

PalmDesktop::PalmDesktop() {
    // A missing library is our message to give, not a system dialog.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    Load(bindings_, palm::userdata::kBinding);
    Load(bindings_, palm::condmgr::kBinding);
    users_ = ReadUsers(CorePath());
}

bool PalmDesktop::ReadUsersAgain() {
    const auto corePath = AskCorePath();
    if (!corePath) return false;
    std::vector<DesktopUser> users = ReadUsers(*corePath);
    const auto same = [](const DesktopUser& a, const DesktopUser& b) {
        return a.id == b.id && a.name == b.name && a.conduitFolder == b.conduitFolder;
    };
    if (users.empty() || std::equal(users.begin(), users.end(), users_.begin(), users_.end(), same)) return false;
    users_ = std::move(users);
    return true;
}

void PalmDesktop::LookUpAgain(size_t index) {
    if (index >= users_.size()) return;
    const auto folder = UserFolder(users_[index].id);
    const auto corePath = AskCorePath();
    if (folder && corePath) SetFolder(users_[index], *folder, *corePath);
}

ChosenUser ChooseUser(const std::vector<DesktopUser>& users, const std::string& text) {
    if (users.empty()) return {nullptr, "The Palm Desktop has no HotSync users yet; do a first HotSync."};
    if (text.empty() || text == "-") {
        if (users.size() == 1) return {&users.front(), "User: " + users.front().name + " (the only HotSync user)"};
        return {&users.front(), "User: " + users.front().name + " (the first of " + std::to_string(users.size()) +
                                    " HotSync users; name one to choose another)"};
    }
    for (const DesktopUser& user : users)
        if (rtl::SameTextInCodePage(user.name, text)) return {&user, {}};
    for (const DesktopUser& user : users)
        if (rtl::SameTextInCodePage(user.folder, text)) return {&user, {}};
    return {nullptr, "No HotSync user is named \"" + text + "\" or has that folder. " + KnownUsers(users)};
}

std::string KnownUsers(const std::vector<DesktopUser>& users) {
    std::string known;
    for (const DesktopUser& user : users) known += (known.empty() ? "" : ", ") + user.name;
    return "The users are: " + known + ".";
}

}  // namespace queuetool

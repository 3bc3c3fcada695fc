#include "tools/queue/QueueEdit.h"

#include <windows.h>

#include "app/PathRules.h"
#include "app/Settings.h"
#include "rtl/Classes.h"
#include "rtl/Paths.h"
#include "rtl/SysUtils.h"
#include "rtl/Text.h"
#include "tools/queue/SourcePath.h"

namespace queuetool {

namespace {

namespace setup = app::settings::setup;
namespace queue = app::settings::queue;
namespace ownFolder = app::settings::ownFolder;
namespace folders = app::settings::folders;
constexpr uint32_t kLastPosition = 2147483647u;

std::string FolderOf(const std::string& file) {
    const size_t name = rtl::NameStart(file, "\\/");
    return name == 0 ? std::string() : file.substr(0, name - 1);
}

void CreateFolder(const std::string& folder) {
    if (folder.empty() || CreateDirectoryA(folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS) return;
    const DWORD error = GetLastError();
    const std::string reason = rtl::SystemMessage(error);
    throw rtl::Exception("Cannot create the folder " + folder + ": " +
                         (reason.empty() ? rtl::Format("error %lu", error) : reason) + ".");
}

std::string PathKey(const std::string& path) { return rtl::FoldedInCodePage(FullLongPath(path)); }

}  // namespace

QueueEdit::QueueEdit(const std::string& settingsFile, const NewSettings& settings)
    : fileName_(settingsFile), settings_(settings), lock_(settingsFile), ini_(settingsFile) {
    created_ = !rtl::FileExists(fileName_);
    look_.emplace(ini_);
    for (QueueEntry& entry : QueueEntries(ini_)) {
        byKey_.emplace(rtl::FoldAscii(entry.key), entry.position);
        byPath_.emplace(PathKey(entry.source), entry.key);
        const uint32_t position = entry.position;
        byPosition_.emplace(position, std::move(entry));
    }
}

std::vector<QueueEntry> QueueEdit::Entries() const {
    std::vector<QueueEntry> entries;
    entries.reserve(byPosition_.size());
    for (const auto& [position, entry] : byPosition_) entries.push_back(entry);
    return entries;
}

const QueueEntry* QueueEdit::Find(std::string_view key) const {
    const auto found = byKey_.find(rtl::FoldAscii(key));
    return found == byKey_.end() ? nullptr : &byPosition_.at(found->second);
}

std::optional<std::string> QueueEdit::KeyOf(const std::string& path) const {
    const auto found = byPath_.find(PathKey(path));
    if (found == byPath_.end()) return std::nullopt;
    return found->second;
}

std::string QueueEdit::Add(const std::string& path, const std::optional<std::string>& cardDirectory) {
    const uint32_t highest = byPosition_.empty() ? 0 : byPosition_.rbegin()->first;
    if (highest == kLastPosition)
        throw rtl::Exception("The queue in " + fileName_ + " has reached DB2147483647; remove that entry first.");
    const std::string key = app::rules::QueueKey(highest + 1);
    // The folder before the queue key: a reader of the text in between
    // never sees the new file with another file's folder.
    SetOwnFolder(key, cardDirectory);
    changes_.push_back({std::string(queue::kSection), key, path});
    byPosition_.emplace(highest + 1, QueueEntry{key, highest + 1, path});
    byKey_.emplace(rtl::FoldAscii(key), highest + 1);
    byPath_.emplace(PathKey(path), key);
    added_.emplace_back(key, path);
    return key;
}

void QueueEdit::SetOwnFolder(const std::string& key, const std::optional<std::string>& cardDirectory) {
    changes_.push_back({std::string(ownFolder::kSection), key, cardDirectory});
}

void QueueEdit::SetTypeFolder(const std::string& type, const std::string& cardDirectory) {
    changes_.push_back({std::string(folders::kSection), type,
                        cardDirectory.empty() ? std::nullopt : std::optional<std::string>(cardDirectory)});
}

void QueueEdit::SetOutboxFolder(const std::string& folder) {
    changes_.push_back({std::string(app::settings::outbox::kSection), std::string(app::settings::outbox::kFolder),
                        folder.empty() ? std::nullopt : std::optional<std::string>(folder)});
}

bool QueueEdit::Remove(std::string_view key) {
    const auto found = byKey_.find(rtl::FoldAscii(key));
    if (found == byKey_.end()) return false;
    const QueueEntry& entry = byPosition_.at(found->second);
    changes_.push_back({std::string(queue::kSection), std::string(key), std::nullopt});
    changes_.push_back({std::string(ownFolder::kSection), std::string(key), std::nullopt});
    if (const auto path = byPath_.find(PathKey(entry.source)); path != byPath_.end() && path->second == entry.key)
        byPath_.erase(path);
    std::erase_if(added_, [&](const auto& added) { return added.first == entry.key; });
    byPosition_.erase(found->second);
    byKey_.erase(found);
    return true;
}

bool QueueEdit::Commit() {
    if (changes_.empty()) return true;
    std::vector<rtl::IniChange> changes;
    if (created_ && !rtl::FileExists(fileName_)) {
        CreateFolder(FolderOf(fileName_));
        // The settings the setup dialog would start from, with the card the
        // user's handheld reported, so that the first HotSync can install.
        changes = {{std::string(setup::kSection), std::string(setup::kEnabled), setup::kDefaultEnabled ? "1" : "0"},
                   {std::string(setup::kSection), std::string(setup::kDirectory), std::string(setup::kDefaultDirectory)},
                   {std::string(setup::kSection), std::string(setup::kMediaType),
                    std::to_string(static_cast<int32_t>(settings_.mediaType))}};
    }
    changes.insert(changes.end(), changes_.begin(), changes_.end());
    ini_.WriteChanges(changes);
    changes_.clear();
    created_ = false;
    look_.reset();  // the check below looks at the file again
    if (added_.empty()) return true;
    const rtl::TIniFile::OneLook again(ini_);
    for (const auto& [key, path] : added_)
        if (ini_.ReadValue(queue::kSection, key) == path) return true;
    return false;
}

}  // namespace queuetool

#include "tools/queue/QueueFile.h"

#include <windows.h>

#include <algorithm>
#include <map>
#include <unordered_map>

#include "app/PathRules.h"
#include "app/Settings.h"
#include "rtl/AnsiText.h"
#include "rtl/Classes.h"
#include "rtl/FileAccess.h"
#include "rtl/IniFiles.h"
#include "rtl/Paths.h"
#include "rtl/SysUtils.h"
#include "rtl/WinHandles.h"
#include "tools/queue/QueueEdit.h"
#include "tools/queue/SourcePath.h"

namespace queuetool {

namespace {

namespace setup = app::settings::setup;
namespace queue = app::settings::queue;
namespace folders = app::settings::folders;
namespace ownFolder = app::settings::ownFolder;
// A write that another program's rename swallowed, or that failed while a
// HotSync held the file, is written again.
constexpr int kWriteAttempts = 5;
constexpr DWORD kRetryMilliseconds = 20;
// A HotSync or another queue tool holds the file exclusively for a few
// milliseconds per change; a program that holds it longer holds it for good.
constexpr DWORD kHeldMilliseconds = 300;

}  // namespace

const char* const kUnreadableNow =
    "The file cannot be read now: another program holds it open, or you may not read it. The HotSync will log an "
    "error for it and keep it queued; close that program (or get access to the file) before the HotSync.";

std::vector<QueueEntry> QueueEntries(rtl::TIniFile& ini) {
    std::map<uint32_t, QueueEntry> byPosition;  // the first key of a position is the one a reader finds
    for (auto& [key, value] : ini.ReadSectionValues(queue::kSection)) {
        const auto position = app::rules::QueuePosition(key);
        if (position && !byPosition.count(*position))
            byPosition.emplace(*position, QueueEntry{key, *position, std::move(value)});
    }
    std::vector<QueueEntry> entries;
    for (auto& [position, entry] : byPosition) entries.push_back(std::move(entry));
    return entries;
}

SourceState LookAtSource(const std::string& source, std::optional<uint64_t>& size) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(source.c_str(), GetFileExInfoStandard, &data)) return SourceState::Missing;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return SourceState::Folder;
    size = (uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return rtl::OpenableForReading(source) ? SourceState::Ready : SourceState::Unreadable;
}

namespace {

std::vector<std::string> SourceWarnings(const std::string& source, std::optional<uint64_t>& size) {
    switch (LookAtSource(source, size)) {
        case SourceState::Missing:
            return {"The file is missing: the HotSync will log an error for it and keep it queued."};
        case SourceState::Folder:
            return {"This is a folder, not a file: the HotSync cannot copy it and will keep it queued."};
        case SourceState::Unreadable: return {kUnreadableNow};
        case SourceState::Ready: break;
    }
    return {};
}

// The card's file system, not the desktop's, decides whether a name fits.
// A card takes file names of up to 255 characters (the platform's own
// documentation of its expansion cards' file systems), and the VFS library
// refuses longer card paths.
constexpr size_t kLongestCardPath = 255;

void WarnLongCardPath(PreviewEntry& line) {
    if (line.cardPath.size() <= kLongestCardPath) return;
    line.warnings.push_back("The card path is " + std::to_string(line.cardPath.size()) +
                            " characters long, and a card takes at most " + std::to_string(kLongestCardPath) +
                            ": the HotSync cannot copy it. Rename the file with a shorter name.");
}

}  // namespace

// Card names compare without regard to case, as the card's file system does;
// the entries sorted by their folded card paths find each clash in one pass.
std::vector<CardPathClash> FindCardPathClashes(const std::vector<PreviewEntry>& entries) {
    std::vector<CardPathClash> clashes;
    std::multimap<std::string, size_t> byPath;
    for (size_t i = 0; i < entries.size(); ++i) byPath.emplace(rtl::FoldedInCodePage(entries[i].cardPath), i);
    for (auto it = byPath.begin(); it != byPath.end(); ++it) {
        for (auto same = std::next(it); same != byPath.end() && same->first == it->first; ++same)
            clashes.push_back({std::min(it->second, same->second), std::max(it->second, same->second), false});
        // Entries below this one's card path sort right after it, after "/".
        const std::string below = it->first + "/";
        for (auto inner = byPath.lower_bound(below);
             inner != byPath.end() && inner->first.compare(0, below.size(), below) == 0; ++inner)
            clashes.push_back({it->second, inner->second, true});
    }
    return clashes;
}

void WarnCardPathClashes(std::vector<PreviewEntry>& entries) {
    for (const CardPathClash& clash : FindCardPathClashes(entries)) {
        PreviewEntry& first = entries[clash.first];
        PreviewEntry& second = entries[clash.second];
        if (!clash.nested) {
            first.warnings.push_back("Same card path as " + second.entry.key + ", which comes later and replaces "
                                     "this copy on the card.");
            second.warnings.push_back("Same card path as " + first.entry.key + ": this copy replaces it on the card.");
        } else {
            first.warnings.push_back("Its card path is the card folder of " + second.entry.key +
                                     ": the card cannot hold a file and a folder of one name, so one of them fails.");
            second.warnings.push_back("Its card folder is the card path of " + first.entry.key +
                                      ": the card cannot hold a file and a folder of one name, so one of them fails.");
        }
    }
}

DWORD OpenError(const std::string& file, DWORD access, DWORD share) {
    const DWORD start = GetTickCount();
    for (;;) {
        const rtl::UniqueFile probe(
            CreateFileA(file.c_str(), access, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        const DWORD error = probe ? ERROR_SUCCESS : GetLastError();
        if ((error != ERROR_SHARING_VIOLATION && error != ERROR_LOCK_VIOLATION) ||
            GetTickCount() - start >= kHeldMilliseconds)
            return error;
        Sleep(kRetryMilliseconds);
    }
}

QueueFile::QueueFile(std::string settingsFile) : fileName_(std::move(settingsFile)) {}

bool QueueFile::Exists() const { return rtl::FileExists(fileName_); }

std::vector<QueueEntry> QueueFile::Entries() {
    rtl::TIniFile ini(fileName_);
    return QueueEntries(ini);
}

void QueueFile::CheckAccess(bool change) const {
    if (!Exists()) return;
    const char* what = change ? "changed" : "read";
    if (rtl::TIniFile(fileName_).TooLarge())
        throw rtl::Exception(fileName_ + " is too large to be a settings file, so the queue cannot be " + what +
                             ": Tolvane neither reads nor changes it, and no HotSync installs from it. Another "
                             "program may have written it; move it out of the folder (Tolvane then starts a new "
                             "one), then try again.");
    const DWORD attributes = GetFileAttributesA(fileName_.c_str());
    if (change && (attributes & FILE_ATTRIBUTE_READONLY))
        throw rtl::Exception(fileName_ + " is read-only, so the queue cannot be changed. Clear its read-only "
                             "attribute (Properties in Explorer), then try again.");
    // The same access and sharing as the settings-file code's reads and changes.
    const DWORD error = change ? OpenError(fileName_, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_DELETE)
                               : OpenError(fileName_, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
    if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION)
        throw rtl::Exception(fileName_ + " is held open by another program (an editor, a backup or synchronisation "
                             "program?), so the queue cannot be " + what + ". Close that program, then try again.");
    if (error == ERROR_ACCESS_DENIED)
        throw rtl::Exception("Windows does not let you open " + fileName_ + ", so the queue cannot be " + what +
                             ". Run this as the user who owns the HotSync user's folder, or ask for access to it.");
}

QueueSetup QueueFile::Setup() {
    rtl::TIniFile ini(fileName_);
    QueueSetup setup;
    setup.settingsFileExists = Exists();
    setup.cardDirectory = ini.ReadString(setup::kSection, setup::kDirectory, setup::kDefaultDirectory);
    // The run's own rule: a folder it refuses installs nothing.
    const app::rules::CardDirectoryCheck check = app::rules::CheckSetupDirectory(setup.cardDirectory);
    if (check.Usable())
        setup.cardDirectory = check.directory;
    else
        setup.cardDirectoryProblem = check.problem;
    setup.enabled = ini.ReadBool(setup::kSection, setup::kEnabled, setup::kDefaultEnabled);
    setup.mediaType = ini.ReadInteger(setup::kSection, setup::kMediaType, setup::kDefaultMediaType);
    return setup;
}

namespace {

// A file's card folder as the HotSync chooses it: its own, else its type's,
// else the setup directory; as stored, with why no card can take it.
struct EntryFolder {
    std::string directory;
    app::rules::FolderSource source;
    std::string problem;
};
EntryFolder FolderFor(rtl::TIniFile& ini, const std::string& defaultDirectory, const std::string& name,
                      const std::optional<std::string>& own) {
    const std::string type = app::rules::FileType(name);
    const auto byType = type.empty() ? std::nullopt : ini.ReadValue(folders::kSection, type);
    const app::rules::FolderChoice choice = app::rules::ChooseFolder(own, byType, defaultDirectory);
    if (choice.source == app::rules::FolderSource::Default) return {choice.stored, choice.source, ""};
    const app::rules::CardDirectoryCheck check = app::rules::CheckCardDirectory(choice.stored);
    return {check.Usable() ? check.directory : choice.stored, choice.source, check.problem};
}

void ChooseFolder(rtl::TIniFile& ini, const std::string& defaultDirectory, const std::string& name,
                  PreviewEntry& line) {
    const EntryFolder folder =
        FolderFor(ini, defaultDirectory, name, ini.ReadValue(ownFolder::kSection, line.entry.key));
    line.folderSource = folder.source;
    line.cardDirectory = folder.directory;
    if (!folder.problem.empty())
        line.warnings.push_back(folder.problem + " The HotSync will not copy the file and keeps it queued.");
}

// The setup directory as the run uses it.
std::string SetupDirectory(rtl::TIniFile& ini) {
    const std::string stored = ini.ReadString(setup::kSection, setup::kDirectory, setup::kDefaultDirectory);
    const app::rules::CardDirectoryCheck check = app::rules::CheckSetupDirectory(stored);
    return check.Usable() ? check.directory : stored;
}

// The card path of each entry of an edit, so that a file that would replace
// another one's copy on the card is found with one lookup.
class CardPaths {
public:
    explicit CardPaths(QueueEdit& edit) : ini_(edit.File()), default_(SetupDirectory(ini_)) {
        for (const QueueEntry& entry : edit.Entries()) Place(entry, Of(entry.source, OwnFolder(entry.key)));
    }
    std::optional<std::string> OwnFolder(const std::string& key) { return ini_.ReadValue(ownFolder::kSection, key); }
    std::string FolderOf(const std::string& source, const std::optional<std::string>& own) {
        return FolderFor(ini_, default_, app::rules::CardName(source), own).directory;
    }
    std::string Of(const std::string& source, const std::optional<std::string>& own) {
        return app::rules::CardPath(FolderOf(source, own), app::rules::CardName(source));
    }
    // The entry other than `key` that has the card path.
    const QueueEntry* Holder(const std::string& cardPath, const std::string& key) const {
        const auto found = byPath_.find(rtl::FoldedInCodePage(cardPath));
        return found == byPath_.end() || found->second.key == key ? nullptr : &found->second;
    }
    void Place(const QueueEntry& entry, const std::string& cardPath) {
        if (const auto was = pathOf_.find(entry.key); was != pathOf_.end()) {
            const auto held = byPath_.find(was->second);
            if (held != byPath_.end() && held->second.key == entry.key) byPath_.erase(held);
        }
        const std::string folded = rtl::FoldedInCodePage(cardPath);
        pathOf_[entry.key] = folded;
        byPath_.emplace(folded, entry);  // of two entries that other programs queued, the first
    }

private:
    rtl::TIniFile& ini_;
    std::string default_;
    std::unordered_map<std::string, QueueEntry> byPath_;   // folded card path -> entry
    std::unordered_map<std::string, std::string> pathOf_;  // key -> folded card path
};

// A file queued already: given a card directory, its entry moves there,
// unless another entry has the card path it would get there.
QueueFile::Added Requeue(QueueEdit& edit, CardPaths& paths, const std::string& key,
                         const std::optional<std::string>& cardDirectory) {
    QueueFile::Added added{key, false, std::nullopt, std::nullopt, ""};
    const QueueEntry* entry = edit.Find(key);
    if (!cardDirectory || !entry) return added;
    const std::optional<std::string> own = paths.OwnFolder(key);
    const std::string was = paths.FolderOf(entry->source, own);
    if (was == *cardDirectory) return added;
    const std::string cardPath = paths.Of(entry->source, cardDirectory);
    if (const QueueEntry* holder = paths.Holder(cardPath, key)) {
        added.pathTakenBy = *holder;
        added.cardPath = cardPath;
        return added;
    }
    edit.SetOwnFolder(key, cardDirectory);
    paths.Place(*entry, cardPath);
    added.folderWas = was;
    added.cardPath = cardPath;
    return added;
}

}  // namespace

void CheckQueuedFile(PreviewEntry& line) {
    if (line.fileChecked) return;
    line.fileChecked = true;
    if (!app::rules::InstallableName(app::rules::CardName(line.entry.source))) return;
    std::vector<std::string> warnings = SourceWarnings(line.entry.source, line.size);
    warnings.insert(warnings.end(), line.warnings.begin(), line.warnings.end());
    line.warnings = std::move(warnings);
}

Preview QueueFile::MakePreview(FileChecks checks) {
    rtl::TIniFile ini(fileName_);
    Preview preview;
    static_cast<QueueSetup&>(preview) = Setup();
    for (QueueEntry& entry : QueueEntries(ini)) {
        PreviewEntry line;
        const std::string name = app::rules::CardName(entry.source);
        line.entry.key = entry.key;
        ChooseFolder(ini, preview.cardDirectory, name, line);
        line.cardPath = app::rules::CardPath(line.cardDirectory, name);
        if (!app::rules::InstallableName(name))
            line.warnings.push_back("\"" + name + "\" is no file name for the card: the HotSync will not copy it.");
        WarnLongCardPath(line);
        line.fileChecked = false;
        line.entry = std::move(entry);
        preview.entries.push_back(std::move(line));
    }
    WarnCardPathClashes(preview.entries);
    if (checks == FileChecks::Now)
        for (PreviewEntry& line : preview.entries) CheckQueuedFile(line);
    return preview;
}

std::vector<QueueFile::Added> QueueFile::AddAll(const std::vector<NewFile>& files, const NewSettings& settings) {
    for (int attempt = 0; attempt < kWriteAttempts; ++attempt) {
        std::vector<Added> added;
        QueueEdit edit(fileName_, settings);
        CardPaths paths(edit);
        for (const NewFile& file : files) {
            if (const auto key = edit.KeyOf(file.path)) {
                added.push_back(Requeue(edit, paths, *key, file.cardDirectory));
                continue;
            }
            const std::string cardPath = paths.Of(file.path, file.cardDirectory);
            if (const QueueEntry* holder = paths.Holder(cardPath, "")) {
                added.push_back({"", false, std::nullopt, *holder, cardPath});
                continue;
            }
            const std::string key = edit.Add(file.path, file.cardDirectory);
            paths.Place({key, 0, file.path}, cardPath);
            added.push_back({key, true, std::nullopt, std::nullopt, cardPath});
        }
        try {
            if (edit.Commit()) return added;
        } catch (const rtl::EIniFileException&) {
            // A HotSync that holds the file for a deletion at the moment of
            // our rename makes the write fail; a read-only file fails again.
            if (attempt + 1 == kWriteAttempts) throw;
        }
        Sleep(kRetryMilliseconds);
    }
    throw rtl::Exception("Another program kept rewriting " + fileName_ + "; the files were not queued. Try again.");
}

QueueFile::Added QueueFile::Add(const std::string& path, const NewSettings& settings,
                                const std::optional<std::string>& cardDirectory) {
    return AddAll({{path, cardDirectory}}, settings).front();
}

// Written again, as AddAll's batch is, when a HotSync held the file at the
// moment of the write.
std::vector<bool> QueueFile::RemoveAll(const std::vector<std::string>& keys) {
    for (int attempt = 0;; ++attempt) {
        QueueEdit edit(fileName_, {});
        std::vector<bool> removed;
        for (const std::string& key : keys) removed.push_back(edit.Remove(key));
        try {
            edit.Commit();
            return removed;
        } catch (const rtl::EIniFileException&) {
            if (attempt + 1 == kWriteAttempts)
                throw rtl::Exception("Cannot change " + fileName_ + "; is it read-only or open in another program?");
        }
        Sleep(kRetryMilliseconds);
    }
}

bool QueueFile::Remove(std::string_view key) { return RemoveAll({std::string(key)}).front(); }

std::string TypeProblem(const std::string& type) {
    if (type.empty()) return "A file type is missing before \"=\" (for example mp3=/AUDIO).";
    for (const char c : type)
        if (static_cast<unsigned char>(c) <= 0x20 || std::string_view(".=[];\\/:*?\"<>|").find(c) != std::string_view::npos)
            return "\"" + type + "\" is no file type: give the extension without its dot, such as mp3.";
    return "";
}

std::optional<std::string> TypedAnsi(const std::wstring& typed, const char* what, std::wstring& problem) {
    std::optional<std::string> ansi = rtl::AnsiFromWide(typed);
    if (!ansi)
        problem = L"The " + rtl::WideFromAnsi(what) + L" \"" + typed +
                  L"\" has characters that the Palm Desktop cannot take on this Windows (code page " +
                  std::to_wstring(GetACP()) + L"): use letters of that code page, such as A to Z.";
    return ansi;
}

std::vector<TypeFolder> QueueFile::TypeFolders() {
    rtl::TIniFile ini(fileName_);
    std::vector<TypeFolder> rules;
    for (const std::string& type : ini.ReadSection(folders::kSection))
        rules.emplace_back(type, ini.ReadString(folders::kSection, type, ""));
    return rules;
}

std::string QueueFile::Value(std::string_view section, std::string_view key) {
    rtl::TIniFile ini(fileName_);
    return ini.ReadString(section, key, "");
}

void QueueFile::SetTypeFolders(const std::vector<TypeFolder>& changes, const NewSettings& settings) {
    QueueEdit edit(fileName_, settings);
    for (const auto& [type, directory] : changes) edit.SetTypeFolder(type, directory);
    edit.Commit();
}

}  // namespace queuetool

// One user's queue in the conduit's settings file: what it holds, what the
// next HotSync will do with it, and the changes the queue tool makes. All
// reads and writes go through the conduit's own settings-file code
// (rtl/IniFiles.h), which re-reads the file before each change, so a
// HotSync that deletes installed keys meanwhile loses nothing, and nor do we.
#pragma once
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/CardFolders.h"

namespace rtl {
class TIniFile;
}

namespace queuetool {

struct QueueEntry {
    std::string key;  // as the file spells it
    uint32_t position = 0;
    std::string source;
};

// What the next HotSync will do with one entry.
struct PreviewEntry {
    QueueEntry entry;
    std::string cardPath;
    std::string cardDirectory;  // the folder that cardPath lies in, as stored
    app::rules::FolderSource folderSource = app::rules::FolderSource::Default;
    std::optional<uint64_t> size;       // none: no file to copy
    std::vector<std::string> warnings;  // for the user, each a full sentence
    bool fileChecked = true;            // false: size and the file's own warnings are not known yet
};

// The [Setup] values that decide whether queued files can arrive.
struct QueueSetup {
    std::string cardDirectory;
    std::string cardDirectoryProblem;  // why no card can take the folder; empty when one can
    bool enabled = true;
    int32_t mediaType = 0;
    bool settingsFileExists = false;
};

struct Preview : QueueSetup {
    std::vector<PreviewEntry> entries;
};

// The queue's entries in walk order (ascending positions, the first key of
// a position), from one look at the file.
std::vector<QueueEntry> QueueEntries(rtl::TIniFile& ini);

// Two entries of which one replaces the other on the card (the same card
// path in any letter case: `first` comes first in walk order) or, when
// `nested`, `first`'s card path is `second`'s card folder.
struct CardPathClash {
    size_t first = 0, second = 0;  // indexes into the entries
    bool nested = false;
};
std::vector<CardPathClash> FindCardPathClashes(const std::vector<PreviewEntry>& entries);

// Adds a warning to both entries of each clash, after the entries' own.
void WarnCardPathClashes(std::vector<PreviewEntry>& entries);

// Defaults for a settings file that the tool creates.
struct NewSettings {
    uint32_t mediaType = 0;
};

// What the HotSync does with a file that cannot be read now, for the user.
extern const char* const kUnreadableNow;

// Whether a queued desktop file can be copied now; its size when it is a file.
enum class SourceState { Ready, Missing, Folder, Unreadable };
SourceState LookAtSource(const std::string& source, std::optional<uint64_t>& size);

// Looks at an entry's queued file: its size, or why the HotSync cannot copy
// it. Once per entry; the warnings about its file come first.
void CheckQueuedFile(PreviewEntry& line);

// One rule of [Folders]: files of a type (extension without its dot) go
// into a card directory; an empty directory removes the rule.
using TypeFolder = std::pair<std::string, std::string>;

// Why a type cannot name a rule ("" when it can): a type is a file name's
// extension, without its dot.
std::string TypeProblem(const std::string& type);

// The ANSI form of a card directory or file type that the user typed (WHAT
// names which, "card directory" or "file type"), or none and why: the
// settings file and the card take only what the ANSI code page can spell,
// and the reason must name the text as typed, not its mangled form.
std::optional<std::string> TypedAnsi(const std::wstring& typed, const char* what, std::wstring& problem);

// Opens the file with that access and sharing and closes it again, waiting
// out a moment's exclusive access by a HotSync or another queue program;
// the error of the last attempt when it stays refused (0: it opened).
unsigned long OpenError(const std::string& file, unsigned long access, unsigned long share);

class QueueFile {
public:
    explicit QueueFile(std::string settingsFile);

    const std::string& FileName() const noexcept { return fileName_; }
    bool Exists() const;

    // Throws rtl::Exception at once, with the cause and what to do, when the
    // settings file is held by another program (or denied to us) so that the
    // command could not read it or, with `change`, change it; rather than
    // have every read and write wait for it in vain. A HotSync's moment of
    // exclusive access is waited for.
    void CheckAccess(bool change) const;

    QueueSetup Setup();

    // The entries in walk order (ascending positions, the first of repeats).
    std::vector<QueueEntry> Entries();
    // With FileChecks::Later the queued files are not looked at (no size,
    // no missing-file warning): a window shows a long queue at once and
    // checks each file with CheckQueuedFile when it shows it.
    enum class FileChecks { Now, Later };
    Preview MakePreview(FileChecks checks = FileChecks::Now);

    // Queuing and taking off files, one or many. Each call is one pass
    // (QueueEdit.h): the queue lock taken once, the file read once and
    // written once, however many files; the tool, the window and Send To
    // hand a whole batch to one call.
    struct NewFile {
        std::string path;  // full and long, see SourcePath.h
        // The entry's own card folder (checked by the caller); none: its
        // type's or the default, and a folder entry left over from an
        // earlier entry of its number goes.
        std::optional<std::string> cardDirectory;
    };
    struct Added {
        std::string key;    // empty when the file was refused
        bool isNew = true;  // false: queued already (under any spelling of its path), under `key`
        // Queued already and now given another card folder: the folder it had.
        std::optional<std::string> folderWas;
        // Refused, or not moved: another entry has the card path it would
        // get (`cardPath`), and one copy would replace the other on the card.
        std::optional<QueueEntry> pathTakenBy;
        std::string cardPath;
    };
    // Queues the files in their order under the keys after the highest
    // position, creating the folder and the settings file when needed. A
    // file queued already, or twice in the batch, keeps its one entry; with
    // a card directory that entry moves there. A file whose card path
    // another entry has (in any letter case, as the card compares) is not
    // queued, nor moved there.
    // Throws rtl::Exception when the file cannot be written: none is queued.
    std::vector<Added> AddAll(const std::vector<NewFile>& files, const NewSettings& settings);
    Added Add(const std::string& path, const NewSettings& settings,
              const std::optional<std::string>& cardDirectory = std::nullopt);

    // Takes entries off the queue (every line of each key, and its own
    // folder); for each key whether it was queued. Throws rtl::Exception
    // when the file cannot be written: none is taken off.
    std::vector<bool> RemoveAll(const std::vector<std::string>& keys);
    bool Remove(std::string_view key);

    // The [Folders] rules in file order; and changes to them, made in one go.
    std::vector<TypeFolder> TypeFolders();
    // A settings file that they create starts as Add's does.
    void SetTypeFolders(const std::vector<TypeFolder>& changes, const NewSettings& settings);

    // The value of a key, or "" when it has none.
    std::string Value(std::string_view section, std::string_view key);

private:
    std::string fileName_;
};

}  // namespace queuetool

// One user's queue in the conduit's settings file: what it holds, what the
// next HotSync will do with it, and the changes the queue tool makes. All
// reads and writes go through the conduit's own settings-file code
// (rtl/IniFiles.h), which re-reads the file before each change, so a
// HotSync that deletes installed keys meanwhile loses nothing, and nor do we.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

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
    std::optional<uint64_t> size;       // none: no file to copy
    std::vector<std::string> warnings;  // for the user, each a full sentence
};

struct Preview {
    std::string cardDirectory;
    bool enabled = true;
    int32_t mediaType = 0;
    bool settingsFileExists = false;
    std::vector<PreviewEntry> entries;
};

// Defaults for a settings file that the tool creates.
struct NewSettings {
    uint32_t mediaType = 0;
};

// Why a file cannot be queued: every queue program refuses the same files
// and words the reason for its own users.
enum class FileProblem { None, Missing, Folder };
FileProblem ProblemOf(const std::string& fullPath);

class QueueFile {
public:
    explicit QueueFile(std::string settingsFile);

    const std::string& FileName() const noexcept { return fileName_; }
    bool Exists() const;

    // The entries in walk order (ascending positions, the first of repeats).
    std::vector<QueueEntry> Entries();
    Preview MakePreview();

    // Queues a file (full path) under the key after the highest position,
    // creating the folder and the settings file when needed. Returns the
    // key; when the path is queued already, that entry's key and false.
    // Throws rtl::Exception when the file cannot be written.
    struct Added {
        std::string key;
        bool isNew = true;
    };
    Added Add(const std::string& path, const NewSettings& settings);

    // Takes an entry off the queue; false when no such key is queued.
    bool Remove(std::string_view key);

private:
    std::string fileName_;
};

}  // namespace queuetool

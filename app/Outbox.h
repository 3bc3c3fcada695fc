// A HotSync user's desktop outbox ([Outbox] Folder of the settings file): a
// folder whose files go to the card at the next HotSync, each into the card
// folder of its path inside the outbox (a file at the top goes where a
// queued file without a folder of its own goes), and move into the outbox's
// Sent folder once they are on the card and off the queue. Nothing is ever
// deleted: not on the card, not in the outbox. The rules live here so that
// the conduit and the queue tools judge a file the same way.
#pragma once
#include <cstddef>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "rtl/WinHandles.h"

namespace rtl {
class TIniFile;
}

namespace app::outbox {

// A card takes paths of at most 255 characters; the Palm Desktop's ANSI
// calls open desktop paths of at most 259.
constexpr size_t kLongestCardPath = 255;
constexpr size_t kLongestDesktopPath = 259;
// A file written less than this many seconds before a HotSync may still be
// growing (a program that opens, appends and closes it again and again): it
// waits for a later HotSync, as one held open for writing does.
constexpr unsigned kQuietSeconds = 10;
// Windows makes folders of at most 247 characters (room for an 8.3 name).
constexpr size_t kLongestFolderPath = 247;

struct OutboxFile {
    std::wstring relative;  // its path inside the outbox, exactly
    std::string shown;      // the same in the ANSI code page, "?" for what it lacks: for the log
    std::string path;       // the full ANSI path that the queue takes; empty when it has none
    // The card folder of its subfolder; none for a file at the top.
    std::optional<std::string> cardFolder;
    // Why it stays in the outbox for now (a sentence without its final
    // stop); empty when it can go.
    std::string problem;
    bool beingWritten = false;  // another program has it open for writing, or wrote it just now: it waits
    bool queued = false;        // queued already: its entry decides what happens (see Plan)
    std::string cardPath;       // where it goes, for one that can go and is not queued yet (see Plan)
};

// The outbox folder as the setting names it: made full, without a final
// separator; empty for none.
std::string FolderOf(const std::string& setting);

// The outbox's files, sorted by their paths inside it: every file of it and
// of its subfolders except the Sent folder's, hidden or system files and
// folders, and whatever lies in `keepOut` (the user's conduit folder, whose
// settings file belongs to no card). Nothing when the folder is missing.
std::vector<OutboxFile> Scan(const std::string& folder, const std::string& keepOut);

// What the next HotSync does with each file of a scan: one whose path (as
// rtl::FoldedInCodePage folds it) is in `queued` is left to its entry; one
// at the top goes into topFolder(its name) (its type's folder, else the
// default); each that can go gets its card path, unless that is too long or
// taken: by a queued file (`taken`: folded card path -> that file, as the
// log names it) or by an outbox file before it, which the file would
// replace on the card. Such a file waits for a later HotSync.
using TopFolder = std::function<std::string(const std::string& cardName)>;
using TakenPaths = std::map<std::string, std::string>;
void Plan(std::vector<OutboxFile>& files, const std::set<std::string>& queued, const TakenPaths& taken,
          const TopFolder& topFolder);

// The card folder of a file at the outbox's top, as the walk chooses it for
// a queued file without a folder of its own: its type's ([Folders]), else
// the setup directory.
std::string TopFolderOf(rtl::TIniFile& ini, const std::string& cardName, const std::string& setupDirectory);

// Why a card path cannot be made ("" when it can): its length.
std::string CardPathProblem(std::string_view cardFolder, std::string_view name);

// The path inside the outbox of a queued file that lies in it (and not in
// its Sent folder), or none.
std::optional<std::string> Inside(const std::string& folder, const std::string& path);

// The outbox file at `relative`, opened as itself to be read and held while
// it is copied, so that nobody replaces or renames it meanwhile; none when it
// is a link or leads out of the outbox (then it must not be copied). The
// handle is empty when the file cannot be opened: the copy then says why.
std::optional<rtl::UniqueFile> HoldToSend(const std::string& folder, const std::string& relative);

// Moves a file of the outbox into its Sent folder under the same path
// inside it, making the folders it needs; the file and each folder are
// opened as themselves and checked to be no link, and the file is renamed
// by its handle into the held folder; a name taken there gets " (2)",
// " (3)" ... before its extension. "" when moved, else why not.
std::string MoveToSent(const std::string& folder, const std::string& relative);

// The name that the n-th file of one name gets in Sent: "Atlas.pdb",
// "Atlas (2).pdb", ...
std::string SentName(std::string_view name, unsigned n);

}  // namespace app::outbox

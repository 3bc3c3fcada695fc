// Queuing several files at once, as the console tool's add, Send To and
// the queue window do: each file is judged on its own (SourcePath.h), so
// that one bad file keeps none of the others off the queue, and each gets
// a sentence for the user that says what became of it.
#pragma once
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "tools/queue/DesktopUsers.h"
#include "tools/queue/QueueFile.h"

namespace queuetool {

struct FileOutcome {
    enum class Kind { kQueued, kQueuedAlready, kRefused };
    std::wstring given;  // as the user named it
    Kind kind = Kind::kRefused;
    std::string key;     // the entry's key (DB<n>), unless refused
    std::wstring text;   // a full sentence for the user: what became of it, or why it was refused
};

struct BatchOutcome {
    std::vector<FileOutcome> files;
    // Why files that are queued now will not arrive at the next HotSync:
    // the install is switched off, or the handheld has no card slot.
    std::vector<std::wstring> warnings;
    // The settings file could not be written: none of the accepted files
    // was queued; the first of them says why.
    bool failed = false;

    size_t Count(FileOutcome::Kind kind) const;
};

// Queues the acceptable files of `given` for the user in the given order:
// each file is judged first, then all that pass are queued in one pass
// over the settings file (QueueFile::AddAll). Throws rtl::Exception before
// queuing anything when the user's folder is missing (MissingUserFolder)
// or the settings file is held or denied
// (QueueFile::CheckAccess).
// With a card directory (already checked), each file gets it as its own folder.
// `judged`, when given, hears how many files have been judged so far, after
// each (a window shows it while it waits).
BatchOutcome AddFiles(QueueFile& queue, const DesktopUser& user, const std::vector<std::wstring>& given,
                      const std::optional<std::string>& cardDirectory = std::nullopt,
                      const std::function<void(size_t judged)>& judged = {});

// The same warnings for a queue as it is (what `add` says after queuing).
std::vector<std::wstring> ArrivalWarnings(QueueFile& queue, const DesktopUser& user);

}  // namespace queuetool

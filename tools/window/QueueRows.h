// What the queue window shows of one user's queue, in words: the rows of
// the list, the line about the user's card install, the status line, and
// the one-line outcome of a batch of files. No window code here, so that
// the words can be checked on their own.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "app/memorycard.h"
#include "tools/queue/QueueBatch.h"
#include "tools/queue/OutboxView.h"
#include "tools/queue/QueueFile.h"

namespace queuewindow {

struct Row {
    std::string key;
    std::string name;      // the desktop file's name
    std::string size;      // "12.5 KB", or "-" when there is no file to copy
    std::string folder;    // the card folder and why: "/AUDIO (by type)"
    std::string cardPath;
    std::string state;     // "Ready", or what is wrong with the entry
    std::string source;    // the full desktop path
    uint64_t bytes = 0;
    bool warned = false;
    bool checked = true;   // false: the file was not looked at yet
    bool outbox = false;   // a file in the user's outbox, not queued yet: no key
    std::wstring wideSource;  // an outbox file's full path exactly, for a name without an ANSI form
};

Row MakeRow(const queuetool::PreviewEntry& entry);
std::vector<Row> MakeRows(const queuetool::Preview& preview);

// The outbox's files that are not queued yet, each "In the outbox" (the
// next HotSync queues it) or why it stays there; `defaultDirectory` tells a
// file at the top that goes by its type from one that goes to the default.
std::vector<Row> OutboxRows(const queuetool::OutboxView& view, const std::string& defaultDirectory);

// The user's outbox in words, for the line about the card install.
std::string OutboxSummary(const queuetool::OutboxView& view);

// "3 files queued, 1.2 MB; 1 needs attention" (or "The queue is empty");
// the outbox's rows are counted apart;
// while files are still being looked at, only the count.
std::string StatusText(const std::vector<Row>& rows);

// The user's card install in words: whether it is on, which card (by the
// name the handheld gave its slot when one matches) and the card folder.
std::string InstallSummary(const queuetool::Preview& preview, const app::TSlots& slots);

// Sizes as Explorer shows them: bytes below 1 KB, then KB, MB and GB with
// one decimal.
std::string SizeText(uint64_t bytes);

// The outcome of a batch in one short line:
//   "Queued 80 files for Alice; 2 refused: No such file: C:\a.pdb. C:\Books is a folder; ..."
// At most `maxLength` characters: the refusals that do not fit are counted
// instead ("... and 5 more.").
std::wstring BatchLine(const queuetool::BatchOutcome& outcome, const std::string& user, size_t maxLength = 240);

}  // namespace queuewindow

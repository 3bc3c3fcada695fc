// One look at a HotSync user's queue and outbox, taken on the window's
// worker (Worker.h) and handed to the window to show: the window's thread
// never reads a settings file or looks at a queued file itself.
//
//   worker: auto snapshot = ReadQueue(user);             // a long queue's files unchecked
//           if (!snapshot.AllChecked()) CheckFiles(snapshot);
//   window: show snapshot.rows, snapshot.preview, ...
#pragma once
#include <string>
#include <vector>

#include "tools/queue/DesktopUsers.h"
#include "tools/queue/OutboxView.h"
#include "tools/queue/QueueFile.h"
#include "tools/window/QueueRows.h"

namespace queuewindow {

struct QueueSnapshot {
    std::string problem;  // why the queue cannot be shown: the user's folder is missing, the file held...; "" when it can
    queuetool::Preview preview;
    queuetool::OutboxView outbox;
    std::vector<queuetool::TypeFolder> typeFolders;
    std::vector<Row> rows;  // the queued entries in walk order, then the outbox's files

    bool AllChecked() const noexcept;
};

// A queue longer than this shows before its files are looked at; the rest
// of its files are looked at by CheckFiles.
constexpr size_t kCheckedBeforeShowing = 500;

QueueSnapshot ReadQueue(const queuetool::DesktopUser& user);
// Looks at every queued file not looked at yet, and makes its row again.
void CheckFiles(QueueSnapshot& snapshot);

}  // namespace queuewindow

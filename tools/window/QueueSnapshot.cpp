#include "tools/window/QueueSnapshot.h"

#include "rtl/SysUtils.h"

namespace queuewindow {

namespace {

// Why the queue cannot be shown: the user's folder is missing, or the
// settings file is held, denied or too large; "" when it can.
std::string QueueProblem(const queuetool::DesktopUser& user, queuetool::QueueFile& queue) {
    if (std::string missing = queuetool::MissingUserFolder(user); !missing.empty() && !queue.Exists()) return missing;
    try {
        queue.CheckAccess(false);
    } catch (const rtl::Exception& e) {
        return e.Message();
    }
    return "";
}

}  // namespace

bool QueueSnapshot::AllChecked() const noexcept {
    for (const queuetool::PreviewEntry& entry : preview.entries)
        if (!entry.fileChecked) return false;
    return true;
}

QueueSnapshot ReadQueue(const queuetool::DesktopUser& user) {
    QueueSnapshot snapshot;
    queuetool::QueueFile queue(queuetool::SettingsFileOf(user));
    snapshot.problem = QueueProblem(user, queue);
    if (!snapshot.problem.empty()) return snapshot;
    snapshot.preview = queue.MakePreview(queuetool::QueueFile::FileChecks::Later);
    if (snapshot.preview.entries.size() <= kCheckedBeforeShowing)
        for (queuetool::PreviewEntry& entry : snapshot.preview.entries) queuetool::CheckQueuedFile(entry);
    snapshot.typeFolders = queue.TypeFolders();
    snapshot.outbox = queuetool::ViewOutbox(queue, user, snapshot.preview);
    snapshot.rows = MakeRows(snapshot.preview);
    for (Row& row : OutboxRows(snapshot.outbox, snapshot.preview.cardDirectory)) snapshot.rows.push_back(std::move(row));
    return snapshot;
}

void CheckFiles(QueueSnapshot& snapshot) {
    auto& entries = snapshot.preview.entries;
    for (size_t i = 0; i < entries.size() && i < snapshot.rows.size(); ++i) {
        if (entries[i].fileChecked) continue;
        queuetool::CheckQueuedFile(entries[i]);
        snapshot.rows[i] = MakeRow(entries[i]);
    }
}

}  // namespace queuewindow

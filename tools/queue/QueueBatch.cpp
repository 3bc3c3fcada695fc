#include "tools/queue/QueueBatch.h"

#include <algorithm>

#include "app/PathRules.h"
#include "rtl/AnsiText.h"
#include "rtl/Classes.h"
#include "rtl/FileAccess.h"
#include "rtl/SysUtils.h"
#include "tools/queue/SourcePath.h"

namespace queuetool {

namespace {

// Two files of one name for one card folder: the later copy would replace
// the earlier one on the card, so the user is told how to keep both.
std::wstring PathTaken(const std::wstring& what, const QueueFile::Added& entry) {
    const QueueEntry& holder = *entry.pathTakenBy;
    std::wstring text = entry.key.empty() ? L"Not queued: " + what
                                          : what + L" stays where it is, as " + rtl::WideFromAnsi(entry.key);
    return text + L": in " + rtl::WideFromAnsi(app::rules::CardFolderOf(entry.cardPath)) + L" its card path " +
           rtl::WideFromAnsi(entry.cardPath) + L" is that of " + rtl::WideFromAnsi(holder.key) + L" (" +
           rtl::WideFromAnsi(holder.source) +
           L"), and one copy would replace the other on the card. To send both, give this one another card "
           L"folder (add --to DIR, or \"New files go to\" in the queue window), or rename one of them.";
}

}  // namespace

size_t BatchOutcome::Count(FileOutcome::Kind kind) const {
    return static_cast<size_t>(
        std::count_if(files.begin(), files.end(), [kind](const FileOutcome& file) { return file.kind == kind; }));
}

// Every file is judged first; the accepted ones are then queued in one
// pass over the settings file.
BatchOutcome AddFiles(QueueFile& queue, const DesktopUser& user, const std::vector<std::wstring>& given,
                      const std::optional<std::string>& cardDirectory,
                      const std::function<void(size_t judged)>& judged) {
    if (const std::string missing = MissingUserFolder(user); !missing.empty()) throw rtl::Exception(missing);
    queue.CheckAccess(true);
    BatchOutcome outcome;
    std::vector<QueueFile::NewFile> accepted;
    std::vector<std::wstring> shown;
    for (const std::wstring& file : given) {
        SourcePath source = JudgeSource(file);
        if (source.path) {
            accepted.push_back({std::move(*source.path), cardDirectory});
            shown.push_back(std::move(source.shown));
            outcome.files.push_back({file, FileOutcome::Kind::kQueued, {}, {}});
        } else {
            outcome.files.push_back({file, FileOutcome::Kind::kRefused, {}, std::move(source.refusal)});
        }
        if (judged) judged(outcome.files.size());
    }
    std::vector<QueueFile::Added> added;
    try {
        if (!accepted.empty()) added = queue.AddAll(accepted, NewSettings{user.firstSlotMediaType});
    } catch (const rtl::Exception& e) {
        outcome.failed = true;
        const std::wstring why = rtl::WideFromAnsi(e.Message());
        const std::wstring notQueued = L"Not queued: " + rtl::WideFromAnsi(queue.FileName()) + L" could not be written.";
        bool first = true;
        for (FileOutcome& file : outcome.files)
            if (file.kind != FileOutcome::Kind::kRefused) {
                file = {file.given, FileOutcome::Kind::kRefused, {}, first ? why : notQueued};
                first = false;
            }
        return outcome;
    }
    const std::wstring name = rtl::WideFromAnsi(user.name);
    size_t next = 0;
    for (FileOutcome& file : outcome.files) {
        if (file.kind == FileOutcome::Kind::kRefused) continue;
        const QueueFile::Added& entry = added[next];
        const std::wstring key = rtl::WideFromAnsi(entry.key), what = shown[next++];
        file.key = entry.key;
        if (entry.pathTakenBy) {
            file.kind = FileOutcome::Kind::kRefused;
            file.text = PathTaken(what, entry);
        } else if (entry.isNew) {
            file.text = L"Queued " + what + L" as " + key + L" for " + name;
        } else {
            file.kind = FileOutcome::Kind::kQueuedAlready;
            file.text = L"Already queued " + what + L" as " + key + L" for " + name;
            if (entry.folderWas)
                file.text += L"; its card folder is now " +
                             rtl::WideFromAnsi(app::rules::CardFolderOf(entry.cardPath)) + L" (it was " +
                             rtl::WideFromAnsi(*entry.folderWas) + L")";
        }
    }
    if (outcome.Count(FileOutcome::Kind::kRefused) < outcome.files.size())
        outcome.warnings = ArrivalWarnings(queue, user);
    // As list warns: queued, such a file still waits until it can be read.
    for (size_t i = 0; i < accepted.size(); ++i)
        if (!added[i].pathTakenBy && !rtl::OpenableForReading(accepted[i].path))
            outcome.warnings.push_back(shown[i] + L": " + rtl::WideFromAnsi(kUnreadableNow));
    return outcome;
}

std::vector<std::wstring> ArrivalWarnings(QueueFile& queue, const DesktopUser& user) {
    const std::wstring name = rtl::WideFromAnsi(user.name);
    std::vector<std::wstring> warnings;
    if (!queue.Setup().enabled)
        warnings.push_back(L"The card install is switched off for " + name +
                           L": the files stay queued and no HotSync installs them until it is switched on in the "
                           L"conduit's settings.");
    if (user.firstSlotMediaType == 0)
        warnings.push_back(L"The handheld of " + name +
                           L" reported no card slot at its last HotSync: the files stay queued until a HotSync "
                           L"of a handheld with a card.");
    return warnings;
}

}  // namespace queuetool

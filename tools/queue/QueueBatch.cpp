#include "tools/queue/QueueBatch.h"

#include <algorithm>

#include "rtl/AnsiText.h"
#include "rtl/SysUtils.h"
#include "tools/queue/SourcePath.h"

namespace queuetool {

namespace {

FileOutcome Queue(QueueFile& queue, const DesktopUser& user, const std::wstring& given,
                  const std::optional<std::string>& cardDirectory) {
    const SourcePath source = JudgeSource(given);
    if (!source.path) return {given, FileOutcome::Kind::kRefused, {}, source.refusal};
    const QueueFile::Added added = queue.Add(*source.path, NewSettings{user.firstSlotMediaType}, cardDirectory);
    const std::wstring key = rtl::WideFromAnsi(added.key), name = rtl::WideFromAnsi(user.name);
    if (added.isNew)
        return {given, FileOutcome::Kind::kQueued, added.key, L"Queued " + source.shown + L" as " + key + L" for " + name};
    return {given, FileOutcome::Kind::kQueuedAlready, added.key,
            L"Already queued " + source.shown + L" as " + key + L" for " + name};
}

}  // namespace

size_t BatchOutcome::Count(FileOutcome::Kind kind) const {
    return static_cast<size_t>(
        std::count_if(files.begin(), files.end(), [kind](const FileOutcome& file) { return file.kind == kind; }));
}

BatchOutcome AddFiles(QueueFile& queue, const DesktopUser& user, const std::vector<std::wstring>& given,
                      const std::optional<std::string>& cardDirectory) {
    queue.CheckAccess(true);
    BatchOutcome outcome;
    for (const std::wstring& file : given) {
        if (outcome.failed) {
            outcome.files.push_back({file, FileOutcome::Kind::kRefused, {}, L"Not tried: " + rtl::WideFromAnsi(queue.FileName()) + L" could not be written."});
            continue;
        }
        try {
            outcome.files.push_back(Queue(queue, user, file, cardDirectory));
        } catch (const rtl::Exception& e) {
            outcome.files.push_back({file, FileOutcome::Kind::kRefused, {}, rtl::WideFromAnsi(e.Message())});
            outcome.failed = true;
        }
    }
    if (outcome.Count(FileOutcome::Kind::kRefused) < outcome.files.size())
        outcome.warnings = ArrivalWarnings(queue, user);
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

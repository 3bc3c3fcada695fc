#include "tools/window/QueueBatch.h"

#include <windows.h>

#include "tools/queue/QueueFile.h"
#include "tools/window/WideText.h"

namespace queuewindow {

namespace {

std::wstring FullPath(const std::wstring& path) {
    const DWORD length = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (length == 0) return path;
    std::wstring full(length, L'\0');
    const DWORD written = GetFullPathNameW(path.c_str(), length, full.data(), nullptr);
    if (written == 0 || written >= length) return path;
    full.resize(written);
    return full;
}

const char* ReasonOf(queuetool::FileProblem problem) {
    switch (problem) {
        case queuetool::FileProblem::Missing: return "no such file";
        case queuetool::FileProblem::Folder: return "a folder: add the files in it instead";
        case queuetool::FileProblem::None: break;
    }
    return "";
}

}  // namespace

BatchResult QueueFiles(const queuetool::DesktopUser& user, const std::vector<std::wstring>& files) {
    BatchResult result;
    queuetool::QueueFile queue(queuetool::SettingsFileOf(user));
    for (const std::wstring& file : files) {
        const std::wstring full = FullPath(file);
        const auto path = Narrow(full);
        if (!path) {
            result.refused.push_back({NarrowForDisplay(full),
                                      "its name has characters that the queue cannot hold"});
            continue;
        }
        if (const auto problem = queuetool::ProblemOf(*path); problem != queuetool::FileProblem::None) {
            result.refused.push_back({*path, ReasonOf(problem)});
            continue;
        }
        const auto added = queue.Add(*path, queuetool::NewSettings{user.firstSlotMediaType});
        if (added.isNew)
            result.keys.push_back(added.key);
        else
            ++result.alreadyQueued;
    }
    return result;
}

}  // namespace queuewindow

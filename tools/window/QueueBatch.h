// Queues a batch of files for one user, as a drop, the open dialog or the
// Send To menu hands them over: every file is judged on its own, the
// acceptable ones are queued and each refusal keeps the file and the reason.
#pragma once
#include <string>
#include <vector>

#include "tools/queue/DesktopUsers.h"
#include "tools/window/QueueRows.h"

namespace queuewindow {

struct BatchResult {
    std::vector<std::string> keys;  // of the files queued now, in order
    size_t alreadyQueued = 0;
    std::vector<Refusal> refused;
};

// Throws rtl::Exception when the settings file cannot be written; what was
// queued before that stays queued.
BatchResult QueueFiles(const queuetool::DesktopUser& user, const std::vector<std::wstring>& files);

}  // namespace queuewindow

// Keeps two queue tools from choosing the same new key for one settings
// file: a named mutex per file, held while a command reads and changes the
// queue. The HotSync walk needs no part in it: it only deletes keys, and the
// settings-file code re-reads the file before every change.
#pragma once
#include <string>

#include "rtl/WinHandles.h"

namespace queuetool {

class QueueLock {
public:
    // Waits up to a minute; throws rtl::Exception when the lock stays taken.
    explicit QueueLock(const std::string& settingsFile);
    ~QueueLock();
    QueueLock(const QueueLock&) = delete;
    QueueLock& operator=(const QueueLock&) = delete;

    // The mutex name for a file: the same for every spelling of its path's case.
    static std::string MutexName(const std::string& settingsFile);

private:
    rtl::UniqueKernelHandle mutex_;
};

}  // namespace queuetool

// Keeps two programs from choosing the same new key for one settings file:
// a named mutex per file, held while a queue tool reads and changes the
// queue, and while a HotSync queues its outbox's files. The walk itself
// needs no part in it: it only deletes keys, and the settings-file code
// re-reads the file before every change.
#pragma once
#include <cstdint>
#include <string>

#include "rtl/WinHandles.h"

namespace app {

class QueueLock {
public:
    // A tool waits up to a minute for another; a HotSync waits less, since
    // its outbox can wait for the next one.
    static constexpr uint32_t kToolWaitMs = 60000;

    // Throws rtl::Exception when the lock stays taken for `waitMs`.
    explicit QueueLock(const std::string& settingsFile, uint32_t waitMs = kToolWaitMs);
    ~QueueLock();
    QueueLock(const QueueLock&) = delete;
    QueueLock& operator=(const QueueLock&) = delete;

    // True while a lock of this process waits for a queue that another
    // program holds (a window says so while it waits).
    static bool Waiting() noexcept;

    // The mutex name for a file: the same for every spelling of its path's case.
    static std::string MutexName(const std::string& settingsFile);

private:
    rtl::UniqueKernelHandle mutex_;
};

}  // namespace app

#include "app/QueueLock.h"

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <cstdio>

#include "rtl/Paths.h"
#include "rtl/SysUtils.h"
#include "rtl/Text.h"

namespace app {

namespace {

// FNV-1a over the folded full path: mutex names may not hold "\" and are
// limited in length, paths are neither.
uint64_t Fingerprint(const std::string& path) {
    uint64_t hash = 14695981039346656037ull;
    for (const char c : path) {
        const char folded = c == '/' ? '\\' : rtl::AsciiLower(c);
        hash = (hash ^ static_cast<unsigned char>(folded)) * 1099511628211ull;
    }
    return hash;
}

std::atomic<int> waiters{0};

// Counts the locks that wait for another program while they wait.
class Waiter {
public:
    Waiter() noexcept { ++waiters; }
    ~Waiter() { --waiters; }
    Waiter(const Waiter&) = delete;
    Waiter& operator=(const Waiter&) = delete;
};

DWORD Wait(HANDLE mutex, uint32_t waitMs) noexcept {
    const DWORD first = WaitForSingleObject(mutex, 0);
    if (first != WAIT_TIMEOUT || waitMs == 0) return first;
    const Waiter waiter;
    return WaitForSingleObject(mutex, waitMs);
}

}  // namespace

std::string QueueLock::MutexName(const std::string& settingsFile) {
    char hex[17] = {};
    const uint64_t fingerprint = Fingerprint(rtl::FullPathName(settingsFile));
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(fingerprint));
    return std::string("Tolvane.queue.") + hex;
}

QueueLock::QueueLock(const std::string& settingsFile, uint32_t waitMs)
    : mutex_(CreateMutexA(nullptr, FALSE, MutexName(settingsFile).c_str())) {
    if (!mutex_) throw rtl::Exception(rtl::Format("Cannot create the queue lock (error %lu).", GetLastError()));
    // An abandoned mutex (a tool that was killed) is ours all the same: the
    // settings file is whole whatever moment that tool died at.
    const DWORD result = Wait(mutex_.get(), waitMs);
    if (result != WAIT_OBJECT_0 && result != WAIT_ABANDONED) {
        mutex_.reset();
        throw rtl::Exception("Another program has held the queue of " + settingsFile +
                             (waitMs >= kToolWaitMs ? " for a minute" : "") + "; try again when it has finished.");
    }
}

bool QueueLock::Waiting() noexcept { return waiters > 0; }

QueueLock::~QueueLock() {
    if (mutex_) ReleaseMutex(mutex_.get());
}

}  // namespace app

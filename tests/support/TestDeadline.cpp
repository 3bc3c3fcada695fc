// Every test of a program ends within its deadline, or the program ends it:
// a test that hangs (a wait without an end, two threads waiting for each
// other, a modal window nobody closes) would otherwise run into CTest's
// timeout, which kills it without a word about why. After the deadline the
// test's name, how long it ran and the windows shown on the desktop, with
// their texts, go to the output, and the process ends with a failure.
//
// The deadline is TOLVANE_TEST_DEADLINE seconds (kDefaultSeconds without it),
// half of CTest's timeout, so that the report always comes before CTest's
// kill. Linked into every test program (tests/CMakeLists.txt).
#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

#include "tests/support/WindowDriver.h"

namespace {

constexpr long kDefaultSeconds = 60;

std::chrono::seconds Deadline() {
    const char* text = std::getenv("TOLVANE_TEST_DEADLINE");
    const long seconds = text && *text ? std::strtol(text, nullptr, 10) : kDefaultSeconds;
    return std::chrono::seconds(seconds > 0 ? seconds : kDefaultSeconds);
}

// Outlives every test and gtest's own objects: it is never destroyed, so
// that its thread, which is never joined (a hanging test must not keep it
// from reporting), never waits on a destroyed object at exit.
class Watchdog {
public:
    Watchdog() : deadline_(Deadline()) { std::thread([this] { Watch(); }).detach(); }

    void Started(const std::string& name) {
        const std::lock_guard<std::mutex> lock(mutex_);
        name_ = name;
        started_ = std::chrono::steady_clock::now();
        running_ = true;
        changed_.notify_all();
    }
    void Ended() {
        const std::lock_guard<std::mutex> lock(mutex_);
        running_ = false;
        changed_.notify_all();
    }

private:
    void Watch() {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            changed_.wait(lock, [this] { return running_; });
            const auto started = started_;
            if (changed_.wait_until(lock, started + deadline_, [&] { return !running_ || started_ != started; }))
                continue;
            const std::string name = name_;
            lock.unlock();
            Report(name);
        }
    }

    void Report(const std::string& name) const {
        std::string report = "\n" + name + " still runs after " + std::to_string(deadline_.count()) +
                             " s, its deadline: ended without its result.\n";
        try {
            report += testsupport::DescribeWindows();
        } catch (...) {
            report += "(the windows could not be listed)\n";
        }
        std::fputs(report.c_str(), stdout);
        std::fflush(stdout);
        TerminateProcess(GetCurrentProcess(), 3);
    }

    const std::chrono::seconds deadline_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::string name_;
    std::chrono::steady_clock::time_point started_;
    bool running_ = false;
};

class DeadlineListener : public testing::EmptyTestEventListener {
public:
    explicit DeadlineListener(Watchdog& watchdog) : watchdog_(watchdog) {}
    void OnTestStart(const testing::TestInfo& test) override {
        watchdog_.Started(std::string(test.test_suite_name()) + "." + test.name());
    }
    void OnTestEnd(const testing::TestInfo&) override { watchdog_.Ended(); }

private:
    Watchdog& watchdog_;
};

// Registered before main runs; the listener list owns it.
[[maybe_unused]] const bool g_registered = [] {
    testing::UnitTest::GetInstance()->listeners().Append(new DeadlineListener(*new Watchdog));
    return true;
}();

}  // namespace

// Answers the message boxes that this process shows, from a thread of its
// own, and remembers what they said. Start it before the call that may show
// one: a box shown while the conduit loads is shown under the loader lock,
// where no new thread could start.
#pragma once
#include <windows.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

struct ShownBox {
    std::string caption;
    std::string text;
    bool hasError = false;  // shows the error icon
    int buttons = 0;        // how many push buttons it has
    // Visible top-level windows of the box's thread that still took input
    // while it was up: 0 for a box that is modal to its thread's windows.
    int enabledNeighbours = 0;
};

class MessageBoxWatcher {
public:
    MessageBoxWatcher();
    ~MessageBoxWatcher();
    MessageBoxWatcher(const MessageBoxWatcher&) = delete;
    MessageBoxWatcher& operator=(const MessageBoxWatcher&) = delete;

    std::vector<ShownBox> Boxes() const;

private:
    void WarmUp();
    void Watch();
    void Answer(HWND box);

    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    std::vector<ShownBox> boxes_;
    struct Answered {
        HWND box;
        HWND ok;
        std::chrono::steady_clock::time_point when;
    };
    std::vector<Answered> answered_;
    std::thread thread_;
};

}  // namespace testsupport

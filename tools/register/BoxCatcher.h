// Takes over the message boxes that this process shows while it lives:
// closes each with OK and keeps its text. The conduit shows a failed
// registration in a message box of its own; the registration helper reports
// that text itself, so that a silent install never waits for a click and a
// user sees the error once, in the installer's words.
#pragma once
#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace registertool {

class BoxCatcher {
public:
    BoxCatcher();  // watching before the conduit loads, whose start may show a box
    ~BoxCatcher();
    BoxCatcher(const BoxCatcher&) = delete;
    BoxCatcher& operator=(const BoxCatcher&) = delete;

    std::vector<std::string> Texts() const;

private:
    void Watch();
    void Close(HWND box);

    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    std::vector<std::string> texts_;
    std::vector<HWND> closed_;
    std::thread thread_;
};

}  // namespace registertool

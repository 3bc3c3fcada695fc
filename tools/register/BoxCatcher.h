// Takes over the message boxes that this process shows while it lives:
// closes each with OK and keeps its text. The conduit shows a failed
// registration in a message box of its own; the registration helper reports
// that text itself, so that a silent install never waits for a click and a
// user sees the error once, in the installer's words.
//
// The watcher is a plain Windows thread: the shipped helper is built with
// the win32 thread model, whose runtime has no standard threads.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "rtl/WinHandles.h"

namespace registertool {

class BoxCatcher {
public:
    BoxCatcher();  // returns once watching, before the conduit loads, whose start may show a box
    ~BoxCatcher();
    BoxCatcher(const BoxCatcher&) = delete;
    BoxCatcher& operator=(const BoxCatcher&) = delete;

    std::vector<std::string> Texts() const;

private:
    static unsigned __stdcall ThreadMain(void* self) noexcept;
    void Watch();
    void Close(HWND box);

    mutable CRITICAL_SECTION lock_;  // guards texts_
    std::vector<std::string> texts_;
    std::vector<HWND> closed_;       // the watcher's own
    rtl::UniqueKernelHandle stop_;
    rtl::UniqueKernelHandle running_;  // set once the watcher has looked
    rtl::UniqueKernelHandle thread_;
};

}  // namespace registertool

// Work that would keep a window from answering (a batch of a thousand
// files, a queue that another program holds), run on a thread of its own:
// the window hands it over, goes on taking messages, and is told by a
// posted message when the work is done. One piece of work at a time.
//
//   worker_.Start(window, kWorkDone, [=] { ... });       // on the window's thread
//   case kWorkDone: worker_.Finish(lParam);              // rethrows what the work threw
//
// A Win32 thread: the programs are built without the C++ thread library.
#pragma once
#include <windows.h>

#include <exception>
#include <functional>

#include "rtl/WinHandles.h"

namespace queuewindow {

class Worker {
public:
    Worker() = default;
    ~Worker();  // waits for the work that runs
    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;

    bool Busy() const noexcept { return static_cast<bool>(thread_); }
    // Runs `work` on a new thread, then posts `done` to the window, its
    // LPARAM for Finish. Throws rtl::Exception when busy or when no thread
    // can be had.
    void Start(HWND window, UINT done, std::function<void()> work);
    // On the posted message: the thread is gone, and what the work threw
    // is thrown again here.
    void Finish(LPARAM done);

private:
    struct Job {
        HWND window;
        UINT done;
        std::function<void()> work;
        std::exception_ptr failure;
    };
    static unsigned __stdcall Run(void* job) noexcept;

    rtl::UniqueKernelHandle thread_;
};

}  // namespace queuewindow

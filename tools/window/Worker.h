// The queue window's one background thread: every read and write of a
// queue, a settings file or an outbox runs here, one piece of work after
// another in the order given, so that the window never waits for a disk or
// for another program's hold on a queue. The window hands work over, goes on
// taking messages, and is told by a posted message when a piece is done:
//
//   worker_.Post([=] { snapshot = Read(...); }, [=] { Show(snapshot); });   // window's thread
//   case kWorkDone: if (auto then = worker_.Take(wParam)) (*then)();       // rethrows what the work threw
//
// The message carries only the number of the work done; the work itself
// stays in the worker's table, so a message that another program posts
// finds nothing to run or free. Work whose window is gone is freed with the
// worker.
//
// A Win32 thread: the programs are built without the C++ thread library.
#pragma once
#include <windows.h>

#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <optional>

#include "rtl/WinHandles.h"

namespace queuewindow {

class Worker {
public:
    // Posts `done` with the number of each piece of work done, to the
    // window attached before the first piece is given.
    explicit Worker(UINT done);
    void Attach(HWND window) noexcept { window_ = window; }
    // Waits for the work that runs; work not begun is dropped.
    ~Worker();
    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;

    // Work given whose end the window has not taken yet.
    bool Busy() const noexcept;
    // Runs `work` on the worker's thread after the work given before; then
    // `then` runs on the window's thread, from Take. Throws rtl::Exception
    // when no thread can be had.
    void Post(std::function<void()> work, std::function<void()> then);
    // On the posted message: what to run now that the work numbered `done`
    // has ended (nothing for a number not done, or taken already); throws
    // what the work threw instead.
    std::optional<std::function<void()>> Take(WPARAM done);

private:
    struct Job {
        uintptr_t number = 0;
        std::function<void()> work;
        std::function<void()> then;
        std::exception_ptr failure;
    };
    static unsigned __stdcall Run(void* worker) noexcept;
    void RunJobs() noexcept;

    HWND window_ = nullptr;
    UINT done_;
    mutable CRITICAL_SECTION lock_;  // guards the rest, up to the thread
    uintptr_t lastNumber_ = 0;
    std::deque<std::unique_ptr<Job>> waiting_;
    bool running_ = false;
    std::map<uintptr_t, std::unique_ptr<Job>> ended_;
    bool stopping_ = false;
    rtl::UniqueKernelHandle wake_;
    rtl::UniqueKernelHandle thread_;
};

}  // namespace queuewindow

#include "tools/window/Worker.h"

#include <process.h>

#include <memory>

#include "rtl/SysUtils.h"

namespace queuewindow {

Worker::~Worker() {
    if (thread_) WaitForSingleObject(thread_.get(), INFINITE);
}

void Worker::Start(HWND window, UINT done, std::function<void()> work) {
    if (Busy()) throw rtl::Exception("The window is still busy with the last files.");
    auto job = std::make_unique<Job>(Job{window, done, std::move(work), nullptr});
    thread_.reset(reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &Run, job.get(), 0, nullptr)));
    if (!thread_) throw rtl::Exception("No thread could be started for the files.");
    job.release();  // the thread's now, and the window's once posted
}

unsigned __stdcall Worker::Run(void* param) noexcept {
    Job* job = static_cast<Job*>(param);
    try {
        job->work();
    } catch (...) {
        job->failure = std::current_exception();
    }
    // A window that is gone takes no message: the job ends here then.
    if (!PostMessageW(job->window, job->done, 0, reinterpret_cast<LPARAM>(job))) delete job;
    return 0;
}

void Worker::Finish(LPARAM done) {
    const std::unique_ptr<Job> job(reinterpret_cast<Job*>(done));
    if (thread_) WaitForSingleObject(thread_.get(), INFINITE);
    thread_.reset();
    if (job->failure) std::rethrow_exception(job->failure);
}

}  // namespace queuewindow

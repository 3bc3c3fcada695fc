#include "tools/window/Worker.h"

#include <process.h>

#include "rtl/Locked.h"
#include "rtl/SysUtils.h"

namespace queuewindow {

using rtl::Locked;

Worker::Worker(UINT done) : done_(done) {
    InitializeCriticalSection(&lock_);
    wake_.reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    if (!wake_) {
        DeleteCriticalSection(&lock_);
        throw rtl::Exception("No event could be made for the window's background work.");
    }
}

Worker::~Worker() {
    if (thread_) {
        {
            const Locked locked(lock_);
            stopping_ = true;
        }
        SetEvent(wake_.get());
        WaitForSingleObject(thread_.get(), INFINITE);
    }
    DeleteCriticalSection(&lock_);
}

bool Worker::Busy() const noexcept {
    const Locked locked(lock_);
    return running_ || !waiting_.empty() || !ended_.empty();
}

void Worker::Post(std::function<void()> work, std::function<void()> then) {
    auto job = std::make_unique<Job>();
    job->work = std::move(work);
    job->then = std::move(then);
    if (!thread_) {
        thread_.reset(reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &Run, this, 0, nullptr)));
        if (!thread_) throw rtl::Exception("No thread could be started for the window's background work.");
    }
    {
        const Locked locked(lock_);
        job->number = ++lastNumber_;
        waiting_.push_back(std::move(job));
    }
    SetEvent(wake_.get());
}

std::optional<std::function<void()>> Worker::Take(WPARAM done) {
    std::unique_ptr<Job> job;
    {
        const Locked locked(lock_);
        const auto found = ended_.find(static_cast<uintptr_t>(done));
        if (found == ended_.end()) return std::nullopt;
        job = std::move(found->second);
        ended_.erase(found);
    }
    if (job->failure) std::rethrow_exception(job->failure);
    return std::move(job->then);
}

unsigned __stdcall Worker::Run(void* worker) noexcept {
    static_cast<Worker*>(worker)->RunJobs();
    return 0;
}

void Worker::RunJobs() noexcept {
    for (;;) {
        std::unique_ptr<Job> job;
        {
            const Locked locked(lock_);
            if (stopping_) return;
            if (!waiting_.empty()) {
                job = std::move(waiting_.front());
                waiting_.pop_front();
                running_ = true;
            }
        }
        if (!job) {
            WaitForSingleObject(wake_.get(), INFINITE);
            continue;
        }
        try {
            job->work();
        } catch (...) {
            job->failure = std::current_exception();
        }
        const auto number = static_cast<WPARAM>(job->number);
        {
            const Locked locked(lock_);
            running_ = false;
            try {
                ended_.emplace(job->number, std::move(job));
            } catch (...) {
                continue;  // no memory to keep it: the window is not told of it
            }
        }
        // A window that is gone takes no message: the job stays in the table
        // and goes with the worker.
        PostMessageW(window_, done_, number, 0);
    }
}

}  // namespace queuewindow

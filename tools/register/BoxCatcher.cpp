#include "tools/register/BoxCatcher.h"

#include <process.h>

#include <algorithm>

#include "rtl/Locked.h"
#include "rtl/SysUtils.h"

namespace registertool {

namespace {

constexpr DWORD kPollMilliseconds = 30;
constexpr int kMessageTextId = 0xFFFF;  // the static control that holds a message box's text

struct Search {
    DWORD process;
    std::vector<HWND> boxes;
};

BOOL CALLBACK CollectBox(HWND window, LPARAM param) {
    auto& search = *reinterpret_cast<Search*>(param);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    char className[16] = {};
    GetClassNameA(window, className, sizeof className);
    if (process == search.process && IsWindowVisible(window) && std::string(className) == "#32770")
        search.boxes.push_back(window);
    return TRUE;
}

using rtl::Locked;

}  // namespace

BoxCatcher::BoxCatcher()
    : stop_(CreateEventW(nullptr, TRUE, FALSE, nullptr)), running_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    InitializeCriticalSection(&lock_);
    if (stop_ && running_)
        thread_.reset(reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &ThreadMain, this, 0, nullptr)));
    // A thread starts, and first looks at windows, only when the loader lets
    // it: one that has not done both when the conduit's load begins waits for
    // that load to end, which waits for a click on the box that the conduit
    // shows while it loads.
    const HANDLE started[] = {running_.get(), thread_.get()};
    if (!thread_ || WaitForMultipleObjects(2, started, FALSE, INFINITE) != WAIT_OBJECT_0) {
        if (thread_) WaitForSingleObject(thread_.get(), INFINITE);
        DeleteCriticalSection(&lock_);
        throw rtl::Exception("Cannot start the message box watcher.");
    }
}

BoxCatcher::~BoxCatcher() {
    SetEvent(stop_.get());
    WaitForSingleObject(thread_.get(), INFINITE);
    DeleteCriticalSection(&lock_);
}

std::vector<std::string> BoxCatcher::Texts() const {
    const Locked locked(lock_);
    return texts_;
}

unsigned __stdcall BoxCatcher::ThreadMain(void* self) noexcept {
    try {
        static_cast<BoxCatcher*>(self)->Watch();
    } catch (...) {
        // Out of memory: the boxes stay open for the user to answer.
    }
    return 0;
}

// The first look also loads what looking needs (Wine loads its display
// driver for the thread then): it is over before the watcher says it runs,
// since the loader is busy with the conduit from then on.
void BoxCatcher::Watch() {
    do {
        Search search{GetCurrentProcessId(), {}};
        EnumWindows(&CollectBox, reinterpret_cast<LPARAM>(&search));
        for (const HWND box : search.boxes) Close(box);
        SetEvent(running_.get());
    } while (WaitForSingleObject(stop_.get(), kPollMilliseconds) == WAIT_TIMEOUT);
}

void BoxCatcher::Close(HWND box) {
    if (std::find(closed_.begin(), closed_.end(), box) != closed_.end()) return;
    closed_.push_back(box);
    char text[1024] = {};
    GetDlgItemTextA(box, kMessageTextId, text, sizeof text);
    {
        const Locked locked(lock_);
        texts_.emplace_back(text);
    }
    PostMessageA(box, WM_COMMAND, IDOK, 0);
}

}  // namespace registertool

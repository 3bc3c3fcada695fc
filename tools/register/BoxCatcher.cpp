#include "tools/register/BoxCatcher.h"

#include <algorithm>

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

}  // namespace

BoxCatcher::BoxCatcher() : thread_([this] { Watch(); }) {}

BoxCatcher::~BoxCatcher() {
    stop_ = true;
    thread_.join();
}

std::vector<std::string> BoxCatcher::Texts() const {
    const std::lock_guard lock(mutex_);
    return texts_;
}

void BoxCatcher::Watch() {
    while (!stop_) {
        Search search{GetCurrentProcessId(), {}};
        EnumWindows(&CollectBox, reinterpret_cast<LPARAM>(&search));
        for (const HWND box : search.boxes) Close(box);
        Sleep(kPollMilliseconds);
    }
}

void BoxCatcher::Close(HWND box) {
    {
        const std::lock_guard lock(mutex_);
        if (std::find(closed_.begin(), closed_.end(), box) != closed_.end()) return;
        closed_.push_back(box);
    }
    char text[1024] = {};
    GetDlgItemTextA(box, kMessageTextId, text, sizeof text);
    {
        const std::lock_guard lock(mutex_);
        texts_.emplace_back(text);
    }
    PostMessageA(box, WM_COMMAND, IDOK, 0);
}

}  // namespace registertool

#include "tests/support/MessageBoxWatcher.h"

#include <algorithm>
#include <chrono>
#include <future>

namespace testsupport {

namespace {

std::string WindowText(HWND window) {
    char text[1024] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

std::string ClassOf(HWND window) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

struct BoxContents {
    ShownBox box;
    HWND ok = nullptr;
};

BOOL CALLBACK ReadChild(HWND child, LPARAM param) {
    auto& contents = *reinterpret_cast<BoxContents*>(param);
    const std::string cls = ClassOf(child);
    if (cls == "Button") {
        ++contents.box.buttons;
        if (!contents.ok) contents.ok = child;
    } else if (cls == "Static") {
        const std::string text = WindowText(child);
        if (text.size() > contents.box.text.size()) contents.box.text = text;
        if (SendMessageA(child, STM_GETICON, 0, 0) != 0) contents.box.hasError = true;
    }
    return TRUE;
}

struct Neighbours {
    HWND box;
    int enabled = 0;
};

BOOL CALLBACK CountEnabledNeighbour(HWND window, LPARAM param) {
    auto& neighbours = *reinterpret_cast<Neighbours*>(param);
    if (window != neighbours.box && IsWindowVisible(window) && IsWindowEnabled(window) &&
        !(GetWindowLongA(window, GWL_STYLE) & WS_CHILD))
        ++neighbours.enabled;
    return TRUE;
}

struct Found {
    DWORD process;
    std::vector<HWND> dialogs;
};

BOOL CALLBACK CollectDialog(HWND window, LPARAM param) {
    auto& found = *reinterpret_cast<Found*>(param);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == found.process && IsWindowVisible(window) && ClassOf(window) == "#32770")
        found.dialogs.push_back(window);
    return TRUE;
}

}  // namespace

MessageBoxWatcher::MessageBoxWatcher() {
    std::promise<void> ready;
    auto started = ready.get_future();
    thread_ = std::thread([this, &ready] {
        WarmUp();
        ready.set_value();
        Watch();
    });
    started.wait();
}

// The first window calls of a thread load the graphics driver, which takes
// the loader lock; a box shown while the conduit loads holds that lock. So
// the watcher makes those calls before the load starts.
void MessageBoxWatcher::WarmUp() {
    HWND probe = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    char text[8] = {};
    GetWindowTextA(probe, text, sizeof text);
    GetClassNameA(probe, text, sizeof text);
    Found found{GetCurrentProcessId(), {}};
    EnumWindows(&CollectDialog, reinterpret_cast<LPARAM>(&found));
    DestroyWindow(probe);
}

MessageBoxWatcher::~MessageBoxWatcher() {
    stop_ = true;
    thread_.join();
}

std::vector<ShownBox> MessageBoxWatcher::Boxes() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return boxes_;
}

void MessageBoxWatcher::Watch() {
    while (!stop_) {
        Found found{GetCurrentProcessId(), {}};
        EnumWindows(&CollectDialog, reinterpret_cast<LPARAM>(&found));
        for (HWND box : found.dialogs) Answer(box);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

void MessageBoxWatcher::Answer(HWND box) {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (std::find(answered_.begin(), answered_.end(), box) != answered_.end()) return;
    }
    BoxContents contents;
    contents.box.caption = WindowText(box);
    EnumChildWindows(box, &ReadChild, reinterpret_cast<LPARAM>(&contents));
    if (contents.box.text.empty()) return;  // not filled in yet: look again next round
    Neighbours neighbours{box};
    EnumThreadWindows(GetWindowThreadProcessId(box, nullptr), &CountEnabledNeighbour,
                      reinterpret_cast<LPARAM>(&neighbours));
    contents.box.enabledNeighbours = neighbours.enabled;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        answered_.push_back(box);
        boxes_.push_back(contents.box);
    }
    // Posted, not sent: the box's thread may be inside the loader.
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(contents.ok));
}

}  // namespace testsupport

#include "tests/support/MessageBoxWatcher.h"

#include <algorithm>
#include <chrono>
#include <future>

namespace testsupport {

namespace {

// Sent with a timeout: the box's thread may be busy, and a watcher that
// waited for it for good would hang the test at its end, when it is joined.
std::string WindowText(HWND window) {
    char text[1024] = {};
    DWORD_PTR copied = 0;
    SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 1000,
                        &copied);
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
        DWORD_PTR icon = 0;
        if (SendMessageTimeoutA(child, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, 1000, &icon) && icon)
            contents.box.hasError = true;
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
        const auto answered = std::find_if(answered_.begin(), answered_.end(),
                                           [box](const Answered& a) { return a.box == box; });
        if (answered != answered_.end()) {
            // Still shown a while after the answer: the answer went to a
            // thread that was not yet in the box's loop, or was lost; again.
            const auto now = std::chrono::steady_clock::now();
            if (now - answered->when < std::chrono::seconds(1)) return;
            answered->when = now;
            PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(answered->ok));
            return;
        }
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
        answered_.push_back({box, contents.ok, std::chrono::steady_clock::now()});
        boxes_.push_back(contents.box);
    }
    // Posted, not sent: the box's thread may be inside the loader.
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(contents.ok));
}

}  // namespace testsupport

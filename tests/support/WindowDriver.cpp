#include "tests/support/WindowDriver.h"

#include <shlobj.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <iterator>

namespace testsupport {

namespace {

constexpr UINT kAnswerTimeoutMs = 5000;

// A message to a window of another thread, which may be busy or hung.
LRESULT Send(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kAnswerTimeoutMs, &result))
        throw DriverError("Window " + ClassName(window) + " did not answer message " + std::to_string(message));
    return static_cast<LRESULT>(result);
}

void Post(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    if (!PostMessageA(window, message, wParam, lParam))
        throw DriverError("Cannot post message " + std::to_string(message) + " to " + ClassName(window));
}

std::string WithoutAccelerators(const std::string& text) {
    std::string result;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '&' && i + 1 < text.size()) ++i;
        result += text[i];
    }
    return result;
}

struct TopLevelSearch {
    const std::string* caption;
    DWORD processId;
    HWND found;
};

BOOL CALLBACK MatchTopLevel(HWND window, LPARAM param) noexcept {
    auto* search = reinterpret_cast<TopLevelSearch*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if ((search->processId && pid != search->processId) || !IsWindowVisible(window)) return TRUE;
    try {
        if (WindowText(window) != *search->caption) return TRUE;
    } catch (...) {
        return TRUE;  // a hung window is not the one we wait for
    }
    search->found = window;
    return FALSE;
}

struct ChildSearch {
    const std::string* className;
    std::vector<HWND> found;
};

BOOL CALLBACK MatchChild(HWND window, LPARAM param) noexcept {
    auto* search = reinterpret_cast<ChildSearch*>(param);
    try {
        if (lstrcmpiA(ClassName(window).c_str(), search->className->c_str()) == 0) search->found.push_back(window);
        return TRUE;
    } catch (...) {
        return FALSE;  // out of memory: report what was found so far
    }
}

// A window's text for a report: sent with a short timeout to this process's
// windows (whose thread may be the one that hangs), read from the system's
// copy for another process's.
std::string TextForReport(HWND window) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    char text[160] = {};
    DWORD_PTR copied = 0;
    if (process != GetCurrentProcessId()) GetWindowTextA(window, text, sizeof text);
    else if (!SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG,
                                  200, &copied))
        return "(not answering)";
    std::string result = text;
    for (char& c : result)
        if (c == '\r' || c == '\n') c = ' ';
    return "\"" + result + "\"";
}

struct Report {
    std::string text;
    int windows = 0;
};

BOOL CALLBACK ReportChild(HWND child, LPARAM param) noexcept {
    auto* report = reinterpret_cast<Report*>(param);
    if (++report->windows > 40) return FALSE;
    try {
        report->text += "    " + ClassName(child) + (IsWindowVisible(child) ? " " : " (hidden) ") +
                        TextForReport(child) + "\n";
        return TRUE;
    } catch (...) {
        return FALSE;
    }
}

BOOL CALLBACK ReportTopLevel(HWND window, LPARAM param) noexcept {
    auto* report = reinterpret_cast<Report*>(param);
    if (!IsWindowVisible(window)) return TRUE;
    try {
        DWORD process = 0;
        const DWORD thread = GetWindowThreadProcessId(window, &process);
        report->text += "  " + TextForReport(window) + " " + ClassName(window) + " process " +
                        std::to_string(process) + " thread " + std::to_string(thread) +
                        (IsWindowEnabled(window) ? "" : " disabled") + "\n";
        if (process == GetCurrentProcessId()) {
            Report children;
            EnumChildWindows(window, &ReportChild, reinterpret_cast<LPARAM>(&children));
            report->text += children.text;
        }
        return TRUE;
    } catch (...) {
        return FALSE;
    }
}

BOOL CALLBACK CloseVisible(HWND window, LPARAM param) noexcept {
    if (IsWindowVisible(window)) {
        PostMessageA(window, WM_CLOSE, 0, 0);
        *reinterpret_cast<bool*>(param) = true;
    }
    return TRUE;
}

// The marks that StillShownAfterPosted posts: a message of its own, seen by
// a hook on the window's thread when that thread takes it from its queue.
const UINT kMark = RegisterWindowMessageA("TolvaneTestDriverMark");
// By number, so that two drivers that watch two threads at once never take
// each other's mark for their own.
std::atomic<WPARAM> g_marksTaken[64];
std::atomic<WPARAM>& MarkSlot(WPARAM mark) { return g_marksTaken[mark % std::size(g_marksTaken)]; }

LRESULT CALLBACK NoteMark(int code, WPARAM removal, LPARAM param) noexcept {
    auto* message = reinterpret_cast<MSG*>(param);
    if (code == HC_ACTION && removal == PM_REMOVE && message->message == kMark) {
        MarkSlot(message->wParam) = message->wParam;
        message->message = WM_NULL;  // nobody else's business
    }
    return CallNextHookEx(nullptr, code, removal, param);
}

class MarkHook {
public:
    explicit MarkHook(DWORD thread) : hook_(SetWindowsHookExA(WH_GETMESSAGE, &NoteMark, nullptr, thread)) {
        if (!hook_) throw DriverError("Cannot watch the messages of thread " + std::to_string(thread));
    }
    ~MarkHook() { UnhookWindowsHookEx(hook_); }
    MarkHook(const MarkHook&) = delete;
    MarkHook& operator=(const MarkHook&) = delete;

private:
    HHOOK hook_;
};

// Closes the watched thread's windows until none is left, so that whatever
// modal call it is in returns and the test can report the failure. A window
// that refuses WM_CLOSE gets its modal loop ended by WM_QUIT, which the
// watched thread drops again in ModalWatcher::Join.
void CloseWindowsOf(DWORD thread) {
    const auto start = std::chrono::steady_clock::now();
    auto lastSeen = start;
    bool quitPosted = false;
    while (std::chrono::steady_clock::now() - start < Millis(10000)) {
        bool any = false;
        EnumThreadWindows(thread, &CloseVisible, reinterpret_cast<LPARAM>(&any));
        const auto now = std::chrono::steady_clock::now();
        if (any) lastSeen = now;
        else if (now - lastSeen > Millis(1000)) return;
        if (any && !quitPosted && now - start > Millis(2000)) quitPosted = PostThreadMessageA(thread, WM_QUIT, 0, 0);
        Sleep(50);
    }
}

}  // namespace

std::string DescribeWindows() {
    Report report;
    EnumWindows(&ReportTopLevel, reinterpret_cast<LPARAM>(&report));
    return report.text.empty() ? "no window shown on the desktop\n"
                               : "the windows shown on the desktop (this is process " +
                                     std::to_string(GetCurrentProcessId()) + "):\n" + report.text;
}

bool WaitFor(const std::function<bool()>& done, Millis timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (done()) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        Sleep(20);
    }
}

std::string WindowText(HWND window) {
    const auto length = static_cast<size_t>(Send(window, WM_GETTEXTLENGTH));
    std::string text(length + 1, '\0');
    text.resize(static_cast<size_t>(Send(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()))));
    return text;
}

std::string ClassName(HWND window) {
    char name[256] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

HWND FindTopLevel(const std::string& caption, DWORD processId) {
    TopLevelSearch search{&caption, processId, nullptr};
    EnumWindows(&MatchTopLevel, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND WaitForWindow(const std::string& caption, Millis timeout, DWORD processId) {
    HWND found = nullptr;
    if (!WaitFor([&] { return (found = FindTopLevel(caption, processId)) != nullptr; }, timeout))
        throw DriverError("No window \"" + caption + "\" appeared within " + std::to_string(timeout.count()) +
                          " ms; " + DescribeWindows());
    return found;
}

void WaitUntilGone(HWND window, Millis timeout) {
    if (!WaitFor([&] { return !IsWindow(window); }, timeout))
        throw DriverError("Window \"" + WindowText(window) + "\" is still there after " +
                          std::to_string(timeout.count()) + " ms; " + DescribeWindows());
}

namespace {

// Two rounds of marks, each posted once the thread took the one before, and
// waited for: a message that the first round's messages post lands behind
// the first mark, but before the second. False when the window went (or
// was hidden) meanwhile.
bool TakeMarks(HWND window, Millis timeout) {
    static std::atomic<WPARAM> lastMark{0};
    const auto shown = [window] { return IsWindow(window) && IsWindowVisible(window); };
    const MarkHook hook(GetWindowThreadProcessId(window, nullptr));
    for (int round = 0; round < 2; ++round) {
        const WPARAM mark = ++lastMark;
        if (!shown() || !PostMessageA(window, kMark, mark, 0)) return false;
        if (!WaitFor([&] { return MarkSlot(mark) == mark || !shown(); }, timeout))
            throw DriverError("Window \"" + WindowText(window) + "\" took no message for " +
                              std::to_string(timeout.count()) + " ms; " + DescribeWindows());
    }
    return shown();
}

}  // namespace

bool StillShownAfterPosted(HWND window, Millis timeout) { return TakeMarks(window, timeout); }

// Only a thread of this process other than the caller's can be watched: a
// hook needs no library there, and the caller's own messages wait for it.
void Settle(HWND window, Millis timeout) {
    const HWND root = GetAncestor(window, GA_ROOT);
    DWORD process = 0;
    const DWORD thread = GetWindowThreadProcessId(root ? root : window, &process);
    if (!thread || process != GetCurrentProcessId() || thread == GetCurrentThreadId()) return;
    TakeMarks(root ? root : window, timeout);
}

std::vector<HWND> Children(HWND parent, const std::string& className) {
    ChildSearch search{&className, {}};
    EnumChildWindows(parent, &MatchChild, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND FindChild(HWND parent, const std::string& className, const std::string& text) {
    for (HWND child : Children(parent, className))
        if (WindowText(child) == text) return child;
    return nullptr;
}

HWND Child(HWND parent, const std::string& className, const std::string& text) {
    if (HWND child = FindChild(parent, className, text)) return child;
    throw DriverError("No " + className + " \"" + text + "\" in \"" + WindowText(parent) + "\"");
}

void Click(HWND control) {
    Post(control, BM_CLICK);
    Settle(control);
}

void SetText(HWND control, const std::string& text) {
    Send(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void TypeChars(HWND control, const std::string& text) {
    for (const char c : text) Post(control, WM_CHAR, static_cast<unsigned char>(c), 1);
    Settle(control);
}

void PressKey(HWND window, UINT virtualKey) {
    HWND target = FocusedWindow(window);
    if (!target) target = window;
    const LPARAM scan = static_cast<LPARAM>(MapVirtualKeyA(virtualKey, 0)) << 16;
    Post(target, WM_KEYDOWN, virtualKey, scan | 1);
    // The key may already have closed the window (Esc, Enter): its release
    // then has nowhere to go, and that is fine.
    PostMessageA(target, WM_KEYUP, virtualKey, scan | 1 | (1L << 30) | (1L << 31));
    Settle(window);
}

void PressCloseBox(HWND window) {
    Post(window, WM_SYSCOMMAND, SC_CLOSE);
    Settle(window);
}

void Close(HWND window) {
    Post(window, WM_CLOSE);
    Settle(window);
}

HWND FocusedWindow(HWND window) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) return nullptr;
    return info.hwndFocus;
}

bool IsChecked(HWND control) { return Send(control, BM_GETCHECK) == BST_CHECKED; }

RECT BoundsInDialog(HWND control) {
    RECT r{};
    GetWindowRect(control, &r);
    MapWindowPoints(HWND_DESKTOP, GetAncestor(control, GA_ROOT), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

SIZE ClientSize(HWND window) {
    RECT r{};
    GetClientRect(window, &r);
    return SIZE{r.right, r.bottom};
}

std::vector<std::string> ComboItems(HWND combo) {
    std::vector<std::string> items;
    const auto count = static_cast<int>(Send(combo, CB_GETCOUNT));
    for (int i = 0; i < count; ++i) {
        std::string item(static_cast<size_t>(Send(combo, CB_GETLBTEXTLEN, i)) + 1, '\0');
        item.resize(static_cast<size_t>(Send(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item.data()))));
        items.push_back(item);
    }
    return items;
}

int ComboSelection(HWND combo) { return static_cast<int>(Send(combo, CB_GETCURSEL)); }

void SelectComboItem(HWND combo, int index) {
    Send(combo, CB_SETCURSEL, static_cast<WPARAM>(index));
    Post(GetParent(combo), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(combo), CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
    Settle(combo);
}

std::string AnswerMessageBox(const std::string& caption, const std::string& button, Millis timeout,
                             DWORD processId) {
    const HWND box = WaitForWindow(caption, timeout, processId);
    // Answered only once its thread has taken what showing it brought (the
    // activation and focus events of the window system): handled after the
    // box is gone, those would take the activation from its owner again.
    Settle(box, timeout);
    std::string message;
    for (HWND label : Children(box, "Static")) {
        const std::string text = WindowText(label);
        if (!text.empty()) message += (message.empty() ? "" : "\n") + text;
    }
    for (HWND candidate : Children(box, "Button")) {
        const std::string text = WindowText(candidate);
        if (text == button || WithoutAccelerators(text) == button) {
            const HWND owner = GetWindow(box, GW_OWNER);
            Click(candidate);
            WaitUntilGone(box, timeout);
            // What the box's end brings its owner (activation, focus) has
            // been handled before the next step looks at it.
            if (owner && IsWindow(owner)) Settle(owner, timeout);
            return message;
        }
    }
    throw DriverError("No button \"" + button + "\" in message box \"" + caption + "\"; " + DescribeWindows());
}

void DropFiles(HWND window, const std::vector<std::wstring>& files) {
    std::wstring names;
    for (const std::wstring& file : files) names += file + L'\0';
    names += L'\0';
    const size_t bytes = sizeof(DROPFILES) + names.size() * sizeof(wchar_t);
    const HGLOBAL memory = GlobalAlloc(GHND, bytes);
    if (!memory) throw DriverError("No memory for a drop");
    auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    memcpy(reinterpret_cast<char*>(drop) + sizeof(DROPFILES), names.data(), names.size() * sizeof(wchar_t));
    GlobalUnlock(memory);
    if (!PostMessageW(window, WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0)) {
        GlobalFree(memory);
        throw DriverError("The window took no drop");
    }
}

ModalWatcher::ModalWatcher(std::function<void()> script) : watchedThread_(GetCurrentThreadId()) {
    thread_ = std::thread([this, script = std::move(script)] {
        try {
            script();
        } catch (const std::exception& e) {
            failure_ = e.what();
        } catch (...) {
            failure_ = "the watcher's script failed";
        }
        if (!failure_.empty()) CloseWindowsOf(watchedThread_);
    });
}

ModalWatcher::~ModalWatcher() { Join(); }

std::string ModalWatcher::Join() {
    if (thread_.joinable()) thread_.join();
    if (!failure_.empty() && GetCurrentThreadId() == watchedThread_) {
        MSG message;
        while (PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        }
    }
    return failure_;
}

}  // namespace testsupport

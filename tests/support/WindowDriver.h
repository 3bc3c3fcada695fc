// Drives real windows as a person would: finds them by caption and control
// class, clicks, types, presses Enter and Esc, closes them, and reads back
// what they show. Every wait has a timeout and every message sent to another
// thread is sent with one, so that a stuck dialog fails a test instead of
// hanging the run.
//
// Modal windows block the thread that shows them, so the driving runs on a
// second thread: ModalWatcher runs a script there and, should the script
// fail, closes the watched thread's windows so that the modal call returns.
//
//   testsupport::ModalWatcher watcher([] {
//       const HWND dialog = testsupport::WaitForWindow("Change HotSync Action");
//       testsupport::Click(testsupport::Child(dialog, "Button", "OK"));
//       testsupport::WaitUntilGone(dialog);
//   });
//   const bool confirmed = dialog.Execute();
//   ASSERT_EQ(watcher.Join(), "");
#pragma once
#include <windows.h>

#include <chrono>
#include <functional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

using Millis = std::chrono::milliseconds;
constexpr Millis kWaitTimeout{10000};

// A driving step that could not be done (timeout, missing window).
class DriverError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The visible top-level windows on the desktop, one per line with caption,
// class and process, and for this process's windows their controls' texts:
// what a wait that failed saw.
std::string DescribeWindows();

// Polls `done` every few milliseconds; false when the timeout passed first.
bool WaitFor(const std::function<bool()>& done, Millis timeout = kWaitTimeout);

// Text and class of any window, read without blocking on a busy thread.
std::string WindowText(HWND window);
std::string ClassName(HWND window);

// A visible top-level window with exactly that caption, of this process
// (processId 0: of any process). FindTopLevel does not wait.
HWND FindTopLevel(const std::string& caption, DWORD processId = GetCurrentProcessId());
HWND WaitForWindow(const std::string& caption, Millis timeout = kWaitTimeout,
                   DWORD processId = GetCurrentProcessId());
// Throws DriverError when the window still exists after the timeout.
void WaitUntilGone(HWND window, Millis timeout = kWaitTimeout);
// For checks that something did not happen: waits until the window's thread
// has taken from its queue everything posted to it before the call, and then
// what that posted in turn; true when the window is still shown then, false
// when it closed (or was hidden) meanwhile. Throws DriverError when the
// thread takes nothing within the timeout while the window is shown.
bool StillShownAfterPosted(HWND window, Millis timeout = kWaitTimeout);

// Waits until the thread of the window's top-level window has taken
// everything posted to it before the call, and what that posted in turn:
// the driving steps below end with it, so that each step's effect is there
// before the next step (and before a check) looks. Throws DriverError when
// the thread takes nothing within the timeout; returns at once when the
// window is gone or hidden, and for a window of the caller's own thread or
// of another process, which it cannot watch.
void Settle(HWND window, Millis timeout = kWaitTimeout);

// Descendants of `parent` of a window class (case-insensitive), in window
// order (which is the dialog manager's tab order).
std::vector<HWND> Children(HWND parent, const std::string& className);
// The first such descendant whose text is exactly `text`; FindChild gives
// nullptr, Child throws DriverError when there is none.
HWND FindChild(HWND parent, const std::string& className, const std::string& text);
HWND Child(HWND parent, const std::string& className, const std::string& text);

// Posted, so that the driver does not wait while the click's handler runs
// (it may open another modal window); each returns once the window's thread
// has taken it (Settle).
void Click(HWND control);
void SetText(HWND control, const std::string& text);
void TypeChars(HWND control, const std::string& text);
// Key down and up, posted to the control that has the focus in the window's
// thread (the window itself when none has), where the dialog manager sees it.
void PressKey(HWND window, UINT virtualKey);
inline void PressEnter(HWND window) { PressKey(window, VK_RETURN); }
inline void PressEscape(HWND window) { PressKey(window, VK_ESCAPE); }
// The close box (the system menu's Close) and a plain WM_CLOSE.
void PressCloseBox(HWND window);
void Close(HWND window);

// The control that has the focus in the window's thread, or nullptr.
HWND FocusedWindow(HWND window);
bool IsChecked(HWND control);
inline bool IsEnabled(HWND control) { return IsWindowEnabled(control) != FALSE; }
inline bool IsVisible(HWND control) { return IsWindowVisible(control) != FALSE; }
// Position and size relative to the client area of its top-level window.
RECT BoundsInDialog(HWND control);
SIZE ClientSize(HWND window);

std::vector<std::string> ComboItems(HWND combo);
int ComboSelection(HWND combo);
// Selects an item and tells the parent, as a choice with the mouse would.
void SelectComboItem(HWND combo, int index);

// Waits for a message box with that caption, clicks the button with that
// text and returns the box's message.
std::string AnswerMessageBox(const std::string& caption, const std::string& button, Millis timeout = kWaitTimeout,
                             DWORD processId = GetCurrentProcessId());

// Drops files on a window of this process as Explorer does (WM_DROPFILES
// with the names in UTF-16); the window frees the drop.
void DropFiles(HWND window, const std::vector<std::wstring>& files);

class ModalWatcher {
public:
    // Starts `script` on its own thread; the watched thread is the caller's.
    explicit ModalWatcher(std::function<void()> script);
    ~ModalWatcher();
    ModalWatcher(const ModalWatcher&) = delete;
    ModalWatcher& operator=(const ModalWatcher&) = delete;

    // Waits for the script; returns why it failed, or "" when it ran through.
    std::string Join();

private:
    DWORD watchedThread_;
    std::string failure_;
    std::thread thread_;
};

}  // namespace testsupport

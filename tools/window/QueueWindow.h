// The "Tolvane Queue" window: one HotSync user's queue at a time, with the
// user's card install in words, every queued file with its card path and
// state, and the ways to add files (open dialog, drop from Explorer) and to
// take entries off (Remove, the Delete key). It follows the settings file:
// when a HotSync or another program changes it, the list is read again and
// the selection kept.
//
// The window is built from a table of controls; its window procedure lets
// no exception out (an error is shown in a message box and the window goes
// on). RunQueueWindow runs the window on the calling thread until it closes.
#pragma once
#include <string>
#include <vector>

namespace queuewindow {

constexpr const wchar_t* kWindowCaption = L"Tolvane Queue";
constexpr const wchar_t* kWindowClass = L"TolvaneQueueWindow";
// The captions of its message boxes, each its own so that one is told from another.
constexpr const wchar_t* kRemoveCaption = L"Remove from the queue";
constexpr const wchar_t* kRefusedCaption = L"Files not queued";
constexpr const wchar_t* kWaitCaption = L"Queued files will wait";
constexpr const wchar_t* kErrorCaption = L"Tolvane Queue error";

struct WindowOptions {
    std::wstring user;                    // a HotSync user to show; else the one shown last
    std::vector<std::wstring> filesToAdd; // queued for that user once the window is up
    int showCommand = 1;                  // SW_SHOWNORMAL
};

// Returns 0 when the window was closed, 3 when the Palm Desktop could not
// be asked (a message box says why).
int RunQueueWindow(const WindowOptions& options) noexcept;

}  // namespace queuewindow

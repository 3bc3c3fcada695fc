// One queue window per Windows session. The first start holds a named
// mutex of the session for as long as its window runs; a later start, and
// Send To while the window is open, hand their files (and the user asked
// for) to that window, which comes forward and queues them, instead of
// opening a second window on top of the first.
#pragma once
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "rtl/WinHandles.h"

namespace queuewindow {

// What a later start hands the first window.
struct Handed {
    std::wstring user;  // none: the user the window shows
    std::vector<std::wstring> files;
};

// Held by the window's start; First() says whether no other start holds it.
class SessionLock {
public:
    SessionLock();
    bool First() const noexcept { return first_; }

private:
    rtl::UniqueKernelHandle mutex_;
    bool first_ = true;
};

// Hands `handed` to the window of the session's first start, waiting a
// little while that window is still being made; false when there is none.
bool HandToRunningWindow(const Handed& handed) noexcept;

// The window's side: what WM_COPYDATA brought, if a later start sent it.
std::optional<Handed> ReadHanded(const COPYDATASTRUCT& data);

}  // namespace queuewindow

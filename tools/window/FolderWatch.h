// Tells when something in a folder changes: a file written, renamed,
// created or deleted. The window waits on Event() in its message loop, so
// it re-reads the queue only when the folder changed, without polling.
#pragma once
#include <windows.h>

#include <string>

#include "rtl/WinHandles.h"

namespace queuewindow {

class FolderWatch {
public:
    // Watches the nearest folder of `folder` that exists (a user's Tolvane
    // folder appears with the first queued file), with `subtree` its
    // folders too. Nothing when none does, or for "".
    void Watch(const std::wstring& folder, bool subtree = false);
    // Signalled after a change; nullptr while nothing is watched.
    HANDLE Event() const noexcept { return handle_.get() == INVALID_HANDLE_VALUE ? nullptr : handle_.get(); }
    // After a change: wait for the next one.
    void Rearm();
    const std::wstring& Folder() const noexcept { return watched_; }

private:
    struct Traits {
        static HANDLE Invalid() noexcept { return INVALID_HANDLE_VALUE; }
        static bool Valid(HANDLE h) noexcept { return h != INVALID_HANDLE_VALUE && h != nullptr; }
        static void Close(HANDLE h) noexcept { FindCloseChangeNotification(h); }
    };
    rtl::UniqueHandle<HANDLE, Traits> handle_;
    std::wstring watched_;
    bool subtree_ = false;
};

}  // namespace queuewindow

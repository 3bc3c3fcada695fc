// The queue window's controls, one row each, and where they go as the
// window is sized: the rows' bottom edges are designed above a status line
// of any height.
#pragma once
#include <windows.h>

#include <cstddef>
#include <span>

#include "ui/Controls.h"

namespace queuewindow {

// The rows of the window's control table, in its order.
enum class Ctl : size_t {
    lUser, cbUser, bCheck, bOutbox, lSummary, lQueued, lvQueue, bAdd, bRemove, bFolders, lTarget, cbTarget, sbStatus, Count
};

constexpr SIZE kDesignedClient{760, 470};

std::span<const rtl::ControlDesign> QueueControls() noexcept;

// Every control placed for the window's client area.
void PlaceControls(HWND window, const rtl::TableControls& controls);

// The list's header and the status line in the user's colours where the
// visual style would not show their light text; again when they change.
void FollowUserColours(const rtl::TableControls& controls) noexcept;

// The smallest the window may be made, in pixels at `dpi`.
POINT MinimumSize(int dpi) noexcept;

}  // namespace queuewindow

// The queue window's "Outbox..." button: a small menu to choose the user's
// outbox folder, open it in Explorer, or switch the outbox off.
#pragma once
#include <windows.h>

#include "tools/queue/DesktopUsers.h"
#include "tools/queue/OutboxView.h"

namespace queuewindow {

// Shows the menu below `button` and does what the user picks; true when
// the user's outbox setting changed, so that the caller shows it anew.
bool OutboxMenu(HWND owner, HWND button, const queuetool::DesktopUser& user, const queuetool::OutboxView& view);

}  // namespace queuewindow

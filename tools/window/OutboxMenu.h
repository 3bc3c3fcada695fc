// The queue window's "Outbox..." button: a small menu to choose the user's
// outbox folder, open it in Explorer, or switch the outbox off.
#pragma once
#include <windows.h>

#include <optional>
#include <string>

#include "tools/queue/DesktopUsers.h"
#include "tools/queue/OutboxView.h"

namespace queuewindow {

// Shows the menu below `button` and does what the user picks; the outbox
// folder to write when the user chose one ("" to switch it off), which the
// caller writes away from its window's thread (queuetool::SetOutbox): the
// queue may be held by a HotSync for a while.
std::optional<std::string> OutboxMenu(HWND owner, HWND button, const queuetool::DesktopUser& user,
                                      const queuetool::OutboxView& view);

}  // namespace queuewindow

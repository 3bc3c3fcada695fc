// The queue window's "Check...": the installation check (tools/queue/
// InstallCheck.h) shown in a window of its own, one point a line with what
// to do, which the user copies or saves to attach to a question. It reads
// only, like `tolvane-queue check`.
#pragma once
#include <windows.h>

#include "tools/queue/InstallCheck.h"

namespace queuewindow {

constexpr const wchar_t* kCheckCaption = L"Tolvane installation check";

// Shows the report of every HotSync user's points, which the check made
// (tools/queue/InstallCheck.h) away from the window's thread: it reads
// disks and the registry. Modal to `owner` until closed.
void ShowInstallationCheck(HWND owner, queuetool::CheckReport report);

}  // namespace queuewindow

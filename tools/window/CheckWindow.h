// The queue window's "Check...": the installation check (tools/queue/
// InstallCheck.h) shown in a window of its own, one point a line with what
// to do, which the user copies or saves to attach to a question. It reads
// only, like `tolvane-queue check`.
#pragma once
#include <windows.h>

namespace queuewindow {

constexpr const wchar_t* kCheckCaption = L"Tolvane installation check";

// Checks every HotSync user's points and shows the report, modal to `owner`
// until closed.
void ShowInstallationCheck(HWND owner);

}  // namespace queuewindow

// The files a user chooses to queue, any number at once. Windows' item
// dialog where Windows has one (Vista on); on Windows XP the old open
// dialog, whose answer buffer grows as the choice grows. Either dialog is
// modal to the window and runs on its thread; what goes wrong (a choice
// too large, a failing dialog) is said in a message box that tells the
// user another way to queue the files. A cancelled dialog chooses nothing.
#pragma once
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace queuewindow {

// Full paths, in the order the dialog gave them.
std::vector<std::wstring> PickFilesToQueue(HWND owner);

// A folder the user chooses, or makes there ("New folder"): Windows' item
// dialog where Windows has one, the folder browser on Windows XP; none when
// the user cancels.
std::optional<std::wstring> PickFolder(HWND owner, const std::wstring& title);

// The old dialog alone, its buffer first `firstChars` characters long
// (what Windows XP shows; tests start it small).
std::vector<std::wstring> PickFilesWithOldDialog(HWND owner, size_t firstChars);

}  // namespace queuewindow

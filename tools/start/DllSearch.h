// The first thing every Tolvane program does: it takes the current folder
// out of the DLL search, so that a DLL that someone put into the folder a
// tool was started from (a download folder, a shared folder) is never
// loaded. The system folders, the program's own folder (installed, the
// Palm Desktop folder) and the folder of the HotSync Manager that the
// registry names stay: the conduit's code loads some Palm Desktop libraries
// by their bare names while that folder is current, and those still load
// from there.
//
// The registration helper runs with administrator rights, from a copy that
// Setup carries: it trusts System32 and the one Palm Desktop folder that it
// is given (the conduit's), and neither its own folder nor the current one
// nor a folder that a user's registry names.
#pragma once
#include <string>

namespace toolstart {

void LimitDllSearch() noexcept;

// System32 and `palmDesktop` (a full path; none when empty) only, where
// Windows can narrow the search so (Vista with KB2533623 and later). On
// Windows XP the current folder gives way to `palmDesktop`, and the
// program's own folder stays first.
void LimitDllSearchTo(const std::wstring& palmDesktop) noexcept;

}  // namespace toolstart

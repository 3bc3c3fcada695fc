// The first thing every Tolvane program does: it takes the current folder
// out of the DLL search, so that a DLL that someone put into the folder a
// tool was started from (a download folder, a shared folder) is never
// loaded. The system folders, the program's own folder (installed, the
// Palm Desktop folder) and the folder of the HotSync Manager that the
// registry names stay: the conduit's code loads some Palm Desktop libraries
// by their bare names while that folder is current, and those still load
// from there.
#pragma once

namespace toolstart {

void LimitDllSearch() noexcept;

}  // namespace toolstart

// User Data library: the HotSync users, their folders and their recorded
// expansion slots; and the Palm Desktop directory that every binding's loader
// looks in. The binding: palm/PalmLibrary.h; its description and entries:
// palm/kivUserData.inc.
#pragma once
#include <string>

#define PALM_BINDING userdata
#define PALM_ENTRY_LIST "palm/kivUserData.inc"
#define PALM_LOADER LoadUserData
#include "palm/PalmBindingDecl.h"

namespace palm {

// The Palm Desktop directory with a trailing backslash, or "" when none was
// found (then the next call looks again). Asks a User Data library beside the
// conduit first, then the registry value that locates the HotSync Manager.
std::string GetPalmDesktopDir();

// For a program that is told the Palm Desktop folder (the registration
// helper, given the conduit's path): from now on that is the directory, and
// every binding of this module loads its library from there only, never from
// beside the program; neither a library nor the registry is asked.
void UsePalmDesktopDir(const std::string& dir);
bool PalmDesktopDirIsGiven() noexcept;

// The folder of the HotSync Manager that the registry names, or "": the
// second of the two places above, asked without loading any library.
std::string GetRegisteredDesktopDir();
// The HotSync Manager's program as the registry names it, or "".
std::string GetRegisteredHotSyncPath();

// The unit's start and stop, around its loader LoadUserData. A User Data
// library that cannot be loaded is reported but does not stop the conduit's
// start; the stop also forgets the Palm Desktop directory.
void StartUserData();
void StopUserData() noexcept;

}  // namespace palm

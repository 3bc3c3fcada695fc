#include "palm/kivPalmInstall.h"

#include "palm/PalmCall.h"

namespace palm::install {
#define PALM_ENTRY_LIST "palm/kivPalmInstall.inc"
#include "palm/PalmBindingDef.h"
#undef PALM_ENTRY_LIST

PalmLibrary Library = {"instaide.dll", "palm\\kivPalmInstall", Locate::DesktopDir, Verify::EachEntry,
                       "kivPalmInstall: Unable to load instaide.dll", true, kEntryNames, gEntries, EntryCount, nullptr, false};
}  // namespace palm::install

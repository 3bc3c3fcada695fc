#include "palm/kivHSAPI.h"

#include "palm/PalmCall.h"

namespace palm::hsapi {
#define PALM_ENTRY_LIST "palm/kivHSAPI.inc"
#include "palm/PalmBindingDef.h"
#undef PALM_ENTRY_LIST

PalmLibrary Library = {"hsapi.dll", "palm\\kivHSAPI", Locate::OwnDirElseDesktopDir, Verify::AfterAll,
                       "kivHSAPI: Unable to load hsapi.dll", true, kEntryNames, gEntries, EntryCount, nullptr, false};
}  // namespace palm::hsapi

namespace palm {

long HsRefreshConduitInfo() noexcept { return CallEntry(hsapi::Library.Entry(hsapi::eHsRefreshConduitInfo)); }

}  // namespace palm

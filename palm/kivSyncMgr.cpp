#include "palm/kivSyncMgr.h"

#include "palm/PalmCall.h"

namespace palm::syncmgr {
#define PALM_ENTRY_LIST "palm/kivSyncMgr.inc"
#include "palm/PalmBindingDef.h"
#undef PALM_ENTRY_LIST

PalmLibrary Library = {"sync20.dll", "palm\\kivSyncMgr", Locate::BareNameFromDesktopDir, Verify::EachEntry,
                       "kivSyncMgr: Unable to load sync20.dll", true, kEntryNames, gEntries, EntryCount, nullptr, false};
}  // namespace palm::syncmgr

namespace palm {

long SyncYieldCycles(unsigned short cycles) noexcept { return CallEntry(syncmgr::Library.Entry(syncmgr::eSyncYieldCycles), cycles); }

}  // namespace palm

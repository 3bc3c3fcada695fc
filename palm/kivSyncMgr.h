// Sync Manager library.
// Entry pointers are filled when the conduit starts; the typed calls below
// go through them (see palm/PalmCall.h for what an empty one does).
#pragma once
#include "palm/PalmLibrary.h"

namespace palm::syncmgr {
#define PALM_ENTRY_LIST "palm/kivSyncMgr.inc"
#include "palm/PalmBindingDecl.h"
#undef PALM_ENTRY_LIST
}  // namespace palm::syncmgr

namespace palm {

long SyncYieldCycles(unsigned short cycles) noexcept;

}  // namespace palm

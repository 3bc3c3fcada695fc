// HotSync Manager API library.
// Entry pointers are filled when the conduit starts; the typed calls below
// go through them (see palm/PalmCall.h for what an empty one does).
#pragma once
#include "palm/PalmLibrary.h"

namespace palm::hsapi {
#define PALM_ENTRY_LIST "palm/kivHSAPI.inc"
#include "palm/PalmBindingDecl.h"
#undef PALM_ENTRY_LIST
}  // namespace palm::hsapi

namespace palm {

long HsRefreshConduitInfo() noexcept;

}  // namespace palm

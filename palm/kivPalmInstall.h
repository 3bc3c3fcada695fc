// Install Aide library: loaded and verified, never called.
// Entry pointers are filled when the conduit starts; the typed calls below
// go through them (see palm/PalmCall.h for what an empty one does).
#pragma once
#include "palm/PalmLibrary.h"

namespace palm::install {
#define PALM_ENTRY_LIST "palm/kivPalmInstall.inc"
#include "palm/PalmBindingDecl.h"
#undef PALM_ENTRY_LIST
}  // namespace palm::install

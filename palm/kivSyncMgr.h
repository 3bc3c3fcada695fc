// Sync Manager library: gives the HotSync Manager time during a run.
// The binding: palm/PalmLibrary.h; its description and entries: palm/kivSyncMgr.inc.
#pragma once
#define PALM_BINDING syncmgr
#define PALM_ENTRY_LIST "palm/kivSyncMgr.inc"
#define PALM_LOADER LoadSyncMgr
#include "palm/PalmBindingDecl.h"

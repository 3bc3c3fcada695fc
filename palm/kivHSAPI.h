// HotSync Manager API library: tells the HotSync Manager that the conduits changed.
// The binding: palm/PalmLibrary.h; its description and entries: palm/kivHSAPI.inc.
#pragma once
#define PALM_BINDING hsapi
#define PALM_ENTRY_LIST "palm/kivHSAPI.inc"
#define PALM_LOADER LoadHSAPI
#include "palm/PalmBindingDecl.h"

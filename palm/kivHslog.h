// HotSync log library: the lines a run adds to the HotSync log.
// The binding: palm/PalmLibrary.h; its description and entries: palm/kivHslog.inc.
#pragma once
#define PALM_BINDING hslog
#define PALM_ENTRY_LIST "palm/kivHslog.inc"
#define PALM_LOADER LoadHslog
#include "palm/PalmBindingDecl.h"

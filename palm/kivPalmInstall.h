// Install Aide library: loaded and verified, never called.
// The binding: palm/PalmLibrary.h; its description and entries: palm/kivPalmInstall.inc.
#pragma once
#define PALM_BINDING install
#define PALM_ENTRY_LIST "palm/kivPalmInstall.inc"
#define PALM_LOADER LoadPalmInstall
#include "palm/PalmBindingDecl.h"

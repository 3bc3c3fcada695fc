// Conduit Manager library: the conduit's registration.
// The binding: palm/PalmLibrary.h; its description and entries: palm/kivCondMgre.inc.
#pragma once
#define PALM_BINDING condmgr
#define PALM_ENTRY_LIST "palm/kivCondMgre.inc"
#define PALM_LOADER LoadCondMgr
#include "palm/PalmBindingDecl.h"

// This unit holds the binding; its loader runs when the conduit starts.
#define PALM_DEFINE_BINDING
#include "palm/kivSyncMgr.h"

void palm::LoadSyncMgr() { LoadBinding(syncmgr::Info, syncmgr::State); }

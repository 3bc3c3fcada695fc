// This unit holds the binding; its loader runs when the conduit starts.
#define PALM_DEFINE_BINDING
#include "palm/kivCondMgre.h"

void palm::LoadCondMgr() { LoadBinding(condmgr::Info, condmgr::State); }

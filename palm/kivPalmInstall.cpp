// This unit holds the binding; its loader runs when the conduit starts.
#define PALM_DEFINE_BINDING
#include "palm/kivPalmInstall.h"

void palm::LoadPalmInstall() { LoadBinding(install::Info, install::State); }

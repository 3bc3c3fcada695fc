// This unit holds the binding; its loader runs when the conduit starts.
#define PALM_DEFINE_BINDING
#include "palm/kivHslog.h"

void palm::LoadHslog() { LoadBinding(hslog::Info, hslog::State); }

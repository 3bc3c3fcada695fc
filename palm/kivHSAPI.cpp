// This unit holds the binding; its loader runs when the conduit starts.
#define PALM_DEFINE_BINDING
#include "palm/kivHSAPI.h"

void palm::LoadHSAPI() { LoadBinding(hsapi::Info, hsapi::State); }

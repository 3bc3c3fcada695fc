// HotSync log library.
// Entry pointers are filled when the conduit starts; the typed calls below
// go through them (see palm/PalmCall.h for what an empty one does).
#pragma once
#include "palm/PalmLibrary.h"

namespace palm::hslog {
#define PALM_ENTRY_LIST "palm/kivHslog.inc"
#include "palm/PalmBindingDecl.h"
#undef PALM_ENTRY_LIST
}  // namespace palm::hslog

namespace palm {

long LogAddEntry(const char* text, long activity, long timestamp) noexcept;

}  // namespace palm

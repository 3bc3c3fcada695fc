#include "palm/kivHslog.h"

#include "palm/PalmCall.h"

namespace palm::hslog {
#define PALM_ENTRY_LIST "palm/kivHslog.inc"
#include "palm/PalmBindingDef.h"
#undef PALM_ENTRY_LIST

PalmLibrary Library = {"hslog20.dll", "palm\\kivHslog", Locate::DesktopDir, Verify::EachEntry,
                       "kivHslog: Unable to load hslog20.dll", true, kEntryNames, gEntries, EntryCount, nullptr, false};
}  // namespace palm::hslog

namespace palm {

long LogAddEntry(const char* text, long activity, long timestamp) noexcept { return CallEntry(hslog::Library.Entry(hslog::eLogAddEntry), text, activity, timestamp); }

}  // namespace palm

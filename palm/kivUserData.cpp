#include "palm/kivUserData.h"

#include "palm/PalmCall.h"

namespace palm::userdata {
#define PALM_ENTRY_LIST "palm/kivUserData.inc"
#include "palm/PalmBindingDef.h"
#undef PALM_ENTRY_LIST

PalmLibrary Library = {"userdata.dll", "palm\\kivUserData", Locate::OwnDirElseDesktopDir, Verify::EachEntry,
                       "kivUserData: Unable to load userdata.dll", false, kEntryNames, gEntries, EntryCount, nullptr, false};
}  // namespace palm::userdata

namespace palm {

short UmGetUserCount() noexcept { return static_cast<short>(CallEntry(userdata::Library.Entry(userdata::eUmGetUserCount))); }
long UmGetUserID(short index, unsigned long* id) noexcept { return CallEntry(userdata::Library.Entry(userdata::eUmGetUserID), index, id); }
long UmGetUserName(unsigned long id, char* buffer, short* size) noexcept { return CallEntry(userdata::Library.Entry(userdata::eUmGetUserName), id, buffer, size); }
long UmGetUserDirectory(unsigned long id, char* buffer, short* size) noexcept { return CallEntry(userdata::Library.Entry(userdata::eUmGetUserDirectory), id, buffer, size); }
long UmGetRootDirectory(char* buffer, short* size) noexcept { return CallEntry(userdata::Library.Entry(userdata::eUmGetRootDirectory), buffer, size); }
long UmSlotGetExpMgrVersion(unsigned long id, unsigned long* version) noexcept { return CallEntry(userdata::Library.Entry(userdata::eUmSlotGetExpMgrVersion), id, version); }
long UmSlotGetSlotCount(unsigned long id, unsigned short* count) noexcept { return CallEntry(userdata::Library.Entry(userdata::eUmSlotGetSlotCount), id, count); }
long UmSlotGetInfo(unsigned long id, long* slotRefs, unsigned short* count) noexcept { return CallEntry(userdata::Library.Entry(userdata::eUmSlotGetInfo), id, slotRefs, count); }
long UmSlotGetMediaType(unsigned long id, long slotRef, unsigned long* mediaType) noexcept { return CallEntry(userdata::Library.Entry(userdata::eUmSlotGetMediaType), id, slotRef, mediaType); }
long UmSlotGetDisplayName(unsigned long id, long slotRef, char* buffer256, unsigned long* length) noexcept { return CallEntry(userdata::Library.Entry(userdata::eUmSlotGetDisplayName), id, slotRef, buffer256, length); }

}  // namespace palm

// User Data library: the HotSync users, their folders and their recorded expansion slots.
// Entry pointers are filled when the conduit starts; the typed calls below
// go through them (see palm/PalmCall.h for what an empty one does).
#pragma once
#include <string>

#include "palm/PalmLibrary.h"

namespace palm::userdata {
#define PALM_ENTRY_LIST "palm/kivUserData.inc"
#include "palm/PalmBindingDecl.h"
#undef PALM_ENTRY_LIST
}  // namespace palm::userdata

namespace palm {

// The Palm Desktop directory with a trailing backslash, or "" when none was
// found (then the next call looks again). Asks a User Data library beside the
// conduit first, then the registry value that locates the HotSync Manager.
std::string GetPalmDesktopDir();

// The unit's start and stop. A User Data library that cannot be loaded is
// reported but does not stop the conduit's start; the stop also forgets the
// Palm Desktop directory.
void StartUserData();
void StopUserData() noexcept;

short UmGetUserCount() noexcept;
long UmGetUserID(short index, unsigned long* id) noexcept;
long UmGetUserName(unsigned long id, char* buffer, short* size) noexcept;
long UmGetUserDirectory(unsigned long id, char* buffer, short* size) noexcept;
long UmGetRootDirectory(char* buffer, short* size) noexcept;
long UmSlotGetExpMgrVersion(unsigned long id, unsigned long* version) noexcept;
long UmSlotGetSlotCount(unsigned long id, unsigned short* count) noexcept;
long UmSlotGetInfo(unsigned long id, long* slotRefs, unsigned short* count) noexcept;
long UmSlotGetMediaType(unsigned long id, long slotRef, unsigned long* mediaType) noexcept;
long UmSlotGetDisplayName(unsigned long id, long slotRef, char* buffer256, unsigned long* length) noexcept;

}  // namespace palm

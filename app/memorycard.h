// VFS library: the volumes the handheld has mounted, and files on them.
// Entry pointers are filled when the conduit starts; the typed calls below
// go through them (see palm/PalmCall.h for what an empty one does).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "palm/PalmLibrary.h"

namespace palm::vfs {
#define PALM_ENTRY_LIST "app/memorycard.inc"
#include "palm/PalmBindingDecl.h"
#undef PALM_ENTRY_LIST
}  // namespace palm::vfs

namespace palm {

long VFSVolumeEnumerate(unsigned short* count, unsigned short* refsOrNull) noexcept;
long VFSVolumeInfo(unsigned short volume, void* info) noexcept;
long VFSDirCreate(unsigned short volume, const char* dir) noexcept;
long VFSFileDelete(unsigned short volume, const char* path) noexcept;
long VFSFilePut(unsigned short volume, const char* cardPath, const char* desktopPath) noexcept;

}  // namespace palm

namespace app {

// Loads the VFS library by its bare name with the Palm Desktop directory made
// current, and looks up its entries; a missing entry just stays empty.
void LoadVFSAPI();
bool VFSAPILoaded() noexcept;

// The unit's start and stop. The conduit cannot work without the VFS
// library, so a failure to load it is shown and stops the start.
void StartMemoryCard();
void StopMemoryCard() noexcept;

// The references of the volumes the handheld has mounted, in the library's
// order; never more than both enumerate calls reported.
using TVolumeRefs = std::vector<uint16_t>;
TVolumeRefs GetVolumeRefs();

// One expansion slot that the desktop recorded for a user.
struct TSlot {
    int32_t SlotRef = 0;
    uint32_t MediaType = 0;  // four-character code, first character highest
    std::string DisplayName;
};
using TSlots = std::vector<TSlot>;

// The user's recorded slots; empty when the handheld has no expansion
// manager. Always as many entries as the slot count reported, the ones the
// library did not describe left empty.
TSlots GetSlots(uint32_t userID);

}  // namespace app

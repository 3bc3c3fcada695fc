#include "app/memorycard.h"

#include <algorithm>
#include <cstring>

#include "palm/PalmCall.h"
#include "palm/kivUserData.h"

namespace palm::vfs {
#define PALM_ENTRY_LIST "app/memorycard.inc"
#include "palm/PalmBindingDef.h"
#undef PALM_ENTRY_LIST

PalmLibrary Library = {"VFSAPI.dll", "app\\memorycard", Locate::BareNameFromDesktopDir, Verify::None,
                       "Tolvane was unable to load VFSAPI.dll", true, kEntryNames, gEntries, EntryCount, nullptr, false};
}  // namespace palm::vfs

namespace palm {

long VFSVolumeEnumerate(unsigned short* count, unsigned short* refsOrNull) noexcept { return CallEntry(vfs::Library.Entry(vfs::eVFSVolumeEnumerate), count, refsOrNull); }
long VFSVolumeInfo(unsigned short volume, void* info) noexcept { return CallEntry(vfs::Library.Entry(vfs::eVFSVolumeInfo), volume, info); }
long VFSDirCreate(unsigned short volume, const char* dir) noexcept { return CallEntry(vfs::Library.Entry(vfs::eVFSDirCreate), volume, dir); }
long VFSFileDelete(unsigned short volume, const char* path) noexcept { return CallEntry(vfs::Library.Entry(vfs::eVFSFileDelete), volume, path); }
long VFSFilePut(unsigned short volume, const char* cardPath, const char* desktopPath) noexcept { return CallEntry(vfs::Library.Entry(vfs::eVFSFilePut), volume, cardPath, desktopPath); }

}  // namespace palm

namespace app {

void LoadVFSAPI() { palm::LoadPalmLibrary(palm::vfs::Library); }

bool VFSAPILoaded() noexcept { return palm::vfs::Library.loaded; }

void StartMemoryCard() { palm::StartPalmLibrary(palm::vfs::Library); }

void StopMemoryCard() noexcept { palm::FinishPalmLibrary(palm::vfs::Library); }

}  // namespace app

namespace app {

TVolumeRefs GetVolumeRefs() {
    unsigned short count = 0;
    palm::VFSVolumeEnumerate(&count, nullptr);
    TVolumeRefs refs(count, 0);
    if (count == 0) return refs;
    unsigned short filled = count;
    palm::VFSVolumeEnumerate(&filled, refs.data());
    // A library that fills fewer than it first announced leaves no
    // made-up zero references behind.
    refs.resize(std::min(count, filled));
    return refs;
}

namespace {

constexpr size_t kDisplayNameSize = 256;

std::string SlotDisplayName(uint32_t userID, long slotRef) {
    char buffer[kDisplayNameSize] = {};
    unsigned long length = kDisplayNameSize - 1;
    palm::UmSlotGetDisplayName(userID, slotRef, buffer, &length);
    // A name that fills the buffer has no NUL: it is taken whole, never more.
    return std::string(buffer, strnlen(buffer, sizeof buffer));
}

}  // namespace

TSlots GetSlots(uint32_t userID) {
    unsigned long version = 0;
    palm::UmSlotGetExpMgrVersion(userID, &version);
    if (version == 0) return {};
    unsigned short count = 0;
    palm::UmSlotGetSlotCount(userID, &count);
    std::vector<long> slotRefs(count, 0);
    TSlots slots(count);
    unsigned short described = count;
    palm::UmSlotGetInfo(userID, slotRefs.data(), &described);
    const size_t used = std::min(described, count);
    for (size_t i = 0; i < used; ++i) {
        TSlot& slot = slots[i];
        slot.SlotRef = static_cast<int32_t>(slotRefs[i]);
        unsigned long mediaType = 0;
        palm::UmSlotGetMediaType(userID, slotRefs[i], &mediaType);
        slot.MediaType = static_cast<uint32_t>(mediaType);
        slot.DisplayName = SlotDisplayName(userID, slotRefs[i]);
    }
    return slots;
}

}  // namespace app

// This unit holds the VFS binding.
#define PALM_DEFINE_BINDING
#include "app/memorycard.h"

#include <algorithm>

#include "palm/kivUserData.h"
#include "rtl/Text.h"

// The VFS library's entries may be missing: they just stay empty.
void palm::LoadVFSAPI() { LoadBinding(vfs::Info, vfs::State); }

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
    return rtl::BufferText(buffer);
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

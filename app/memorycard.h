// The handheld's card volumes and recorded slots, as the card install sees
// them. This unit also holds a binding: the VFS library's (the volumes the
// handheld has mounted, and files on them), whose entries and typed calls
// come from its list, app/memorycard.inc, with its description. Its loader is
// palm::LoadVFSAPI; the conduit cannot work without the library, so the start
// shows a failure to load it and stops.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#define PALM_BINDING vfs
#define PALM_ENTRY_LIST "app/memorycard.inc"
#define PALM_LOADER LoadVFSAPI
#include "palm/PalmBindingDecl.h"

namespace app {

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

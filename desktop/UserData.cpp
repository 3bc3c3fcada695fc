// The User Data library: the HotSync users of the description, their
// folders and the expansion slots recorded for them.
#include <algorithm>

#include "desktop/Export.h"

using namespace desktop;

namespace {

// Runs `body` with the user of `id`, or answers "no such user".
template <class Body>
long WithUser(const Desktop& desktop, unsigned long id, Body&& body) {
    const User* user = desktop.description.FindUser(std::uint32_t(id));
    return user ? body(*user) : codes::kUmNoUserDirectory;
}

const Slot* FindSlot(const User& user, long ref) {
    for (const Slot& slot : user.slots)
        if (slot.ref == ref) return &slot;
    return nullptr;
}

}  // namespace

DESKTOP_EXPORT short DESKTOP_CC UmGetUserCount() noexcept {
    return short(Run("UmGetUserCount", -1, [] { return Args(); },
                     [](const Desktop& d) { return long(d.description.users.size()); }));
}

DESKTOP_EXPORT long DESKTOP_CC UmGetUserID(short index, unsigned long* id) noexcept {
    return Run("UmGetUserID", codes::kFailed, [&] { return Args(index, Buffer{id}); }, [&](const Desktop& d) {
        if (!id) return codes::kUmNullBuffer;
        if (index < 0 || std::size_t(index) >= d.description.users.size()) return codes::kUmBadIndex;
        *id = d.description.users[std::size_t(index)].id;
        return codes::kOk;
    });
}

DESKTOP_EXPORT long DESKTOP_CC UmGetUserName(unsigned long id, char* buffer, short* size) noexcept {
    return Run("UmGetUserName", codes::kFailed, [&] { return Args(id, Buffer{buffer}, Ref<short>{size}); },
               [&](const Desktop& d) {
                   return WithUser(d, id, [&](const User& user) {
                       return CopyText(user.name, buffer, size, codes::kUmBufferTooSmall, codes::kUmNullBuffer);
                   });
               });
}

DESKTOP_EXPORT long DESKTOP_CC UmGetUserDirectory(unsigned long id, char* buffer, short* size) noexcept {
    return Run("UmGetUserDirectory", codes::kFailed, [&] { return Args(id, Buffer{buffer}, Ref<short>{size}); },
               [&](const Desktop& d) {
                   return WithUser(d, id, [&](const User& user) {
                       return CopyText(user.folder, buffer, size, codes::kUmBufferTooSmall, codes::kUmNullBuffer);
                   });
               });
}

DESKTOP_EXPORT long DESKTOP_CC UmGetRootDirectory(char* buffer, short* size) noexcept {
    return Run("UmGetRootDirectory", codes::kFailed, [&] { return Args(Buffer{buffer}, Ref<short>{size}); },
               [&](const Desktop& d) {
                   return CopyText(d.folder, buffer, size, codes::kUmBufferTooSmall, codes::kUmNullBuffer);
               });
}

DESKTOP_EXPORT long DESKTOP_CC UmSlotGetExpMgrVersion(unsigned long id, unsigned long* version) noexcept {
    return Run("UmSlotGetExpMgrVersion", codes::kFailed, [&] { return Args(id, Ref<unsigned long>{version}); },
               [&](const Desktop& d) {
                   if (!version) return codes::kUmNullBuffer;
                   return WithUser(d, id, [&](const User& user) {
                       *version = user.expansionManager;
                       return codes::kOk;
                   });
               });
}

DESKTOP_EXPORT long DESKTOP_CC UmSlotGetSlotCount(unsigned long id, unsigned short* count) noexcept {
    return Run("UmSlotGetSlotCount", codes::kFailed, [&] { return Args(id, Ref<unsigned short>{count}); },
               [&](const Desktop& d) {
                   if (!count) return codes::kUmNullBuffer;
                   return WithUser(d, id, [&](const User& user) {
                       *count = static_cast<unsigned short>(user.slots.size());
                       return codes::kOk;
                   });
               });
}

// Fills at most *count references and sets *count to the number filled;
// without an array, *count becomes the number of slots.
DESKTOP_EXPORT long DESKTOP_CC UmSlotGetInfo(unsigned long id, long* refs, unsigned short* count) noexcept {
    return Run("UmSlotGetInfo", codes::kFailed, [&] { return Args(id, Buffer{refs}, Ref<unsigned short>{count}); },
               [&](const Desktop& d) {
                   if (!count) return codes::kUmNullBuffer;
                   return WithUser(d, id, [&](const User& user) {
                       std::size_t filled = user.slots.size();
                       if (refs) {
                           filled = std::min<std::size_t>(filled, *count);
                           for (std::size_t i = 0; i < filled; ++i) refs[i] = user.slots[i].ref;
                       }
                       *count = static_cast<unsigned short>(filled);
                       return codes::kOk;
                   });
               });
}

DESKTOP_EXPORT long DESKTOP_CC UmSlotGetMediaType(unsigned long id, long slotRef, unsigned long* mediaType) noexcept {
    return Run("UmSlotGetMediaType", codes::kFailed, [&] { return Args(id, slotRef, Buffer{mediaType}); },
               [&](const Desktop& d) {
                   if (!mediaType) return codes::kUmNullBuffer;
                   return WithUser(d, id, [&](const User& user) {
                       const Slot* slot = FindSlot(user, slotRef);
                       if (!slot) return codes::kUmIndexTooLarge;
                       *mediaType = slot->mediaType;
                       return codes::kOk;
                   });
               });
}

DESKTOP_EXPORT long DESKTOP_CC UmSlotGetDisplayName(unsigned long id, long slotRef, char* buffer,
                                                    unsigned long* length) noexcept {
    return Run("UmSlotGetDisplayName", codes::kFailed,
               [&] { return Args(id, slotRef, Buffer{buffer}, Ref<unsigned long>{length}); }, [&](const Desktop& d) {
                   return WithUser(d, id, [&](const User& user) {
                       const Slot* slot = FindSlot(user, slotRef);
                       if (!slot) return codes::kUmIndexTooLarge;
                       return CopyText(slot->displayName, buffer, length, codes::kUmBufferTooSmall,
                                       codes::kUmNullBuffer);
                   });
               });
}

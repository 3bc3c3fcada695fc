// The Conduit Manager library: creator entries kept in "conduits.ini" in
// the desktop folder, and the core path under which the users' folders lie.
#include "desktop/ConduitRegistry.h"
#include "desktop/Export.h"

using namespace desktop;

namespace {

ConduitRegistry Registry(const Desktop& desktop) { return ConduitRegistry(desktop.InFolder(kConduitFile)); }

// Applies a change to the records and writes them back when it succeeded
// (0, or above 0 for a removal).
template <class Change>
long Update(const Desktop& desktop, Change&& change) {
    ConduitRegistry registry = Registry(desktop);
    const long result = change(registry);
    if (result >= 0 && !registry.Save()) return codes::kCmAccess;
    return result;
}

long SetText(const char* entry, const char* creator, const char* value, ConduitField field) noexcept {
    return Run(entry, codes::kCmCannotSet, [&] { return Args(Text{creator}, Text{value}); }, [&](const Desktop& d) {
        return Update(d, [&](ConduitRegistry& registry) { return registry.SetText(creator, field, value); });
    });
}

long GetText(const char* entry, const char* creator, char* buffer, long* size, ConduitField field) noexcept {
    return Run(entry, codes::kFailed, [&] { return Args(Text{creator}, Buffer{buffer}, Ref<long>{size}); },
               [&](const Desktop& d) {
                   std::string value;
                   const long result = Registry(d).GetText(creator, field, value);
                   if (result != codes::kOk) return result;
                   return CopyText(value, buffer, size, codes::kCmBufferTooSmall, codes::kCmBadPointer);
               });
}

}  // namespace

// Each text value of an entry has a setter and a getter of one shape.
#define DESKTOP_CONDUIT_TEXT(Field)                                                                  \
    DESKTOP_EXPORT long DESKTOP_CC CmSetCreator##Field(const char* creator, const char* value) noexcept { \
        return SetText("CmSetCreator" #Field, creator, value, ConduitField::Field);                  \
    }                                                                                                \
    DESKTOP_EXPORT long DESKTOP_CC CmGetCreator##Field(const char* creator, char* buffer, long* size) noexcept { \
        return GetText("CmGetCreator" #Field, creator, buffer, size, ConduitField::Field);           \
    }

DESKTOP_CONDUIT_TEXT(Name)
DESKTOP_CONDUIT_TEXT(Title)
DESKTOP_CONDUIT_TEXT(Directory)
DESKTOP_CONDUIT_TEXT(File)
DESKTOP_CONDUIT_TEXT(Remote)
DESKTOP_CONDUIT_TEXT(Info)

DESKTOP_EXPORT long DESKTOP_CC CmInstallCreator(const char* creator, int type) noexcept {
    return Run("CmInstallCreator", codes::kFailed, [&] { return Args(Text{creator}, type); }, [&](const Desktop& d) {
        return Update(d, [&](ConduitRegistry& registry) { return registry.Install(creator, type); });
    });
}

DESKTOP_EXPORT long DESKTOP_CC CmSetCreatorPriority(const char* creator, long priority) noexcept {
    return Run("CmSetCreatorPriority", codes::kCmCannotSet, [&] { return Args(Text{creator}, priority); },
               [&](const Desktop& d) {
                   return Update(d, [&](ConduitRegistry& registry) { return registry.SetPriority(creator, priority); });
               });
}

DESKTOP_EXPORT long DESKTOP_CC CmRemoveConduitByCreatorID(const char* creator) noexcept {
    return Run("CmRemoveConduitByCreatorID", codes::kFailed, [&] { return Args(Text{creator}); },
               [&](const Desktop& d) {
                   return Update(d, [&](ConduitRegistry& registry) { return registry.Remove(creator); });
               });
}

DESKTOP_EXPORT long DESKTOP_CC CmGetCorePath(char* buffer, long* size) noexcept {
    return Run("CmGetCorePath", codes::kFailed, [&] { return Args(Buffer{buffer}, Ref<long>{size}); },
               [&](const Desktop& d) {
                   return CopyText(d.CorePath(), buffer, size, codes::kCmBufferTooSmall, codes::kCmBadPointer);
               });
}

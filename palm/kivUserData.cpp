#include "palm/kivUserData.h"

#include <cstring>

#include "palm/PalmCall.h"
#include "rtl/ModulePath.h"
#include "rtl/Registry.h"
#include "rtl/WinHandles.h"

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

namespace palm {

namespace {

std::string PalmDesktopDir;

constexpr const char* kCoreKey = "Software\\U.S. Robotics\\Pilot Desktop\\Core";

// A User Data library beside the conduit knows the directory itself. This
// load serves this one question only.
std::string AskUserDataBesideUs() {
    const std::string path = rtl::GetModuleDir() + userdata::Library.fileName;
    if (!rtl::FileExists(path)) return {};
    const rtl::UniqueHModule probe(LoadLibraryA(path.c_str()));
    if (reinterpret_cast<uintptr_t>(probe.get()) < 32) return {};
    const void* entry = reinterpret_cast<const void*>(GetProcAddress(probe.get(), "UmGetRootDirectory"));
    if (!entry) return {};
    char buffer[260] = {};
    short size = sizeof buffer;
    CallEntry(entry, buffer, &size);
    return std::string(buffer, strnlen(buffer, sizeof buffer));
}

// The folder of the HotSync Manager's executable, as the registry names it.
std::string AskRegistry() {
    const auto hotSyncPath = rtl::ReadRegistryText(HKEY_CURRENT_USER, kCoreKey, "HotSyncPath");
    return hotSyncPath ? rtl::ExtractFileDir(*hotSyncPath) : std::string();
}

}  // namespace

std::string GetPalmDesktopDir() {
    if (!PalmDesktopDir.empty()) return PalmDesktopDir;
    PalmDesktopDir = AskUserDataBesideUs();
    if (PalmDesktopDir.empty()) PalmDesktopDir = AskRegistry();
    PalmDesktopDir = rtl::AddBackslash(PalmDesktopDir);
    return PalmDesktopDir;
}

void StartUserData() { StartPalmLibrary(userdata::Library); }

void StopUserData() noexcept {
    FinishPalmLibrary(userdata::Library);
    PalmDesktopDir.clear();
}

}  // namespace palm

#include "app/memorycard.h"

#include "palm/PalmCall.h"

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

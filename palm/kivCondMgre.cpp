#include "palm/kivCondMgre.h"

#include "palm/PalmCall.h"

namespace palm::condmgr {
#define PALM_ENTRY_LIST "palm/kivCondMgre.inc"
#include "palm/PalmBindingDef.h"
#undef PALM_ENTRY_LIST

PalmLibrary Library = {"CONDMGR.DLL", "palm\\kivCondMgre", Locate::OwnDirElseDesktopDir, Verify::EachEntry,
                       "kivCondMgre: Unable to load condmgr.dll", true, kEntryNames, gEntries, EntryCount, nullptr, false};
}  // namespace palm::condmgr

namespace palm {

long CmInstallCreator(const char* creator, int type) noexcept { return CallEntry(condmgr::Library.Entry(condmgr::eCmInstallCreator), creator, type); }
long CmSetCreatorName(const char* creator, const char* value) noexcept { return CallEntry(condmgr::Library.Entry(condmgr::eCmSetCreatorName), creator, value); }
long CmSetCreatorTitle(const char* creator, const char* value) noexcept { return CallEntry(condmgr::Library.Entry(condmgr::eCmSetCreatorTitle), creator, value); }
long CmSetCreatorDirectory(const char* creator, const char* value) noexcept { return CallEntry(condmgr::Library.Entry(condmgr::eCmSetCreatorDirectory), creator, value); }
long CmSetCreatorFile(const char* creator, const char* value) noexcept { return CallEntry(condmgr::Library.Entry(condmgr::eCmSetCreatorFile), creator, value); }
long CmSetCreatorRemote(const char* creator, const char* value) noexcept { return CallEntry(condmgr::Library.Entry(condmgr::eCmSetCreatorRemote), creator, value); }
long CmSetCreatorInfo(const char* creator, const char* value) noexcept { return CallEntry(condmgr::Library.Entry(condmgr::eCmSetCreatorInfo), creator, value); }
long CmSetCreatorPriority(const char* creator, long priority) noexcept { return CallEntry(condmgr::Library.Entry(condmgr::eCmSetCreatorPriority), creator, priority); }
long CmRemoveConduitByCreatorID(const char* creator) noexcept { return CallEntry(condmgr::Library.Entry(condmgr::eCmRemoveConduitByCreatorID), creator); }
long CmGetCorePath(char* buffer, long* size) noexcept { return CallEntry(condmgr::Library.Entry(condmgr::eCmGetCorePath), buffer, size); }
long CmGetCreatorDirectory(const char* creator, char* buffer, long* size) noexcept { return CallEntry(condmgr::Library.Entry(condmgr::eCmGetCreatorDirectory), creator, buffer, size); }

}  // namespace palm

// Conduit Manager library: the conduit's registration.
// Entry pointers are filled when the conduit starts; the typed calls below
// go through them (see palm/PalmCall.h for what an empty one does).
#pragma once
#include "palm/PalmLibrary.h"

namespace palm::condmgr {
#define PALM_ENTRY_LIST "palm/kivCondMgre.inc"
#include "palm/PalmBindingDecl.h"
#undef PALM_ENTRY_LIST
}  // namespace palm::condmgr

namespace palm {

long CmInstallCreator(const char* creator, int type) noexcept;
long CmSetCreatorName(const char* creator, const char* value) noexcept;
long CmSetCreatorTitle(const char* creator, const char* value) noexcept;
long CmSetCreatorDirectory(const char* creator, const char* value) noexcept;
long CmSetCreatorFile(const char* creator, const char* value) noexcept;
long CmSetCreatorRemote(const char* creator, const char* value) noexcept;
long CmSetCreatorInfo(const char* creator, const char* value) noexcept;
long CmSetCreatorPriority(const char* creator, long priority) noexcept;
long CmRemoveConduitByCreatorID(const char* creator) noexcept;
long CmGetCorePath(char* buffer, long* size) noexcept;
long CmGetCreatorDirectory(const char* creator, char* buffer, long* size) noexcept;

}  // namespace palm

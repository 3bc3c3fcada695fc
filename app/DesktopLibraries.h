// The Palm Desktop libraries that the conduit loads from the Palm Desktop
// folder whenever its host loads it (app/Tolvane.cpp starts their bindings),
// with the names the tools give them. A missing one makes the conduit show a
// message box while it loads, and most of them keep it from starting: the
// installation check names each one, and the registration helper refuses a
// folder that lacks one before the conduit is loaded there.
#pragma once
#include "app/memorycard.h"
#include "palm/PalmLibrary.h"
#include "palm/kivCondMgre.h"
#include "palm/kivHSAPI.h"
#include "palm/kivHslog.h"
#include "palm/kivPalmInstall.h"
#include "palm/kivSyncMgr.h"
#include "palm/kivUserData.h"

namespace app {

struct DesktopLibrary {
    const palm::BindingInfo& info;  // its file name
    const wchar_t* name;            // for the user
};

// User Data and the Conduit Manager first: every tool needs them.
inline constexpr DesktopLibrary kDesktopLibraries[] = {
    {palm::userdata::Info, L"User Data library"},
    {palm::condmgr::Info, L"Conduit Manager"},
    {palm::vfs::Info, L"VFS library"},
    {palm::hslog::Info, L"HotSync log library"},
    {palm::syncmgr::Info, L"Sync Manager library"},
    {palm::install::Info, L"Install Aide library"},
    {palm::hsapi::Info, L"HotSync Manager API library"},
};

}  // namespace app

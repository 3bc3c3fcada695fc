// The library's exported functions: the six of the Conduit API (C calling
// convention) and the four of self-registration (standard Windows one).
// None of them ever lets an exception reach the host.
#pragma once
#include <windows.h>
#include <guiddef.h>

#include "conduit/kivPalmComp.h"

extern "C" {

long __cdecl GetConduitName(char* name, unsigned short length) noexcept;
unsigned long __cdecl GetConduitVersion(void) noexcept;
long __cdecl GetConduitInfo(long infoType, void* inArgs, void* out, unsigned long* outSize) noexcept;
long __cdecl OpenConduit(kiv::ProgressCallback progress, const kiv::TkivSyncProperties* props) noexcept;
long __cdecl ConfigureConduit(kiv::TkivSyncPreference* pref) noexcept;
long __cdecl CfgConduit(long cfgType, void* args, unsigned long* argsSize) noexcept;

HRESULT __stdcall DllRegisterServer(void) noexcept;
HRESULT __stdcall DllUnregisterServer(void) noexcept;
HRESULT __stdcall DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv) noexcept;
HRESULT __stdcall DllCanUnloadNow(void) noexcept;

}  // extern "C"

namespace kiv {

// Argument codes of GetConduitInfo and CfgConduit.
enum ConduitArgumentCode : long {
    CONDERR_UNSUPPORTED_CONDUITINFO_ENUM = 4208,
    CONDERR_INVALID_PTR = 4209,
    CONDERR_INVALID_BUFFER_SIZE = 4211,
    CONDERR_INVALID_INARGS_PTR = 4212,
    CONDERR_INVALID_INARGS_STRUCT = 4213,
    CONDERR_INVALID_OUTSIZE_PTR = 4215,
    CONDERR_INVALID_ARGSSIZE = 4216,
    CONDERR_INVALID_ARGSSIZE_VALUE = 4218,
    CONDERR_UNSUPPORTED_STRUCT_VERSION = 4219,
};

}  // namespace kiv

// The library's main unit: the export table (Tolvane.def), the version
// resource (Tolvane.rc), and the start and stop of every unit while the host
// loads and unloads the library.
//
// Everything is set up inside the load, because the host must never see a
// library without its conduit component: a failed start makes DllMain return
// FALSE, so LoadLibrary fails. Nothing here creates a thread or a window.
#include <windows.h>

#include <iterator>

#include "app/RuntimeRelease.h"
#include "app/memorycard.h"
#include "app/uConduit.h"
#include "app/uConduit_Setup.h"
#include "conduit/kivBaseClasses.h"
#include "palm/kivCondMgre.h"
#include "palm/kivHSAPI.h"
#include "palm/kivHslog.h"
#include "palm/kivPalmInstall.h"
#include "palm/kivSyncMgr.h"
#include "palm/kivUserData.h"

namespace {

struct UnitSteps {
    const char* unit;
    void (*start)();          // may throw; nullptr when the unit has no start work
    void (*stop)() noexcept;  // nullptr when the unit has no stop work
};

// Start order; the stops run in reverse.
constexpr UnitSteps kUnits[] = {
    {"kivUserData", &palm::StartUserData, &palm::StopUserData},
    {"memorycard", &app::StartMemoryCard, &app::StopMemoryCard},
    {"kivBaseClasses", nullptr, &kiv::FinalizeBaseClasses},
    {"kivHslog", [] { palm::StartPalmLibrary(palm::hslog::Library); },
     []() noexcept { palm::FinishPalmLibrary(palm::hslog::Library); }},
    {"kivSyncMgr", [] { palm::StartPalmLibrary(palm::syncmgr::Library); },
     []() noexcept { palm::FinishPalmLibrary(palm::syncmgr::Library); }},
    {"kivPalmInstall", [] { palm::StartPalmLibrary(palm::install::Library); },
     []() noexcept { palm::FinishPalmLibrary(palm::install::Library); }},
    {"kivCondMgre", [] { palm::StartPalmLibrary(palm::condmgr::Library); },
     []() noexcept { palm::FinishPalmLibrary(palm::condmgr::Library); }},
    {"kivHSAPI", [] { palm::StartPalmLibrary(palm::hsapi::Library); },
     []() noexcept { palm::FinishPalmLibrary(palm::hsapi::Library); }},
    {"uConduit_Setup", &app::StartSetupForm, &app::StopSetupForm},
    {"uConduit", &app::StartConduitModule, &app::StopConduitModule},
};

// How many units have begun their start (the failing one included): exactly
// those are stopped, each once, however often the loader asks.
int g_unitsStarted = 0;

void StopUnits() noexcept {
    while (g_unitsStarted > 0) {
        const UnitSteps& unit = kUnits[--g_unitsStarted];
        if (unit.stop) unit.stop();
    }
}

bool StartUnits() noexcept {
    for (const UnitSteps& unit : kUnits) {
        ++g_unitsStarted;
        try {
            if (unit.start) unit.start();
        } catch (...) {
            StopUnits();
            return false;
        }
    }
    return true;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        DisableThreadLibraryCalls(instance);
        return StartUnits() ? TRUE : FALSE;
    case DLL_PROCESS_DETACH:
        // At process exit the libraries go away with the process anyway, and
        // they may already be gone: leave them alone.
        if (!reserved) {
            StopUnits();
            app::ReleaseRuntimeAtUnload();
        }
        return TRUE;
    default:
        return TRUE;
    }
}

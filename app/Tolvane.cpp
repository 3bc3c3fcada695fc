// The library's main unit: the export table (Tolvane.def), the version
// resource (Tolvane.rc), and the start and stop of every unit while the host
// loads and unloads the library.
//
// Everything is set up inside the load, because the host must never see a
// library without its conduit component: a failed start makes DllMain return
// FALSE, so LoadLibrary fails. DllMain runs under the loader lock, where a
// library should do next to nothing; the start does there, deliberately, only
// what that promise needs:
//   - it loads the Palm Desktop libraries and looks up their entries (and the
//     stop frees them), asking a User Data library beside the conduit for the
//     Palm Desktop directory on the way;
//   - it reads the registry value that names the HotSync Manager's folder;
//   - it makes the Palm Desktop directory current while a library is loaded by
//     its bare name, and puts the old one back;
//   - it shows the message box that names a library that could not be loaded.
// Nothing else runs there: the setup form and the data module are created as
// objects only (a form's window exists only while it is shown), no thread is
// created, no settings file is read, and no other Palm Desktop entry is called.
// The unload runs the stops in reverse and then gives back what the C++
// runtime kept (app/RuntimeRelease.h); at process exit it runs nothing.
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
#include "rtl/Diagnostics.h"

namespace {

// One unit's start and stop: a binding's, or the unit's own functions.
struct UnitSteps {
    const char* unit;
    const palm::Binding* binding;  // started and released as bindings are; nullptr for the others
    void (*start)();               // may throw; nullptr when the unit has no start work
    void (*stop)() noexcept;       // nullptr when the unit has no stop work
};

// Start order; the stops run in reverse.
constexpr UnitSteps kUnits[] = {
    {"kivUserData", nullptr, &palm::StartUserData, &palm::StopUserData},
    {"memorycard", &palm::vfs::kBinding, nullptr, nullptr},
    {"kivBaseClasses", nullptr, nullptr, &kiv::FinalizeBaseClasses},
    {"kivHslog", &palm::hslog::kBinding, nullptr, nullptr},
    {"kivSyncMgr", &palm::syncmgr::kBinding, nullptr, nullptr},
    {"kivPalmInstall", &palm::install::kBinding, nullptr, nullptr},
    {"kivCondMgre", &palm::condmgr::kBinding, nullptr, nullptr},
    {"kivHSAPI", &palm::hsapi::kBinding, nullptr, nullptr},
    {"uConduit_Setup", nullptr, &app::StartSetupForm, &app::StopSetupForm},
    {"uConduit", nullptr, &app::StartConduitModule, &app::StopConduitModule},
};

void StartUnit(const UnitSteps& unit) {
    if (unit.binding) palm::StartBinding(*unit.binding);
    else if (unit.start) unit.start();
}

void StopUnit(const UnitSteps& unit) noexcept {
    if (unit.binding) unit.binding->release();
    else if (unit.stop) unit.stop();
}

// How many units have begun their start (the failing one included): exactly
// those are stopped, each once, however often the loader asks.
int g_unitsStarted = 0;

void StopUnits() noexcept {
    while (g_unitsStarted > 0) {
        StopUnit(kUnits[--g_unitsStarted]);
    }
}

bool StartUnits() noexcept {
    for (const UnitSteps& unit : kUnits) {
        ++g_unitsStarted;
        try {
            StartUnit(unit);
        } catch (...) {
            rtl::ReportCaught("DllMain", unit.unit);
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

// The Sync Manager library: only the yield that follows each progress text.
#include "desktop/Export.h"

using namespace desktop;

DESKTOP_EXPORT long DESKTOP_CC SyncYieldCycles(unsigned short cycles) noexcept {
    return Run("SyncYieldCycles", codes::kFailed, [&] { return Args(cycles); },
               [](const Desktop&) { return codes::kOk; });
}

// The HotSync Manager API library: a refresh of the conduit list leaves one
// numbered line in "refresh.log" in the desktop folder.
#include "desktop/Export.h"
#include "desktop/Files.h"

using namespace desktop;

DESKTOP_EXPORT long DESKTOP_CC HsRefreshConduitInfo() noexcept {
    return Run("HsRefreshConduitInfo", codes::kFailed, [] { return Args(); }, [](const Desktop& d) {
        const std::string path = d.InFolder(kRefreshLogFile);
        const auto number = ReadLines(path).size() + 1;
        return AppendLine(path, "refresh " + std::to_string(number)) ? codes::kOk : codes::kFailed;
    });
}

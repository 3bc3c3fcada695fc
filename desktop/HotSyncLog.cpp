// The HotSync log library: each entry becomes one line of the log file of
// the user whose HotSync is in progress ([HotSync] User of the description),
// or of the desktop's own log when there is none.
#include "desktop/Export.h"
#include "desktop/Files.h"

using namespace desktop;

namespace {

const char* ActivityName(long activity) {
    switch (activity) {
        case -1: return "text";
        case 19: return "start";
        case 20: return "success";
        case 21: return "failure";
        case 22: return "warning";
        default: return "activity";
    }
}

}  // namespace

// A line reads "[22 warning] text"; a set timestamp flag adds " timestamp"
// inside the brackets, so that the line stays the same from run to run.
DESKTOP_EXPORT long DESKTOP_CC LogAddEntry(const char* text, long activity, long timestamp) noexcept {
    return Run("LogAddEntry", codes::kFailed, [&] { return Args(Text{text}, activity, timestamp); },
               [&](const Desktop& d) {
                   if (!text) return codes::kSysParamErr;
                   const auto& syncUser = d.description.syncUser;
                   const User* user = syncUser ? d.description.FindUser(*syncUser) : nullptr;
                   const std::string line = "[" + std::to_string(activity) + " " + ActivityName(activity) +
                                            (timestamp ? " timestamp" : "") + "] " + OneLine(text);
                   if (!AppendLine(d.HotSyncLogPath(user), line)) return codes::kFailed;
                   return syncUser && !user ? codes::kUmNoUserDirectory : codes::kOk;
               });
}

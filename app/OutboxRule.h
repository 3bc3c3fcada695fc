// What folder may be an outbox: the one rule that the conduit (at every
// HotSync), the queue tool and the queue window apply. An outbox is never,
// never holds and never lies in a HotSync user's folder (any user's), the
// Palm Desktop folder, the Windows folder or a Program Files folder; it is
// no drive's root; and its Sent folder, when it has one, is a plain folder
// inside it, not a link. Folders are compared by what they are (see
// app/FileIdentity.h), so subst drives, links, short names, ".", "..",
// forward slashes and case all come out the same.
#pragma once
#include <string>
#include <vector>

namespace app::outbox {

// A folder that no outbox may be, hold or lie in, and what it is for the
// user: "the Palm Desktop folder C:\Palm".
struct GuardedFolder {
    std::string path;
    std::string what;
};

// The guarded folders of this computer: every HotSync user's folder and the
// Palm Desktop folder (asked of the User Data and Conduit Manager libraries,
// which must be loaded: the conduit's and the queue tools' are), the Windows
// folder and the Program Files folders.
std::vector<GuardedFolder> GuardedFolders();

// Why `folder` can be no outbox, as a sentence part without its final stop
// ("it lies in the folder of the HotSync user Bob, C:\Palm\Bob"), or "" when
// it can. A folder that does not exist yet is judged by where it would lie
// ("it would lie in ..."); its callers say that it is missing.
std::string OutboxRefusal(const std::string& folder, const std::vector<GuardedFolder>& guarded);
inline std::string OutboxRefusal(const std::string& folder) { return OutboxRefusal(folder, GuardedFolders()); }

}  // namespace app::outbox

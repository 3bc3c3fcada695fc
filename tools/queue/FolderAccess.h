// Who may write into a folder. Whatever lands in an outbox goes to the
// handheld at the next HotSync, and what is sent stays readable in it: an
// outbox should be a folder that only its user can write.
#pragma once
#include <string>

namespace queuetool {

// Makes the folder (its parent must exist) usable by the user who runs
// this program, SYSTEM and the Administrators only, inheriting nothing from
// its parent. False, with the last error set, when it could not be made so.
bool MakePrivateFolder(const std::wstring& path);

// Gives a folder that was just made, still empty, the permissions that
// MakePrivateFolder gives, in place of what it inherited from its parent
// (for a folder made by another hand, such as a folder dialog's "New
// folder"). The folder is opened as itself: a link is left alone. False,
// with the last error set, when it could not be done.
bool MakeFolderPrivate(const std::wstring& path);

// "" when nobody but this user, SYSTEM and the Administrators may save
// files into the folder (rtl/FolderAccess.h); else a sentence that says who may and what that means,
// or that its drive keeps no permissions at all.
std::wstring WhoElseMayWrite(const std::wstring& path);

}  // namespace queuetool

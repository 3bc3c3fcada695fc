// Deletes a folder with everything in it where others may write into it (a
// HotSync user's Tolvane folder, deleted by an administrator's uninstall): a
// link or junction inside is removed as a link, and what it points at is
// never entered. Each folder is held open, so that no one can rename it or
// put a link in its place, from the moment it is checked until its contents
// are gone.
#pragma once
#include <string>

namespace rtl {

// Deletes `folder` (itself removed as a link when it is one) permanently,
// read-only files too. What cannot be deleted (a file a program holds)
// stays; the caller looks whether the folder went.
void DeleteFolderTree(const std::wstring& folder);

}  // namespace rtl

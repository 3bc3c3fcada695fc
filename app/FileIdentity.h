// What a file or folder is, as opposed to how a path spells it: the volume
// serial number and file index of an open handle, and the final path where
// Windows gives one (Vista and later). Two paths name the same folder when
// their identities match, whatever drive letter (subst), link, short name,
// ".", "..", forward slash or case they use.
#pragma once
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "rtl/WinHandles.h"

namespace app::identity {

struct FileId {
    DWORD volume = 0, high = 0, low = 0;
    bool operator==(const FileId& other) const noexcept {
        return volume == other.volume && high == other.high && low == other.low;
    }
};

// Opens a file or folder with `access` and `share`. Followed: through every
// link on the way, to what the path reaches; not followed: a link at the
// end of the path is opened itself, never its target.
enum class Links { Followed, NotFollowed };
rtl::UniqueFile Open(const std::wstring& path, DWORD access, DWORD share, Links links);

std::optional<FileId> IdOf(HANDLE handle);
// Of what the path reaches (links followed); none when it cannot be opened.
std::optional<FileId> IdOf(const std::wstring& path);

// The attributes of the entry that the handle has open; 0 when unknown.
DWORD AttributesOf(HANDLE handle);

// The path Windows resolves the handle to, as "C:\..." or "\\server\share\...";
// empty where Windows cannot say (XP has no such call: it is looked up).
std::wstring FinalPath(HANDLE handle);

// The path without its last part ("C:\a\b" gives "C:\a"); empty for a
// drive's root ("C:\", "\\server\share") or a path without a separator.
std::wstring ParentOf(const std::wstring& path);
// A path made full, with "/" as "\" and without a final separator (but "C:\").
std::wstring FullPath(const std::wstring& path);

// The identities of every folder that holds the one at `path`, nearest
// first up to the drive's root: along the path as spelled, and along its
// final path where Windows gives one.
std::vector<FileId> HoldersOf(const std::wstring& path);

// Whether two paths are spelled the same, without regard to case.
bool SamePath(const std::wstring& a, const std::wstring& b);

}  // namespace app::identity

// Who may change a file or folder besides those who run the computer. A
// library that an administrator's program loads, and an outbox whose files
// go to the handheld, are only as safe as the permissions of their folders.
#pragma once
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace rtl {

// A SID's bytes; empty when Windows could not give it.
using SidBytes = std::vector<unsigned char>;
// The account this program runs as.
SidBytes CurrentUserSid();
// A group or account that every Windows has (WinLocalSystemSid, ...).
SidBytes WellKnownSid(WELL_KNOWN_SID_TYPE type);

// The accounts other than the one running this program, SYSTEM, the
// Administrators and the Windows installer service that may add or change
// files in `path` (write, append, create) or change its permissions:
// "Everyone", "Users", "Authenticated Users", else
// "DOMAIN\name" (or the SID where no name is known); each named once.
// "Everyone" alone for an object without an access list. None when Windows
// keeps no permissions for it (a file system without them) or they cannot
// be read.
std::optional<std::vector<std::wstring>> OthersWhoMayWrite(const std::wstring& path);

}  // namespace rtl

// What Windows says of a folder's permissions, read back with its own
// security calls, for the tests of the folders the tools make private.
#pragma once
#include <filesystem>
#include <set>
#include <string>

namespace tooltest {

// The trustees of a folder's access list as SID strings, and whether the
// list is protected from the parent's.
struct AccessList {
    std::set<std::wstring> trustees;
    bool isProtected = false;
};
AccessList AccessListOf(const std::filesystem::path& folder);

// Gives Everyone full access to `folder` (what a shared folder looks like);
// ERROR_SUCCESS or the error.
unsigned long LetEveryoneWrite(const std::filesystem::path& folder);

// The SID string of the user who runs the test.
std::wstring CurrentUserSid();

}  // namespace tooltest

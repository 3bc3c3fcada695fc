// What the installation check asks Windows about files, shortcuts and
// processes, each question read-only: nothing here opens a file for
// writing, loads a library as code, or holds a handle beyond the question.
#pragma once
#include <optional>
#include <string>

namespace queuetool::facts {

// The file version of the file's version resource ("0.3.1.0"); none when it
// has none. The resource is read as data (version.dll), never run.
std::optional<std::wstring> FileVersion(const std::wstring& path);

// Whether two paths name one file (its volume and file index), however
// they are spelt; false when either cannot be opened to ask.
bool SameFile(const std::wstring& a, const std::wstring& b);

// The program a shortcut (.lnk) starts, as stored in it; none when the
// shortcut is missing or cannot be read.
std::optional<std::wstring> ShortcutTarget(const std::wstring& link);

// A folder of the shell (CSIDL_COMMON_PROGRAMS, CSIDL_SENDTO, ...), "" when
// Windows has none.
std::wstring ShellFolder(int csidl);

// Whether a process runs whose program has this file name (any letter case).
bool ProgramRuns(const std::wstring& fileName);

// Whom besides this user, SYSTEM and the Administrators the folder's
// permissions let put files into it ("Everyone, Users"), "" for nobody;
// none when its permissions cannot be read (a file system without them).
std::optional<std::wstring> OthersWhoMayWrite(const std::wstring& folder);

}  // namespace queuetool::facts

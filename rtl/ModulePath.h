// Where this code lives: the file of the module it was linked into (the
// conduit DLL, or the program's executable when the code runs inside one).
#pragma once
#include <windows.h>

#include <string>

namespace rtl {

// The module that holds this code.
HMODULE ThisModule() noexcept;

// Full file name of that module, as the system reports it, cut to at most
// maxChars characters.
std::string ThisModuleFileName(size_t maxChars = MAX_PATH);

// The text with a trailing backslash; an empty text stays empty.
std::string AddBackslash(std::string path);

// The directory part of a path: up to and including its last backslash or
// colon; empty when it has neither.
std::string ExtractFileDir(const std::string& path);

// The folder of this module's file, with a trailing backslash.
std::string GetModuleDir();

// Whether a file (not a folder) exists at the path.
bool FileExists(const std::string& path) noexcept;

}  // namespace rtl

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

// The folder of this module's file, with a trailing backslash.
std::string GetModuleDir();

}  // namespace rtl

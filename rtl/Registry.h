// Read-only registry access, as much as the conduit needs.
#pragma once
#include <windows.h>

#include <optional>
#include <string>

namespace rtl {

// The text value `name` of the key `path` under `root`, opened for reading.
// nullopt when the key does not open; "" when the value is absent. An
// expandable string is returned without expanding it. A value that is not
// text throws Exception "Invalid data type for '<name>'".
std::optional<std::string> ReadRegistryText(HKEY root, const char* path, const char* name);

}  // namespace rtl

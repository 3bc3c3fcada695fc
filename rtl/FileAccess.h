// Whether a desktop file can be read now, asked the way a reader would ask:
// by opening it. The attributes cannot tell a file that another program
// holds open without sharing, or that the user may not read.
#pragma once
#include <string>

namespace rtl {

// Opens the file for reading, sharing reading, writing and deletion so
// that no other program's open is disturbed, and closes it at once. False
// for a missing file, a folder, a file held without sharing and a file
// that the user may not read.
bool OpenableForReading(const std::string& path) noexcept;

}  // namespace rtl

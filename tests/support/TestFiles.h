// Small file helpers shared by the test programs.
#pragma once
#include <string>

namespace testsupport {

// The whole file as bytes; "" when it cannot be read.
std::string ReadText(const std::string& path);
// Replaces the file with exactly these bytes.
void WriteText(const std::string& path, const std::string& text);
// Whether a file or folder exists at the path.
bool PathExists(const std::string& path);

}  // namespace testsupport

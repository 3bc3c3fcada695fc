// File-system helpers on top of the ANSI Windows API, which is what the
// stand-ins' callers pass their paths in.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace desktop {

bool FileExists(const std::string& path);       // a file, not a folder
bool DirectoryExists(const std::string& path);
std::optional<std::string> ReadWholeFile(const std::string& path);
bool WriteWholeFile(const std::string& path, const std::string& data);  // replaces atomically
// Appends one line (CRLF added); several processes may append to one file.
bool AppendLine(const std::string& path, const std::string& line);
std::vector<std::string> ReadLines(const std::string& path);  // missing file: none
bool CreateDirectories(const std::string& path);
bool RemoveTree(const std::string& path);
std::uint64_t TreeSize(const std::string& folder);  // bytes of all files below
bool CopyOneFile(const std::string& from, const std::string& to);
std::string ModulePath(void* module);  // nullptr: the process's executable
std::string FullPath(const std::string& path);

}  // namespace desktop

// Desktop paths: the separator rules (inline, so that the native fuzz
// builds use them without the rest) and what only the file system can say.
#pragma once
#include <string>
#include <string_view>

namespace rtl {

// Both separators Windows accepts in a path.
inline bool IsPathSeparator(char c) noexcept { return c == '\\' || c == '/'; }

// The path with a final separator: "\" is appended unless the path is
// empty or ends in "\" or "/" already.
inline std::string IncludeTrailingBackslash(std::string path) {
    if (!path.empty() && !IsPathSeparator(path.back())) path += '\\';
    return path;
}

// The folder part of a file's path, with its final separator: up to and
// including the last "\", "/" or ":"; empty when there is none.
inline std::string ExtractFilePath(std::string_view path) {
    const size_t last = path.find_last_of("\\/:");
    return last == std::string_view::npos ? std::string() : std::string(path.substr(0, last + 1));
}

// Whether a file (not a folder) exists at the path.
bool FileExists(const std::string& path) noexcept;

// The path made absolute against the current folder, as the system does it;
// the path as it is when the system cannot.
std::string FullPathName(const std::string& path);

}  // namespace rtl

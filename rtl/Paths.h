// Desktop paths: the separator rules (inline, so that the native fuzz
// builds use them without the rest) and what only the file system can say.
#pragma once
#include <string>
#include <string_view>

namespace rtl {

// Both separators Windows accepts in a path.
inline bool IsPathSeparator(char c) noexcept { return c == '\\' || c == '/'; }

// Whether the byte begins a two-byte character of the ANSI code page. The
// second byte of such a character may be the byte of "\" (code page 932's
// "\x95\x5C"), and is still no separator. Windows's builds ask the system;
// the native fuzz builds give code page 932's lead bytes (fuzz/Checks.cpp).
bool IsAnsiLeadByte(char c) noexcept;

// Where the last part of an ANSI path begins: just after its last byte of
// `separators` that is a character of its own; 0 when there is none.
inline size_t NameStart(std::string_view path, std::string_view separators = "\\/:") noexcept {
    size_t start = 0;
    for (size_t i = 0; i < path.size(); ++i) {
        if (IsAnsiLeadByte(path[i]) && i + 1 < path.size()) ++i;  // with its second byte
        else if (separators.find(path[i]) != std::string_view::npos) start = i + 1;
    }
    return start;
}

// Whether the path's last character is "\" or "/".
inline bool EndsWithSeparator(std::string_view path) noexcept {
    return !path.empty() && NameStart(path, "\\/") == path.size();
}

// The path with a final separator: "\" is appended unless the path is
// empty or ends in "\" or "/" already.
inline std::string IncludeTrailingBackslash(std::string path) {
    if (!path.empty() && !EndsWithSeparator(path)) path += '\\';
    return path;
}

// The folder part of a file's path, with its final separator: up to and
// including the last "\", "/" or ":"; empty when there is none.
inline std::string ExtractFilePath(std::string_view path) { return std::string(path.substr(0, NameStart(path))); }

// Whether a file (not a folder) exists at the path.
bool FileExists(const std::string& path) noexcept;

// The path made absolute against the current folder, as the system does it;
// the path as it is when the system cannot.
std::string FullPathName(const std::string& path);

}  // namespace rtl

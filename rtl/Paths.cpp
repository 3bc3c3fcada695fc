#include "rtl/Paths.h"

#include <windows.h>

#include <vector>

namespace rtl {

bool IsAnsiLeadByte(char c) noexcept { return IsDBCSLeadByteEx(CP_ACP, static_cast<BYTE>(c)) != FALSE; }

bool FileExists(const std::string& path) noexcept {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::string FullPathName(const std::string& path) {
    std::vector<char> buffer(MAX_PATH * 2, '\0');
    const DWORD length = GetFullPathNameA(path.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
    return (length == 0 || length >= buffer.size()) ? path : std::string(buffer.data(), length);
}

}  // namespace rtl

#include "rtl/ModulePath.h"

#include <vector>

// The linker's symbol for the start of the image this code is part of.
extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace rtl {

HMODULE ThisModule() noexcept { return reinterpret_cast<HMODULE>(&__ImageBase); }

std::string ThisModuleFileName(size_t maxChars) {
    std::vector<char> buffer(maxChars + 1, '\0');
    const DWORD length = GetModuleFileNameA(ThisModule(), buffer.data(), static_cast<DWORD>(buffer.size()));
    // XP leaves the text unterminated when it fills the buffer; the length is
    // what counts.
    return std::string(buffer.data(), length < buffer.size() ? length : maxChars);
}

std::string AddBackslash(std::string path) {
    if (!path.empty() && path.back() != '\\') path += '\\';
    return path;
}

std::string ExtractFileDir(const std::string& path) {
    const size_t last = path.find_last_of("\\:");
    return last == std::string::npos ? std::string() : path.substr(0, last + 1);
}

std::string GetModuleDir() { return AddBackslash(ExtractFileDir(ThisModuleFileName(MAX_PATH))); }

bool FileExists(const std::string& path) noexcept {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

}  // namespace rtl

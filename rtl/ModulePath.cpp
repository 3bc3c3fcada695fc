#include "rtl/ModulePath.h"

#include <vector>

#include "rtl/Paths.h"

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

std::string GetModuleDir() { return IncludeTrailingBackslash(ExtractFilePath(ThisModuleFileName(MAX_PATH))); }

}  // namespace rtl

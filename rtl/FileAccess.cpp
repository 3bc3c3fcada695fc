#include "rtl/FileAccess.h"

#include <windows.h>

#include "rtl/WinHandles.h"

namespace rtl {

bool OpenableForReading(const std::string& path) noexcept {
    // Without FILE_FLAG_BACKUP_SEMANTICS a folder does not open: it is no
    // file that could be copied.
    const UniqueFile file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return static_cast<bool>(file);
}

}  // namespace rtl

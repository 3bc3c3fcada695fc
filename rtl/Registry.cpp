#include "rtl/Registry.h"

#include <vector>

#include "rtl/SysUtils.h"
#include "rtl/Text.h"
#include "rtl/WinHandles.h"

namespace rtl {

std::optional<std::string> ReadRegistryText(HKEY root, const char* path, const char* name) {
    UniqueHKey key;
    if (RegOpenKeyExA(root, path, 0, KEY_READ, key.put()) != ERROR_SUCCESS) return std::nullopt;
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExA(key.get(), name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return std::string();
    if (type != REG_SZ && type != REG_EXPAND_SZ) throw Exception(Format("Invalid data type for '%s'", name));
    std::vector<char> data(size + 1, '\0');
    if (RegQueryValueExA(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size) !=
        ERROR_SUCCESS)
        return std::string();
    // The stored text need not be terminated; never read past what was returned.
    return BufferText(data.data(), size);
}

}  // namespace rtl

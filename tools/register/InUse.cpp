#include "tools/register/InUse.h"

#include <windows.h>

#include "rtl/AnsiText.h"
#include "rtl/Paths.h"
#include "rtl/SysUtils.h"
#include "rtl/WinHandles.h"

namespace registertool {

namespace {

bool NameIs(const std::string& name, const char* other) {
    return CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, name.c_str(), -1, other, -1) == CSTR_EQUAL;
}

bool HasExtension(const std::string& name, const char* extension) {
    const size_t dot = name.find_last_of('.');
    return dot != std::string::npos && NameIs(name.substr(dot), extension);
}

// Only the HotSync Manager loads the conduit, so that is whom to close; one
// of our programs holds its own file while it runs.
std::string InUseAdvice(const std::string& path) {
    const std::string name = path.substr(rtl::NameStart(path));
    if (NameIs(name, "Tolvane.dll"))
        return path + " is in use by the HotSync Manager (or another program that loaded the conduit): "
                      "close the HotSync Manager and try again.";
    if (HasExtension(name, ".exe")) return path + " is running: close it and try again.";
    return path + " is in use by another program: close that program and try again.";
}

}  // namespace

std::optional<std::string> WhyNotReplaceable(const std::wstring& widePath) {
    // The reasons are for showing; the file is opened by its Unicode name.
    const std::string path = rtl::LossyFromWide(widePath, CP_ACP);
    const rtl::UniqueFile file(CreateFileW(widePath.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                           FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file) return std::nullopt;
    const DWORD error = GetLastError();
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return std::nullopt;
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            return InUseAdvice(path);
        default:
            return rtl::Format("%s cannot be replaced: %s.", path.c_str(), rtl::SystemMessage(error).c_str());
    }
}

}  // namespace registertool

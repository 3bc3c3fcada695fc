#include "tools/start/DllSearch.h"

#include <windows.h>

#include <string>

#include "palm/kivUserData.h"
#include "rtl/AnsiText.h"

namespace toolstart {

namespace {

// Windows 8, and Windows 7 and Vista with update KB2533623; looked up, not
// imported, so that the programs still start on Windows XP.
using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD flags);
using AddDllDirectoryFn = void*(WINAPI*)(const wchar_t* folder);
constexpr DWORD kSearchDefaultDirs = 0x00001000;  // LOAD_LIBRARY_SEARCH_DEFAULT_DIRS
constexpr DWORD kSearchUserDirs = 0x00000400;     // LOAD_LIBRARY_SEARCH_USER_DIRS
constexpr DWORD kSearchSystem32 = 0x00000800;     // LOAD_LIBRARY_SEARCH_SYSTEM32

template <class Fn>
Fn KernelEntry(const char* name) noexcept {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), name)));
}

// With these, no later SetCurrentDirectory brings the current folder back
// into the search.
void RestrictDefaultSearch(const std::wstring& palmDesktop, DWORD search) noexcept {
    const auto setDefault = KernelEntry<SetDefaultDllDirectoriesFn>("SetDefaultDllDirectories");
    const auto addDirectory = KernelEntry<AddDllDirectoryFn>("AddDllDirectory");
    if (!setDefault || !addDirectory) return;
    if (!palmDesktop.empty()) addDirectory(palmDesktop.c_str());
    setDefault(search);
}

}  // namespace

void LimitDllSearch() noexcept {
    try {
        const std::wstring palmDesktop = rtl::WideFromAnsi(palm::GetRegisteredDesktopDir());
        // The DLL directory takes the current folder's place in the search
        // order; an empty one just takes it out.
        SetDllDirectoryW(palmDesktop.c_str());
        RestrictDefaultSearch(palmDesktop, kSearchDefaultDirs);
    } catch (...) {
        SetDllDirectoryW(L"");
    }
}

void LimitDllSearchTo(const std::wstring& palmDesktop) noexcept {
    SetDllDirectoryW(palmDesktop.c_str());
    RestrictDefaultSearch(palmDesktop, kSearchSystem32 | kSearchUserDirs);
}

}  // namespace toolstart

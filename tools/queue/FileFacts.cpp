#include "tools/queue/FileFacts.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <tlhelp32.h>

#include <vector>

#include "rtl/FolderAccess.h"
#include "rtl/WinHandles.h"

namespace queuetool::facts {

namespace {

// Opened to ask what it is, not to read it: no other program is kept out.
rtl::UniqueFile OpenToAsk(const std::wstring& path) {
    return rtl::UniqueFile(CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

}  // namespace

std::optional<std::wstring> FileVersion(const std::wstring& path) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    if (size == 0) return std::nullopt;
    std::vector<char> data(size);
    if (!GetFileVersionInfoW(path.c_str(), 0, size, data.data())) return std::nullopt;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    wchar_t root[] = L"\\";
    if (!VerQueryValueW(data.data(), root, reinterpret_cast<void**>(&fixed), &length) || !fixed ||
        length < sizeof *fixed)
        return std::nullopt;
    return std::to_wstring(HIWORD(fixed->dwFileVersionMS)) + L"." + std::to_wstring(LOWORD(fixed->dwFileVersionMS)) +
           L"." + std::to_wstring(HIWORD(fixed->dwFileVersionLS)) + L"." +
           std::to_wstring(LOWORD(fixed->dwFileVersionLS));
}

bool SameFile(const std::wstring& a, const std::wstring& b) {
    const rtl::UniqueFile first = OpenToAsk(a), second = OpenToAsk(b);
    BY_HANDLE_FILE_INFORMATION one{}, two{};
    return first && second && GetFileInformationByHandle(first.get(), &one) &&
           GetFileInformationByHandle(second.get(), &two) &&
           one.dwVolumeSerialNumber == two.dwVolumeSerialNumber && one.nFileIndexHigh == two.nFileIndexHigh &&
           one.nFileIndexLow == two.nFileIndexLow;
}

std::optional<std::wstring> ShortcutTarget(const std::wstring& link) {
    if (GetFileAttributesW(link.c_str()) == INVALID_FILE_ATTRIBUTES) return std::nullopt;
    // A thread in another apartment already can still make the object.
    const HRESULT apartment = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    std::optional<std::wstring> target;
    {
        rtl::ComPtr<IShellLinkW> shellLink;
        rtl::ComPtr<IPersistFile> file;
        wchar_t path[MAX_PATH] = {};
        if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                       reinterpret_cast<void**>(shellLink.put()))) &&
            SUCCEEDED(shellLink.get()->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.put()))) &&
            SUCCEEDED(file.get()->Load(link.c_str(), STGM_READ)) &&
            SUCCEEDED(shellLink.get()->GetPath(path, MAX_PATH, nullptr, SLGP_RAWPATH)))
            target = path;
    }
    if (SUCCEEDED(apartment)) CoUninitialize();
    return target;
}

std::wstring ShellFolder(int csidl) {
    wchar_t path[MAX_PATH] = {};
    return SUCCEEDED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path)) ? path : L"";
}

bool ProgramRuns(const std::wstring& fileName) {
    const rtl::UniqueFile snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    if (!snapshot || !Process32FirstW(snapshot.get(), &entry)) return false;
    do {
        if (CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, entry.szExeFile, -1, fileName.c_str(), -1) ==
            CSTR_EQUAL)
            return true;
    } while (Process32NextW(snapshot.get(), &entry));
    return false;
}

std::optional<std::wstring> OthersWhoMayWrite(const std::wstring& folder) {
    const auto others = rtl::OthersWhoMayWrite(folder);
    if (!others) return std::nullopt;
    std::wstring names;
    for (const std::wstring& name : *others) names += (names.empty() ? L"" : L", ") + name;
    return names;
}

}  // namespace queuetool::facts

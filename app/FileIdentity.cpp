#include "app/FileIdentity.h"

#include <vector>

namespace app::identity {

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

using FinalPathFn = DWORD(WINAPI*)(HANDLE, LPWSTR, DWORD, DWORD);

// Vista and later; XP has none, and its callers go by identities alone.
FinalPathFn FinalPathCall() {
    static const FinalPathFn call = reinterpret_cast<FinalPathFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetFinalPathNameByHandleW")));
    return call;
}

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// The length of the part of a full path that names its drive's root:
// "C:\" or "\\server\share"; 0 when it has none.
size_t RootLength(const std::wstring& path) {
    if (path.size() >= 3 && path[1] == L':' && IsSeparator(path[2])) return 3;
    if (path.size() >= 2 && path[1] == L':') return 2;
    if (path.size() > 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
        const size_t server = path.find_first_of(L"\\/", 2);
        if (server == std::wstring::npos) return path.size();
        const size_t share = path.find_first_of(L"\\/", server + 1);
        return share == std::wstring::npos ? path.size() : share;
    }
    return 0;
}

void AddHolders(std::wstring path, std::vector<FileId>& ids) {
    for (path = ParentOf(path); !path.empty(); path = ParentOf(path))
        if (const auto id = IdOf(path)) ids.push_back(*id);
}

}  // namespace

rtl::UniqueFile Open(const std::wstring& path, DWORD access, DWORD share, Links links) {
    // Backup semantics open folders as well as files.
    const DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (links == Links::NotFollowed ? FILE_FLAG_OPEN_REPARSE_POINT : 0);
    return rtl::UniqueFile(CreateFileW(path.c_str(), access, share, nullptr, OPEN_EXISTING, flags, nullptr));
}

std::optional<FileId> IdOf(HANDLE handle) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(handle, &info)) return std::nullopt;
    return FileId{info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
}

std::optional<FileId> IdOf(const std::wstring& path) {
    const rtl::UniqueFile handle = Open(path, FILE_READ_ATTRIBUTES, kShareAll, Links::Followed);
    return handle ? IdOf(handle.get()) : std::nullopt;
}

DWORD AttributesOf(HANDLE handle) {
    BY_HANDLE_FILE_INFORMATION info{};
    return GetFileInformationByHandle(handle, &info) ? info.dwFileAttributes : 0;
}

std::wstring FinalPath(HANDLE handle) {
    const FinalPathFn call = FinalPathCall();
    if (!call) return L"";
    std::vector<wchar_t> buffer(MAX_PATH + 1);
    DWORD length = call(handle, buffer.data(), static_cast<DWORD>(buffer.size()), 0);
    if (length >= buffer.size()) {
        buffer.resize(length + 1);
        length = call(handle, buffer.data(), static_cast<DWORD>(buffer.size()), 0);
    }
    if (length == 0 || length >= buffer.size()) return L"";
    std::wstring path(buffer.data(), length);
    // "\\?\C:\..." and "\\?\UNC\server\share\..."
    if (path.rfind(L"\\\\?\\UNC\\", 0) == 0) return L"\\\\" + path.substr(8);
    if (path.rfind(L"\\\\?\\", 0) == 0) return path.substr(4);
    return path;
}

std::wstring FullPath(const std::wstring& path) {
    std::vector<wchar_t> buffer(MAX_PATH * 2);
    DWORD length = GetFullPathNameW(path.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
    if (length >= buffer.size()) {
        buffer.resize(length + 1);
        length = GetFullPathNameW(path.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
    }
    std::wstring full = length == 0 || length >= buffer.size() ? path : std::wstring(buffer.data(), length);
    for (wchar_t& c : full)
        if (c == L'/') c = L'\\';
    while (full.size() > RootLength(full) && full.size() > 1 && full.back() == L'\\') full.pop_back();
    return full;
}

std::wstring ParentOf(const std::wstring& path) {
    const size_t root = RootLength(path);
    if (root == 0 || path.size() <= root) return L"";
    const size_t slash = path.find_last_of(L"\\/");
    if (slash == std::wstring::npos || slash + 1 < root) return L"";
    // The parent of "C:\a" is the root "C:\", which keeps its separator.
    return path.substr(0, slash < root ? root : slash);
}

std::vector<FileId> HoldersOf(const std::wstring& path) {
    std::vector<FileId> ids;
    const std::wstring full = FullPath(path);
    AddHolders(full, ids);
    const rtl::UniqueFile handle = Open(full, FILE_READ_ATTRIBUTES, kShareAll, Links::Followed);
    if (handle) {
        const std::wstring final = FinalPath(handle.get());
        if (!final.empty()) AddHolders(final, ids);
    }
    return ids;
}

bool SamePath(const std::wstring& a, const std::wstring& b) {
    return a.size() == b.size() && CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, a.data(), static_cast<int>(a.size()),
                                                  b.data(), static_cast<int>(b.size())) == CSTR_EQUAL;
}

}  // namespace app::identity

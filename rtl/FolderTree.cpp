#include "rtl/FolderTree.h"

#include <windows.h>

#include <vector>

#include "rtl/WinHandles.h"

namespace rtl {

namespace {

bool IsLink(DWORD attributes) { return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }
bool IsFolder(DWORD attributes) { return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }

// The folder at `path`, open for as long as its contents go; empty when the
// name no longer leads to a folder of its own (a link put there since the
// listing, or nothing). Without FILE_SHARE_DELETE nobody can rename it or a
// folder above it that is held too, so the name's own attributes, read once
// it is held, speak for the held folder (Wine opens a link's target even
// when asked for the link, and only the name shows it as a link).
UniqueFile HoldRealFolder(const std::wstring& path) {
    UniqueFile folder(CreateFileW(path.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!folder || !GetFileInformationByHandle(folder.get(), &info)) return {};
    if (!IsFolder(info.dwFileAttributes) || IsLink(info.dwFileAttributes)) return {};
    const DWORD named = GetFileAttributesW(path.c_str());
    if (named == INVALID_FILE_ATTRIBUTES || !IsFolder(named) || IsLink(named)) return {};
    return folder;
}

struct Entry {
    std::wstring name;
    DWORD attributes;
};

// Listed before anything goes: a folder's listing is not to be changed under it.
std::vector<Entry> Entries(const std::wstring& folder) {
    std::vector<Entry> entries;
    WIN32_FIND_DATAW found{};
    const UniqueFindHandle find(FindFirstFileW((folder + L"\\*").c_str(), &found));
    if (!find) return entries;
    do {
        const std::wstring name = found.cFileName;
        if (name != L"." && name != L"..") entries.push_back({name, found.dwFileAttributes});
    } while (FindNextFileW(find.get(), &found));
    return entries;
}

void DeleteEntry(const std::wstring& path, DWORD attributes);

void DeleteContents(const std::wstring& folder) {
    for (const Entry& entry : Entries(folder)) DeleteEntry(folder + L"\\" + entry.name, entry.attributes);
}

void DeleteEntry(const std::wstring& path, DWORD attributes) {
    // A link's own attributes; clearing them never reaches its target.
    if (!IsLink(attributes) && (attributes & FILE_ATTRIBUTE_READONLY))
        SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    if (!IsFolder(attributes)) {
        DeleteFileW(path.c_str());
        return;
    }
    if (!IsLink(attributes)) {
        const UniqueFile held = HoldRealFolder(path);
        if (held) DeleteContents(path);
    }
    // A link to a folder goes as the link; so does a folder that became one.
    RemoveDirectoryW(path.c_str());
}

}  // namespace

void DeleteFolderTree(const std::wstring& folder) {
    std::wstring path = folder;
    while (path.size() > 3 && (path.back() == L'\\' || path.back() == L'/')) path.pop_back();
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return;
    DeleteEntry(path, attributes);
}

}  // namespace rtl

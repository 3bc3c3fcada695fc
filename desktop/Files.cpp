#include "desktop/Files.h"

#include <windows.h>

#include "desktop/Handles.h"
#include "desktop/Strings.h"

namespace desktop {

bool FileExists(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::optional<std::string> ReadWholeFile(const std::string& path) {
    UniqueFile file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return std::nullopt;
    std::string data;
    char chunk[8192];
    DWORD got = 0;
    while (ReadFile(file.get(), chunk, sizeof chunk, &got, nullptr) && got > 0) data.append(chunk, got);
    return data;
}

bool WriteWholeFile(const std::string& path, const std::string& data) {
    const std::string temporary = path + ".new";
    {
        UniqueFile file(CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) return false;
        DWORD written = 0;
        if (!WriteFile(file.get(), data.data(), DWORD(data.size()), &written, nullptr) || written != data.size()) {
            file.reset();
            DeleteFileA(temporary.c_str());
            return false;
        }
    }
    return MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
}

bool AppendLine(const std::string& path, const std::string& line) {
    // FILE_APPEND_DATA alone makes every write land at the current end, so
    // lines of the host and of the conduit's libraries never overwrite.
    UniqueFile file(CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    const std::string data = line + "\r\n";
    DWORD written = 0;
    return WriteFile(file.get(), data.data(), DWORD(data.size()), &written, nullptr) && written == data.size();
}

std::vector<std::string> ReadLines(const std::string& path) {
    std::vector<std::string> lines;
    const auto data = ReadWholeFile(path);
    if (!data) return lines;
    std::size_t start = 0;
    while (start < data->size()) {
        auto end = data->find('\n', start);
        if (end == std::string::npos) end = data->size();
        std::string line = data->substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

bool CreateDirectories(const std::string& path) {
    if (path.empty() || DirectoryExists(path)) return !path.empty();
    const std::string parent = ParentOf(path);
    if (!parent.empty() && parent != path && !(parent.size() == 2 && parent[1] == ':') && !DirectoryExists(parent))
        if (!CreateDirectories(parent)) return false;
    return CreateDirectoryA(path.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

bool RemoveTree(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return true;
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        return DeleteFileA(path.c_str()) != FALSE;
    }
    WIN32_FIND_DATAA found;
    UniqueFind find(FindFirstFileA(JoinPath(path, "*").c_str(), &found));
    bool ok = true;
    if (find) {
        do {
            const std::string name = found.cFileName;
            if (name != "." && name != "..") ok = RemoveTree(JoinPath(path, name)) && ok;
        } while (FindNextFileA(find.get(), &found));
    }
    find.reset();
    return RemoveDirectoryA(path.c_str()) && ok;
}

std::uint64_t TreeSize(const std::string& folder) {
    std::uint64_t total = 0;
    WIN32_FIND_DATAA found;
    UniqueFind find(FindFirstFileA(JoinPath(folder, "*").c_str(), &found));
    if (!find) return 0;
    do {
        const std::string name = found.cFileName;
        if (name == "." || name == "..") continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) total += TreeSize(JoinPath(folder, name));
        else total += (std::uint64_t(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
    } while (FindNextFileA(find.get(), &found));
    return total;
}

bool CopyOneFile(const std::string& from, const std::string& to) {
    return CopyFileA(from.c_str(), to.c_str(), FALSE) != FALSE;
}

std::string ModulePath(void* module) {
    char path[MAX_PATH + 1] = {};
    const DWORD length = GetModuleFileNameA(static_cast<HMODULE>(module), path, MAX_PATH);
    return std::string(path, length < MAX_PATH ? length : MAX_PATH);
}

std::string FullPath(const std::string& path) {
    char full[MAX_PATH + 1] = {};
    const DWORD length = GetFullPathNameA(path.c_str(), MAX_PATH, full, nullptr);
    return length == 0 || length > MAX_PATH ? path : std::string(full, length);
}

}  // namespace desktop

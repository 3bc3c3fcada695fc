#include "tests/support/TestFiles.h"

#include <windows.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace testsupport {

namespace {

// Deletes `folder` (with a trailing backslash) and everything below it; a
// test may have left files read-only.
void RemoveTree(const std::string& folder) {
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA((folder + "*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = found.cFileName;
            if (name == "." || name == "..") continue;
            const std::string full = folder + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(full + "\\");
            } else {
                SetFileAttributesA(full.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(full.c_str());
            }
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(folder.c_str());
}

}  // namespace

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

bool PathExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

TempFolder::TempFolder(const std::string& prefix) {
    // Unique within the process by the counter, across processes by the id.
    static std::atomic<unsigned> counter{0};
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    path_ = std::string(temp) + prefix + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(GetTickCount()) +
            "_" + std::to_string(counter++) + "\\";
    CreateDirectoryA(path_.c_str(), nullptr);
}

TempFolder::~TempFolder() {
    RemoveTree(path_);
    // What the narrow names cannot reach (names outside the code page).
    std::error_code ignored;
    std::filesystem::remove_all(std::filesystem::path(path_), ignored);
}

std::string TempFolder::Folder(const std::string& name) const {
    const std::string folder = path_ + name + "\\";
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

}  // namespace testsupport

// A fresh folder below the temporary folder for one test, deleted with its
// files afterwards, and whole-file reads and writes for setting up cases.
#pragma once
#include <windows.h>

#include <atomic>
#include <fstream>
#include <sstream>
#include <string>

namespace testing_files {

inline std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline void WriteWholeFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

class TempFolder {
public:
    explicit TempFolder(const std::string& prefix = "tv") {
        static std::atomic<unsigned> counter{0};
        char temp[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, temp);
        path_ = std::string(temp) + prefix + std::to_string(GetCurrentProcessId()) + "_" +
                std::to_string(GetTickCount()) + "_" + std::to_string(counter++) + "\\";
        CreateDirectoryA(path_.c_str(), nullptr);
    }
    ~TempFolder() { RemoveTree(path_); }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // With a trailing backslash.
    const std::string& Path() const noexcept { return path_; }
    std::string File(const std::string& name) const { return path_ + name; }
    std::string Folder(const std::string& name) const {
        const std::string folder = path_ + name + "\\";
        CreateDirectoryA(folder.c_str(), nullptr);
        return folder;
    }

private:
    static void RemoveTree(const std::string& folder) {
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
    std::string path_;
};

}  // namespace testing_files

#include "tools/register/FoldersAside.h"

#include <windows.h>

#include "conduit/kivPalmComp.h"
#include "rtl/SysUtils.h"
#include "tools/register/InUse.h"

namespace registertool {

namespace {

constexpr const char* kAsideSuffix = ".uninstalling";

bool IsFolder(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool Gone(const std::string& path) { return GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES; }

}  // namespace

FoldersAside::FoldersAside(const std::vector<std::string>& folders) {
    for (const std::string& folder : folders) {
        if (!IsFolder(folder)) continue;
        const std::string aside = folder + kAsideSuffix;
        if (!MoveFileExA(folder.c_str(), aside.c_str(), 0)) {
            const DWORD error = GetLastError();
            PutBack();
            if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS)
                throw rtl::Exception(aside + " is in the way (left by an earlier uninstall?): move it away and try again.");
            throw rtl::Exception(folder + " cannot be removed: " + rtl::SystemMessage(error) +
                                 ". Close every program that uses a file in it (a queue window, an editor) and try again.");
        }
        moved_.push_back({folder, aside});
    }
}

FoldersAside::~FoldersAside() { PutBack(); }

void FoldersAside::PutBack() noexcept {
    for (auto move = moved_.rbegin(); move != moved_.rend(); ++move) MoveFileExA(move->to.c_str(), move->from.c_str(), 0);
    moved_.clear();
}

std::vector<std::string> FoldersAside::Delete() {
    std::vector<std::string> left;
    for (const Move& move : moved_) {
        // As the conduit's unregistration deletes a user's folder.
        kiv::DeleteFolderTree(move.to);
        if (Gone(move.to)) continue;
        // What stayed (a file a program holds, a link that cannot be removed)
        // goes back under the user's own folder name, never left aside.
        const bool back = MoveFileExA(move.to.c_str(), move.from.c_str(), 0);
        left.push_back("Could not delete everything in " + (back ? move.from : move.to) + "; delete the rest yourself.");
    }
    moved_.clear();
    return left;
}

}  // namespace registertool

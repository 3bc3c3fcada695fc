#include "app/CardFolders.h"

namespace app::rules {

const char* FolderSourceName(FolderSource source) noexcept {
    switch (source) {
        case FolderSource::Own: return "own";
        case FolderSource::ByType: return "by type";
        case FolderSource::Default: break;
    }
    return "default";
}

std::string FileType(std::string_view cardName) {
    const size_t dot = cardName.rfind('.');
    if (dot == std::string_view::npos) return "";
    return std::string(cardName.substr(dot + 1));
}

FolderChoice ChooseFolder(const std::optional<std::string>& own, const std::optional<std::string>& byType,
                          std::string_view setupDirectory) {
    if (own && !own->empty()) return {*own, FolderSource::Own};
    if (byType && !byType->empty()) return {*byType, FolderSource::ByType};
    return {std::string(setupDirectory), FolderSource::Default};
}

std::vector<std::string> DirectoryLevels(std::string_view directory) {
    std::vector<std::string> levels;
    for (size_t slash = directory.find('/', 1); slash != std::string_view::npos;
         slash = directory.find('/', slash + 1))
        levels.emplace_back(directory.substr(0, slash));
    if (directory.size() > 1) levels.emplace_back(directory);
    return levels;
}

}  // namespace app::rules

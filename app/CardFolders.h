// Which card folder a queued file goes to. A file's own entry in
// [InstallToDirectory] comes first, then its type's entry in [Folders]
// (the extension without its dot, in any letter case), then the setup
// dialog's directory. Kept apart from Windows like the other path rules,
// so that the conduit and the queue tools judge a file the same way.
#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace app::rules {

// Where a file's folder came from: its own entry, its type's, or the default.
enum class FolderSource { Own, ByType, Default };

// "own", "by type" or "default", as the queue tools show it.
const char* FolderSourceName(FolderSource source) noexcept;

// The type of a card file name: what follows its last ".", or "" when it
// has no dot or ends in one.
std::string FileType(std::string_view cardName);

// The stored directory text of a file and where it came from. An empty
// entry counts as none, so that clearing a value clears the rule.
struct FolderChoice {
    std::string stored;
    FolderSource source;
};
FolderChoice ChooseFolder(const std::optional<std::string>& own, const std::optional<std::string>& byType,
                          std::string_view setupDirectory);

// Every level of a usable card directory, parent first: "/a", "/a/b" for
// "/a/b". A card makes one folder level per call.
std::vector<std::string> DirectoryLevels(std::string_view directory);

}  // namespace app::rules

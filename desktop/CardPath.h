// Card paths as the VFS library takes them ("/Palm/Launcher/book.pdb") and
// the folder on disk that plays the card. A card path never reaches outside
// that folder: it must start with "/", and no component may be "." or "..",
// hold a backslash, a colon or a character that Windows refuses in a name,
// end in a dot or blank (Windows would drop it) or be a device name such as
// NUL or COM1 (Windows would open the device).
#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace desktop {

inline constexpr std::size_t kMaxCardPath = 255;

// The components of a valid card path (repeated "/" count as one); nullopt
// for a path that the VFS stand-in refuses. The root "/" has no components.
std::optional<std::vector<std::string>> SplitCardPath(std::string_view cardPath);

// The Windows path below cardFolder, or nullopt for a refused card path.
std::optional<std::string> CardPathOnDisk(const std::string& cardFolder, std::string_view cardPath);

}  // namespace desktop

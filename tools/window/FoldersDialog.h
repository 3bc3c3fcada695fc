// The "Card folders by file type" dialog of the queue window: the rules of
// [Folders] in a list of type and card folder, which the user adds to,
// changes and removes from, with suggested folders for music, pictures,
// video and documents to start from. Nothing is written here: OK hands the
// caller the changes to write; Cancel, Esc and the close box hand back none.
// A folder that no card can take is named in a message and the dialog stays.
#pragma once
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "tools/queue/QueueFile.h"

namespace queuewindow {

constexpr const wchar_t* kFoldersCaption = L"Card folders by file type";
constexpr const wchar_t* kFolderRefusedCaption = L"Card folder refused";

// Modal to `owner` until closed; the changes (a removed type with an empty
// folder) after OK, none after a cancel.
std::optional<std::vector<queuetool::TypeFolder>> EditTypeFolders(HWND owner,
                                                                   const std::vector<queuetool::TypeFolder>& stored,
                                                                   const std::string& defaultDirectory);

}  // namespace queuewindow

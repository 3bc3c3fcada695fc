// The user's settings file, Tolvane.ini in the conduit's folder of each
// HotSync user: its sections, its keys and the value a reader takes when a
// key is missing. The conduit, the setup dialog and the desktop tools name
// them only from here, so that a reader and a writer never spell one key two
// ways. Header only: the tools use it without linking the conduit.
#pragma once
#include <cstdint>
#include <string_view>

namespace app::settings {

// The conduit's folder inside a user's folder, and the file in it.
inline constexpr std::string_view kFolderName = "Tolvane";
inline constexpr std::string_view kFileName = "Tolvane.ini";

// [Setup]: written by the setup dialog (and by the queue tool for a user
// who never configured the conduit).
namespace setup {
inline constexpr std::string_view kSection = "Setup";
// On (not 0): the HotSync installs the queued files.
inline constexpr std::string_view kEnabled = "Conduit_Enabled";
inline constexpr bool kDefaultEnabled = true;
// The card directory the files go to.
inline constexpr std::string_view kDirectory = "Directory";
inline constexpr std::string_view kDefaultDirectory = "/Palm/Launcher";
// The four-character code of the chosen slot's media type, as a signed
// decimal; 0: none chosen.
inline constexpr std::string_view kMediaType = "MediaType";
inline constexpr int32_t kDefaultMediaType = 0;
}  // namespace setup

// [InstallToSlot]: the queue, one key "DB<n>" per desktop file (the rule
// for n is app::rules::QueuePosition).
namespace queue {
inline constexpr std::string_view kSection = "InstallToSlot";
inline constexpr std::string_view kKeyPrefix = "DB";
}  // namespace queue

// [Folders]: a file type (the extension without its dot, any letter case)
// = the card directory for files of that type (the rule is
// app::rules::ChooseFolder).
namespace folders {
inline constexpr std::string_view kSection = "Folders";
}  // namespace folders

// [InstallToDirectory]: "DB<n>" = the card directory of the queued file of
// the same key in [InstallToSlot]. Written before its queue key and deleted
// after it, so that it never outlives or precedes the file it belongs to.
namespace ownFolder {
inline constexpr std::string_view kSection = "InstallToDirectory";
}  // namespace ownFolder

// [Outbox]: a desktop folder whose files the HotSync queues and, once they
// are on the card, moves into its Sent folder (the rules are app/Outbox.h).
// No section or an empty value: no outbox.
namespace outbox {
inline constexpr std::string_view kSection = "Outbox";
inline constexpr std::string_view kFolder = "Folder";
// Inside the outbox: where installed files go, and are never taken from.
inline constexpr std::string_view kSentFolder = "Sent";
}  // namespace outbox

}  // namespace app::settings

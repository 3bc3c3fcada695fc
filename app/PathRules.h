// The conduit's rules for names and paths, kept apart from anything that
// touches Windows so that they also build natively for the fuzzers
// (fuzz/): which key is a queue entry, what a queued file is called on the
// card, which card directory a typed text names, and which folder holds a
// user's settings file.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace app::rules {

// The queue position of a key "DB<n>": "DB" in any case, n from 1 to
// 2147483647 in decimal without leading zeros.
std::optional<uint32_t> QueuePosition(std::string_view key);
// The key that a new entry at that position is written under.
std::string QueueKey(uint32_t position);

// The card file name of a desktop path: what follows its last "\", "/" or
// ":", so that the name can never climb out of the card directory. The
// second byte of a two-byte character is part of the name, never a
// separator (rtl::NameStart).
std::string CardName(std::string_view source);

// Whether a card file name may be copied at all: not empty, "." or "..".
bool InstallableName(std::string_view name);

// Whether a file name (the part after the last separator) is one of the
// devices Windows opens in every folder: CON, PRN, AUX, NUL, CONIN$,
// CONOUT$, COM1-9, LPT1-9, also with an extension or trailing blanks and
// dots ("nul.txt", "CON ").
bool IsDeviceName(std::string_view name);
// Why Windows cannot keep a file of that name as it is spelt (a sentence
// part without its final stop), or "": a device name, a final "." or " "
// (which Windows drops), or a ":" (which names a stream of another file).
std::string ReservedNameProblem(std::string_view name);

// The card's root directory.
inline constexpr std::string_view kCardRoot = "/";

// A card directory as typed: either the directory to use (a final "/"
// dropped; "/" itself is the card's root) or, when no card can take it, a
// sentence naming what is wrong. Its length is not judged: the card itself
// reports a path too long.
struct CardDirectoryCheck {
    std::string directory;  // empty when there is a problem
    std::string problem;    // empty when the directory can be used
    bool Usable() const noexcept { return problem.empty(); }
};
CardDirectoryCheck CheckCardDirectory(std::string_view typed);
// The same for a [Setup] Directory as stored: an empty one, which files
// written by other programs may hold, means the card's root too.
CardDirectoryCheck CheckSetupDirectory(std::string_view stored);

// The card path of a file named `name` in a usable card directory, and
// the directory of such a path.
std::string CardPath(std::string_view directory, std::string_view name);
std::string CardFolderOf(std::string_view cardPath);

// The user's conduit folder for the folder that the host names, ending in
// "\". A final "dir" folder means the user's own folder; a folder whose
// name merely ends in "dir" ("Nadir") does not.
std::string ConduitFolder(std::string_view pathName, std::string_view folderName);

}  // namespace app::rules

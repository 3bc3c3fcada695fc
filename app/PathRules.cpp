#include "app/PathRules.h"

#include <charconv>

#include "app/Settings.h"
#include "rtl/Paths.h"
#include "rtl/Text.h"

namespace app::rules {

namespace {

// Characters that no card folder name may hold: the separators of other
// systems and those the card's file system keeps for itself.
constexpr std::string_view kRefusedInCardNames = "\\:*?\"<>|";

std::string Quoted(std::string_view text) {
    std::string quoted(1, '"');
    quoted.append(text).push_back('"');
    return quoted;
}

// What is wrong with one folder name of a card directory, or "".
std::string SegmentProblem(std::string_view segment) {
    if (segment.empty()) return "holds an empty folder name (\"//\")";
    if (segment == "." || segment == "..")
        return "holds the folder name " + Quoted(segment) + ", which no card folder can have";
    for (const char c : segment) {
        if (static_cast<unsigned char>(c) < 0x20) return "holds a control character, which a card name cannot hold";
        if (c == '\\') return "holds \"\\\": folders on the card are separated by \"/\"";
        if (kRefusedInCardNames.find(c) != std::string_view::npos)
            return "holds " + Quoted(std::string_view(&c, 1)) + ", which a card name cannot hold";
    }
    return "";
}

CardDirectoryCheck Refused(std::string_view typed, const std::string& problem) {
    return {"", "The card directory " + Quoted(typed) + " " + problem + "."};
}

}  // namespace

std::optional<uint32_t> QueuePosition(std::string_view key) {
    constexpr std::string_view prefix = settings::queue::kKeyPrefix;
    if (key.size() <= prefix.size() || !rtl::SameTextAscii(key.substr(0, prefix.size()), prefix)) return std::nullopt;
    const std::string_view digits = key.substr(prefix.size());
    if (digits.front() < '1' || digits.front() > '9') return std::nullopt;
    uint32_t n = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), n);
    if (error != std::errc() || end != digits.data() + digits.size() || n > 2147483647u) return std::nullopt;
    return n;
}

std::string CardName(std::string_view source) {
    return std::string(source.substr(rtl::NameStart(source)));
}

std::string QueueKey(uint32_t position) {
    return std::string(settings::queue::kKeyPrefix) + std::to_string(position);
}

bool InstallableName(std::string_view name) { return !name.empty() && name != "." && name != ".."; }

bool IsDeviceName(std::string_view name) {
    std::string base(name.substr(0, name.find('.')));
    while (!base.empty() && (base.back() == ' ' || base.back() == '.')) base.pop_back();
    static constexpr std::string_view kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    for (const std::string_view device : kDevices)
        if (rtl::SameTextAscii(base, device)) return true;
    return base.size() == 4 && (rtl::SameTextAscii(base.substr(0, 3), "COM") || rtl::SameTextAscii(base.substr(0, 3), "LPT")) &&
           base[3] >= '1' && base[3] <= '9';
}

std::string ReservedNameProblem(std::string_view name) {
    if (IsDeviceName(name))
        return "its name is a device that Windows reserves in every folder (CON, PRN, AUX, NUL, COM1 to COM9, LPT1 to "
               "LPT9, with any extension); rename it";
    if (!name.empty() && (name.back() == '.' || name.back() == ' '))
        return "its name ends in \"" + std::string(1, name.back()) + "\", which Windows drops; rename it";
    if (name.find(':') != std::string_view::npos)
        return "its name holds \":\", which Windows reads as a stream of another file; rename it";
    return "";
}

CardDirectoryCheck CheckCardDirectory(std::string_view typed) {
    // What to do instead is the caller's to say: a dialog asks for another
    // text, the queue tool for another setting.
    if (typed.empty()) return {"", "The card directory is empty."};
    if (typed.front() != '/') return Refused(typed, "does not start with \"/\"");
    if (typed == kCardRoot) return {std::string(kCardRoot), ""};
    std::string_view directory = typed;
    if (directory.back() == '/') directory.remove_suffix(1);
    for (std::string_view rest = directory.substr(1);;) {
        const size_t slash = rest.find('/');
        const std::string problem = SegmentProblem(rest.substr(0, slash));
        if (!problem.empty()) return Refused(typed, problem);
        if (slash == std::string_view::npos) break;
        rest.remove_prefix(slash + 1);
    }
    return {std::string(directory), ""};
}

CardDirectoryCheck CheckSetupDirectory(std::string_view stored) {
    return CheckCardDirectory(stored.empty() ? kCardRoot : stored);
}

std::string CardPath(std::string_view directory, std::string_view name) {
    std::string path(directory);
    if (path != kCardRoot) path += '/';
    return path.append(name);
}

std::string CardFolderOf(std::string_view cardPath) {
    const size_t slash = cardPath.rfind('/');
    return std::string(slash == 0 || slash == std::string_view::npos ? kCardRoot : cardPath.substr(0, slash));
}

std::string ConduitFolder(std::string_view pathName, std::string_view folderName) {
    // A folder handed over without its final separator still names the
    // folder; a final "dir" folder is dropped, found as a name of its own
    // (the second byte of a two-byte character before it is no separator).
    std::string folder = rtl::IncludeTrailingBackslash(std::string(pathName));
    const size_t last = rtl::NameStart(std::string_view(folder).substr(0, folder.empty() ? 0 : folder.size() - 1), "\\/");
    if (!folder.empty() && folder.back() == '\\' && rtl::SameTextAscii(folder.substr(last), "dir\\") &&
        (last == 0 || folder[last - 1] == '\\'))
        folder.resize(last);
    return folder.append(folderName).append("\\");
}

}  // namespace app::rules

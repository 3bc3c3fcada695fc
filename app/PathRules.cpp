#include "app/PathRules.h"

#include <charconv>

#include "app/Settings.h"
#include "rtl/Paths.h"
#include "rtl/Text.h"

namespace app::rules {

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
    const size_t separator = source.find_last_of("\\/:");
    return std::string(separator == std::string_view::npos ? source : source.substr(separator + 1));
}

std::string QueueKey(uint32_t position) {
    return std::string(settings::queue::kKeyPrefix) + std::to_string(position);
}

bool InstallableName(std::string_view name) { return !name.empty() && name != "." && name != ".."; }

std::string ConduitFolder(std::string_view pathName, std::string_view folderName) {
    // A folder handed over without its final separator still names the folder.
    std::string folder = rtl::IncludeTrailingBackslash(std::string(pathName));
    if (rtl::SameTextAscii(folder, "dir\\") || rtl::EndsWithTextAscii(folder, "\\dir\\")) folder.resize(folder.size() - 4);
    return folder.append(folderName).append("\\");
}

}  // namespace app::rules

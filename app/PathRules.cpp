#include "app/PathRules.h"

#include <charconv>

#include "app/Settings.h"

namespace app::rules {

namespace {

char Lower(char c) noexcept { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameAscii(std::string_view a, std::string_view b) noexcept {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i])) return false;
    return true;
}

bool EndsWithNoCase(std::string_view text, std::string_view tail) noexcept {
    return text.size() >= tail.size() && SameAscii(text.substr(text.size() - tail.size()), tail);
}

}  // namespace

std::optional<uint32_t> QueuePosition(std::string_view key) {
    constexpr std::string_view prefix = settings::queue::kKeyPrefix;
    if (key.size() <= prefix.size() || !SameAscii(key.substr(0, prefix.size()), prefix)) return std::nullopt;
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
    std::string folder(pathName);
    // A folder handed over without its final separator still names the folder.
    if (!folder.empty() && folder.back() != '\\' && folder.back() != '/') folder += '\\';
    if (SameAscii(folder, "dir\\") || EndsWithNoCase(folder, "\\dir\\")) folder.resize(folder.size() - 4);
    return folder.append(folderName).append("\\");
}

}  // namespace app::rules

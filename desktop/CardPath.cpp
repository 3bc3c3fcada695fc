#include "desktop/CardPath.h"

#include <windows.h>

#include <array>

#include "desktop/Strings.h"

namespace desktop {
namespace {

bool IsDeviceName(std::string_view component) {
    // "NUL.txt" opens the device as well: only the part before a dot counts.
    const std::string stem = Lower(Trim(component.substr(0, component.find('.'))));
    static constexpr std::array<std::string_view, 4> plain{"con", "prn", "aux", "nul"};
    for (auto name : plain)
        if (stem == name) return true;
    return stem.size() == 4 && (stem.starts_with("com") || stem.starts_with("lpt")) && stem[3] >= '0' &&
           stem[3] <= '9';
}

bool IsValidComponent(std::string_view component) {
    if (component.empty() || component == "." || component == "..") return false;
    for (std::size_t i = 0; i < component.size(); ++i) {
        const char c = component[i];
        // The second byte of a two-byte character of the ANSI code page may
        // be any of these bytes ("\x95\x5C" in code page 932), and is none.
        if (IsDBCSLeadByteEx(CP_ACP, static_cast<BYTE>(c)) && i + 1 < component.size()) ++i;
        else if (static_cast<unsigned char>(c) < 0x20 || std::string_view("\\:*?\"<>|").find(c) != std::string_view::npos)
            return false;
    }
    if (component.back() == '.' || component.back() == ' ') return false;
    return !IsDeviceName(component);
}

}  // namespace

std::optional<std::vector<std::string>> SplitCardPath(std::string_view cardPath) {
    if (cardPath.empty() || cardPath.front() != '/' || cardPath.size() > kMaxCardPath) return std::nullopt;
    std::vector<std::string> components;
    std::size_t start = 1;
    while (start <= cardPath.size()) {
        auto end = cardPath.find('/', start);
        if (end == std::string_view::npos) end = cardPath.size();
        const std::string_view component = cardPath.substr(start, end - start);
        if (!component.empty()) {
            if (!IsValidComponent(component)) return std::nullopt;
            components.emplace_back(component);
        }
        start = end + 1;
    }
    return components;
}

std::optional<std::string> CardPathOnDisk(const std::string& cardFolder, std::string_view cardPath) {
    const auto components = SplitCardPath(cardPath);
    if (!components) return std::nullopt;
    std::string path = cardFolder;
    for (const auto& component : *components) path = JoinPath(path, component);
    return path;
}

}  // namespace desktop

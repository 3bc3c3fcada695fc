#include "rtl/Text.h"

#include <algorithm>

namespace rtl {

char AsciiLower(char c) noexcept { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string FoldAscii(std::string_view text) {
    std::string folded(text);
    std::transform(folded.begin(), folded.end(), folded.begin(), AsciiLower);
    return folded;
}

bool SameTextAscii(std::string_view a, std::string_view b) noexcept {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return AsciiLower(x) == AsciiLower(y); });
}

bool EndsWithTextAscii(std::string_view text, std::string_view tail) noexcept {
    return text.size() >= tail.size() && SameTextAscii(text.substr(text.size() - tail.size()), tail);
}

std::string BufferText(const char* buffer, size_t size) { return std::string(buffer, std::find(buffer, buffer + size, '\0')); }

}  // namespace rtl

#include "desktop/Strings.h"

#include <cstdio>
#include <limits>

namespace desktop {
namespace {

char LowerChar(char c) noexcept { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

bool IsSeparator(char c) noexcept { return c == '\\' || c == '/'; }

std::optional<unsigned long long> ParseDigits(std::string_view text, unsigned base) noexcept {
    if (text.empty()) return std::nullopt;
    unsigned long long value = 0;
    for (char c : text) {
        unsigned digit;
        if (c >= '0' && c <= '9') digit = unsigned(c - '0');
        else if (base == 16 && LowerChar(c) >= 'a' && LowerChar(c) <= 'f') digit = unsigned(LowerChar(c) - 'a' + 10);
        else return std::nullopt;
        if (value > (std::numeric_limits<unsigned long long>::max() - digit) / base) return std::nullopt;
        value = value * base + digit;
    }
    return value;
}

}  // namespace

bool EqualsNoCase(std::string_view a, std::string_view b) noexcept {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (LowerChar(a[i]) != LowerChar(b[i])) return false;
    return true;
}

std::string Lower(std::string_view text) {
    std::string result(text);
    for (char& c : result) c = LowerChar(c);
    return result;
}

std::string_view Trim(std::string_view text) noexcept {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) text.remove_suffix(1);
    return text;
}

std::optional<unsigned long long> ParseUnsigned64(std::string_view text) noexcept {
    text = Trim(text);
    if (text.size() > 2 && text[0] == '0' && LowerChar(text[1]) == 'x') return ParseDigits(text.substr(2), 16);
    return ParseDigits(text, 10);
}

std::optional<long> ParseLong(std::string_view text) noexcept {
    text = Trim(text);
    const bool negative = !text.empty() && text.front() == '-';
    if (negative) text.remove_prefix(1);
    const bool hex = text.size() > 2 && text[0] == '0' && LowerChar(text[1]) == 'x';
    const auto magnitude = hex ? ParseDigits(text.substr(2), 16) : ParseDigits(text, 10);
    if (!magnitude) return std::nullopt;
    // Hexadecimal names a bit pattern (0xFFFFFFFF is -1); decimal must fit.
    if (hex && !negative && *magnitude <= 0xFFFFFFFFull) return long(std::uint32_t(*magnitude));
    const long long value = negative ? -(long long)*magnitude : (long long)*magnitude;
    if (*magnitude > 0x80000000ull || value > std::numeric_limits<long>::max()) return std::nullopt;
    return long(value);
}

std::optional<std::uint32_t> ParseFourCC(std::string_view text) noexcept {
    text = Trim(text);
    if (const auto number = ParseLong(text)) return std::uint32_t(*number);
    if (text.size() != 4) return std::nullopt;
    std::uint32_t code = 0;
    for (char c : text) code = (code << 8) | std::uint8_t(c);
    return code;
}

std::string FormatFourCC(std::uint32_t code) {
    std::string text;
    bool printable = true, allDigits = true;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const char c = char((code >> shift) & 0xFF);
        printable = printable && c > ' ' && c < 0x7F && c != ';' && c != '#';
        allDigits = allDigits && c >= '0' && c <= '9';
        text += c;
    }
    // Codes that would read back as a number, or not at all, stay numbers.
    if (printable && !allDigits && !(text[0] == '0' && LowerChar(text[1]) == 'x') && text[0] != '-') return text;
    return std::to_string(code);
}

std::string OneLine(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    for (char c : text) {
        if (c == '\r' || c == '\n') {
            result += '^';
            result += char(c + '@');
        } else {
            result += c;
        }
    }
    return result;
}

bool IsAbsolutePath(std::string_view path) noexcept {
    return (path.size() >= 2 && path[1] == ':') || (!path.empty() && IsSeparator(path[0]));
}

std::string JoinPath(std::string_view folder, std::string_view name) {
    std::string result(folder);
    if (!result.empty() && !IsSeparator(result.back())) result += '\\';
    result += name;
    return result;
}

std::string ParentOf(std::string_view path) {
    const auto cut = path.find_last_of("\\/");
    return cut == std::string_view::npos ? std::string() : std::string(path.substr(0, cut));
}

std::string FileNameOf(std::string_view path) {
    const auto cut = path.find_last_of("\\/:");
    return std::string(cut == std::string_view::npos ? path : path.substr(cut + 1));
}

std::string WithoutTrailingSlash(std::string path) {
    while (path.size() > 1 && IsSeparator(path.back()) && path[path.size() - 2] != ':') path.pop_back();
    return path;
}

}  // namespace desktop

// Text helpers shared by the stand-ins, the host and the layout helper:
// ASCII case folding, numbers as people write them in the description,
// four-character codes and Windows path pieces.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace desktop {

bool EqualsNoCase(std::string_view a, std::string_view b) noexcept;
std::string Lower(std::string_view text);
std::string_view Trim(std::string_view text) noexcept;

// A signed 32-bit number in decimal, or in hexadecimal after "0x".
std::optional<long> ParseLong(std::string_view text) noexcept;
std::optional<unsigned long long> ParseUnsigned64(std::string_view text) noexcept;

// A media type or creator code: four characters, first one in the most
// significant byte ("sdig"), or a number.
constexpr std::uint32_t FourCC(const char (&code)[5]) {
    return std::uint32_t(std::uint8_t(code[0])) << 24 | std::uint32_t(std::uint8_t(code[1])) << 16 |
           std::uint32_t(std::uint8_t(code[2])) << 8 | std::uint8_t(code[3]);
}
std::optional<std::uint32_t> ParseFourCC(std::string_view text) noexcept;
std::string FormatFourCC(std::uint32_t code);

// Line breaks would break the one-line-per-entry logs: CR and LF are
// written in caret notation (^M, ^J); every other byte stays as it was, so
// that a log line holds the text that the caller passed.
std::string OneLine(std::string_view text);

bool IsAbsolutePath(std::string_view path) noexcept;
std::string JoinPath(std::string_view folder, std::string_view name);
std::string ParentOf(std::string_view path);
std::string FileNameOf(std::string_view path);
std::string WithoutTrailingSlash(std::string path);

}  // namespace desktop

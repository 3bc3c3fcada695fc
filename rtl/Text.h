// Text helpers that every layer shares and that need no Windows, so that
// the native fuzz builds (fuzz/) use them too: the one case folding of
// names, and the text that a fixed buffer holds.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace rtl {

// ASCII letters without regard to case; every other byte as it is. This is
// how the framework compares class and control names and how the settings
// file's reader compares section and key names. It knows no code page: a
// comparison that folds the letters of the user's code page is another
// function, under another name.
char AsciiLower(char c) noexcept;
std::string FoldAscii(std::string_view text);
bool SameTextAscii(std::string_view a, std::string_view b) noexcept;
bool EndsWithTextAscii(std::string_view text, std::string_view tail) noexcept;

// The text in a buffer that a library or the system filled: up to its first
// NUL, and never past its end, whether or not the writer terminated it.
std::string BufferText(const char* buffer, size_t size);
template <size_t N>
std::string BufferText(const char (&buffer)[N]) {
    return BufferText(buffer, N);
}

}  // namespace rtl

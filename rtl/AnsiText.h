// Texts between the wide form in which Windows hands a program its command
// line and file names, and the ANSI code page in which the Palm Desktop's
// libraries, the settings file and the conduit take them.
#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace rtl {

std::wstring WideFromAnsi(std::string_view text);

// None when a character has no form in the ANSI code page. No best fit: a
// look-alike letter or a "?" would name another file, or none.
std::optional<std::string> AnsiFromWide(std::wstring_view text);

// For showing only: characters that the code page lacks become "?".
std::string LossyFromWide(std::wstring_view text, unsigned codePage);

}  // namespace rtl

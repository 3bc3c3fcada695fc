// The queue model speaks the settings file's text (the system code page);
// the window speaks UTF-16, so that any name the desktop shows can be shown.
#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace queuewindow {

std::wstring Wide(std::string_view text);
// None when the text has a character that the code page cannot hold: such a
// path would name another file, or none, once stored.
std::optional<std::string> Narrow(std::wstring_view text);
// The same with "?" for what the code page cannot hold: only for messages.
std::string NarrowForDisplay(std::wstring_view text);

}  // namespace queuewindow

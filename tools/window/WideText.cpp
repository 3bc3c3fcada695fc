#include "tools/window/WideText.h"

#include <windows.h>

namespace queuewindow {

std::wstring Wide(std::string_view text) {
    if (text.empty()) return {};
    const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    return wide;
}

namespace {

std::string Converted(std::wstring_view text, BOOL& lossy) {
    lossy = FALSE;
    if (text.empty()) return {};
    const int size = static_cast<int>(text.size());
    const int length = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), size, nullptr, 0, nullptr, &lossy);
    std::string narrow(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), size, narrow.data(), length, nullptr, &lossy);
    if (length == 0) lossy = TRUE;
    return narrow;
}

}  // namespace

std::optional<std::string> Narrow(std::wstring_view text) {
    BOOL lossy = FALSE;
    std::string narrow = Converted(text, lossy);
    if (lossy) return std::nullopt;
    return narrow;
}

std::string NarrowForDisplay(std::wstring_view text) {
    BOOL lossy = FALSE;
    return Converted(text, lossy);
}

}  // namespace queuewindow

// What every exported entry point of a stand-in library does around its own
// work: find the desktop folder and read its description afresh (so that a
// test may change it between two calls), count the call, apply the test
// switches (end the process at the k-th call, answer a fixed code), write
// the call-log line with the arguments and the result, and make sure that no
// exception leaves the library.
//
// The desktop folder is the nearest folder that holds the description: the
// library's own, or one above it (a copy beside a conduit in a subfolder of
// the desktop serves that desktop, without the registry); failing that, the
// folder of the registered HotSync Manager (the HKCU value "HotSyncPath" of
// "Software\U.S. Robotics\Pilot Desktop\Core").
#pragma once
#include <optional>
#include <string>
#include <type_traits>

#include "desktop/Description.h"
#include "desktop/Strings.h"

namespace desktop {

// How an argument is written into the call log.
struct Text { const char* p; };      // "text", or NULL
struct Buffer { const void* p; };    // buf, or NULL: an output buffer
template <class T>
struct Ref { const T* p; };          // &value as the caller set it, or NULL

inline std::string LogArg(Text t) { return t.p ? "\"" + OneLine(t.p) + "\"" : "NULL"; }
inline std::string LogArg(Buffer b) { return b.p ? "buf" : "NULL"; }
template <class T>
std::string LogArg(Ref<T> r) { return r.p ? "&" + std::to_string(*r.p) : "NULL"; }
template <class T>
    requires std::is_integral_v<T>
std::string LogArg(T value) { return std::to_string(value); }

template <class... A>
std::string Args(const A&... args) {
    std::string text;
    ((text += (text.empty() ? "" : ", ") + LogArg(args)), ...);
    return text;
}

std::string DesktopFolder();

// The stand-ins that started while an activation context was active, by
// file name, separated by spaces (unset: none).
inline constexpr char kLoadedUnderContextVariable[] = "TOLVANE_STANDINS_LOADED_UNDER_ACTCTX";

namespace detail {
// Returns the code that a switch imposes (after logging the call), or ends
// the process; nullopt when the call goes ahead.
std::optional<long> BeforeCall(const Desktop& desktop, const char* entry, const std::string& args);
void AfterCall(const Desktop& desktop, const char* entry, const std::string& args, long result);
}  // namespace detail

// Runs one exported call. `failure` is the result when anything throws.
template <class FormatArgs, class Body>
long Run(const char* entry, long failure, FormatArgs&& formatArgs, Body&& body) noexcept {
    try {
        const Desktop desktop = Desktop::Load(DesktopFolder());
        const std::string args = formatArgs();
        if (const auto imposed = detail::BeforeCall(desktop, entry, args)) return *imposed;
        long result = failure;
        try {
            result = body(desktop);
        } catch (...) {
            result = failure;
        }
        detail::AfterCall(desktop, entry, args, result);
        return result;
    } catch (...) {
        return failure;
    }
}

// Copies a text into a caller's buffer whose capacity, NUL included, is *size.
// On success *size becomes the text's length; when the text does not fit,
// nothing is written, *size becomes the capacity needed and `tooSmall` is
// returned.
template <class Size>
long CopyText(const std::string& text, char* buffer, Size* size, long tooSmall, long noBuffer) {
    if (!buffer || !size) return noBuffer;
    if (*size < 1 || text.size() + 1 > static_cast<std::size_t>(*size)) {
        *size = static_cast<Size>(text.size() + 1);
        return tooSmall;
    }
    text.copy(buffer, text.size());
    buffer[text.size()] = '\0';
    *size = static_cast<Size>(text.size());
    return 0;
}

// An entry point that no caller of ours uses: it answers `code`.
long Unsupported(const char* entry, long code) noexcept;

}  // namespace desktop

#include "tools/window/Remembered.h"

#include "ui/Controls.h"
#include "rtl/WinHandles.h"

namespace queuewindow {

namespace {

struct Edge {
    const wchar_t* name;
    LONG RECT::*field;
};
constexpr Edge kEdges[] = {
    {L"Left", &RECT::left}, {L"Top", &RECT::top}, {L"Right", &RECT::right}, {L"Bottom", &RECT::bottom}};
constexpr const wchar_t* kMaximized = L"Maximized";
// Places kept before the DPI was kept with them were kept at 96 DPI.
constexpr const wchar_t* kDpi = L"Dpi";
constexpr const wchar_t* kLastUser = L"LastUser";
constexpr LONG kSmallest = 200;
constexpr int kLowestDpi = 48, kHighestDpi = 960;

std::optional<DWORD> ReadNumber(HKEY key, const wchar_t* name) {
    DWORD value = 0, type = 0, size = sizeof value;
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof value)
        return std::nullopt;
    return value;
}

std::wstring ReadText(HKEY key, const wchar_t* name) {
    wchar_t text[512] = {};
    DWORD type = 0, size = sizeof text - sizeof(wchar_t);
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &size) != ERROR_SUCCESS ||
        type != REG_SZ)
        return {};
    return std::wstring(text, wcsnlen(text, size / sizeof(wchar_t)));
}

void WriteNumber(HKEY key, const wchar_t* name, DWORD value) {
    RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

}  // namespace

Remembered LoadRemembered() {
    Remembered remembered;
    rtl::UniqueHKey key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kRememberedKey, 0, KEY_READ, key.put()) != ERROR_SUCCESS) return remembered;
    RECT bounds{};
    bool complete = true;
    for (const Edge& edge : kEdges) {
        const auto value = ReadNumber(key.get(), edge.name);
        complete = complete && value.has_value();
        bounds.*edge.field = static_cast<LONG>(value.value_or(0));
    }
    const int dpi = static_cast<int>(ReadNumber(key.get(), kDpi).value_or(rtl::kDesignDpi));
    if (complete && dpi >= kLowestDpi && dpi <= kHighestDpi && bounds.right - bounds.left >= kSmallest &&
        bounds.bottom - bounds.top >= kSmallest)
        remembered.place = Place{bounds, ReadNumber(key.get(), kMaximized).value_or(0) != 0, dpi};
    remembered.lastUser = ReadText(key.get(), kLastUser);
    return remembered;
}

void SaveRemembered(const Remembered& remembered) noexcept {
    rtl::UniqueHKey key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kRememberedKey, 0, nullptr, 0, KEY_WRITE, nullptr, key.put(), nullptr) !=
        ERROR_SUCCESS)
        return;
    if (const auto& place = remembered.place) {
        for (const Edge& edge : kEdges) WriteNumber(key.get(), edge.name, static_cast<DWORD>(place->normal.*edge.field));
        WriteNumber(key.get(), kMaximized, place->maximized ? 1 : 0);
        WriteNumber(key.get(), kDpi, static_cast<DWORD>(place->dpi));
    }
    const std::wstring& user = remembered.lastUser;
    RegSetValueExW(key.get(), kLastUser, 0, REG_SZ, reinterpret_cast<const BYTE*>(user.c_str()),
                   static_cast<DWORD>((user.size() + 1) * sizeof(wchar_t)));
}

}  // namespace queuewindow

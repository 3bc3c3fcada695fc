// What the queue window keeps for each Windows user between runs: its
// place on the screen and the HotSync user it showed last. Kept in the
// Windows user's own part of the registry, under the product's key.
#pragma once
#include <windows.h>

#include <optional>
#include <string>

#include "tools/window/Placement.h"

namespace queuewindow {

constexpr const wchar_t* kRememberedKey = L"Software\\Tolvane\\Queue";

struct Remembered {
    std::optional<Place> place;
    std::wstring lastUser;
};

// What was kept; anything missing or unreadable is left empty.
Remembered LoadRemembered();
// Failures are not reported: the window works the same without them.
void SaveRemembered(const Remembered& remembered) noexcept;

}  // namespace queuewindow

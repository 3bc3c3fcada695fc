#include "tools/window/Placement.h"

#include <algorithm>
#include <optional>

#include "ui/Controls.h"

namespace queuewindow {

namespace {

constexpr int kDefaultWidth = 920, kDefaultHeight = 520;

// The first start: the default size, in the middle of the work area.
RECT CentredBounds(int dpi) {
    RECT area{0, 0, rtl::Scaled(kDefaultWidth, dpi), rtl::Scaled(kDefaultHeight, dpi)};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    const int width = std::min<int>(rtl::Scaled(kDefaultWidth, dpi), area.right - area.left);
    const int height = std::min<int>(rtl::Scaled(kDefaultHeight, dpi), area.bottom - area.top);
    const int left = area.left + (area.right - area.left - width) / 2;
    const int top = area.top + (area.bottom - area.top - height) / 2;
    return {left, top, left + width, top + height};
}

}  // namespace

RECT OpeningBounds(const Remembered& remembered, int dpi) {
    // Kept at 96 DPI: the same size on any screen.
    const auto kept = remembered.bounds ? std::optional<RECT>(rtl::Scaled(*remembered.bounds, dpi)) : std::nullopt;
    return VisibleBounds(kept).value_or(CentredBounds(dpi));
}

void KeepPlacement(HWND window, int dpi, const std::wstring& lastUser) noexcept {
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    if (!GetWindowPlacement(window, &placement)) return;
    Remembered remembered;
    remembered.bounds = rtl::Unscaled(placement.rcNormalPosition, dpi);
    remembered.maximized = placement.showCmd == SW_SHOWMAXIMIZED;
    remembered.lastUser = lastUser;
    SaveRemembered(remembered);
}

}  // namespace queuewindow

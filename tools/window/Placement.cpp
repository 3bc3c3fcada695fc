#include "tools/window/Placement.h"

#include <algorithm>

#include "rtl/WinHandles.h"
#include "tools/window/Remembered.h"
#include "ui/Controls.h"

namespace queuewindow {

namespace {

constexpr int kDefaultWidth = 920, kDefaultHeight = 520;

LONG Width(const RECT& r) noexcept { return r.right - r.left; }
LONG Height(const RECT& r) noexcept { return r.bottom - r.top; }

LONG Overlap(const RECT& a, const RECT& b) noexcept {
    RECT common{};
    return IntersectRect(&common, &a, &b) ? Width(common) * Height(common) : 0;
}

// How far a rectangle lies from an area, squared; 0 when they meet.
long long Distance(const RECT& r, const RECT& area) noexcept {
    const long long dx = std::max<long long>({0, area.left - r.right, r.left - area.right});
    const long long dy = std::max<long long>({0, area.top - r.bottom, r.top - area.bottom});
    return dx * dx + dy * dy;
}

const MonitorArea& Nearest(const RECT& r, std::span<const MonitorArea> monitors) noexcept {
    return *std::min_element(monitors.begin(), monitors.end(), [&](const MonitorArea& a, const MonitorArea& b) {
        const LONG overlapA = Overlap(r, a.work), overlapB = Overlap(r, b.work);
        if (overlapA != overlapB) return overlapA > overlapB;
        return Distance(r, a.work) < Distance(r, b.work);
    });
}

// Looked up, never imported: Windows XP has no per-monitor DPI.
using GetDpiForMonitorFn = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
using ThreadContextFn = HANDLE(WINAPI*)();
using AwarenessFn = int(WINAPI*)(HANDLE);

template <class Fn>
Fn Function(HMODULE module, const char* name) noexcept {
    return module ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

bool PerMonitorAware() noexcept {
    constexpr int kPerMonitorAware = 2;
    const HMODULE user = GetModuleHandleW(L"user32.dll");
    const auto context = Function<ThreadContextFn>(user, "GetThreadDpiAwarenessContext");
    const auto awareness = Function<AwarenessFn>(user, "GetAwarenessFromDpiAwarenessContext");
    return context && awareness && awareness(context()) == kPerMonitorAware;
}

struct Enumeration {
    std::vector<MonitorArea> monitors;
    GetDpiForMonitorFn monitorDpi = nullptr;
    int screenDpi = rtl::kDesignDpi;
};

BOOL CALLBACK AddMonitor(HMONITOR monitor, HDC, RECT*, LPARAM param) noexcept {
    auto& enumeration = *reinterpret_cast<Enumeration*>(param);
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (!GetMonitorInfoW(monitor, &info)) return TRUE;
    constexpr int kEffectiveDpi = 0;
    UINT dpiX = 0, dpiY = 0;
    const bool own = enumeration.monitorDpi && SUCCEEDED(enumeration.monitorDpi(monitor, kEffectiveDpi, &dpiX, &dpiY)) &&
                     dpiY > 0;
    enumeration.monitors.push_back({info.rcWork, own ? static_cast<int>(dpiY) : enumeration.screenDpi});
    return TRUE;
}

// What GetWindowPlacement adds to screen coordinates: the offset of the
// primary monitor's work area where Windows gives workspace coordinates,
// none where it gives screen ones. Read off a window in its restored state.
std::optional<POINT> WorkspaceOffset(HWND window) noexcept {
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    RECT bounds{};
    if (IsIconic(window) || IsZoomed(window) || !GetWindowPlacement(window, &placement) ||
        !GetWindowRect(window, &bounds))
        return std::nullopt;
    return POINT{bounds.left - placement.rcNormalPosition.left, bounds.top - placement.rcNormalPosition.top};
}

}  // namespace

RECT FitToMonitors(const RECT& saved, int savedDpi, std::span<const MonitorArea> monitors) noexcept {
    if (monitors.empty()) return saved;
    const MonitorArea& monitor = Nearest(saved, monitors);
    const int from = savedDpi > 0 ? savedDpi : rtl::kDesignDpi;
    const LONG width = std::min<LONG>(MulDiv(Width(saved), monitor.dpi, from), Width(monitor.work));
    const LONG height = std::min<LONG>(MulDiv(Height(saved), monitor.dpi, from), Height(monitor.work));
    const LONG left = std::clamp<LONG>(saved.left, monitor.work.left, monitor.work.right - width);
    const LONG top = std::clamp<LONG>(saved.top, monitor.work.top, monitor.work.bottom - height);
    return RECT{left, top, left + width, top + height};
}

std::vector<MonitorArea> CurrentMonitors() {
    Enumeration enumeration;
    enumeration.screenDpi = rtl::DpiOf(nullptr);
    // shcore is loaded by every per-monitor aware program already.
    const rtl::UniqueHModule shcore(PerMonitorAware() ? LoadLibraryW(L"shcore.dll") : nullptr);
    enumeration.monitorDpi = Function<GetDpiForMonitorFn>(shcore.get(), "GetDpiForMonitor");
    EnumDisplayMonitors(nullptr, nullptr, &AddMonitor, reinterpret_cast<LPARAM>(&enumeration));
    return enumeration.monitors;
}

RECT DefaultBounds(int dpi) {
    RECT area{0, 0, rtl::Scaled(kDefaultWidth, dpi), rtl::Scaled(kDefaultHeight, dpi)};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    const int width = std::min<int>(rtl::Scaled(kDefaultWidth, dpi), area.right - area.left);
    const int height = std::min<int>(rtl::Scaled(kDefaultHeight, dpi), area.bottom - area.top);
    const int left = area.left + (area.right - area.left - width) / 2;
    const int top = area.top + (area.bottom - area.top - height) / 2;
    return {left, top, left + width, top + height};
}

void KeepPlacement(HWND window, int dpi, const std::wstring& lastUser) noexcept {
    try {
        Remembered remembered;
        remembered.place = PlaceOf(window, dpi);
        remembered.lastUser = lastUser;
        SaveRemembered(remembered);
    } catch (...) {
        // No memory for the user's name: the place is not kept this time.
    }
}

std::optional<Place> PlaceOf(HWND window, int dpi) noexcept {
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    if (!GetWindowPlacement(window, &placement)) return std::nullopt;
    return Place{placement.rcNormalPosition, placement.showCmd == SW_SHOWMAXIMIZED, dpi};
}

void RestorePlace(HWND window, const std::optional<Place>& place) noexcept {
    if (!place || Width(place->normal) <= 0 || Height(place->normal) <= 0) return;
    const std::optional<POINT> offset = WorkspaceOffset(window);
    if (!offset) return;
    try {
        RECT saved = place->normal;
        OffsetRect(&saved, offset->x, offset->y);
        RECT fitted = FitToMonitors(saved, place->dpi, CurrentMonitors());
        OffsetRect(&fitted, -offset->x, -offset->y);
        WINDOWPLACEMENT placement{};
        placement.length = sizeof placement;
        if (!GetWindowPlacement(window, &placement)) return;
        placement.flags = 0;
        placement.showCmd = SW_HIDE;
        placement.rcNormalPosition = fitted;
        SetWindowPlacement(window, &placement);
    } catch (...) {
        // No memory for the monitors' list: the window opens where it was made.
    }
}

}  // namespace queuewindow

// Where the queue window opens: its place as Windows keeps it (the restored
// rectangle in workspace coordinates, and whether it was maximised), with
// the DPI the window had then. Reopened on a monitor of another DPI it has
// the same physical size; a place that no longer fits a monitor's work area
// (a monitor unplugged, a taskbar moved, a smaller screen) is moved and
// shrunk onto the nearest one.
//
//   window = CreateWindowEx(..., DefaultBounds(dpi), ...);   // not shown yet
//   RestorePlace(window, remembered.place);
//   KeepPlacement(window, dpi, lastUser);                   // when it closes
#pragma once
#include <windows.h>

#include <optional>
#include <string>
#include <span>
#include <vector>

namespace queuewindow {

struct Place {
    RECT normal{};  // the restored window's, workspace coordinates as GetWindowPlacement gives them
    bool maximized = false;
    int dpi = 96;   // the window's when it was saved
};

// One monitor's work area (screen coordinates) and DPI.
struct MonitorArea {
    RECT work{};
    int dpi = 96;
};

// Where a window kept as `saved` (screen coordinates, at `savedDpi`) opens:
// on the monitor it lies most on (the nearest when it lies on none), at that
// monitor's DPI with its top left corner kept, then shrunk to the work area
// and moved inside it. No monitors: `saved` unchanged.
RECT FitToMonitors(const RECT& saved, int savedDpi, std::span<const MonitorArea> monitors) noexcept;

// The monitors as Windows reports them now, with the DPI a window of the
// calling thread lays itself out for on each.
std::vector<MonitorArea> CurrentMonitors();

// The place of a window (its controls laid out for `dpi`); none when
// Windows does not say.
std::optional<Place> PlaceOf(HWND window, int dpi) noexcept;

// The first start's place: the default size, in the middle of the work area.
RECT DefaultBounds(int dpi);

// The window's place now, kept for the next start (Remembered.h) with the
// HotSync user it shows; `dpi` is its controls'.
void KeepPlacement(HWND window, int dpi, const std::wstring& lastUser) noexcept;

// Gives a window that is not shown yet its kept place, fitted to the
// monitors of now; its show state is left to the caller's ShowWindow
// (maximised when the place was). Nothing happens for no place.
void RestorePlace(HWND window, const std::optional<Place>& place) noexcept;

}  // namespace queuewindow

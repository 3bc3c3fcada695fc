// The system's visual style (Common Controls 6) for the windows that a
// library makes inside a host program that did not ask for it.
//
// A program asks for Common Controls 6 in its own manifest; a library cannot,
// and must not change the host's process. Its manifest resource (ID 3, which
// the loader does not apply while the library loads) is made into an
// activation context once, and ThemedWindows activates that
// context only while the library creates its windows: their controls are the
// themed ones, and every window the host makes before or after stays as the
// host made it. Where no such context can be made (a program's module, which
// has its manifest as resource 1; a system without side-by-side assemblies),
// windows are made as without it: the look is never worth a failed dialog.
#pragma once
#include <windows.h>

#include "ui/Graphics.h"

namespace rtl {

// Not a colour: the system's dialog colour.
constexpr COLORREF clDefault = 0xFF000000u;

// Whether the user reads the screen in a high-contrast theme, whose colours
// no window may replace.
bool HighContrast() noexcept;

// The colours of a window's surface and of what is drawn on it (labels,
// check boxes, group boxes, read-only edits), for every window of the
// product alike: the window's own background with text that stands out from
// it, or, without one and always in high contrast, the user's own pair of
// button text on the button face, as in every dialog of theirs. (Left to
// Windows, a label takes the user's window text, which need not stand out
// from the button face at all.)
class SurfaceColours {
public:
    explicit SurfaceColours(COLORREF own = clDefault) noexcept : own_(own) { Refresh(); }

    // For WM_CTLCOLORDLG, WM_CTLCOLORSTATIC and WM_CTLCOLORBTN: the DC's
    // colours set, the brush of the background returned.
    HBRUSH Answer(HDC dc) const noexcept;
    // For WM_SYSCOLORCHANGE and WM_SETTINGCHANGE: true when the colours may
    // have changed (high contrast switched on or off) and the window is to
    // be drawn again.
    bool Changed(UINT message, WPARAM wParam) noexcept;
    // Whether the window shows its own background (not in high contrast).
    bool Own() const noexcept { return static_cast<bool>(brush_); }
    HBRUSH Brush() const noexcept { return Own() ? brush_.get() : GetSysColorBrush(COLOR_BTNFACE); }
    COLORREF Background() const noexcept { return Own() ? own_ : GetSysColor(COLOR_BTNFACE); }
    COLORREF Text() const noexcept;

private:
    void Refresh() noexcept;

    COLORREF own_;
    UniqueHBrush brush_;
};

class ThemedWindows {
public:
    // Makes the context on the first use; `mayCreate` false (under the
    // loader lock) uses it only when it exists already.
    explicit ThemedWindows(bool mayCreate = true) noexcept;
    // Inside a ThemedWindows scope, while `wanted`: windows of the process's
    // own classes again (its default context).
    static ThemedWindows HostsOwn(bool wanted) noexcept { return ThemedWindows(nullptr, wanted); }
    ~ThemedWindows();
    ThemedWindows(const ThemedWindows&) = delete;
    ThemedWindows& operator=(const ThemedWindows&) = delete;

private:
    ThemedWindows(HANDLE context, bool activate) noexcept;
    void Activate(HANDLE context) noexcept;

    ULONG_PTR cookie_ = 0;
    bool active_ = false;
};

}  // namespace rtl

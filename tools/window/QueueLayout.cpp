#include "tools/window/QueueLayout.h"

#include <commctrl.h>
#include <uxtheme.h>

#include <iterator>

namespace queuewindow {

namespace {

// The rows' bottom edges are designed for a status line of this height.
constexpr int kDesignedStatusHeight = 24;
constexpr POINT kMinimumSize{420, 300};

using enum rtl::ControlKind;
constexpr unsigned kAll = rtl::akLeft | rtl::akTop | rtl::akRight | rtl::akBottom;
constexpr unsigned kTopStretch = rtl::akLeft | rtl::akTop | rtl::akRight;
constexpr unsigned kBottomLeft = rtl::akLeft | rtl::akBottom;
constexpr rtl::ControlDesign kControls[] = {
    {.kind = Label, .name = "lUser", .bounds = {10, 10, 90, 23}, .caption = "HotSync &user:", .style = SS_CENTERIMAGE},
    {.kind = ComboList, .name = "cbUser", .bounds = {110, 10, 260, 23}},
    {.kind = Button, .name = "bCheck", .bounds = {522, 9, 110, 25}, .anchors = rtl::akTop | rtl::akRight,
     .caption = "Chec&k..."},
    {.kind = Button, .name = "bOutbox", .bounds = {640, 9, 110, 25}, .anchors = rtl::akTop | rtl::akRight,
     .caption = "&Outbox..."},
    {.kind = Label, .name = "lSummary", .bounds = {10, 42, 740, 34}, .anchors = kTopStretch, .flags = rtl::cfWrap,
     .style = SS_NOPREFIX},
    {.kind = Label, .name = "lQueued", .bounds = {10, 80, 290, 16}, .caption = "&Queued files:"},
    {.kind = ListView, .name = "lvQueue", .bounds = {10, 98, 740, 304}, .anchors = kAll, .style = LVS_OWNERDATA},
    {.kind = Button, .name = "bAdd", .bounds = {10, 410, 110, 26}, .anchors = kBottomLeft, .caption = "&Add files..."},
    {.kind = Button, .name = "bRemove", .bounds = {128, 410, 110, 26}, .anchors = kBottomLeft, .caption = "&Remove"},
    {.kind = Button, .name = "bFolders", .bounds = {246, 410, 120, 26}, .anchors = kBottomLeft,
     .caption = "Card &folders..."},
    {.kind = Label, .name = "lTarget", .bounds = {376, 410, 110, 26}, .anchors = kBottomLeft,
     .caption = "&New files go to:", .style = SS_RIGHT | SS_CENTERIMAGE},
    {.kind = ComboEdit, .name = "cbTarget", .bounds = {492, 412, 258, 23}, .anchors = kBottomLeft},
    {.kind = StatusBar, .name = "sbStatus", .style = SBARS_SIZEGRIP},
};
static_assert(std::size(kControls) == static_cast<size_t>(Ctl::Count), "one row per control");
static_assert(rtl::FitsToolWindow(kControls));

}  // namespace

std::span<const rtl::ControlDesign> QueueControls() noexcept { return kControls; }

void PlaceControls(HWND window, const rtl::TableControls& controls) {
    RECT client{};
    GetClientRect(window, &client);
    const HWND status = controls[Ctl::sbStatus];
    SendMessageW(status, WM_SIZE, 0, 0);
    RECT statusBounds{};
    GetWindowRect(status, &statusBounds);
    // The designed bottom edge sits above the status line, whatever its height.
    const SIZE actual{client.right, client.bottom - (statusBounds.bottom - statusBounds.top)};
    controls.Place(actual, SIZE{kDesignedClient.cx, kDesignedClient.cy - kDesignedStatusHeight});
}

// A visual style draws the list's header and the status line on light
// backgrounds of its own, in the user's text colour: light text, which the
// user chose for dark backgrounds, would vanish there. They are then drawn
// without it, in the user's own colours (as Windows draws them in high
// contrast); with dark text they keep the style.
void FollowUserColours(const rtl::TableControls& controls) noexcept {
    const auto luminance = [](COLORREF c) { return 299 * GetRValue(c) + 587 * GetGValue(c) + 114 * GetBValue(c); };
    const bool lightText = luminance(GetSysColor(COLOR_BTNTEXT)) > luminance(GetSysColor(COLOR_BTNFACE));
    // A name that no style has: none; nullptr: the window's own again.
    const wchar_t* style = lightText ? L" " : nullptr;
    for (const HWND control : {ListView_GetHeader(controls[Ctl::lvQueue]), controls[Ctl::sbStatus]})
        if (control) SetWindowTheme(control, style, style);
}

POINT MinimumSize(int dpi) noexcept { return {rtl::Scaled(kMinimumSize.x, dpi), rtl::Scaled(kMinimumSize.y, dpi)}; }

}  // namespace queuewindow

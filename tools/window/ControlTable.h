// The queue window's programs declare each window's controls as one table:
// a row per control, in tab order, with its bounds for the designed client
// size and the edges it keeps its distance to when the window is resized.
// These helpers create the controls of such a table and place them, and
// bind a window procedure to its object.
#pragma once
#include <windows.h>

#include <span>
#include <string>

#include "rtl/WinHandles.h"

namespace queuewindow {

struct ControlRow {
    int id;
    const wchar_t* className;
    const wchar_t* text;
    DWORD style;
    DWORD exStyle;
    RECT bounds;
    unsigned anchors;  // 0: placed by the control itself (a status bar)
};

// The font that Windows uses for message boxes, which the controls take.
rtl::UniqueGdiObject MessageFont();

// What a control shows (an edit's or a combo's typed text).
std::wstring TextOf(HWND control);

// The object that a window of ours was created for (the last argument of
// CreateWindowEx), kept in the window's user data from WM_NCCREATE on.
template <class Object>
Object* WindowObject(HWND window, UINT message, LPARAM lParam) noexcept {
    if (message == WM_NCCREATE)
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
    return reinterpret_cast<Object*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

// For a window procedure's catch (...): the exception's message in a box
// owned by the window, which then goes on; no exception leaves a window
// procedure.
void ShowCurrentError(HWND window, const wchar_t* caption) noexcept;

// Every row's control as a visible child of `parent`, in the table's order.
void CreateControls(HWND parent, std::span<const ControlRow> rows, HGDIOBJ font);

// Each anchored row's control moved from `designed` to the `actual` size.
void PlaceControls(HWND parent, std::span<const ControlRow> rows, SIZE designed, SIZE actual);

}  // namespace queuewindow

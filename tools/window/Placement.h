// Where the queue window opens and what of its place is kept: the restored
// bounds at 96 DPI (the same size on any screen), whether it was maximised,
// and the HotSync user it showed (Remembered.h keeps them).
#pragma once
#include <windows.h>

#include <string>

#include "tools/window/Remembered.h"

namespace queuewindow {

// The remembered bounds while they lie on a monitor; else the default size
// in the middle of the work area. In pixels at `dpi`.
RECT OpeningBounds(const Remembered& remembered, int dpi);

// The window's place now, kept for the next start; `dpi` is its controls'.
void KeepPlacement(HWND window, int dpi, const std::wstring& lastUser) noexcept;

}  // namespace queuewindow

// Whether a window shows everything it was given: each visible control's
// text fits inside it in the control's own font (a check box's or radio
// button's box counted, a list's column titles and cells in their columns),
// each control lies inside the window's client area, and no two controls
// overlap (pictures and group boxes, which others are drawn over, aside).
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace testsupport {

// One line per problem, naming the control by its class, text and font;
// none when the window is laid out well. The cells of a list's last column
// (which fills the rest of the list and tells the rest in a tip) and of the
// columns titled in `mayCut` (full paths, say) may end in "...".
std::vector<std::string> LayoutProblems(HWND window, const std::vector<std::wstring>& mayCut = {});

// The text of one cell of a list view, as the list shows it.
std::wstring ListText(HWND list, int item, int column);

}  // namespace testsupport

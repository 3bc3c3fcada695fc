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

// One line per problem, naming the control by its class and text; none when
// the window is laid out well. `lastColumnMayCut`: a list's last column
// fills the rest of the list and tells the rest in a tip.
std::vector<std::string> LayoutProblems(HWND window, bool lastColumnMayCut = true);

}  // namespace testsupport

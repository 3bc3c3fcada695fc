// Whether a window's texts can be read: each visible, enabled control's text
// (a label's, a button's, a combo box's, a status bar's), each check box's
// or radio button's mark, a list's rows (of a list that asks its owner for
// them) and its column titles are taken away for a moment, and the screen
// pixels that change are their ink. The ink's colour must stand out from the colour those pixels have
// without it, by the luminance contrast ratio that readable text needs.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace testsupport {

// One line per problem, naming the control and the two colours; none when
// every text stands out. With `userColours`, as in high contrast, every ink
// must also be one of the user's text colours on one of the user's
// background colours (window and button face).
std::vector<std::string> ContrastProblems(HWND window, bool userColours);

}  // namespace testsupport

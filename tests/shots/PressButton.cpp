// Clicks buttons of another program's window for a screen grab, as a
// person would:
//   press_button CAPTION BUTTON [BUTTON...]
// waits for a visible top-level window with that caption (of any process)
// and clicks each named button in turn (posted, so that a button that opens
// a modal dialog does not stop us). Exit code 1 when a window or a button
// did not turn up.
#include <windows.h>

#include <cstdio>
#include <exception>

#include "tests/support/WindowDriver.h"

namespace drv = testsupport;

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: press_button CAPTION BUTTON [BUTTON...]\n");
        return 2;
    }
    try {
        const HWND window = drv::WaitForWindow(argv[1], drv::kWaitTimeout, 0);
        for (int i = 2; i < argc; ++i) {
            drv::Click(drv::Child(window, "Button", argv[i]));
            Sleep(300);  // the click's work shows before the next one
        }
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "press_button: %s\n", e.what());
        return 1;
    }
}

// Clicks buttons of another program's window for a screen grab, as a
// person would:
//   press_button CAPTION BUTTON [BUTTON...]
// waits for a visible top-level window with that caption (of any process)
// and clicks each named button in turn (posted, so that a button that opens
// a modal dialog does not stop us). A BUTTON "menu:N" chooses the Nth item
// (from 1) of the menu that the click before opened. Exit code 1 when a
// window, a button or a menu did not turn up.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

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
            if (const std::string item = argv[i]; item.rfind("menu:", 0) == 0) {
                HWND menu = nullptr;
                if (!drv::WaitFor([&] { return (menu = FindWindowA("#32768", nullptr)) && IsWindowVisible(menu); }))
                    throw drv::DriverError("no menu opened");
                for (int down = std::atoi(item.c_str() + 5); down > 0; --down) drv::PressKey(menu, VK_DOWN);
                drv::PressKey(menu, VK_RETURN);
                continue;
            }
            drv::Click(drv::Child(window, "Button", argv[i]));
            Sleep(300);  // the click's work shows before the next one
        }
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "press_button: %s\n", e.what());
        return 1;
    }
}

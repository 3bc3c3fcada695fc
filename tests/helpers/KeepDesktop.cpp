// keep_desktop
// (writes keep_desktop.ready into the current folder once it uses the desktop)
// Keeps the test prefix's desktop open for the whole test run. Wine closes a
// desktop a second after the last program using it has ended, and the next
// program that makes a window starts the desktop's process again, which takes
// that program's error output with it. CTest reads a test's output until every
// holder of it has closed it, so the test it came from looked unfinished until
// the desktop happened to close again, or failed at its time-out after it had
// passed. scripts/run-tests.sh starts this program first, with no output of a
// test: it uses the desktop (a hidden window that no test sees) until the run
// ends it, so the desktop's process is started once, by it.
#include <windows.h>

#include "desktop/Handles.h"

namespace {

LRESULT CALLBACK KeeperProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    // Only the run's end (wineserver -k) or the X server's ends this program.
    if (message == WM_CLOSE || message == WM_QUERYENDSESSION) return message == WM_QUERYENDSESSION;
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = KeeperProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = L"Tolvane test desktop keeper";
    if (!RegisterClassW(&windowClass)) return 1;
    if (!CreateWindowExW(0, windowClass.lpszClassName, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, instance,
                         nullptr))
        return 1;
    const desktop::UniqueFile ready(
        CreateFileA("keep_desktop.ready", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
    return 0;
}

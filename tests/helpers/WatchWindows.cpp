// watch_windows FLAG_FILE
// For scripts that run a program which must show nothing (a silent install):
// prints "watching" once it has noted the windows already shown, then, while
// FLAG_FILE exists (at most five minutes), notes every visible top-level
// window of any process that was not among them, printing its caption and
// class. Exit code 1 when one was seen, 0 when none.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr DWORD kLongestWatch = 300000;
constexpr DWORD kPoll = 20;

BOOL CALLBACK CollectVisible(HWND window, LPARAM param) {
    if (IsWindowVisible(window)) reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
    return TRUE;
}

std::vector<HWND> VisibleWindows() {
    std::vector<HWND> windows;
    EnumWindows(&CollectVisible, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

bool Contains(const std::vector<HWND>& windows, HWND window) {
    return std::find(windows.begin(), windows.end(), window) != windows.end();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: watch_windows FLAG_FILE\n");
        return 2;
    }
    std::vector<HWND> known = VisibleWindows();
    std::printf("watching\n");
    std::fflush(stdout);
    bool seen = false;
    for (DWORD waited = 0; waited < kLongestWatch && GetFileAttributesA(argv[1]) != INVALID_FILE_ATTRIBUTES;
         waited += kPoll) {
        for (const HWND window : VisibleWindows()) {
            if (Contains(known, window)) continue;
            known.push_back(window);
            char caption[256] = {}, className[64] = {};
            GetWindowTextA(window, caption, sizeof caption);
            GetClassNameA(window, className, sizeof className);
            std::printf("window: \"%s\" (%s)\n", caption, className);
            std::fflush(stdout);
            seen = true;
        }
        Sleep(kPoll);
    }
    return seen ? 1 : 0;
}

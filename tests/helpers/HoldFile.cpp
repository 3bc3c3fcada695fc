// hold_file PATH READY_EVENT STOP_EVENT
// hold_file PATH --while FLAG_FILE
// Another program that keeps a file open without sharing it, as an editor or
// a backup tool may: opens PATH for reading and writing with no sharing,
// signals the named event READY_EVENT, and holds the file until STOP_EVENT is
// signalled (or a minute has passed, so that a failed test leaves nothing
// running). The second form is for scripts, which have no named events: it
// prints "held" once the file is open and holds it while FLAG_FILE exists.
// Exit code 0 when the file was held, 1 when it could not be opened.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "desktop/Handles.h"

namespace {

using Handle = desktop::UniqueFile;  // null and INVALID_HANDLE_VALUE are both no handle

constexpr DWORD kLongestHold = 60000;
constexpr DWORD kPoll = 50;

HANDLE OpenUnshared(const char* path) {
    return CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

int HoldWhileFlagExists(const char* path, const char* flag) {
    const Handle file(OpenUnshared(path));
    if (!file) return 1;
    std::printf("held\n");
    std::fflush(stdout);
    for (DWORD waited = 0; waited < kLongestHold && GetFileAttributesA(flag) != INVALID_FILE_ATTRIBUTES; waited += kPoll)
        Sleep(kPoll);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[2], "--while") == 0) return HoldWhileFlagExists(argv[1], argv[3]);
    if (argc != 4) {
        std::fprintf(stderr, "usage: hold_file PATH READY_EVENT STOP_EVENT | hold_file PATH --while FLAG_FILE\n");
        return 2;
    }
    const Handle ready(OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[2]));
    const Handle stop(OpenEventA(SYNCHRONIZE, FALSE, argv[3]));
    if (!ready || !stop) return 2;
    const Handle file(OpenUnshared(argv[1]));
    if (!file) return 1;
    SetEvent(ready.get());
    WaitForSingleObject(stop.get(), kLongestHold);
    return 0;
}

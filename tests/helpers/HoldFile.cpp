// hold_file PATH READY_EVENT STOP_EVENT
// Another program that keeps a file open without sharing it, as an editor or
// a backup tool may: opens PATH for reading and writing with no sharing,
// signals the named event READY_EVENT, and holds the file until STOP_EVENT is
// signalled (or a minute has passed, so that a failed test leaves nothing
// running). Exit code 0 when the file was held, 1 when it could not be opened.
#include <windows.h>

#include <cstdio>

namespace {

class Handle {
public:
    explicit Handle(HANDLE h) noexcept : h_(h == INVALID_HANDLE_VALUE ? nullptr : h) {}
    ~Handle() {
        if (h_) CloseHandle(h_);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE get() const noexcept { return h_; }
    explicit operator bool() const noexcept { return h_ != nullptr; }

private:
    HANDLE h_;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: hold_file PATH READY_EVENT STOP_EVENT\n");
        return 2;
    }
    const Handle ready(OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[2]));
    const Handle stop(OpenEventA(SYNCHRONIZE, FALSE, argv[3]));
    if (!ready || !stop) return 2;
    const Handle file(CreateFileA(argv[1], GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return 1;
    SetEvent(ready.get());
    WaitForSingleObject(stop.get(), 60000);
    return 0;
}

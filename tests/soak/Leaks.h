// The soak's self-tests: objects of each kind the counters watch, leaked on
// purpose at every cycle, or taken before the measured cycles and given back
// during them, so that a counter that cannot see a change in either
// direction fails the run instead of reporting a clean host.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace soak {

inline constexpr unsigned kLeakedKbPerCycle = 64;

// Leaks a handle, a GDI object (through this program's counted imports), a
// thread-local storage slot, a window class with a hidden window of it,
// kLeakedKbPerCycle KiB of heap, and a module: `moduleSource` copied under a
// new name into `folder`.
void LeakOneOfEach(unsigned cycle, const std::string& moduleSource, const std::string& folder);

// Objects of every kind LeakOneOfEach leaks (private memory as a region of
// its own, heap as a block), `count` of each, taken at once and given back
// one of each at a time: a growth below zero, as a double close would make.
class GiveBack {
public:
    GiveBack(unsigned count, const std::string& moduleSource, const std::string& folder);
    ~GiveBack();
    GiveBack(const GiveBack&) = delete;
    GiveBack& operator=(const GiveBack&) = delete;

    void GiveOne();

private:
    struct Taken {
        HANDLE event = nullptr;
        HGDIOBJ brush = nullptr;
        DWORD tls = TLS_OUT_OF_INDEXES;
        std::string className;
        HWND window = nullptr;
        void* region = nullptr;
        void* block = nullptr;
        HMODULE module = nullptr;
    };
    static void Release(Taken& taken);
    std::vector<Taken> taken_;
};

}  // namespace soak

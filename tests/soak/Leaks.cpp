#include "tests/soak/Leaks.h"

#include <cstring>
#include <stdexcept>

namespace soak {

namespace {

// A window class of this program's with one hidden window of it.
HWND ClassWindow(const std::string& className) {
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = &DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = className.c_str();
    if (!RegisterClassExA(&windowClass)) throw std::runtime_error("no window class for the self-test");
    const HWND window = CreateWindowExA(0, className.c_str(), "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                        windowClass.hInstance, nullptr);
    if (!window) throw std::runtime_error("no window for the self-test");
    return window;
}

// Committed and written, not only reserved.
void* Filled(void* memory) {
    if (!memory) throw std::runtime_error("no memory for the self-test");
    std::memset(memory, 0x5A, kLeakedKbPerCycle * 1024);
    return memory;
}

HMODULE ModuleCopy(const std::string& moduleSource, const std::string& copy) {
    const HMODULE module = CopyFileA(moduleSource.c_str(), copy.c_str(), FALSE) ? LoadLibraryA(copy.c_str()) : nullptr;
    if (!module) throw std::runtime_error("no module for the self-test from " + moduleSource);
    return module;
}

}  // namespace

void LeakOneOfEach(unsigned cycle, const std::string& moduleSource, const std::string& folder) {
    const std::string tag = std::to_string(cycle);
    if (!CreateEventA(nullptr, TRUE, FALSE, nullptr)) throw std::runtime_error("no event to leak");
    if (!CreateSolidBrush(RGB(cycle & 0xFF, 0, 0))) throw std::runtime_error("no brush to leak");
    if (TlsAlloc() == TLS_OUT_OF_INDEXES) throw std::runtime_error("no TLS slot to leak");
    ClassWindow("SoakLeak" + tag);
    Filled(HeapAlloc(GetProcessHeap(), 0, kLeakedKbPerCycle * 1024));
    ModuleCopy(moduleSource, folder + "\\leak" + tag + ".dll");
}

GiveBack::GiveBack(unsigned count, const std::string& moduleSource, const std::string& folder) {
    for (unsigned i = 0; i < count; ++i) {
        const std::string tag = std::to_string(i);
        Taken& taken = taken_.emplace_back();
        taken.event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        taken.brush = CreateSolidBrush(RGB(i & 0xFF, 1, 0));
        taken.tls = TlsAlloc();
        if (!taken.event || !taken.brush || taken.tls == TLS_OUT_OF_INDEXES)
            throw std::runtime_error("no handle, brush or TLS slot to give back");
        taken.className = "SoakGiveBack" + tag;
        taken.window = ClassWindow(taken.className);
        taken.region = Filled(VirtualAlloc(nullptr, kLeakedKbPerCycle * 1024, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
        taken.block = Filled(HeapAlloc(GetProcessHeap(), 0, kLeakedKbPerCycle * 1024));
        taken.module = ModuleCopy(moduleSource, folder + "\\giveback" + tag + ".dll");
    }
}

GiveBack::~GiveBack() {
    while (!taken_.empty()) GiveOne();
}

void GiveBack::Release(Taken& taken) {
    CloseHandle(taken.event);
    DeleteObject(taken.brush);
    TlsFree(taken.tls);
    DestroyWindow(taken.window);
    UnregisterClassA(taken.className.c_str(), GetModuleHandleA(nullptr));
    VirtualFree(taken.region, 0, MEM_RELEASE);
    HeapFree(GetProcessHeap(), 0, taken.block);
    FreeLibrary(taken.module);
}

void GiveBack::GiveOne() {
    if (taken_.empty()) return;
    Release(taken_.back());
    taken_.pop_back();
}

}  // namespace soak

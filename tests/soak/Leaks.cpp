#include "tests/soak/Leaks.h"

#include <windows.h>

#include <cstring>
#include <stdexcept>

namespace soak {

void LeakOneOfEach(unsigned cycle, const std::string& moduleSource, const std::string& folder) {
    const std::string tag = std::to_string(cycle);
    if (!CreateEventA(nullptr, TRUE, FALSE, nullptr)) throw std::runtime_error("no event to leak");
    if (!CreateSolidBrush(RGB(cycle & 0xFF, 0, 0))) throw std::runtime_error("no brush to leak");
    if (TlsAlloc() == TLS_OUT_OF_INDEXES) throw std::runtime_error("no TLS slot to leak");

    const std::string className = "SoakLeak" + tag;
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = &DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = className.c_str();
    if (!RegisterClassExA(&windowClass)) throw std::runtime_error("no window class to leak");
    if (!CreateWindowExA(0, className.c_str(), "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, windowClass.hInstance,
                         nullptr))
        throw std::runtime_error("no window to leak");

    void* block = HeapAlloc(GetProcessHeap(), 0, kLeakedKbPerCycle * 1024);
    if (!block) throw std::runtime_error("no memory to leak");
    std::memset(block, 0x5A, kLeakedKbPerCycle * 1024);  // committed, not only reserved

    const std::string copy = folder + "\\leak" + tag + ".dll";
    if (!CopyFileA(moduleSource.c_str(), copy.c_str(), FALSE) || !LoadLibraryA(copy.c_str()))
        throw std::runtime_error("no module to leak from " + moduleSource);
}

}  // namespace soak

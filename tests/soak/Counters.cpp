#include "tests/soak/Counters.h"

#include <tlhelp32.h>

#include <sstream>
#include <vector>

#include "tests/soak/GdiCalls.h"

namespace soak {
namespace {

constexpr long kTlsSlots = 1088;  // TLS_MINIMUM_AVAILABLE and the expansion slots

// Handle values are multiples of four. The scan goes on well past the
// highest open handle, since freed slots leave gaps below it.
long OpenHandles() {
    constexpr ULONG_PTR kStep = 4, kBeyond = 16384, kAtLeast = 65536;
    long open = 0;
    ULONG_PTR highest = 0;
    for (ULONG_PTR value = kStep; value < kAtLeast || value < highest + kBeyond; value += kStep) {
        DWORD flags = 0;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) {
            ++open;
            highest = value;
        }
    }
    return open;
}

std::int64_t CommittedPrivateBytes() {
    std::int64_t bytes = 0;
    MEMORY_BASIC_INFORMATION region{};
    for (const BYTE* address = nullptr; VirtualQuery(address, &region, sizeof region) == sizeof region;) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) bytes += static_cast<std::int64_t>(region.RegionSize);
        const BYTE* next = static_cast<const BYTE*>(region.BaseAddress) + region.RegionSize;
        if (next <= address) break;
        address = next;
    }
    return bytes;
}

class HeapLockGuard {
public:
    explicit HeapLockGuard(HANDLE heap) : heap_(heap), locked_(HeapLock(heap) != FALSE) {}
    ~HeapLockGuard() {
        if (locked_) HeapUnlock(heap_);
    }
    HeapLockGuard(const HeapLockGuard&) = delete;
    HeapLockGuard& operator=(const HeapLockGuard&) = delete;

private:
    HANDLE heap_;
    bool locked_;
};

std::int64_t HeapBytesInUse() {
    HANDLE heaps[256];
    const DWORD count = GetProcessHeaps(256, heaps);
    std::int64_t bytes = 0;
    for (DWORD i = 0; i < count && i < 256; ++i) {
        const HeapLockGuard lock(heaps[i]);
        PROCESS_HEAP_ENTRY entry{};
        while (HeapWalk(heaps[i], &entry))
            if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) bytes += entry.cbData;
    }
    return bytes;
}

BOOL CALLBACK CountChild(HWND, LPARAM count) {
    ++*reinterpret_cast<long*>(count);
    return TRUE;
}

bool Ours(HWND window) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    return process == GetCurrentProcessId();
}

BOOL CALLBACK CountTopLevel(HWND window, LPARAM count) {
    if (!Ours(window)) return TRUE;
    ++*reinterpret_cast<long*>(count);
    EnumChildWindows(window, &CountChild, count);
    return TRUE;
}

long Windows() {
    long count = 0;
    EnumWindows(&CountTopLevel, reinterpret_cast<LPARAM>(&count));
    // Message-only windows are no top-level windows for EnumWindows.
    for (HWND window = nullptr; (window = FindWindowExA(HWND_MESSAGE, window, nullptr, nullptr)) != nullptr;)
        if (Ours(window)) CountTopLevel(window, reinterpret_cast<LPARAM>(&count));
    return count;
}

// Class names live in the user atom table (0xC000 to 0xFFFF) beside
// registered messages and clipboard formats; GetClassInfoEx tells them apart.
long WindowClasses(const std::set<HINSTANCE>& instances) {
    long count = 0;
    for (unsigned atom = 0xC000; atom <= 0xFFFF; ++atom) {
        char name[256] = {};
        if (!GetClipboardFormatNameA(atom, name, sizeof name)) continue;
        for (HINSTANCE instance : instances) {
            WNDCLASSEXA info{};
            info.cbSize = sizeof info;
            if (GetClassInfoExA(instance, name, &info)) {
                ++count;
                break;
            }
        }
    }
    return count;
}

class Snapshot {
public:
    Snapshot() : handle_(CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, 0)) {}
    ~Snapshot() {
        if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    }
    Snapshot(const Snapshot&) = delete;
    Snapshot& operator=(const Snapshot&) = delete;
    HANDLE get() const noexcept { return handle_; }

private:
    HANDLE handle_;
};

long Modules() {
    const Snapshot snapshot;
    if (snapshot.get() == INVALID_HANDLE_VALUE) return -1;
    MODULEENTRY32 module{};
    module.dwSize = sizeof module;
    long count = 0;
    for (BOOL more = Module32First(snapshot.get(), &module); more; more = Module32Next(snapshot.get(), &module)) ++count;
    return count;
}

// A process has a fixed number of slots (1088 on Windows); a library that
// takes one at every load and never frees it ends every later load.
long TlsSlotsInUse() {
    std::vector<DWORD> taken;
    for (DWORD index; (index = TlsAlloc()) != TLS_OUT_OF_INDEXES;) taken.push_back(index);
    for (const DWORD index : taken) TlsFree(index);
    return kTlsSlots - static_cast<long>(taken.size());
}

}  // namespace

Sample TakeSample(const std::set<HINSTANCE>& instances) {
    Sample sample;
    sample.handles = OpenHandles();
    sample.gdi = LiveGdiObjects();
    sample.windows = Windows();
    sample.classes = WindowClasses(instances);
    sample.privateBytes = CommittedPrivateBytes();
    sample.heapBytes = HeapBytesInUse();
    sample.modules = Modules();
    sample.tlsSlots = TlsSlotsInUse();
    return sample;
}

Sample Growth(const Sample& earlier, const Sample& later) {
    Sample growth;
    growth.handles = later.handles - earlier.handles;
    growth.gdi = later.gdi - earlier.gdi;
    growth.windows = later.windows - earlier.windows;
    growth.classes = later.classes - earlier.classes;
    growth.privateBytes = later.privateBytes - earlier.privateBytes;
    growth.heapBytes = later.heapBytes - earlier.heapBytes;
    growth.modules = later.modules - earlier.modules;
    growth.tlsSlots = later.tlsSlots - earlier.tlsSlots;
    return growth;
}

std::int64_t PrivateKb(const Sample& growth) { return growth.privateBytes / 1024; }

std::string GrowthFigures(const Sample& growth) {
    std::ostringstream text;
    text << "handles=" << growth.handles << " gdi=" << growth.gdi << " user=" << growth.User()
         << " private_kb=" << PrivateKb(growth) << " heap_kb=" << growth.heapBytes / 1024
         << " modules=" << growth.modules << " tls=" << growth.tlsSlots;
    return text.str();
}

std::string DetailedFigures(const Sample& growth) {
    std::ostringstream text;
    text << GrowthFigures(growth) << " (windows=" << growth.windows << " classes=" << growth.classes << ")";
    return text.str();
}

}  // namespace soak

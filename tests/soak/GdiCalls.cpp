#include "tests/soak/GdiCalls.h"

#include <cstring>
#include <mutex>
#include <unordered_map>

namespace soak {
namespace {

std::mutex gMutex;
std::unordered_map<void*, long> gLive;  // handle -> times made, not yet deleted

void Made(void* handle) {
    if (!handle) return;
    const std::lock_guard lock(gMutex);
    ++gLive[handle];
}

void Gone(void* handle) {
    const std::lock_guard lock(gMutex);
    const auto found = gLive.find(handle);
    if (found == gLive.end()) return;
    if (--found->second == 0) gLive.erase(found);
}

// One wrapper per creator; Id keeps two creators of one signature apart.
template <int Id, class Fn>
struct Creator;
template <int Id, class R, class... A>
struct Creator<Id, R(WINAPI*)(A...)> {
    static inline R(WINAPI* original)(A...) = nullptr;
    static R WINAPI Call(A... args) {
        const R made = original(args...);
        Made(reinterpret_cast<void*>(made));
        return made;
    }
};

decltype(&DeleteObject) gDeleteObject = nullptr;
decltype(&DeleteDC) gDeleteDC = nullptr;
decltype(&ReleaseDC) gReleaseDC = nullptr;

BOOL WINAPI CountedDeleteObject(HGDIOBJ object) {
    const BOOL done = gDeleteObject(object);
    if (done) Gone(object);
    return done;
}
BOOL WINAPI CountedDeleteDC(HDC dc) {
    const BOOL done = gDeleteDC(dc);
    if (done) Gone(dc);
    return done;
}
int WINAPI CountedReleaseDC(HWND window, HDC dc) {
    const int done = gReleaseDC(window, dc);
    if (done) Gone(dc);
    return done;
}

struct Hook {
    const char* library;
    const char* name;
    void* wrapper;
    void** original;
};

template <int Id, class Fn>
Hook CreatorHook(const char* library, const char* name, Fn) {
    using Wrapper = Creator<Id, Fn>;
    return {library, name, reinterpret_cast<void*>(&Wrapper::Call), reinterpret_cast<void**>(&Wrapper::original)};
}

template <class Fn>
Hook DeleterHook(const char* name, Fn wrapper, Fn& original) {
    return {name[0] == 'R' ? "user32.dll" : "gdi32.dll", name, reinterpret_cast<void*>(wrapper),
            reinterpret_cast<void**>(&original)};
}

const std::vector<Hook>& Hooks() {
    static const std::vector<Hook> hooks = {
        CreatorHook<1>("gdi32.dll", "CreateCompatibleDC", &CreateCompatibleDC),
        CreatorHook<2>("gdi32.dll", "CreateCompatibleBitmap", &CreateCompatibleBitmap),
        CreatorHook<3>("gdi32.dll", "CreateBitmap", &CreateBitmap),
        CreatorHook<4>("gdi32.dll", "CreateDIBSection", &CreateDIBSection),
        CreatorHook<5>("gdi32.dll", "CreateFontA", &CreateFontA),
        CreatorHook<6>("gdi32.dll", "CreateFontIndirectA", &CreateFontIndirectA),
        CreatorHook<7>("gdi32.dll", "CreatePatternBrush", &CreatePatternBrush),
        CreatorHook<8>("gdi32.dll", "CreatePen", &CreatePen),
        CreatorHook<9>("gdi32.dll", "CreateRoundRectRgn", &CreateRoundRectRgn),
        CreatorHook<10>("gdi32.dll", "CreateRectRgn", &CreateRectRgn),
        CreatorHook<11>("gdi32.dll", "CreateSolidBrush", &CreateSolidBrush),
        CreatorHook<12>("gdi32.dll", "CreateBrushIndirect", &CreateBrushIndirect),
        CreatorHook<13>("user32.dll", "GetDC", &GetDC),
        CreatorHook<14>("user32.dll", "GetWindowDC", &GetWindowDC),
        CreatorHook<15>("gdi32.dll", "CreateFontIndirectW", &CreateFontIndirectW),
        DeleterHook("DeleteObject", &CountedDeleteObject, gDeleteObject),
        DeleterHook("DeleteDC", &CountedDeleteDC, gDeleteDC),
        DeleterHook("ReleaseDC", &CountedReleaseDC, gReleaseDC),
    };
    return hooks;
}

const Hook* FindHook(const char* library, const char* name) {
    for (const Hook& hook : Hooks())
        if (lstrcmpiA(hook.library, library) == 0 && std::strcmp(hook.name, name) == 0) return &hook;
    return nullptr;
}

// A GDI function that hands out a new object the caller must delete.
bool MakesObject(const char* library, const char* name) {
    return lstrcmpiA(library, "gdi32.dll") == 0 &&
           (std::strncmp(name, "Create", 6) == 0 || std::strncmp(name, "ExtCreate", 9) == 0);
}

void Replace(IMAGE_THUNK_DATA* slot, const Hook& hook) {
    void* const current = reinterpret_cast<void*>(slot->u1.Function);
    if (current == hook.wrapper) return;  // patched already (the module stayed loaded)
    *hook.original = current;
    DWORD protection = 0;
    VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &protection);
    slot->u1.Function = reinterpret_cast<DWORD_PTR>(hook.wrapper);
    VirtualProtect(slot, sizeof *slot, protection, &protection);
}

}  // namespace

std::vector<std::string> CountGdiCalls(HMODULE module) {
    auto* const base = reinterpret_cast<BYTE*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    std::vector<std::string> uncounted;
    if (!imports.VirtualAddress) return uncounted;
    for (auto* entry = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress); entry->Name; ++entry) {
        const char* library = reinterpret_cast<const char*>(base + entry->Name);
        // The names table; without one the bound addresses tell no names.
        if (!entry->OriginalFirstThunk) continue;
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + entry->OriginalFirstThunk);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + entry->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            const auto* byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            const char* name = reinterpret_cast<const char*>(byName->Name);
            if (const Hook* hook = FindHook(library, name)) Replace(slots, *hook);
            else if (MakesObject(library, name)) uncounted.push_back(name);
        }
    }
    return uncounted;
}

long LiveGdiObjects() {
    const std::lock_guard lock(gMutex);
    long live = 0;
    for (const auto& [handle, times] : gLive) live += times;
    return live;
}

}  // namespace soak

#include "app/RuntimeRelease.h"

#include <windows.h>

namespace __gnu_cxx {
// The C++ runtime's own release of its emergency exception buffer.
void __freeres() noexcept;
}  // namespace __gnu_cxx

namespace {

using CreateSemaphoreFn = HANDLE(WINAPI*)(LPSECURITY_ATTRIBUTES, LONG, LONG, LPCWSTR);
using CloseHandleFn = BOOL(WINAPI*)(HANDLE);
using TlsAllocFn = DWORD(WINAPI*)();
using TlsFreeFn = BOOL(WINAPI*)(DWORD);

// The linker's names for the real imports, which -Wl,--wrap leaves to us.
extern "C" const CreateSemaphoreFn realCreateSemaphore asm("___real__imp__CreateSemaphoreW@16");
extern "C" const CloseHandleFn realCloseHandle asm("___real__imp__CloseHandle@4");
extern "C" const TlsAllocFn realTlsAlloc asm("___real__imp__TlsAlloc@0");
extern "C" const TlsFreeFn realTlsFree asm("___real__imp__TlsFree@4");

// What the library holds of one kind, one slot each, claimed and freed with
// interlocked exchanges: the runtime makes some while the library loads and
// some on first use (the first exception a thread throws), on any thread.
// Zero-initialised data, so that it is there before the first constructor;
// values are stored plus one, so that a TLS index of 0 is not an empty slot.
// More than fit are left to their makers.
class Held {
public:
    void Note(ULONG_PTR value) noexcept {
        void* const stored = reinterpret_cast<void*>(value + 1);
        for (void*& slot : slots_)
            if (!InterlockedCompareExchangePointer(&slot, stored, nullptr)) return;
    }
    void Forget(ULONG_PTR value) noexcept {
        void* const stored = reinterpret_cast<void*>(value + 1);
        for (void*& slot : slots_)
            if (InterlockedCompareExchangePointer(&slot, nullptr, stored) == stored) return;
    }
    template <class Release>
    void ReleaseAll(Release release) noexcept {
        for (void*& slot : slots_)
            if (void* const stored = InterlockedExchangePointer(&slot, nullptr))
                release(reinterpret_cast<ULONG_PTR>(stored) - 1);
    }

private:
    void* slots_[64];
};

Held g_semaphores;
Held g_tlsIndexes;

HANDLE WINAPI CreateSemaphoreNoted(LPSECURITY_ATTRIBUTES security, LONG initial, LONG maximum, LPCWSTR name) {
    const HANDLE semaphore = realCreateSemaphore(security, initial, maximum, name);
    if (semaphore) g_semaphores.Note(reinterpret_cast<ULONG_PTR>(semaphore));
    return semaphore;
}

BOOL WINAPI CloseHandleNoted(HANDLE handle) {
    if (handle) g_semaphores.Forget(reinterpret_cast<ULONG_PTR>(handle));
    return realCloseHandle(handle);
}

DWORD WINAPI TlsAllocNoted() {
    const DWORD index = realTlsAlloc();
    if (index != TLS_OUT_OF_INDEXES) g_tlsIndexes.Note(index);
    return index;
}

BOOL WINAPI TlsFreeNoted(DWORD index) {
    g_tlsIndexes.Forget(index);
    return realTlsFree(index);
}

// Constructed before the runtime's own static objects, so destroyed after
// them: what is still held then is held by nobody (the runtime never
// destroys its static mutexes nor its thread-local keys; a process has only
// 1088 TLS slots). The runtime's last step after this, dropping the
// exception frames, takes its mutex without contention, which leaves the
// semaphore untouched.
struct ReleaseLeftovers {
    ~ReleaseLeftovers() {
        g_semaphores.ReleaseAll([](ULONG_PTR semaphore) { realCloseHandle(reinterpret_cast<HANDLE>(semaphore)); });
        g_tlsIndexes.ReleaseAll([](ULONG_PTR index) { realTlsFree(static_cast<DWORD>(index)); });
    }
};
__attribute__((init_priority(101))) ReleaseLeftovers g_releaseLeftovers;

}  // namespace

extern "C" const CreateSemaphoreFn wrappedCreateSemaphore asm("___wrap__imp__CreateSemaphoreW@16");
extern "C" const CreateSemaphoreFn wrappedCreateSemaphore = &CreateSemaphoreNoted;
extern "C" const CloseHandleFn wrappedCloseHandle asm("___wrap__imp__CloseHandle@4");
extern "C" const CloseHandleFn wrappedCloseHandle = &CloseHandleNoted;
extern "C" const TlsAllocFn wrappedTlsAlloc asm("___wrap__imp__TlsAlloc@0");
extern "C" const TlsAllocFn wrappedTlsAlloc = &TlsAllocNoted;
extern "C" const TlsFreeFn wrappedTlsFree asm("___wrap__imp__TlsFree@4");
extern "C" const TlsFreeFn wrappedTlsFree = &TlsFreeNoted;

namespace app {

void ReleaseRuntimeAtUnload() noexcept { __gnu_cxx::__freeres(); }

}  // namespace app

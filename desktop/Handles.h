// Owner types for the Windows handles that the stand-ins, the host and the
// layout helper hold: movable, not copyable, closed on destruction with
// GetLastError kept, so that a caller can still report why it gave up.
#pragma once
#include <windows.h>

#include <utility>

namespace desktop {

template <class Traits>
class Unique {
public:
    using Handle = typename Traits::Handle;

    Unique() noexcept = default;
    explicit Unique(Handle h) noexcept : h_(h) {}
    ~Unique() { reset(); }
    Unique(Unique&& other) noexcept : h_(other.release()) {}
    Unique& operator=(Unique&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    Unique(const Unique&) = delete;
    Unique& operator=(const Unique&) = delete;

    Handle get() const noexcept { return h_; }
    explicit operator bool() const noexcept { return Traits::Valid(h_); }
    Handle release() noexcept { return std::exchange(h_, Traits::Invalid()); }
    void reset(Handle h = Traits::Invalid()) noexcept {
        const Handle old = std::exchange(h_, h);
        if (Traits::Valid(old)) {
            const DWORD error = GetLastError();
            Traits::Close(old);
            SetLastError(error);
        }
    }

private:
    Handle h_ = Traits::Invalid();
};

template <class H, auto CloseFn>
struct NullIsInvalid {
    using Handle = H;
    static H Invalid() noexcept { return nullptr; }
    static bool Valid(H h) noexcept { return h != nullptr; }
    static void Close(H h) noexcept { CloseFn(h); }
};

// CreateFile and FindFirstFile report failure as INVALID_HANDLE_VALUE.
template <auto CloseFn>
struct MinusOneIsInvalid {
    using Handle = HANDLE;
    static HANDLE Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static bool Valid(HANDLE h) noexcept { return h != INVALID_HANDLE_VALUE && h != nullptr; }
    static void Close(HANDLE h) noexcept { CloseFn(h); }
};

using UniqueFile = Unique<MinusOneIsInvalid<CloseHandle>>;
using UniqueFind = Unique<MinusOneIsInvalid<FindClose>>;
using UniqueModule = Unique<NullIsInvalid<HMODULE, FreeLibrary>>;
using UniqueKey = Unique<NullIsInvalid<HKEY, RegCloseKey>>;

}  // namespace desktop

// One small owner type per kind of Windows handle: movable, not copyable,
// closes on destruction and keeps GetLastError as it was, so that a caller
// can still report the error that made it give up.
#pragma once
#include <windows.h>

#include <utility>

namespace rtl {

template <class Handle, class Traits>
class UniqueHandle {
public:
    UniqueHandle() noexcept = default;
    explicit UniqueHandle(Handle h) noexcept : h_(h) {}
    ~UniqueHandle() { reset(); }
    UniqueHandle(UniqueHandle&& other) noexcept : h_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

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
    // For APIs that return the handle through an out parameter.
    Handle* put() noexcept {
        reset();
        return &h_;
    }

private:
    Handle h_ = Traits::Invalid();
};

template <class Handle, auto CloseFn>
struct NullInvalidTraits {
    static Handle Invalid() noexcept { return nullptr; }
    static bool Valid(Handle h) noexcept { return h != nullptr; }
    static void Close(Handle h) noexcept { CloseFn(h); }
};

struct FileHandleTraits {
    static HANDLE Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static bool Valid(HANDLE h) noexcept { return h != INVALID_HANDLE_VALUE && h != nullptr; }
    static void Close(HANDLE h) noexcept { CloseHandle(h); }
};

struct FindHandleTraits {
    static HANDLE Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static bool Valid(HANDLE h) noexcept { return h != INVALID_HANDLE_VALUE && h != nullptr; }
    static void Close(HANDLE h) noexcept { FindClose(h); }
};

using UniqueHModule = UniqueHandle<HMODULE, NullInvalidTraits<HMODULE, FreeLibrary>>;
using UniqueHKey = UniqueHandle<HKEY, NullInvalidTraits<HKEY, RegCloseKey>>;
using UniqueFile = UniqueHandle<HANDLE, FileHandleTraits>;
using UniqueFindHandle = UniqueHandle<HANDLE, FindHandleTraits>;  // FindFirstFile's
using UniqueKernelHandle = UniqueHandle<HANDLE, NullInvalidTraits<HANDLE, CloseHandle>>;
using UniqueHWnd = UniqueHandle<HWND, NullInvalidTraits<HWND, DestroyWindow>>;
using UniqueGdiObject = UniqueHandle<HGDIOBJ, NullInvalidTraits<HGDIOBJ, DeleteObject>>;
using UniqueHdc = UniqueHandle<HDC, NullInvalidTraits<HDC, DeleteDC>>;
// What the security and shell functions hand back for LocalFree to free.
using UniqueLocalMemory = UniqueHandle<HLOCAL, NullInvalidTraits<HLOCAL, LocalFree>>;

// A COM interface, released once; put() is the `void**` of CoCreateInstance
// and QueryInterface after a cast.
template <class Interface>
struct ComReleaseTraits {
    static Interface* Invalid() noexcept { return nullptr; }
    static bool Valid(Interface* p) noexcept { return p != nullptr; }
    static void Close(Interface* p) noexcept { p->Release(); }
};
template <class Interface>
using ComPtr = UniqueHandle<Interface*, ComReleaseTraits<Interface>>;

}  // namespace rtl

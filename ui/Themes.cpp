#include "ui/Themes.h"

#include "rtl/ModulePath.h"

namespace rtl {

bool HighContrast() noexcept {
    HIGHCONTRASTA contrast{};
    contrast.cbSize = sizeof contrast;
    return SystemParametersInfoA(SPI_GETHIGHCONTRAST, sizeof contrast, &contrast, 0) &&
           (contrast.dwFlags & HCF_HIGHCONTRASTON);
}

void SurfaceColours::Refresh() noexcept {
    brush_.reset(own_ != clDefault && !HighContrast() ? CreateSolidBrush(own_) : nullptr);
}

COLORREF SurfaceColours::Text() const noexcept {
    if (!Own()) return GetSysColor(COLOR_BTNTEXT);
    // Black on a light background, white on a dark one.
    const int luminance = 299 * GetRValue(own_) + 587 * GetGValue(own_) + 114 * GetBValue(own_);
    return luminance >= 128 * 1000 ? RGB(0, 0, 0) : RGB(255, 255, 255);
}

HBRUSH SurfaceColours::Answer(HDC dc) const noexcept {
    SetTextColor(dc, Text());
    SetBkColor(dc, Background());
    return Brush();
}

bool SurfaceColours::Changed(UINT message, WPARAM wParam) noexcept {
    if (message != WM_SYSCOLORCHANGE && !(message == WM_SETTINGCHANGE && wParam == SPI_SETHIGHCONTRAST)) return false;
    Refresh();
    return true;
}

namespace {

// The module's activation context, made at most once: null while nobody has
// tried, INVALID_HANDLE_VALUE when it could not be made. Constant-initialised,
// so that it exists before any constructor runs; the runtime destroys it when
// the library unloads.
class ModuleContext {
public:
    constexpr ModuleContext() noexcept = default;
    ~ModuleContext() {
        const HANDLE context = InterlockedExchangePointer(&context_, nullptr);
        if (context && context != INVALID_HANDLE_VALUE) ReleaseActCtx(context);
    }
    ModuleContext(const ModuleContext&) = delete;
    ModuleContext& operator=(const ModuleContext&) = delete;

    // The context, or nullptr when there is none.
    HANDLE Get(bool mayCreate) noexcept {
        HANDLE context = context_;
        if (!context && mayCreate) context = Create();
        return context == INVALID_HANDLE_VALUE ? nullptr : context;
    }

private:
    // Two threads may try at once: the first one stored wins, the other's
    // copy is released again.
    HANDLE Create() noexcept {
        const DWORD error = GetLastError();
        ACTCTXA request{};
        request.cbSize = sizeof request;
        request.dwFlags = ACTCTX_FLAG_HMODULE_VALID | ACTCTX_FLAG_RESOURCE_NAME_VALID;
        request.hModule = ThisModule();
        request.lpResourceName = MAKEINTRESOURCEA(3);  // ISOLATIONAWARE_NOSTATICIMPORT_MANIFEST_RESOURCE_ID
        const HANDLE made = CreateActCtxA(&request);
        SetLastError(error);
        const HANDLE stored = InterlockedCompareExchangePointer(&context_, made, nullptr);
        if (!stored) return made;
        if (made != INVALID_HANDLE_VALUE) ReleaseActCtx(made);
        return stored;
    }

    HANDLE context_ = nullptr;
};

ModuleContext g_context;

}  // namespace

ThemedWindows::ThemedWindows(bool mayCreate) noexcept {
    if (const HANDLE context = g_context.Get(mayCreate)) Activate(context);
}

ThemedWindows::ThemedWindows(HANDLE context, bool activate) noexcept {
    if (activate) Activate(context);
}

// A null context is the process's default one.
void ThemedWindows::Activate(HANDLE context) noexcept {
    const DWORD error = GetLastError();
    active_ = ActivateActCtx(context, &cookie_) != FALSE;
    SetLastError(error);
}

ThemedWindows::~ThemedWindows() {
    if (!active_) return;
    const DWORD error = GetLastError();
    DeactivateActCtx(0, cookie_);
    SetLastError(error);
}

}  // namespace rtl

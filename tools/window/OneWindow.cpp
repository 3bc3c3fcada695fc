#include "tools/window/OneWindow.h"

#include "tools/window/QueueWindow.h"

namespace queuewindow {

namespace {

// "Local\": this Windows session's, so that each signed-in user has a window.
constexpr const wchar_t* kMutexName = L"Local\\Tolvane Queue window";
// What WM_COPYDATA's dwData says for our own message: "TQ" and a version.
constexpr ULONG_PTR kHandedTag = 0x54510001;
constexpr DWORD kWaitForWindowMs = 5000;
constexpr UINT kSendTimeoutMs = 10000;

// The user, then each file, each ending in a null.
std::wstring Packed(const Handed& handed) {
    std::wstring packed = handed.user + L'\0';
    for (const std::wstring& file : handed.files) packed += file + L'\0';
    return packed;
}

}  // namespace

SessionLock::SessionLock() : mutex_(CreateMutexW(nullptr, FALSE, kMutexName)) {
    first_ = !mutex_ || GetLastError() != ERROR_ALREADY_EXISTS;
}

bool HandToRunningWindow(const Handed& handed) noexcept {
    try {
        const rtl::UniqueKernelHandle mutex(OpenMutexW(SYNCHRONIZE, FALSE, kMutexName));
        if (!mutex) return false;
        HWND window = nullptr;
        for (DWORD waited = 0; !(window = FindWindowW(kWindowClass, nullptr)) && waited < kWaitForWindowMs;
             waited += 100)
            Sleep(100);
        if (!window) return false;
        // We were started by the user, so we may let the window come forward.
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        AllowSetForegroundWindow(process);
        const std::wstring packed = Packed(handed);
        COPYDATASTRUCT data{kHandedTag, static_cast<DWORD>(packed.size() * sizeof(wchar_t)),
                            const_cast<wchar_t*>(packed.data())};
        DWORD_PTR taken = 0;
        return SendMessageTimeoutW(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG,
                                   kSendTimeoutMs, &taken) &&
               taken;
    } catch (...) {
        return false;
    }
}

std::optional<Handed> ReadHanded(const COPYDATASTRUCT& data) {
    if (data.dwData != kHandedTag || !data.lpData || data.cbData % sizeof(wchar_t)) return std::nullopt;
    const std::wstring packed(static_cast<const wchar_t*>(data.lpData), data.cbData / sizeof(wchar_t));
    Handed handed;
    size_t start = 0;
    for (bool first = true; start < packed.size(); first = false) {
        size_t end = packed.find(L'\0', start);
        if (end == std::wstring::npos) end = packed.size();
        std::wstring part = packed.substr(start, end - start);
        if (first) handed.user = std::move(part);
        else if (!part.empty()) handed.files.push_back(std::move(part));
        start = end + 1;
    }
    return handed;
}

}  // namespace queuewindow

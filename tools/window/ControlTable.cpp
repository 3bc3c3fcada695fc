#include "tools/window/ControlTable.h"

#include <exception>
#include <string>

#include "rtl/AnsiText.h"
#include "rtl/Forms.h"
#include "rtl/SysUtils.h"

namespace queuewindow {

rtl::UniqueGdiObject MessageFont() {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) return {};
    return rtl::UniqueGdiObject(CreateFontIndirectW(&metrics.lfMessageFont));
}

std::wstring TextOf(HWND control) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
    return text;
}

void ShowCurrentError(HWND window, const wchar_t* caption) noexcept {
    std::string text = "An unexpected error occurred.";
    try {
        throw;
    } catch (const rtl::Exception& e) {
        text = e.Message();
    } catch (const std::exception& e) {
        text = e.what();
    } catch (...) {
    }
    MessageBoxW(window, rtl::WideFromAnsi(text).c_str(), caption, MB_OK | MB_ICONERROR);
}

void CreateControls(HWND parent, std::span<const ControlRow> rows, HGDIOBJ font) {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    for (const ControlRow& row : rows) {
        const HWND control =
            CreateWindowExW(row.exStyle, row.className, row.text, WS_CHILD | WS_VISIBLE | row.style, 0, 0, 0, 0,
                            parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(row.id)), instance, nullptr);
        if (!control) throw rtl::Exception(rtl::Format("The window's control %d could not be created.", row.id));
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
}

void PlaceControls(HWND parent, std::span<const ControlRow> rows, SIZE designed, SIZE actual) {
    for (const ControlRow& row : rows) {
        if (!row.anchors) continue;
        const RECT r = rtl::AnchoredBounds(row.bounds, row.anchors, designed, actual);
        MoveWindow(GetDlgItem(parent, row.id), r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
    }
}

}  // namespace queuewindow

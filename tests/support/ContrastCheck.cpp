#include "tests/support/ContrastCheck.h"

#include <commctrl.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <map>

#include "ui/Graphics.h"
#include "tests/support/WindowDriver.h"

namespace testsupport {

namespace {

// What readable text needs against its background (WCAG's level for text).
constexpr double kReadableRatio = 4.5;

using Pixels = std::vector<COLORREF>;

LRESULT Send(HWND control, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(control, message, wParam, lParam, SMTO_ABORTIFHUNG, 5000, &result))
        throw DriverError(ClassName(control) + " did not answer message " + std::to_string(message));
    return static_cast<LRESULT>(result);
}

std::wstring Text(HWND control) {
    wchar_t text[512] = {};
    Send(control, WM_GETTEXT, std::size(text), reinterpret_cast<LPARAM>(text));
    return text;
}

void SetText(HWND control, const std::wstring& text) {
    Send(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

// What the checks change in a control, and give back afterwards.
struct Saved {
    std::wstring text;
    LRESULT selection = CB_ERR;
    LRESULT check = BST_UNCHECKED;
    LRESULT rows = 0;                   // of a list that asks its owner for them
    std::vector<std::wstring> columns;  // a header's
};

bool IsCombo(HWND control) { return ClassName(control) == "ComboBox"; }
bool IsButton(HWND control) { return ClassName(control) == "Button"; }
bool IsHeader(HWND control) { return ClassName(control) == "SysHeader32"; }
LONG TypeOf(HWND control, LONG mask) { return GetWindowLongW(control, GWL_STYLE) & mask; }

// A list whose rows its owner gives on demand: without rows for a moment,
// it shows what it shows without their text.
bool HasRows(HWND control) {
    return ClassName(control) == "SysListView32" && (GetWindowLongW(control, GWL_STYLE) & LVS_OWNERDATA) &&
           Send(control, LVM_GETITEMCOUNT) > 0;
}

int ColumnCount(HWND header) { return static_cast<int>(Send(header, HDM_GETITEMCOUNT)); }

std::wstring ColumnText(HWND header, int column) {
    wchar_t text[256] = {};
    HDITEMW item{};
    item.mask = HDI_TEXT;
    item.pszText = text;
    item.cchTextMax = static_cast<int>(std::size(text));
    Send(header, HDM_GETITEMW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&item));
    return text;
}

void SetColumnText(HWND header, int column, const std::wstring& text) {
    HDITEMW item{};
    item.mask = HDI_TEXT;
    item.pszText = const_cast<wchar_t*>(text.c_str());
    Send(header, HDM_SETITEMW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&item));
}

bool HasColumnTexts(HWND control) {
    if (!IsHeader(control)) return false;
    for (int i = 0; i < ColumnCount(control); ++i)
        if (!ColumnText(control, i).empty()) return true;
    return false;
}

bool HasMark(HWND control) {
    if (!IsButton(control)) return false;
    const LONG type = TypeOf(control, BS_TYPEMASK);
    return type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON;
}

bool ShowsText(HWND control) {
    if (Text(control).empty()) return false;
    if (IsCombo(control) || ClassName(control) == "msctls_statusbar32") return true;
    if (IsButton(control)) return TypeOf(control, BS_TYPEMASK) != BS_GROUPBOX;
    if (ClassName(control) != "Static") return false;
    const LONG type = TypeOf(control, SS_TYPEMASK);
    return type == SS_LEFT || type == SS_RIGHT || type == SS_CENTER || type == SS_LEFTNOWORDWRAP;
}

Saved Save(HWND control) {
    Saved saved;
    saved.text = Text(control);
    if (IsCombo(control)) saved.selection = Send(control, CB_GETCURSEL);
    if (HasMark(control)) saved.check = Send(control, BM_GETCHECK);
    if (HasRows(control)) saved.rows = Send(control, LVM_GETITEMCOUNT);
    for (int i = 0; IsHeader(control) && i < ColumnCount(control); ++i) saved.columns.push_back(ColumnText(control, i));
    return saved;
}

void Restore(HWND control, const Saved& saved) {
    if (saved.rows > 0) Send(control, LVM_SETITEMCOUNT, static_cast<WPARAM>(saved.rows), LVSICF_NOSCROLL);
    for (int i = 0; i < static_cast<int>(saved.columns.size()); ++i) SetColumnText(control, i, saved.columns[i]);
    if (HasMark(control)) Send(control, BM_SETCHECK, static_cast<WPARAM>(saved.check));
    if (IsCombo(control)) Send(control, CB_SETCURSEL, static_cast<WPARAM>(saved.selection));
    // A combo box's edit field may hold a text that is none of its items.
    if (Text(control) != saved.text) SetText(control, saved.text);
}

// Something a control draws that must stand out, and how to take it away.
struct Ink {
    const char* what;
    bool (*drawnBy)(HWND control);
    void (*show)(HWND control, const Saved& saved, bool shown);
};

const Ink kInks[] = {
    {"text", ShowsText,
     [](HWND control, const Saved& saved, bool shown) {
         if (shown) return Restore(control, saved);
         if (IsCombo(control)) Send(control, CB_SETCURSEL, static_cast<WPARAM>(-1));
         SetText(control, L"");
     }},
    {"mark", HasMark,
     [](HWND control, const Saved&, bool shown) {
         Send(control, BM_SETCHECK, shown ? BST_CHECKED : BST_UNCHECKED);
     }},
    {"rows", HasRows,
     [](HWND control, const Saved& saved, bool shown) {
         // Unselected: a selected row is drawn in the selection's colours.
         LVITEMW state{};
         state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
         Send(control, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&state));
         Send(control, LVM_SETITEMCOUNT, shown ? static_cast<WPARAM>(saved.rows) : 0, LVSICF_NOSCROLL);
     }},
    {"column titles", HasColumnTexts,
     [](HWND control, const Saved& saved, bool shown) {
         for (int i = 0; i < static_cast<int>(saved.columns.size()); ++i)
             SetColumnText(control, i, shown ? saved.columns[i] : L"");
     }},
};

// The screen's pixels in `r`, row by row.
Pixels Capture(const RECT& r) {
    const int width = r.right - r.left, height = r.bottom - r.top;
    BITMAPINFO info{};
    info.bmiHeader = {sizeof info.bmiHeader, width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    const rtl::ScreenDC screen;
    const rtl::UniqueHdc memory(CreateCompatibleDC(screen.get()));
    const rtl::UniqueHBitmap bitmap(CreateDIBSection(screen.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!memory || !bitmap) throw DriverError("cannot capture the screen");
    {
        const rtl::SelectedObject selected(memory.get(), bitmap.get());
        BitBlt(memory.get(), 0, 0, width, height, screen.get(), r.left, r.top, SRCCOPY);
        GdiFlush();
    }
    Pixels pixels(static_cast<size_t>(width) * static_cast<size_t>(height));
    const auto* p = static_cast<const DWORD*>(bits);
    std::transform(p, p + pixels.size(), pixels.begin(),
                   [](DWORD d) { return RGB((d >> 16) & 0xFF, (d >> 8) & 0xFF, d & 0xFF); });
    return pixels;
}

// What the screen shows of the control once it has painted its change and
// the window system has shown it: the same picture twice in a row, once it
// differs from `before` (or when that no longer seems to come: a change that
// shows nothing).
Pixels Painted(HWND control, const Pixels& before = {}) {
    RedrawWindow(control, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    RECT r{};
    GetWindowRect(control, &r);
    Pixels last = before;
    bool changed = false;
    for (int tries = 0; tries < 50; ++tries) {
        Sleep(60);
        Pixels now = Capture(r);
        if (now == last && (changed || tries >= 10)) break;
        changed = changed || now != before;
        last = std::move(now);
    }
    return last;
}

COLORREF MostFrequent(const Pixels& pixels, const std::vector<size_t>& at) {
    std::map<COLORREF, int> counts;
    for (const size_t i : at) ++counts[pixels[i]];
    return std::max_element(counts.begin(), counts.end(), [](const auto& a, const auto& b) {
               return a.second < b.second;
           })->first;
}

double Luminance(COLORREF c) {
    const auto linear = [](int value) {
        const double v = value / 255.0;
        return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(GetRValue(c)) + 0.7152 * linear(GetGValue(c)) + 0.0722 * linear(GetBValue(c));
}

double ContrastRatio(COLORREF a, COLORREF b) {
    const double la = Luminance(a), lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

std::string Hex(COLORREF c) {
    char text[8];
    std::snprintf(text, sizeof text, "#%02x%02x%02x", GetRValue(c), GetGValue(c), GetBValue(c));
    return text;
}

bool OneOf(COLORREF c, std::initializer_list<int> systemColours) {
    return std::any_of(systemColours.begin(), systemColours.end(), [c](int i) { return GetSysColor(i) == c; });
}

// The problem with one ink of a control, or "".
std::string Measure(HWND control, const Ink& ink, bool userColours) {
    const Saved saved = Save(control);
    ink.show(control, saved, true);
    const Pixels with = Painted(control);
    ink.show(control, saved, false);
    const Pixels without = Painted(control, with);
    Restore(control, saved);
    std::vector<size_t> covered;
    for (size_t i = 0; i < with.size(); ++i)
        if (with[i] != without[i]) covered.push_back(i);
    const std::string name = ClassName(control) + " \"" + WindowText(control) + "\": its " + ink.what;
    if (covered.empty()) return name + " does not show";
    const COLORREF fore = MostFrequent(with, covered), back = MostFrequent(without, covered);
    const double ratio = ContrastRatio(fore, back);
    const std::string colours = Hex(fore) + " on " + Hex(back);
    char contrast[32];
    std::snprintf(contrast, sizeof contrast, ", contrast %.1f:1", ratio);
    if (ratio < kReadableRatio) return name + " is " + colours + contrast;
    if (userColours && !(OneOf(fore, {COLOR_WINDOWTEXT, COLOR_BTNTEXT}) && OneOf(back, {COLOR_WINDOW, COLOR_BTNFACE})))
        return name + " is " + colours + ", not in the user's colours";
    return "";
}

}  // namespace

std::vector<std::string> ContrastProblems(HWND window, bool userColours) {
    std::vector<HWND> controls;
    for (HWND control = GetWindow(window, GW_CHILD); control; control = GetWindow(control, GW_HWNDNEXT)) {
        controls.push_back(control);
        // A list's column titles are its header's, a window of its own.
        if (ClassName(control) == "SysListView32")
            if (const auto header = reinterpret_cast<HWND>(Send(control, LVM_GETHEADER))) controls.push_back(header);
    }
    std::vector<std::string> problems;
    for (const HWND control : controls) {
        // A disabled control's grey text says that it is off; it need not be read.
        if (!IsWindowVisible(control) || !IsWindowEnabled(control)) continue;
        for (const Ink& ink : kInks)
            if (ink.drawnBy(control))
                if (std::string problem = Measure(control, ink, userColours); !problem.empty())
                    problems.push_back(problem);
    }
    return problems;
}

}  // namespace testsupport

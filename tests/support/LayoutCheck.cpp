#include "tests/support/LayoutCheck.h"

#include <commctrl.h>

#include <algorithm>

#include "tests/support/WindowDriver.h"

namespace testsupport {

namespace {

// What a control draws around its text, at the least.
constexpr int kButtonMargin = 4;      // a push button's frame and focus rectangle, each side
constexpr int kBoxGap = 3;            // between a check box's box and its text
constexpr int kComboMargin = 4;       // a combo box's frame and text inset, both sides
constexpr int kHeaderMargin = 12;     // a column title's inset, both sides
constexpr int kCellMargin = 10;       // a cell's inset, both sides

std::wstring Text(HWND window) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

// The control's class, text and font, as a problem names it.
std::string Name(HWND control) {
    LOGFONTA font{};
    const auto handle = reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0));
    if (!handle || !GetObjectA(handle, sizeof font, &font)) lstrcpyA(font.lfFaceName, "the system font");
    return ClassName(control) + " \"" + WindowText(control) + "\" (" + font.lfFaceName + " " +
           std::to_string(font.lfHeight) + ")";
}

// The extent of a text in the control's font; wrapped at `wrapWidth` when given.
SIZE Extent(HWND control, const std::wstring& text, bool prefix, int wrapWidth = 0) {
    // A DC of the measuring thread's own: the window's belongs to its thread.
    const HDC dc = CreateCompatibleDC(nullptr);
    const HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0)));
    RECT r{0, 0, wrapWidth, 0};
    UINT format = DT_CALCRECT | (prefix ? 0u : static_cast<UINT>(DT_NOPREFIX));
    format |= wrapWidth ? static_cast<UINT>(DT_WORDBREAK) : static_cast<UINT>(DT_SINGLELINE);
    DrawTextW(dc, text.c_str(), -1, &r, format);
    SelectObject(dc, old);
    DeleteDC(dc);
    return SIZE{r.right - r.left, r.bottom - r.top};
}

SIZE ClientOf(HWND control) {
    RECT r{};
    GetClientRect(control, &r);
    return SIZE{r.right, r.bottom};
}

void Fits(std::vector<std::string>& problems, HWND control, const std::string& what, SIZE needed, SIZE room) {
    if (needed.cx > room.cx || needed.cy > room.cy)
        problems.push_back(Name(control) + ": " + what + " needs " + std::to_string(needed.cx) + "x" +
                           std::to_string(needed.cy) + ", has " + std::to_string(room.cx) + "x" +
                           std::to_string(room.cy));
}

void CheckStatic(std::vector<std::string>& problems, HWND control) {
    const LONG style = GetWindowLongW(control, GWL_STYLE);
    const LONG type = style & SS_TYPEMASK;
    if (type != SS_LEFT && type != SS_RIGHT && type != SS_CENTER && type != SS_LEFTNOWORDWRAP) return;
    const std::wstring text = Text(control);
    if (text.empty()) return;
    const SIZE room = ClientOf(control);
    const bool wraps = type != SS_LEFTNOWORDWRAP;
    Fits(problems, control, "its text", Extent(control, text, !(style & SS_NOPREFIX), wraps ? room.cx : 0), room);
}

void CheckButton(std::vector<std::string>& problems, HWND control) {
    const LONG type = GetWindowLongW(control, GWL_STYLE) & BS_TYPEMASK;
    const std::wstring text = Text(control);
    if (text.empty()) return;
    SIZE needed = Extent(control, text, true);
    const SIZE room = ClientOf(control);
    switch (type) {
        case BS_PUSHBUTTON:
        case BS_DEFPUSHBUTTON:
            needed.cx += 2 * kButtonMargin;
            needed.cy += 2;
            break;
        case BS_CHECKBOX:
        case BS_AUTOCHECKBOX:
        case BS_RADIOBUTTON:
        case BS_AUTORADIOBUTTON:
            needed.cx += GetSystemMetrics(SM_CXMENUCHECK) + kBoxGap;
            needed.cy = std::max<LONG>(needed.cy, GetSystemMetrics(SM_CYMENUCHECK));
            break;
        case BS_GROUPBOX:
            needed.cx += 2 * kButtonMargin;
            break;
        default:
            return;
    }
    Fits(problems, control, "its text", needed, room);
}

// Its open list is as wide as its widest item (a list's items sit inside
// its border and a scroll bar).
void CheckComboList(std::vector<std::string>& problems, HWND control) {
    const int count = static_cast<int>(SendMessageW(control, CB_GETCOUNT, 0, 0));
    const LONG dropped = static_cast<LONG>(SendMessageW(control, CB_GETDROPPEDWIDTH, 0, 0));
    const LONG room = dropped - GetSystemMetrics(SM_CXVSCROLL) - 2 * GetSystemMetrics(SM_CXEDGE);
    for (int i = 0; i < count; ++i) {
        std::wstring item(static_cast<size_t>(std::max<LRESULT>(0, SendMessageW(control, CB_GETLBTEXTLEN, i, 0))) + 1,
                          L'\0');
        item.resize(static_cast<size_t>(
            std::max<LRESULT>(0, SendMessageW(control, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item.data())))));
        SIZE needed = Extent(control, item, false);
        needed.cx += kComboMargin;
        Fits(problems, control, "its open list's item " + std::to_string(i + 1), needed, SIZE{room, needed.cy});
    }
}

struct TipSearch {
    HWND combo;
    const std::wstring& text;
    bool found = false;
};

BOOL CALLBACK FindTip(HWND window, LPARAM lParam) {
    auto& search = *reinterpret_cast<TipSearch*>(lParam);
    if (ClassName(window) != "tooltips_class32") return TRUE;
    const int tools = static_cast<int>(SendMessageW(window, TTM_GETTOOLCOUNT, 0, 0));
    for (int i = 0; i < tools && !search.found; ++i) {
        wchar_t shown[1024] = {};
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof tool;
        tool.lpszText = shown;
        search.found = SendMessageW(window, TTM_ENUMTOOLSW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&tool)) &&
                       tool.uId == reinterpret_cast<UINT_PTR>(search.combo) && search.text == shown;
    }
    return !search.found;
}

// Whether a tip of the combo box's thread holds `text` for the box.
bool TipHolds(HWND combo, const std::wstring& text) {
    TipSearch search{combo, text};
    EnumThreadWindows(GetWindowThreadProcessId(combo, nullptr), FindTip, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

void CheckCombo(std::vector<std::string>& problems, HWND control) {
    CheckComboList(problems, control);
    const std::wstring text = Text(control);
    // A text cut in the closed box is shown whole in its tip.
    if (text.empty() || TipHolds(control, text)) return;
    COMBOBOXINFO info{};
    info.cbSize = sizeof info;
    if (!GetComboBoxInfo(control, &info)) return;
    // The text's own field, left of the button.
    const SIZE room{info.rcItem.right - info.rcItem.left + kComboMargin, info.rcItem.bottom - info.rcItem.top};
    SIZE needed = Extent(control, text, false);
    needed.cx += kComboMargin;
    Fits(problems, control, "its text", needed, room);
}


void CheckList(std::vector<std::string>& problems, HWND list, const std::vector<std::wstring>& mayCut) {
    const HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
    const int columns = header ? static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
    const int items = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int column = 0; column < columns; ++column) {
        wchar_t title[256] = {};
        LVCOLUMNW request{};
        request.mask = LVCF_TEXT | LVCF_WIDTH;
        request.pszText = title;
        request.cchTextMax = static_cast<int>(std::size(title));
        SendMessageW(list, LVM_GETCOLUMNW, column, reinterpret_cast<LPARAM>(&request));
        const SIZE room{request.cx, 1 << 16};
        SIZE needed = Extent(list, title, false);
        needed.cx += kHeaderMargin;
        Fits(problems, list, "the title of column " + std::to_string(column), needed, room);
        if (column + 1 == columns || std::find(mayCut.begin(), mayCut.end(), title) != mayCut.end()) continue;
        for (int item = 0; item < items; ++item) {
            SIZE cell = Extent(list, ListText(list, item, column), false);
            cell.cx += kCellMargin;
            Fits(problems, list, "row " + std::to_string(item) + " of column " + std::to_string(column), cell, room);
        }
    }
}

// A control that others may lie on: a picture, a frame around a group.
bool LiesBeneathOthers(HWND control) {
    const std::string kind = ClassName(control);
    const LONG style = GetWindowLongW(control, GWL_STYLE);
    if (kind == "Static") return (style & SS_TYPEMASK) == SS_OWNERDRAW;
    return kind == "Button" && (style & BS_TYPEMASK) == BS_GROUPBOX;
}

}  // namespace

std::vector<std::string> LayoutProblems(HWND window, const std::vector<std::wstring>& mayCut) {
    std::vector<std::string> problems;
    RECT client{};
    GetClientRect(window, &client);
    std::vector<std::pair<HWND, RECT>> placed;
    for (HWND control = GetWindow(window, GW_CHILD); control; control = GetWindow(control, GW_HWNDNEXT)) {
        if (!IsWindowVisible(control)) continue;
        RECT r{};
        GetWindowRect(control, &r);
        MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&r), 2);
        if (r.left < 0 || r.top < 0 || r.right > client.right || r.bottom > client.bottom)
            problems.push_back(Name(control) + ": outside the client area");
        const std::string kind = ClassName(control);
        if (kind == "Static") CheckStatic(problems, control);
        if (kind == "Button") CheckButton(problems, control);
        if (kind == "ComboBox") CheckCombo(problems, control);
        if (kind == "SysListView32") CheckList(problems, control, mayCut);
        if (kind == "msctls_statusbar32" || LiesBeneathOthers(control)) continue;
        for (const auto& [other, bounds] : placed) {
            RECT common{};
            if (IntersectRect(&common, &r, &bounds)) problems.push_back(Name(control) + " overlaps " + Name(other));
        }
        placed.emplace_back(control, r);
    }
    return problems;
}

std::wstring ListText(HWND list, int item, int column) {
    wchar_t text[1024] = {};
    LVITEMW request{};
    request.iSubItem = column;
    request.pszText = text;
    request.cchTextMax = static_cast<int>(std::size(text));
    SendMessageW(list, LVM_GETITEMTEXTW, item, reinterpret_cast<LPARAM>(&request));
    return text;
}

}  // namespace testsupport

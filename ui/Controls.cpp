#include "ui/Controls.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <exception>
#include <iterator>
#include <string>
#include <utility>

#include "rtl/AnsiText.h"
#include "rtl/Classes.h"
#include "rtl/Diagnostics.h"
#include "rtl/ModulePath.h"
#include "rtl/SysUtils.h"

namespace rtl {

namespace {

struct KindTraits {
    const char* windowClass;
    DWORD style;
    DWORD exStyle;
    bool focusable;
};

// Indexed by ControlKind.
constexpr KindTraits kKinds[] = {
    // Labels keep to one line unless they wrap (see cfWrap).
    {"Static", SS_LEFTNOWORDWRAP, 0, false},
    // Pictures clip the controls above them, so that a transparent label
    // drawn over a picture is not painted over again.
    {"Static", SS_OWNERDRAW | WS_CLIPSIBLINGS, 0, false},
    {"Static", 0, 0, false},
    {"Button", BS_PUSHBUTTON, 0, true},
    {"Button", BS_AUTOCHECKBOX, 0, true},
    {"Button", BS_AUTORADIOBUTTON, 0, true},
    {"Button", BS_GROUPBOX, 0, false},
    {"ComboBox", CBS_DROPDOWNLIST | WS_VSCROLL, 0, true},
    {"ComboBox", CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL, 0, true},
    {"Edit", ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, true},
    {"SysListView32", LVS_REPORT | LVS_SHOWSELALWAYS, WS_EX_CLIENTEDGE, true},
    {"msctls_statusbar32", 0, 0, false},
};
static_assert(std::size(kKinds) == static_cast<size_t>(ControlKind::StatusBar) + 1, "one row per control kind");

const KindTraits& Traits(ControlKind kind) noexcept { return kKinds[static_cast<int>(kind)]; }

// A combo box window is as high as its open list; a row gives the height of
// the closed box.
constexpr int kComboListHeight = 160;

int Shift(int delta, bool nearSide, bool farSide) { return nearSide ? 0 : farSide ? delta : delta / 2; }

// The window's rectangle: a combo box's reaches down to the bottom of its open list.
RECT WindowRect(ControlKind kind, RECT r, int dpi) noexcept {
    if (IsCombo(kind)) r.bottom += Scaled(kComboListHeight, dpi);
    return r;
}

// Looked up, never imported: Windows XP has none of user32's DPI functions.
template <class Fn>
Fn UserFunction(const char* name) noexcept {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), name)));
}

int ScreenDpi() noexcept {
    const ScreenDC screen;
    const int dpi = screen ? GetDeviceCaps(screen.get(), LOGPIXELSY) : kDesignDpi;
    return dpi > 0 ? dpi : kDesignDpi;
}

DWORD RowStyle(const ControlDesign& row, const RECT& bounds) noexcept {
    DWORD style = Traits(row.kind).style;
    // A static control's type is a number, not a bit: the row's replaces the kind's.
    if (row.kind == ControlKind::Label && ((row.style & SS_TYPEMASK) || (row.flags & cfWrap)))
        style &= ~static_cast<DWORD>(SS_TYPEMASK);
    // A wrapping edit holds lines of text to read: several, wrapped, scrolled down.
    if (row.kind == ControlKind::Edit && (row.flags & cfWrap))
        style = (style & ~static_cast<DWORD>(ES_AUTOHSCROLL)) | ES_MULTILINE | ES_AUTOVSCROLL | WS_VSCROLL;
    style |= row.style;
    if (row.kind == ControlKind::Bevel)
        style |= bounds.right - bounds.left >= bounds.bottom - bounds.top ? SS_ETCHEDHORZ : SS_ETCHEDVERT;
    if (row.kind == ControlKind::Button && (row.flags & cfDefault)) style |= BS_DEFPUSHBUTTON;
    return style;
}

// A list's columns from one DPI to another, each in proportion.
void ScaleColumns(HWND list, int from, int to) noexcept {
    const auto header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
    const int count = static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i)
        ListView_SetColumnWidth(list, i, MulDiv(ListView_GetColumnWidth(list, i), to, from));
}

MessageHandler* HandlerOf(HWND window, LONG_PTR slot) noexcept {
    return reinterpret_cast<MessageHandler*>(GetWindowLongPtrW(window, static_cast<int>(slot)));
}

}  // namespace

RECT AnchoredBounds(const RECT& bounds, unsigned anchors, SIZE designed, SIZE actual) noexcept {
    const int dx = actual.cx - designed.cx;
    const int dy = actual.cy - designed.cy;
    RECT r = bounds;
    // Left edge moves unless anchored left; right edge stays unless anchored right.
    r.left += Shift(dx, anchors & akLeft, anchors & akRight);
    r.right += (anchors & akRight) ? dx : Shift(dx, anchors & akLeft, false);
    r.top += Shift(dy, anchors & akTop, anchors & akBottom);
    r.bottom += (anchors & akBottom) ? dy : Shift(dy, anchors & akTop, false);
    return r;
}

int Scaled(int designPixels, int dpi) noexcept { return MulDiv(designPixels, dpi, kDesignDpi); }

RECT Scaled(const RECT& r, int dpi) noexcept {
    return RECT{Scaled(r.left, dpi), Scaled(r.top, dpi), Scaled(r.right, dpi), Scaled(r.bottom, dpi)};
}

SIZE Scaled(SIZE size, int dpi) noexcept { return SIZE{Scaled(size.cx, dpi), Scaled(size.cy, dpi)}; }

RECT Unscaled(const RECT& r, int dpi) noexcept {
    const auto back = [dpi](LONG v) { return MulDiv(v, kDesignDpi, dpi); };
    return RECT{back(r.left), back(r.top), back(r.right), back(r.bottom)};
}

namespace {

// The widest item of a combo's list, in pixels of the device context's font.
LONG WidestItem(HWND combo, HDC dc) {
    LONG widest = 0;
    const int count = static_cast<int>(SendMessageW(combo, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        const LRESULT length = SendMessageW(combo, CB_GETLBTEXTLEN, i, 0);
        if (length <= 0) continue;
        std::wstring item(static_cast<size_t>(length) + 1, L'\0');
        const LRESULT copied = SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item.data()));
        SIZE size{};
        if (copied > 0 && GetTextExtentPoint32W(dc, item.c_str(), static_cast<int>(copied), &size))
            widest = std::max(widest, size.cx);
    }
    return widest;
}

}  // namespace

void FitDroppedWidth(HWND combo) noexcept {
    LONG widest = 0;
    TEXTMETRICW metrics{};
    {
        const WindowDC dc(combo);
        if (!dc) return;
        const SelectedObject font(dc.get(), reinterpret_cast<HGDIOBJ>(SendMessageW(combo, WM_GETFONT, 0, 0)));
        try {
            widest = WidestItem(combo, dc.get());
        } catch (...) {
            // No memory for an item's text: the list keeps its width.
        }
        GetTextMetricsW(dc.get(), &metrics);
    }
    // The items' margins, the list's border and its scroll bar when it has one.
    LONG width = widest + 2 * metrics.tmAveCharWidth + GetSystemMetrics(SM_CXVSCROLL) + 2 * GetSystemMetrics(SM_CXEDGE);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (GetMonitorInfoW(MonitorFromWindow(combo, MONITOR_DEFAULTTONEAREST), &monitor))
        width = std::min(width, monitor.rcWork.right - monitor.rcWork.left);
    RECT box{};
    GetWindowRect(combo, &box);
    width = std::max(width, box.right - box.left);
    SendMessageW(combo, CB_SETDROPPEDWIDTH, static_cast<WPARAM>(width), 0);
}

HWND TipWholeText(HWND combo, HWND tip) noexcept {
    const int length = GetWindowTextLengthW(combo);
    std::wstring text(static_cast<size_t>(std::max(length, 0)) + 1, L'\0');
    text.resize(static_cast<size_t>(std::max(GetWindowTextW(combo, text.data(), length + 1), 0)));
    COMBOBOXINFO info{};
    info.cbSize = sizeof info;
    SIZE extent{};
    if (const WindowDC dc(combo); dc) {
        const SelectedObject font(dc.get(), reinterpret_cast<HGDIOBJ>(SendMessageW(combo, WM_GETFONT, 0, 0)));
        GetTextExtentPoint32W(dc.get(), text.c_str(), static_cast<int>(text.size()), &extent);
    }
    // The box draws its text a few pixels in from its field's left edge.
    const bool cut = GetComboBoxInfo(combo, &info) &&
                     extent.cx + 2 * GetSystemMetrics(SM_CXEDGE) > info.rcItem.right - info.rcItem.left;
    if (!tip && !cut) return nullptr;
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = GetParent(combo);
    tool.uId = reinterpret_cast<UINT_PTR>(combo);
    if (!tip) {
        tip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                              CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, GetParent(combo), nullptr,
                              ThisModule(), nullptr);
        tool.lpszText = const_cast<wchar_t*>(L"");
        if (!tip || !SendMessageW(tip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool))) return tip;
    }
    // An empty text keeps the tip from showing.
    tool.lpszText = cut ? text.data() : const_cast<wchar_t*>(L"");
    SendMessageW(tip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
    return tip;
}

int DpiOf(HWND window) noexcept {
    constexpr int kPerMonitorAware = 2;
    const auto threadContext = UserFunction<HANDLE(WINAPI*)()>("GetThreadDpiAwarenessContext");
    const auto awareness = UserFunction<int(WINAPI*)(HANDLE)>("GetAwarenessFromDpiAwarenessContext");
    const auto windowDpi = UserFunction<UINT(WINAPI*)(HWND)>("GetDpiForWindow");
    if (window && threadContext && awareness && windowDpi && awareness(threadContext()) == kPerMonitorAware)
        if (const UINT dpi = windowDpi(window)) return static_cast<int>(dpi);
    return ScreenDpi();
}

bool IsFocusable(ControlKind kind) noexcept { return Traits(kind).focusable; }

// --- Window order --------------------------------------------------------------

namespace {

// Labels and lines take no place in the tab order; they go where their
// level's pictures or the row after them say.
bool LiesOver(ControlKind kind) noexcept { return kind == ControlKind::Label || kind == ControlKind::Bevel; }

// The rows of one parent, in window order but for their own controls.
std::vector<size_t> LevelOrder(std::span<const ControlDesign> controls, int parent) {
    std::vector<size_t> level;
    for (size_t i = 0; i < controls.size(); ++i)
        if (controls[i].parent == parent) level.push_back(i);
    const auto kind = [&](size_t row) { return controls[row].kind; };
    const bool pictures =
        std::any_of(level.begin(), level.end(), [&](size_t r) { return kind(r) == ControlKind::Image; });
    // Each row that takes a place in the tab order leads the labels before it.
    std::vector<size_t> leader(level.size());
    for (size_t i = level.size(), next = SIZE_MAX; i-- > 0;) {
        const bool follows = LiesOver(kind(level[i]));
        if (!follows || next == SIZE_MAX) next = level[i];
        leader[i] = pictures || !follows ? level[i] : next;
    }
    const auto rank = [&](size_t i) {
        if (pictures && LiesOver(kind(level[i]))) return std::pair{0, 0};
        if (pictures && kind(level[i]) == ControlKind::Image) return std::pair{1, 0};
        return std::pair{2, controls[leader[i]].tabOrder};
    };
    std::vector<size_t> positions(level.size());
    for (size_t i = 0; i < positions.size(); ++i) positions[i] = i;
    std::stable_sort(positions.begin(), positions.end(), [&](size_t a, size_t b) { return rank(a) < rank(b); });
    std::vector<size_t> order;
    for (const size_t i : positions) order.push_back(level[i]);
    return order;
}

void AddLevel(std::span<const ControlDesign> controls, int parent, std::vector<size_t>& order) {
    for (const size_t row : LevelOrder(controls, parent)) {
        AddLevel(controls, static_cast<int>(row), order);
        order.push_back(row);
    }
}

}  // namespace

std::vector<size_t> WindowOrder(std::span<const ControlDesign> controls) {
    std::vector<size_t> order;
    AddLevel(controls, kNoParent, order);
    return order;
}

bool StartsGroup(const ControlDesign* previous, const ControlDesign& row) noexcept {
    return row.kind != ControlKind::RadioButton || !previous || previous->kind != ControlKind::RadioButton ||
           previous->parent != row.parent;
}

std::vector<std::string> SplitItems(const char* items) {
    std::vector<std::string> result;
    if (!items || !*items) return result;
    std::string_view rest(items);
    for (;;) {
        const size_t end = rest.find('\n');
        result.emplace_back(rest.substr(0, end));
        if (end == std::string_view::npos) break;
        rest.remove_prefix(end + 1);
    }
    return result;
}

HWND CreateControl(HWND parent, const ControlDesign& row, const ControlWindow& window, HFONT font) {
    const KindTraits& traits = Traits(row.kind);
    const DWORD style = WS_CHILD | RowStyle(row, window.bounds) | window.state;
    const DWORD exStyle = traits.exStyle | row.exStyle;
    const RECT r = WindowRect(row.kind, window.bounds, window.dpi);
    const auto id = reinterpret_cast<HMENU>(static_cast<INT_PTR>(window.id));
    const std::string text(window.text);
    const HWND control =
        IsWindowUnicode(parent)
            ? CreateWindowExW(exStyle, WideFromAnsi(traits.windowClass).c_str(), WideFromAnsi(text).c_str(), style,
                              r.left, r.top, r.right - r.left, r.bottom - r.top, parent, id, ThisModule(), nullptr)
            : CreateWindowExA(exStyle, traits.windowClass, text.c_str(), style, r.left, r.top, r.right - r.left,
                              r.bottom - r.top, parent, id, ThisModule(), nullptr);
    if (!control) throw Exception(Format("Unable to create control %s (error %lu)", row.name, GetLastError()));
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return control;
}

void MoveControl(HWND control, ControlKind kind, const RECT& bounds, int dpi) noexcept {
    const RECT r = WindowRect(kind, bounds, dpi);
    MoveWindow(control, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
}

void RescaleControl(HWND control, ControlKind kind, HFONT font, int from, int to) noexcept {
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    if (kind == ControlKind::ListView) ScaleColumns(control, from, to);
    if (IsCombo(kind)) FitDroppedWidth(control);
}

void MoveToSuggested(HWND window, LPARAM suggested) noexcept {
    const RECT& r = *reinterpret_cast<const RECT*>(suggested);
    SetWindowPos(window, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

// --- TableControls -------------------------------------------------------------

int TableControls::IdOf(size_t row) const noexcept {
    const ControlDesign& design = rows_[row];
    if (design.kind == ControlKind::Button && (design.flags & cfDefault)) return IDOK;
    if (design.kind == ControlKind::Button && (design.flags & cfCancel)) return IDCANCEL;
    return kFirstControlId + static_cast<int>(row);
}

std::optional<size_t> TableControls::RowOfId(int id) const noexcept {
    for (size_t row = 0; row < rows_.size(); ++row)
        if (IdOf(row) == id) return row;
    return std::nullopt;
}

TableControls::TableControls(std::span<const ControlDesign> rows, SIZE designedClient, FontDesign font)
    : rows_(rows), designed_(designedClient), fontDesign_(font) {
    if (!FitsToolWindow(rows))
        throw Exception("A window's controls name a parent that is no group box before them, or a modal result");
}

namespace {

// A control is shown, enabled, only while each of its parents is.
bool HasFlag(std::span<const ControlDesign> rows, size_t row, ControlFlag flag) noexcept {
    for (int r = static_cast<int>(row); r != kNoParent; r = rows[static_cast<size_t>(r)].parent)
        if (rows[static_cast<size_t>(r)].flags & flag) return true;
    return false;
}

}  // namespace

void TableControls::Create(HWND parent, int dpi) {
    parent_ = parent;
    dpi_ = dpi;
    font_ = FontOf(fontDesign_, dpi);
    windows_.assign(rows_.size(), nullptr);
    const SIZE client = Scaled(designed_, dpi);
    const std::vector<RECT> bounds = Placed(client, client);
    const ControlDesign* previous = nullptr;
    for (const size_t i : WindowOrder(rows_)) {
        const ControlDesign& row = rows_[i];
        const DWORD state = (HasFlag(rows_, i, cfHidden) ? 0 : WS_VISIBLE) |
                            (HasFlag(rows_, i, cfDisabled) ? WS_DISABLED : 0) |
                            (IsFocusable(row.kind) && !(row.flags & cfNoTabStop) ? WS_TABSTOP : 0) |
                            (StartsGroup(previous, row) ? WS_GROUP : 0);
        const ControlWindow window{.id = IdOf(i), .bounds = bounds[i], .text = row.caption, .state = state, .dpi = dpi};
        windows_[i] = CreateControl(parent, row, window, font_.get());
        previous = &row;
        if (!IsCombo(row.kind)) continue;
        for (const std::string& item : SplitItems(row.items))
            SendMessageW(windows_[i], CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(WideFromAnsi(item).c_str()));
        FitDroppedWidth(windows_[i]);
    }
}

UniqueHWnd TableControls::CreateDialogWindow(HWND owner, const wchar_t* className, const wchar_t* caption,
                                             MessageHandler& handler) {
    RegisterBoundClass(className);
    const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU, exStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
    const int dpi = DpiOf(owner);
    RECT frame{0, 0, Scaled(designed_.cx, dpi), Scaled(designed_.cy, dpi)};
    AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    RECT area{};
    GetWindowRect(owner, &area);
    const int width = frame.right - frame.left, height = frame.bottom - frame.top;
    const int left = area.left + (area.right - area.left - width) / 2;
    const int top = area.top + (area.bottom - area.top - height) / 2;
    UniqueHWnd window(CreateWindowExW(exStyle, className, caption, style, left, top, width, height, owner, nullptr,
                                      ThisModule(), &handler));
    if (!window)
        throw Exception(Format("The window %s could not be made (error %lu)", LossyFromWide(caption, CP_ACP).c_str(),
                               GetLastError()));
    Create(window.get(), dpi);
    return window;
}

// Each row's rectangle in the window's client area, in pixels: a row on the
// window follows its anchors from `designed` to `actual`, a row in a group
// box follows them from the box's designed size to its placed one.
std::vector<RECT> TableControls::Placed(SIZE actual, SIZE designed) const {
    std::vector<RECT> placed(rows_.size()), inDesign(rows_.size());
    for (size_t i = 0; i < rows_.size(); ++i) {
        const ControlDesign& row = rows_[i];
        RECT design = DesignBounds(row);  // in design pixels, on the window
        if (row.parent == kNoParent) {
            inDesign[i] = Scaled(design, dpi_);
            placed[i] = AnchoredBounds(inDesign[i], row.anchors, designed, actual);
            continue;
        }
        const auto box = static_cast<size_t>(row.parent);
        for (int r = row.parent; r != kNoParent; r = rows_[static_cast<size_t>(r)].parent)
            OffsetRect(&design, rows_[static_cast<size_t>(r)].bounds.left, rows_[static_cast<size_t>(r)].bounds.top);
        inDesign[i] = Scaled(design, dpi_);
        const RECT& from = inDesign[box];
        const RECT& to = placed[box];
        placed[i] = AnchoredBounds(inDesign[i], row.anchors, SIZE{from.right - from.left, from.bottom - from.top},
                                   SIZE{to.right - to.left, to.bottom - to.top});
        OffsetRect(&placed[i], to.left - from.left, to.top - from.top);
    }
    return placed;
}

void TableControls::Place(SIZE actual, std::optional<SIZE> designed) const {
    const std::vector<RECT> bounds = Placed(actual, Scaled(designed.value_or(designed_), dpi_));
    for (size_t i = 0; i < rows_.size() && i < windows_.size(); ++i) {
        if (rows_[i].kind == ControlKind::StatusBar) SendMessageW(windows_[i], WM_SIZE, 0, 0);  // places itself
        else MoveControl(windows_[i], rows_[i].kind, bounds[i], dpi_);
    }
}

void TableControls::AddColumn(HWND list, int index, const wchar_t* title, int width, int format) const {
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
    column.fmt = format;
    column.cx = Scaled(width, dpi_);
    column.pszText = const_cast<wchar_t*>(title);
    SendMessageW(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&column));
}

bool TableControls::DpiChanged(WPARAM wParam, LPARAM lParam) {
    const int dpi = LOWORD(wParam);
    if (dpi <= 0 || dpi == dpi_) return false;
    UniqueHFont font = FontOf(fontDesign_, dpi);
    for (size_t i = 0; i < windows_.size(); ++i) RescaleControl(windows_[i], rows_[i].kind, font.get(), dpi_, dpi);
    font_ = std::move(font);
    dpi_ = dpi;
    MoveToSuggested(parent_, lParam);
    return true;
}

std::optional<LRESULT> TableControls::AnswerColours(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CTLCOLORSTATIC || message == WM_CTLCOLORDLG)
        return reinterpret_cast<LRESULT>(colours_.Answer(reinterpret_cast<HDC>(wParam)));
    if (message == WM_SYSCOLORCHANGE)
        for (const HWND control : windows_) SendMessageW(control, message, wParam, lParam);
    if (colours_.Changed(message, wParam))
        RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    // A change of a setting goes on to the window's own handling.
    if (message == WM_SYSCOLORCHANGE) return 0;
    return std::nullopt;
}

std::optional<LRESULT> TableControls::AnswerToolWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                                              HWND first, const std::function<void()>& end) {
    if (const auto colours = AnswerColours(window, message, wParam, lParam)) return colours;
    switch (message) {
        case WM_CLOSE:
        case WM_DESTROY:
            end();
            return 0;
        case kWmDpiChanged:
            if (DpiChanged(wParam, lParam)) Place(Scaled(designed_, dpi_));
            return 0;
        case WM_ACTIVATE:
            focus_.Activated(window, wParam, first);
            return 0;
        default:
            return std::nullopt;
    }
}

// --- Fonts and texts -----------------------------------------------------------

std::wstring TextOf(HWND control) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
    return text;
}

// --- Binding -------------------------------------------------------------------

namespace {

// The one catch-all of every window procedure: what it caught goes to the
// debug output, named by the window's class, before the window answers it.
LRESULT Dispatch(MessageHandler* handler, HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    try {
        return handler->HandleMessage(window, message, wParam, lParam);
    } catch (...) {
        char where[96] = "the window ";
        const int used = static_cast<int>(std::strlen(where));
        GetClassNameA(window, where + used, static_cast<int>(sizeof where) - used);
        ReportCaught(where);
        handler->Failed(window);
    }
    return 0;
}

}  // namespace

LRESULT CALLBACK BoundWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    if (message == WM_NCCREATE)
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
    MessageHandler* handler = HandlerOf(window, GWLP_USERDATA);
    if (message == WM_NCDESTROY) SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    if (!handler) return DefWindowProcW(window, message, wParam, lParam);
    return Dispatch(handler, window, message, wParam, lParam);
}

INT_PTR CALLBACK BoundDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    if (message == WM_INITDIALOG) SetWindowLongPtrW(window, DWLP_USER, lParam);
    MessageHandler* handler = HandlerOf(window, DWLP_USER);
    if (message == WM_NCDESTROY) SetWindowLongPtrW(window, DWLP_USER, 0);
    if (!handler) return FALSE;
    return Dispatch(handler, window, message, wParam, lParam);
}

void RegisterBoundClass(const wchar_t* className, HICON icon, HICON smallIcon) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = &BoundWindowProc;
    windowClass.hInstance = ThisModule();
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hIcon = icon;
    windowClass.hIconSm = smallIcon;
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = className;
    RegisterClassExW(&windowClass);  // fails harmlessly when it is registered already
}

void FocusKeeper::Activated(HWND window, WPARAM wParam, HWND first) noexcept {
    if (LOWORD(wParam) == WA_INACTIVE) {
        const HWND focus = GetFocus();
        if (focus && IsChild(window, focus)) kept_ = focus;
        return;
    }
    if (HIWORD(wParam)) return;  // activated while minimized: nothing to focus yet
    const HWND target = kept_ && IsWindow(kept_) && IsWindowVisible(kept_) && IsWindowEnabled(kept_) ? kept_ : first;
    SetFocus(target ? target : window);
}

void ShowCurrentError(HWND window, const wchar_t* caption) noexcept {
    std::string text = "An unexpected error occurred.";
    try {
        throw;
    } catch (const Exception& e) {
        text = e.Message();
    } catch (const std::exception& e) {
        text = e.what();
    } catch (...) {
    }
    try {
        MessageBoxW(window, WideFromAnsi(text).c_str(), caption, MB_OK | MB_ICONERROR);
    } catch (...) {
        MessageBoxW(window, L"An unexpected error occurred.", caption, MB_OK | MB_ICONERROR);
    }
}

// --- The modal loop ------------------------------------------------------------

void EndModal(HWND window) noexcept {
    if (window) PostMessageW(window, WM_NULL, 0, 0);
}

bool RunModal(HWND window, HWND owner, const std::function<bool()>& done) noexcept {
    const bool disabled = owner && IsWindowEnabled(owner);
    if (disabled) EnableWindow(owner, FALSE);
    MSG message{};
    BOOL got = TRUE;
    while (!done() && IsWindow(window)) {
        got = GetMessageW(&message, nullptr, 0, 0);
        if (got == 0 || got == -1) break;
        if (IsWindow(window) && IsDialogMessageW(window, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    if (disabled) EnableWindow(owner, TRUE);
    if (got == 0) PostQuitMessage(static_cast<int>(message.wParam));  // for the caller's own loop
    return got > 0;
}

}  // namespace rtl

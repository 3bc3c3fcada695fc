// The one layer under every window of the product.
//
// A window's controls are a table: one ControlDesign row per control (kind,
// text, bounds in design pixels at 96 DPI, extra style, the edges it keeps
// its distance to when the window is resized), named by an enumeration.
// TableControls creates a table's controls and places them for the size and
// DPI the window has; the forms layer (ui/Forms.h) builds its dialogs from
// the same rows with the same functions. A window procedure is bound to its
// object in one way (MessageHandler, with the one catch-all of every window),
// and modal windows run one message loop (RunModal).
//
// A row's text is ANSI; the controls of a Unicode window are Unicode windows
// too, whose texts (set later with the wide functions) may hold any script.
#pragma once
#include <windows.h>

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "rtl/WinHandles.h"
#include "ui/Graphics.h"
#include "ui/Themes.h"

namespace rtl {

enum class ControlKind {
    Label,        // static text: one line that widens to fit it in a form, else as cfWrap says
    Image,        // a picture drawn by its form
    Bevel,        // an etched line, horizontal when wider than high
    Button,       // push button
    CheckBox,
    RadioButton,  // radio buttons with the same parent form one group
    GroupBox,     // a frame with a caption; may be the parent of other controls
    ComboList,    // drop-down list: choice only
    ComboEdit,    // drop-down combo: any text may be typed
    Edit,         // one line of typed text
    ListView,     // a list in columns (the program loads the common controls)
    StatusBar,    // the status line along the bottom; places itself
};

enum Anchor : unsigned { akLeft = 1u << 0, akTop = 1u << 1, akRight = 1u << 2, akBottom = 1u << 3 };
constexpr unsigned akTopLeft = akLeft | akTop;

enum ControlFlag : unsigned {
    cfDefault = 1u << 0,      // the button that Enter clicks
    cfCancel = 1u << 1,       // the button that Esc clicks
    cfHidden = 1u << 2,
    cfChecked = 1u << 3,
    cfDisabled = 1u << 4,
    cfTransparent = 1u << 5,  // a label whose background shows what lies below it
    cfNoTabStop = 1u << 6,    // focusable only by mouse or accelerator
    cfWrap = 1u << 8,         // a label whose text wraps inside its bounds; an edit of wrapped lines
};

enum TModalResult : int { mrNone = 0, mrOk = IDOK, mrCancel = IDCANCEL };

// No tab order: the control never takes the focus (labels, images, bevels).
constexpr int kNoTabOrder = -1;
// No parent: the control lies on the window itself.
constexpr int kNoParent = -1;
// The ID of a table's first control (a form's first in creation order).
constexpr int kFirstControlId = 100;

// Design pixels (96 DPI), relative to the parent.
struct Bounds { int left = 0, top = 0, width = 0, height = 0; };

struct ControlDesign {
    ControlKind kind = ControlKind::Label;
    const char* name = "";
    int parent = kNoParent;  // the row of a group box that comes earlier
    Bounds bounds{};
    unsigned anchors = akTopLeft;
    const char* caption = "";
    int tabOrder = kNoTabOrder;  // among the controls of the same parent
    unsigned flags = 0;
    TModalResult modalResult = mrNone;
    const char* items = nullptr;  // combo items, separated by '\n'
    DWORD style = 0;              // added to the kind's own style
    DWORD exStyle = 0;
};

// A row's bounds in design pixels.
constexpr RECT DesignBounds(const ControlDesign& row) noexcept {
    const Bounds& b = row.bounds;
    return RECT{b.left, b.top, b.left + b.width, b.top + b.height};
}

// Whether every parent of a design table is a group box that comes before
// its controls; for the forms' static_asserts (the constructor checks again).
constexpr bool ParentsHoldControls(std::span<const ControlDesign> controls) {
    for (size_t i = 0; i < controls.size(); ++i) {
        const int parent = controls[i].parent;
        if (parent == kNoParent) continue;
        if (parent < 0 || static_cast<size_t>(parent) >= i) return false;
        if (controls[static_cast<size_t>(parent)].kind != ControlKind::GroupBox) return false;
    }
    return true;
}

// Whether a table suits a window that is not modal: its parents hold their
// controls, and no row has a modal result, which a window without a modal
// loop has nothing to close with. For the tool tables' static_asserts; the
// TableControls constructor checks again.
constexpr bool FitsToolWindow(std::span<const ControlDesign> controls) {
    for (const ControlDesign& row : controls)
        if (row.modalResult != mrNone) return false;
    return ParentsHoldControls(controls);
}

// The order of a table's windows, as row indexes: the dialog manager's tab
// order, and the first window is the topmost. Per parent: where pictures
// lie, the labels and lines first (on top of the pictures they are drawn
// over), then the pictures; elsewhere a label or line goes just before the
// row after it, so that a label's mnemonic reaches that control. The other
// rows follow by tab order (rows without one keep the table's order), and
// a group box follows its own controls, so that it lies beneath them.
std::vector<size_t> WindowOrder(std::span<const ControlDesign> controls);
// Whether the window at `row` starts a new group for the dialog manager's
// arrow keys: each control does, except a radio button that follows one of
// the same parent (`previous` the row before it in window order).
bool StartsGroup(const ControlDesign* previous, const ControlDesign& row) noexcept;
// A combo's items, as its row lists them.
std::vector<std::string> SplitItems(const char* items);

// Where a control goes when its parent changes size from `designed` to
// `actual`, following its anchors (an edge anchored on both sides stretches,
// an edge anchored only to the far side keeps its distance to it).
RECT AnchoredBounds(const RECT& bounds, unsigned anchors, SIZE designed, SIZE actual) noexcept;

// Design pixels (96 DPI) at `dpi`.
constexpr int kDesignDpi = 96;
int Scaled(int designPixels, int dpi) noexcept;
RECT Scaled(const RECT& designPixels, int dpi) noexcept;
SIZE Scaled(SIZE designPixels, int dpi) noexcept;
// Pixels at `dpi` in design pixels (96 DPI).
RECT Unscaled(const RECT& pixels, int dpi) noexcept;

// The DPI a window of the calling thread lays itself out for: the window's
// own where the thread is per-monitor aware (Windows 10 1607 and later), else
// the screen's as the thread sees it. A DPI-unaware thread on Windows sees 96
// and Windows scales its windows; Windows XP and Wine give the screen's real
// DPI, for which the window scales itself. Without a window: the screen's.
int DpiOf(HWND window) noexcept;
// Sent to a top-level window of a per-monitor aware thread when it moves to a
// monitor of another DPI (not in the Windows XP headers): LOWORD(wParam) is
// the new DPI, lParam the suggested window RECT.
constexpr UINT kWmDpiChanged = 0x02E0;

// The kind's properties that its form needs.
bool IsFocusable(ControlKind kind) noexcept;
constexpr bool IsCombo(ControlKind k) noexcept { return k == ControlKind::ComboList || k == ControlKind::ComboEdit; }
constexpr bool IsCheckable(ControlKind k) noexcept {
    return k == ControlKind::CheckBox || k == ControlKind::RadioButton;
}

class MessageHandler;

// What one control's window is made with, besides its row.
struct ControlWindow {
    int id = 0;
    RECT bounds{};              // in the parent's client area, pixels; a combo's closed box
    std::string_view text;      // ANSI
    DWORD state = WS_VISIBLE;   // WS_VISIBLE, WS_DISABLED, WS_TABSTOP, WS_GROUP as the control has them
    int dpi = kDesignDpi;
};

// One control's window as a child of `parent`, with the font; throws
// Exception when it cannot be made.
HWND CreateControl(HWND parent, const ControlDesign& row, const ControlWindow& window, HFONT font);
// Moves a control's window; a combo box keeps room for its open list.
void MoveControl(HWND control, ControlKind kind, const RECT& bounds, int dpi) noexcept;

// What every window does for WM_DPICHANGED, control by control: the new
// font (set before the caller deletes the old one, so that no control ever
// draws with a font that is gone), a list's columns in proportion (a column
// the user widened keeps its share), a combo's open list fitted again.
void RescaleControl(HWND control, ControlKind kind, HFONT font, int from, int to) noexcept;
// And then the window where Windows suggests (WM_DPICHANGED's lParam).
void MoveToSuggested(HWND window, LPARAM suggested) noexcept;

// The focus of a top-level window that is not a dialog (a dialog keeps its
// own): the control that had it gets it back when the window is activated
// again, after Alt+Tab and after every message box it owned, instead of the
// window itself, where the keys reach no control.
class FocusKeeper {
public:
    // For WM_ACTIVATE, instead of DefWindowProc's; `first` takes the focus
    // when none was kept.
    void Activated(HWND window, WPARAM wParam, HWND first) noexcept;

private:
    HWND kept_ = nullptr;
};

// The controls of one window that is not modal, made from its table and
// named by the table's enumeration: in window order (WindowOrder), a group
// box's controls placed inside it, hidden or disabled with it. A button
// with cfDefault has the ID IDOK and one with cfCancel IDCANCEL, so that
// Enter and Esc reach them through the dialog manager.
class TableControls {
public:
    // Throws Exception when the rows do not fit such a window (FitsToolWindow).
    TableControls(std::span<const ControlDesign> rows, SIZE designedClient, FontDesign font = {});

    // The controls, in the font for `dpi`; combos hold their rows' items.
    void Create(HWND parent, int dpi);
    // A window with a dialog's frame, of the designed client size at its
    // owner's DPI, centred on the owner, of a bound class (registered here)
    // whose messages go to `handler`, and then its controls. Throws
    // Exception when it cannot be made.
    UniqueHWnd CreateDialogWindow(HWND owner, const wchar_t* className, const wchar_t* caption,
                                  MessageHandler& handler);
    // Every row placed for a client area of `actual` pixels; `designed`
    // (design pixels) is the designed client size unless given.
    void Place(SIZE actual, std::optional<SIZE> designed = std::nullopt) const;
    // A list view's column; `width` in design pixels.
    void AddColumn(HWND list, int index, const wchar_t* title, int width, int format = 0) const;
    // For WM_DPICHANGED: every control rescaled (RescaleControl) and the
    // window where Windows suggests; false when the DPI is the controls'
    // already.
    bool DpiChanged(WPARAM wParam, LPARAM lParam);
    int Dpi() const noexcept { return dpi_; }
    // The colours of the window's surface and labels (SurfaceColours),
    // before the window's own messages: WM_CTLCOLORSTATIC, WM_CTLCOLORDLG,
    // and WM_SYSCOLORCHANGE, which the controls hear as well (the common
    // controls take the new colours only so). The answer, if it is one.
    std::optional<LRESULT> AnswerColours(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    // What a tool window of a fixed size answers alike, before its own
    // messages: the colours, WM_DPICHANGED (the new font, every control
    // placed for the designed client area at the new DPI), WM_ACTIVATE (the
    // focus back to the control that had it, else to `first`), WM_CLOSE and
    // WM_DESTROY (`end`, which ends the window's loop). The answer, if it is one.
    std::optional<LRESULT> AnswerToolWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                                   HWND first, const std::function<void()>& end);

    template <class Row>
    HWND operator[](Row row) const noexcept {
        const auto index = static_cast<size_t>(row);
        return index < windows_.size() ? windows_[index] : nullptr;
    }
    // The row of a control's ID, if it is one of the table's.
    std::optional<size_t> RowOfId(int id) const noexcept;
    int IdOf(size_t row) const noexcept;

private:
    std::vector<RECT> Placed(SIZE actual, SIZE designed) const;

    std::span<const ControlDesign> rows_;
    SIZE designed_;
    std::vector<HWND> windows_;
    HWND parent_ = nullptr;
    int dpi_ = kDesignDpi;
    FontDesign fontDesign_;
    UniqueHFont font_;
    SurfaceColours colours_;
    FocusKeeper focus_;
};

// Makes a combo box's open list as wide as its longest item in the box's
// font (never narrower than the box, never wider than its monitor's work
// area), so that no item is cut.
void FitDroppedWidth(HWND combo) noexcept;

// A combo box whose closed box cuts its text shows the whole text in a tip
// when the pointer rests on it. `tip` is the one made before, if any (the
// combo's parent owns it); returns the tip to give next time. A text that
// fits makes no tip and silences one made before.
HWND TipWholeText(HWND combo, HWND tip) noexcept;

// What a window shows (an edit's or a combo's typed text), in full.
std::wstring TextOf(HWND control);

// The object behind a window: its procedure hands it every message from the
// window's creation on (WM_NCCREATE of a window created with the object as
// its last argument; WM_INITDIALOG of a dialog created with it as its
// parameter). An exception that a message handler throws goes no further:
// Failed runs inside the one catch-all, where `throw;` gives the exception.
class MessageHandler {
public:
    virtual LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) = 0;
    virtual void Failed(HWND window) noexcept = 0;

protected:
    ~MessageHandler() = default;
};
LRESULT CALLBACK BoundWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
INT_PTR CALLBACK BoundDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;

// Registers a window class of this module whose windows use BoundWindowProc;
// registering it again does no harm.
void RegisterBoundClass(const wchar_t* className, HICON icon = nullptr, HICON smallIcon = nullptr);


// For Failed: the exception's message in a box owned by the window.
void ShowCurrentError(HWND window, const wchar_t* caption) noexcept;

// The one loop of modal windows: the calling thread's messages until
// `done()` says so or the window is gone (destroyed with its owner, say),
// keys through the dialog manager of `window`. The owner
// is disabled meanwhile and enabled again before this returns (before the
// window goes, so that Windows activates the owner). A WM_QUIT ends the
// loop and is posted again for the caller's own loop; returns false then.
// Whatever makes `done()` true calls EndModal, which wakes the loop also when
// that happened in a message sent from another thread (GetMessage handles
// those without returning).
bool RunModal(HWND window, HWND owner, const std::function<bool()>& done) noexcept;
void EndModal(HWND window) noexcept;

}  // namespace rtl

// The form is a real dialog box (CreateDialogIndirectParamA with an in-memory
// template that holds no controls), run by the layer's modal loop. The dialog
// manager then gives us, exactly as every other Windows dialog behaves: Tab,
// arrows, accelerators, Enter and Esc, the default button, and the focus
// restored on activation. The controls themselves are created from their rows
// in WM_INITDIALOG, because template coordinates are dialog units and our
// designs are in pixels.
#include "ui/Forms.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <map>
#include <utility>

#include "rtl/AnsiText.h"
#include "rtl/ModulePath.h"
#include "rtl/SysUtils.h"
#include "ui/Themes.h"

namespace rtl {

namespace {

// The component class of each ControlKind.
constexpr const char* kComponentClasses[] = {"TLabel",    "TImage",    "TBevel",    "TButton",
                                             "TCheckBox", "TRadioButton", "TGroupBox", "TComboBox",
                                             "TComboBox", "TEdit",     "TListView", "TStatusBar"};
static_assert(std::size(kComponentClasses) == static_cast<size_t>(ControlKind::StatusBar) + 1,
              "one class per control kind");

// The user types the text of these; the window holds it.
bool HoldsText(ControlKind kind) { return kind == ControlKind::ComboEdit || kind == ControlKind::Edit; }
// A caption these kinds would never show: a picture, a line, a list whose
// text is its selection.
bool ShowsCaption(ControlKind kind) {
    return kind != ControlKind::Image && kind != ControlKind::Bevel && kind != ControlKind::ComboList;
}

BOOL CALLBACK FindOwnerCandidate(HWND window, LPARAM result) noexcept {
    if (IsWindowVisible(window) && IsWindowEnabled(window) && !(GetWindowLongA(window, GWL_STYLE) & WS_CHILD)) {
        *reinterpret_cast<HWND*>(result) = window;
        return FALSE;
    }
    return TRUE;
}

// The whole monitor that shows the owner (the primary one without an
// owner): a form centred "on the screen" sits in its middle, whatever part
// of it a taskbar takes.
RECT MonitorOf(HWND owner) noexcept {
    MONITORINFO info{};
    info.cbSize = sizeof info;
    POINT pointer{0, 0};
    GetCursorPos(&pointer);
    const HMONITOR monitor = owner ? MonitorFromWindow(owner, MONITOR_DEFAULTTOPRIMARY)
                                   : MonitorFromPoint(pointer, MONITOR_DEFAULTTOPRIMARY);
    if (GetMonitorInfoA(monitor, &info)) return info.rcMonitor;
    return RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
}

// The extent of one line of text in `font`, measured in a DC of our own:
// Wine does not always take a font into the screen's DC of another thread's
// making.
void MeasureText(HFONT font, const std::string& text, RECT& extent) {
    const UniqueHdc dc(CreateCompatibleDC(nullptr));
    const SelectedObject selected(dc.get(), font);
    DrawTextA(dc.get(), text.c_str(), -1, &extent, DT_CALCRECT | DT_SINGLELINE);
}

// A picture drawn for 96 DPI, at `dpi`.
void DrawScaled(HDC dc, int left, int top, const TBitmap& picture, int dpi) {
    if (dpi == kDesignDpi) {
        BitBlt(dc, left, top, picture.Width(), picture.Height(), picture.Canvas(), 0, 0, SRCCOPY);
        return;
    }
    const int mode = SetStretchBltMode(dc, HALFTONE);
    SetBrushOrgEx(dc, 0, 0, nullptr);
    StretchBlt(dc, left, top, Scaled(picture.Width(), dpi), Scaled(picture.Height(), dpi), picture.Canvas(), 0, 0,
               picture.Width(), picture.Height(), SRCCOPY);
    SetStretchBltMode(dc, mode);
}

}  // namespace

// What exists only while the form is shown; lives on ShowModal's stack, so
// that the font and brushes outlive the windows that use them.
struct TForm::Shown {
    UniqueHFont font;
    SurfaceColours colours;
    // What a transparent label paints its background with: the form's
    // colour with the pictures below the label copied in.
    struct LabelBackground {
        std::unique_ptr<TBitmap> bitmap;
        UniqueHBrush brush;
    };
    std::map<const TControl*, LabelBackground> labelBackgrounds;
    bool creating = false;
};

// --- TControl --------------------------------------------------------------

TControl::TControl(TForm& form, const ControlDesign& design, TControl* parent)
    : TComponent(&form, kComponentClasses[static_cast<int>(design.kind)]),
      form_(form),
      design_(design),
      kind_(design.kind),
      parent_(parent),
      bounds_(DesignBounds(design)),
      caption_(design.caption ? design.caption : ""),
      visible_(!(design.flags & cfHidden)),
      enabled_(!(design.flags & cfDisabled)),
      checked_((design.flags & cfChecked) != 0),
      items_(SplitItems(design.items)) {
    SetName(design.name);
    ModalResult = design.modalResult;
}

void TControl::Require(bool supported, const char* operation) const {
    if (!supported) throw Exception("Control " + Name() + " cannot " + operation);
}

std::vector<TControl*> TControl::Children() const {
    std::vector<TControl*> children;
    for (TControl* c : form_.controls_)
        if (c->parent_ == this) children.push_back(c);
    return children;
}

RECT TControl::AbsoluteBounds() const noexcept {
    RECT r = bounds_;
    for (const TControl* p = parent_; p; p = p->parent_) OffsetRect(&r, p->bounds_.left, p->bounds_.top);
    return r;
}

RECT TControl::WindowBounds() const noexcept {
    RECT r = Scaled(AbsoluteBounds(), form_.dpi_);
    r.bottom = std::max(r.bottom, r.top + textHeight_);
    return r;
}

bool TControl::Showing() const noexcept { return visible_ && (!parent_ || parent_->Showing()); }
bool TControl::EffectivelyEnabled() const noexcept { return enabled_ && (!parent_ || parent_->EffectivelyEnabled()); }

bool TControl::IsTabStop() const noexcept {
    if (!IsFocusable(kind_) || (design_.flags & cfNoTabStop)) return false;
    if (kind_ != ControlKind::RadioButton) return true;
    // Tab enters a radio group at its checked button, or at its first
    // enabled one while none is checked.
    const TControl* first = nullptr;
    for (const TControl* c : form_.controls_) {
        if (c->kind_ != ControlKind::RadioButton || c->parent_ != parent_) continue;
        if (c->Checked()) return c == this;
        if (!first && c->enabled_) first = c;
    }
    return first == this;
}

void TControl::SetBounds(int left, int top, int width, int height) {
    const SIZE oldSize{Width(), Height()};
    bounds_ = RECT{left, top, left + width, top + height};
    ApplyBounds();
    if (oldSize.cx != width || oldSize.cy != height) form_.LayoutChildren(this, oldSize, SIZE{width, height});
}

void TControl::ApplyBounds() {
    if (handle_) MoveControl(handle_, kind_, WindowBounds(), form_.dpi_);
    for (TControl* c : Children()) c->ApplyBounds();
}

std::string TControl::Caption() const {
    if (handle_ && HoldsText(kind_)) caption_ = LossyFromWide(TextOf(handle_), CP_ACP);
    if (kind_ == ControlKind::ComboList) {
        const int index = ItemIndex();
        return index >= 0 && index < static_cast<int>(items_.size()) ? items_[static_cast<size_t>(index)] : "";
    }
    return caption_;
}

void TControl::SetCaption(std::string caption) {
    Require(ShowsCaption(kind_), "show a caption");
    caption_ = std::move(caption);
    if (!handle_) return;
    SetWindowTextA(handle_, caption_.c_str());
    if (kind_ == ControlKind::Label) {
        FitLabel(reinterpret_cast<HFONT>(SendMessageA(handle_, WM_GETFONT, 0, 0)));
        ApplyBounds();
        InvalidateRect(handle_, nullptr, TRUE);
    }
}

// A label never cuts its text off: it grows to the right to fit it, as
// designers' labels do, and never shrinks below its designed width. Its
// bounds stay in design pixels: the text's width is taken back to 96 DPI,
// rounded up, with a pixel for the rounding of both edges.
void TControl::FitLabel(HFONT font) {
    RECT text{0, 0, 0, 0};
    MeasureText(font, caption_, text);
    const int dpi = form_.dpi_;
    const int width = dpi == kDesignDpi ? text.right : (text.right * kDesignDpi + dpi - 1) / dpi + 1;
    bounds_.right = bounds_.left + std::max(width, design_.bounds.width);
}

// A check box or radio button scaled from its design is never lower than its
// text: a font that exists only in some sizes (MS Sans Serif) may not grow
// in proportion. At 96 DPI the design is kept as it is.
void TControl::FitTextHeight(HFONT font) {
    textHeight_ = 0;
    if (form_.dpi_ == kDesignDpi) return;
    RECT text{0, 0, 0, 0};
    MeasureText(font, caption_, text);
    // A bitmap font may be realized with more leading when drawn than when
    // measured here: its character height and a third, at the least; with
    // room for the focus rectangle drawn around the text.
    LOGFONTA logical{};
    GetObjectA(font, sizeof logical, &logical);
    textHeight_ = std::max<int>(text.bottom, MulDiv(std::abs(logical.lfHeight), 4, 3)) + 2;
}

void TControl::SetVisible(bool visible) {
    visible_ = visible;
    ApplyShowing();
}

void TControl::ApplyShowing() {
    if (handle_) ShowWindow(handle_, Showing() ? SW_SHOWNA : SW_HIDE);
    for (TControl* c : Children()) c->ApplyShowing();
}

void TControl::SetEnabled(bool enabled) {
    enabled_ = enabled;
    ApplyEnabled();
    form_.UpdateRadioTabStops();
}

void TControl::ApplyEnabled() {
    if (handle_) EnableWindow(handle_, EffectivelyEnabled());
    for (TControl* c : Children()) c->ApplyEnabled();
}

bool TControl::Checked() const {
    Require(IsCheckable(kind_), "be checked");
    if (handle_) checked_ = SendMessageA(handle_, BM_GETCHECK, 0, 0) == BST_CHECKED;
    return checked_;
}

void TControl::SetChecked(bool checked) {
    Require(IsCheckable(kind_), "be checked");
    if (checked && kind_ == ControlKind::RadioButton) {
        for (TControl* c : form_.controls_) {
            if (c == this || c->kind_ != ControlKind::RadioButton || c->parent_ != parent_) continue;
            c->checked_ = false;
            c->ApplyChecked();
        }
    }
    checked_ = checked;
    ApplyChecked();
    form_.UpdateRadioTabStops();
}

void TControl::ApplyChecked() {
    if (handle_) SendMessageA(handle_, BM_SETCHECK, checked_ ? BST_CHECKED : BST_UNCHECKED, 0);
}

void TControl::SetItems(std::vector<std::string> items) {
    Require(IsCombo(kind_), "hold items");
    items_ = std::move(items);
    itemIndex_ = -1;
    ApplyItems();
}

void TControl::AddItem(std::string item) {
    Require(IsCombo(kind_), "hold items");
    items_.push_back(std::move(item));
    if (!handle_) return;
    SendMessageA(handle_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(items_.back().c_str()));
    FitDroppedWidth(handle_);
}

void TControl::ApplyItems() {
    if (!handle_ || !IsCombo(kind_)) return;
    SendMessageA(handle_, CB_RESETCONTENT, 0, 0);
    for (const std::string& item : items_) SendMessageA(handle_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
    SendMessageA(handle_, CB_SETCURSEL, static_cast<WPARAM>(itemIndex_), 0);
    FitDroppedWidth(handle_);
    TipChosenItem();
    if (kind_ == ControlKind::ComboEdit && itemIndex_ < 0) SetWindowTextA(handle_, caption_.c_str());
}

int TControl::ItemIndex() const {
    Require(IsCombo(kind_), "hold items");
    if (handle_) itemIndex_ = static_cast<int>(SendMessageA(handle_, CB_GETCURSEL, 0, 0));
    return itemIndex_;
}

void TControl::SetItemIndex(int index) {
    Require(IsCombo(kind_), "hold items");
    if (index < -1 || index >= static_cast<int>(items_.size()))
        throw Exception(Format("List index out of bounds (%d)", index));
    itemIndex_ = index;
    if (index >= 0) caption_ = items_[static_cast<size_t>(index)];
    if (handle_) SendMessageA(handle_, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    TipChosenItem();
}

void TControl::SetPicture(std::shared_ptr<const TBitmap> picture) {
    Require(kind_ == ControlKind::Image, "show a picture");
    picture_ = std::move(picture);
    if (handle_) InvalidateRect(handle_, nullptr, TRUE);
}

void TControl::Click() {
    // Keys reach a hidden or disabled default button too; it does nothing then.
    if (handle_ && (!Showing() || !EffectivelyEnabled())) return;
    if (OnClick) OnClick(this);
    if (ModalResult != mrNone) form_.SetModalResult(ModalResult);
}

void TControl::CreateHandle(HWND form, int id, HFONT font, bool groupStart) {
    if (kind_ == ControlKind::Label) FitLabel(font);
    if (IsCheckable(kind_)) FitTextHeight(font);
    const DWORD state = (Showing() ? WS_VISIBLE : 0) | (EffectivelyEnabled() ? 0 : WS_DISABLED) |
                        (IsTabStop() ? WS_TABSTOP : 0) | (groupStart ? WS_GROUP : 0);
    handle_ = CreateControl(form, design_,
                            ControlWindow{.id = id, .bounds = WindowBounds(),
                                          .text = HoldsText(kind_) ? std::string_view() : caption_,
                                          .state = state, .dpi = form_.dpi_},
                            font);
    if (IsCheckable(kind_)) ApplyChecked();
    if (IsCombo(kind_)) {
        const int index = itemIndex_;
        ApplyItems();
        SendMessageA(handle_, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
        TipChosenItem();
    }
    if (HoldsText(kind_) && itemIndex_ < 0) SetWindowTextA(handle_, caption_.c_str());
}

void TControl::SaveState() noexcept {
    try {
        if (IsCheckable(kind_)) Checked();
        if (IsCombo(kind_)) ItemIndex();
        Caption();
    } catch (...) {
        // Out of memory while copying a text: the last known state stays.
    }
    handle_ = nullptr;
    tip_ = nullptr;  // gone with the form's window, which owns it
}

// The box keeps its designed width: a chosen item too long for it is shown
// whole in a tip (and in the open list, which is fitted to its items).
void TControl::TipChosenItem() noexcept {
    if (handle_ && IsCombo(kind_)) tip_ = TipWholeText(handle_, tip_);
}

// --- TForm -----------------------------------------------------------------

TForm::TForm(TComponent* owner, const FormDesign& design) : TForm(owner, design, StaticClassName) {}

TForm::TForm(TComponent* owner, const FormDesign& design, const char* className)
    : TComponent(owner, className),
      design_(design),
      caption_(design.caption),
      clientSize_{design.clientWidth, design.clientHeight},
      colour_(design.colour) {
    SetName(design.name);
    if (!ParentsHoldControls(design.controls))
        throw Exception("Form " + Name() + " has a control whose parent is not a group box before it");
    for (const ControlDesign& d : design.controls) {
        TControl* parent = d.parent == kNoParent ? nullptr : controls_[static_cast<size_t>(d.parent)];
        controls_.push_back(new TControl(*this, d, parent));
    }
    design_.controls = {};  // held by the controls
}

TControl& TForm::Control(size_t row) const {
    if (row >= controls_.size())
        throw Exception(Format("Form %s has no control in row %u", Name().c_str(), static_cast<unsigned>(row)));
    return *controls_[row];
}

void TForm::SetCaption(std::string caption) {
    caption_ = std::move(caption);
    if (handle_) SetWindowTextA(handle_, caption_.c_str());
}

void TForm::SetClientSize(int width, int height) {
    const SIZE old = clientSize_;
    clientSize_ = SIZE{width, height};
    if (handle_) {
        RECT r{0, 0, Scaled(width, dpi_), Scaled(height, dpi_)};
        AdjustWindowRectEx(&r, GetWindowLongA(handle_, GWL_STYLE), FALSE, GetWindowLongA(handle_, GWL_EXSTYLE));
        SetWindowPos(handle_, nullptr, 0, 0, r.right - r.left, r.bottom - r.top, SWP_NOMOVE | SWP_NOZORDER);
    }
    LayoutChildren(nullptr, old, clientSize_);
}

void TForm::LayoutChildren(TControl* parent, SIZE designed, SIZE actual) {
    for (TControl* c : controls_) {
        if (c->parent_ != parent) continue;
        const RECT r = AnchoredBounds(c->bounds_, c->design_.anchors, designed, actual);
        c->SetBounds(r.left, r.top, r.right - r.left, r.bottom - r.top);
    }
}

void TForm::SetModalResult(TModalResult result) {
    modalResult_ = result;
    if (result != mrNone) EndModal(handle_);
}

TControl* TForm::ControlOfHandle(HWND handle) const noexcept {
    for (TControl* c : controls_)
        if (handle && c->handle_ == handle) return c;
    return nullptr;
}

TControl* TForm::FindByFlag(ControlFlag flag) const noexcept {
    for (TControl* c : controls_)
        if (c->design_.flags & flag) return c;
    return nullptr;
}

void TForm::UpdateRadioTabStops() {
    for (TControl* c : controls_) {
        if (!c->handle_ || c->kind_ != ControlKind::RadioButton) continue;
        const LONG style = GetWindowLongA(c->handle_, GWL_STYLE);
        SetWindowLongA(c->handle_, GWL_STYLE, c->IsTabStop() ? style | WS_TABSTOP : style & ~WS_TABSTOP);
    }
}

// The controls in window order (WindowOrder of their rows).
std::vector<TControl*> TForm::CreationOrder() const {
    std::vector<ControlDesign> rows;
    for (const TControl* c : controls_) rows.push_back(c->design_);
    std::vector<TControl*> order;
    for (const size_t row : WindowOrder(rows)) order.push_back(controls_[row]);
    return order;
}

TModalResult TForm::ShowModal() {
    if (handle_ || shown_) throw Exception("Form " + Name() + " is already shown");
    Shown shown;
    struct Reset {
        TForm* form;
        ~Reset() { form->shown_ = nullptr; }
    } reset{this};
    shown_ = &shown;
    failure_ = nullptr;
    modalResult_ = mrNone;

    // A template without controls; the title is set from the design later.
    alignas(DWORD) WORD buffer[12] = {};
    DLGTEMPLATE header{};
    header.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE | DS_MODALFRAME;
    header.dwExtendedStyle = WS_EX_DLGMODALFRAME;
    std::memcpy(buffer, &header, sizeof header);  // menu, class and title follow as empty words
    const HWND owner = ModalOwnerWindow();
    dpi_ = DpiOf(owner);
    bool finished = true;
    {
        // Destroyed before this returns; WM_DESTROY hands our controls their
        // last state.
        // The controls are made inside this call (WM_INITDIALOG), in the
        // visual style of the library's own manifest.
        UniqueHWnd window([&] {
            const ThemedWindows themed;
            return CreateDialogIndirectParamA(ThisModule(), reinterpret_cast<LPCDLGTEMPLATEA>(buffer), owner,
                                              &BoundDialogProc,
                                              reinterpret_cast<LPARAM>(static_cast<MessageHandler*>(this)));
        }());
        const DWORD error = GetLastError();
        if (!window && !failure_) throw Exception(Format("Unable to show form %s (error %lu)", Name().c_str(), error));
        if (window) finished = RunModal(window.get(), owner, [this] { return modalResult_ != mrNone; });
        if (!IsWindow(window.get())) window.release();  // gone with its owner
    }
    if (failure_) std::rethrow_exception(std::exchange(failure_, nullptr));
    // A WM_QUIT ends the loop without a result: the user did not confirm.
    if (!finished || modalResult_ == mrNone) modalResult_ = mrCancel;
    return modalResult_;
}

void TForm::Failed(HWND) noexcept {
    if (!failure_) failure_ = std::current_exception();  // the first failure is the one to report
    modalResult_ = mrCancel;
    EndModal(handle_);
}

LRESULT TForm::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        InitWindow(window);
        return FALSE;  // the focus is set already
    case WM_COMMAND:
        Command(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
        return TRUE;
    case WM_CLOSE:
        // The close box (or Alt+F4): Cancel, even while the cancel button is
        // disabled. Not passed on, because DefDlgProc would turn it into the
        // same IDCANCEL that Esc sends.
        SetModalResult(mrCancel);
        return TRUE;
    case WM_CTLCOLORDLG:
        return reinterpret_cast<INT_PTR>(shown_->colours.Answer(reinterpret_cast<HDC>(wParam)));
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
        return ControlColour(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_SETTINGCHANGE:
    case WM_SYSCOLORCHANGE:
        // High contrast switched on or off, or the user's colours changed, while the form is shown.
        if (shown_->colours.Changed(message, wParam)) {
            shown_->labelBackgrounds.clear();
            RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
        }
        return FALSE;
    case kWmDpiChanged:
        DpiChanged(wParam, lParam);
        return TRUE;
    case WM_DRAWITEM:
        DrawPicture(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        return TRUE;
    case WM_DESTROY:
        // Destroyed without a result (with its owner): the user did not confirm.
        if (modalResult_ == mrNone) modalResult_ = mrCancel;
        WindowDestroyed();
        return FALSE;
    default:
        return FALSE;
    }
}

void TForm::InitWindow(HWND window) {
    handle_ = window;
    SetWindowTextA(window, caption_.c_str());
    RECT frame{0, 0, Scaled(clientSize_.cx, dpi_), Scaled(clientSize_.cy, dpi_)};
    AdjustWindowRectEx(&frame, GetWindowLongA(window, GWL_STYLE), FALSE, GetWindowLongA(window, GWL_EXSTYLE));
    const int width = frame.right - frame.left, height = frame.bottom - frame.top;
    RECT area{};
    const HWND owner = GetWindow(window, GW_OWNER);
    if (design_.centred || !owner) area = MonitorOf(owner);
    else GetWindowRect(owner, &area);
    SetWindowPos(window, nullptr, area.left + (area.right - area.left - width) / 2,
                 area.top + (area.bottom - area.top - height) / 2, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    shown_->font = FontOf(Font(), dpi_);
    shown_->colours = SurfaceColours(colour_);
    CreateControls();
    if (const TControl* def = FindByFlag(cfDefault))
        SendMessageA(window, DM_SETDEFID, static_cast<WPARAM>(GetDlgCtrlID(def->handle_)), 0);
    if (OnShow) OnShow(this);
    FocusFirstControl();
}

void TForm::CreateControls() {
    shown_->creating = true;
    const std::vector<TControl*> order = CreationOrder();
    const TControl* previous = nullptr;
    int id = kFirstControlId;
    for (TControl* c : order) {
        // Labels, pictures and lines look no different in Common Controls 6,
        // whose Static under Wine 8 keeps a few bytes of every window that
        // had a font for good: the host's own Static makes them.
        const ThemedWindows host = ThemedWindows::HostsOwn(c->kind_ == ControlKind::Label ||
                                                           c->kind_ == ControlKind::Image ||
                                                           c->kind_ == ControlKind::Bevel);
        const bool group = StartsGroup(previous ? &previous->design_ : nullptr, c->design_);
        c->CreateHandle(handle_, id++, shown_->font.get(), group);
        previous = c;
    }
    shown_->creating = false;
}

void TForm::FocusFirstControl() {
    for (TControl* c : CreationOrder()) {
        if (c->handle_ && (GetWindowLongA(c->handle_, GWL_STYLE) & WS_TABSTOP) && c->Showing() &&
            c->EffectivelyEnabled()) {
            // WM_NEXTDLGCTL rather than SetFocus, so that the default button
            // highlight follows the focus as Tab would move it.
            SendMessageA(handle_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(c->handle_), TRUE);
            return;
        }
    }
}

void TForm::Command(WORD id, WORD code, HWND from) {
    if (id == IDCANCEL && !ControlOfHandle(from)) {
        EscapePressed();
        return;
    }
    TControl* control = ControlOfHandle(from);
    if (!control && id >= kFirstControlId) control = ControlOfHandle(GetDlgItem(handle_, id));
    if (!control || shown_->creating) return;
    switch (control->kind_) {
    case ControlKind::Button:
    case ControlKind::CheckBox:
    case ControlKind::RadioButton:
        if (code != BN_CLICKED) return;
        if (control->kind_ == ControlKind::RadioButton) UpdateRadioTabStops();
        control->Click();
        return;
    case ControlKind::ComboList:
    case ControlKind::ComboEdit:
        if (code == CBN_SELCHANGE || code == CBN_EDITCHANGE) control->TipChosenItem();
        if ((code == CBN_SELCHANGE || code == CBN_EDITCHANGE) && control->OnChange) control->OnChange(control);
        return;
    default:
        return;
    }
}

// The dialog manager sends IDCANCEL for Esc whether or not a cancel button
// exists or may be used; only an enabled, visible cancel button answers it.
void TForm::EscapePressed() {
    TControl* cancel = FindByFlag(cfCancel);
    if (cancel && cancel->Showing() && cancel->EffectivelyEnabled()) cancel->Click();
}

INT_PTR TForm::ControlColour(HDC dc, HWND window) {
    const TControl* control = ControlOfHandle(window);
    // A push button draws itself in the user's colours.
    if (!control || control->kind_ == ControlKind::Button) return FALSE;
    if (control->IsTransparent() && shown_->colours.Own()) {
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, shown_->colours.Text());
        if (HBRUSH brush = TransparentBackground(*control, dc)) return reinterpret_cast<INT_PTR>(brush);
    }
    return reinterpret_cast<INT_PTR>(shown_->colours.Answer(dc));
}

COLORREF TForm::BackgroundColour() const noexcept {
    return shown_ ? shown_->colours.Background() : GetSysColor(COLOR_BTNFACE);
}

// Moved to a monitor of another DPI: the controls take the font for it,
// labels and check boxes are fitted to their texts in it again, and every
// control goes to its place at the new DPI.
void TForm::DpiChanged(WPARAM wParam, LPARAM lParam) {
    const int dpi = LOWORD(wParam);
    if (dpi <= 0 || dpi == dpi_ || !handle_) return;
    UniqueHFont font = FontOf(Font(), dpi);
    for (TControl* c : controls_)
        if (c->handle_) RescaleControl(c->handle_, c->kind_, font.get(), dpi_, dpi);
    shown_->font = std::move(font);
    shown_->labelBackgrounds.clear();
    dpi_ = dpi;
    MoveToSuggested(handle_, lParam);
    for (TControl* c : controls_) {
        if (c->kind_ == ControlKind::Label) c->FitLabel(shown_->font.get());
        if (IsCheckable(c->kind_)) c->FitTextHeight(shown_->font.get());
    }
    for (TControl* c : controls_)
        if (!c->parent_) c->ApplyBounds();
    RedrawWindow(handle_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

// A transparent label over a picture shows the picture through its
// background: a pattern brush of what lies below the label, aligned to it.
HBRUSH TForm::TransparentBackground(const TControl& label, HDC dc) {
    const RECT lr = label.WindowBounds();
    auto bitmap = std::make_unique<TBitmap>(std::max(1L, lr.right - lr.left), std::max(1L, lr.bottom - lr.top),
                                            BackgroundColour());
    for (const TControl* c : controls_) {
        if (c->kind_ != ControlKind::Image || !c->picture_ || !c->Showing()) continue;
        const RECT pr = c->WindowBounds();
        DrawScaled(bitmap->Canvas(), pr.left - lr.left, pr.top - lr.top, *c->picture_, dpi_);
    }
    UniqueHBrush brush(CreatePatternBrush(bitmap->Handle()));
    if (!brush) return nullptr;
    SetBrushOrgEx(dc, 0, 0, nullptr);
    auto& slot = shown_->labelBackgrounds[&label];
    slot.bitmap = std::move(bitmap);
    slot.brush = std::move(brush);
    return slot.brush.get();
}

void TForm::DrawPicture(const DRAWITEMSTRUCT& item) {
    const TControl* control = ControlOfHandle(item.hwndItem);
    if (!control) return;
    FillRect(item.hDC, &item.rcItem, shown_->colours.Brush());
    if (const auto& picture = control->picture_) DrawScaled(item.hDC, item.rcItem.left, item.rcItem.top, *picture, dpi_);
}

void TForm::WindowDestroyed() noexcept {
    for (TControl* c : controls_) c->SaveState();
    handle_ = nullptr;
}

HWND ModalOwnerWindow() noexcept {
    if (const HWND active = GetActiveWindow()) return active;
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), &FindOwnerCandidate, reinterpret_cast<LPARAM>(&found));
    return found;
}

int MessageDlg(const std::string& text, const std::string& caption, UINT type, bool whileLoading) {
    const HWND owner = ModalOwnerWindow();
    const ThemedWindows themed(!whileLoading);
    // Without an owner the box still blocks this thread's other windows.
    return MessageBoxA(owner, text.c_str(), caption.c_str(), type | (owner ? 0u : static_cast<UINT>(MB_TASKMODAL)));
}

}  // namespace rtl

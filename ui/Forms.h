// Modal forms built from a design table (the rows of ui/Controls.h), with
// standard Windows controls, and message boxes.
//
// A form's design is data: one FormDesign with one ControlDesign row per
// control, in the order of an enumeration that names the form's controls.
// TForm builds its TControl objects from it at construction and hands them
// out by that enumeration, so that a control is never looked up by a name
// that could be misspelt; the window and the controls' windows exist only
// while ShowModal runs. Every
// property of a control (caption, bounds, visibility, enabled state, check
// state, combo items and selection, click handler) may be changed before the
// form is shown, while it is shown (from its handlers), and read afterwards:
// the state the window had when it closed is kept. An operation that a
// control's kind does not support (checking a button, items of a label)
// throws Exception instead of being ignored.
//
//   enum class Ctl { bOK, ..., Count };
//   constexpr rtl::ControlDesign kControls[] = {
//       {.kind = rtl::ControlKind::Button, .name = "bOK", .bounds = {329, 8, 87, 22},
//        .anchors = rtl::akTop | rtl::akRight, .caption = "OK", .tabOrder = 0, .flags = rtl::cfDefault},
//       ...};
//   static_assert(std::size(kControls) == static_cast<size_t>(Ctl::Count));
//   static_assert(rtl::ParentsHoldControls(kControls));
//   constexpr rtl::FormDesign kDesign = {.caption = "...", .clientWidth = 423, ...,
//                                        .controls = kControls};
//   rtl::TForm form(nullptr, kDesign);
//   form.Control(Ctl::bOK).OnClick = [&](rtl::TComponent*) { form.SetModalResult(rtl::mrOk); };
//   if (form.ShowModal() == rtl::mrOk) ...
//
// Keys: Enter clicks the default button (cfDefault), Esc clicks the cancel
// button (cfCancel) and does nothing while that button is disabled or hidden;
// the close box closes the form with mrCancel whatever the cancel button's
// state. A button's modalResult closes the form with that result after its
// OnClick handler has run.
#pragma once
#include <windows.h>

#include <exception>
#include <memory>
#include <span>
#include <string>
#include <type_traits>
#include <vector>

#include "rtl/Classes.h"
#include "ui/Controls.h"
#include "ui/Graphics.h"
#include "ui/Themes.h"

namespace rtl {

// A form keeps its design's font name and its rows' texts by pointer, as
// data declared once (literals), not copies.
struct FormDesign {
    const char* name = "";
    const char* caption = "";
    int clientWidth = 0, clientHeight = 0;  // a fixed size: a dialog frame with a system menu only
    const char* fontName = "MS Sans Serif";  // "": the font of message boxes
    int fontSize = 10;
    FontUnit fontUnit = FontUnit::Pixels;
    COLORREF colour = clDefault;
    // Centred on the monitor of the owner (of the mouse pointer without an
    // owner), else on the owner itself.
    bool centred = true;
    std::span<const ControlDesign> controls;
};

class TForm;

class TControl : public TComponent {
public:
    TControl(TForm& form, const ControlDesign& design, TControl* parent);
    ~TControl() override = default;

    // The control's window while the form is shown, else nullptr.
    HWND Handle() const noexcept { return handle_; }

    int Left() const noexcept { return bounds_.left; }
    int Top() const noexcept { return bounds_.top; }
    int Width() const noexcept { return bounds_.right - bounds_.left; }
    int Height() const noexcept { return bounds_.bottom - bounds_.top; }
    void SetBounds(int left, int top, int width, int height);
    void SetLeft(int left) { SetBounds(left, Top(), Width(), Height()); }
    void SetTop(int top) { SetBounds(Left(), top, Width(), Height()); }

    // The caption; of a combo box with an edit field what the user typed, of
    // a drop-down list its selected item.
    std::string Caption() const;
    void SetCaption(std::string caption);
    // Combo boxes call their caption their text.
    std::string Text() const { return Caption(); }
    void SetText(std::string text) { SetCaption(std::move(text)); }

    bool Visible() const noexcept { return visible_; }
    void SetVisible(bool visible);
    bool Enabled() const noexcept { return enabled_; }
    void SetEnabled(bool enabled);
    // Visible or enabled only when every parent is as well.
    bool Showing() const noexcept;
    bool EffectivelyEnabled() const noexcept;

    // Check boxes and radio buttons. Checking a radio button unchecks the
    // other radio buttons of its parent.
    bool Checked() const;
    void SetChecked(bool checked);

    // Combo boxes.
    const std::vector<std::string>& Items() const noexcept { return items_; }
    void SetItems(std::vector<std::string> items);
    void AddItem(std::string item);
    void ClearItems() { SetItems({}); }
    int ItemIndex() const;  // -1: nothing selected
    void SetItemIndex(int index);

    void SetPicture(std::shared_ptr<const TBitmap> picture);
    const std::shared_ptr<const TBitmap>& Picture() const noexcept { return picture_; }

    bool IsTransparent() const noexcept { return (design_.flags & cfTransparent) != 0; }
    bool IsTabStop() const noexcept;

    TModalResult ModalResult = mrNone;  // closes the form after a click
    TNotifyEvent OnClick;
    TNotifyEvent OnChange;  // combo text or selection changed by the user

    // The user clicked (or pressed the key of) this control: runs OnClick,
    // then closes the form with ModalResult when it has one.
    void Click();

private:
    friend class TForm;
    // Throws "Control <name> cannot <operation>" unless the kind supports it.
    void Require(bool supported, const char* operation) const;
    // Position in the form's client area, in design pixels and in the
    // window's pixels.
    RECT AbsoluteBounds() const noexcept;
    RECT WindowBounds() const noexcept;
    void CreateHandle(HWND form, int id, HFONT font, bool groupStart);
    void SaveState() noexcept;  // reads the window's state back before it goes
    void FitLabel(HFONT font);
    void FitTextHeight(HFONT font);
    void ApplyBounds();
    void ApplyShowing();
    void ApplyEnabled();
    void ApplyChecked();
    void ApplyItems();
    void TipChosenItem() noexcept;
    std::vector<TControl*> Children() const;

    TForm& form_;
    ControlDesign design_;  // its bounds, anchors, tab order and flags
    ControlKind kind_;
    TControl* parent_;
    RECT bounds_;
    mutable std::string caption_;
    bool visible_;
    bool enabled_;
    mutable bool checked_;
    std::vector<std::string> items_;
    mutable int itemIndex_ = -1;
    std::shared_ptr<const TBitmap> picture_;
    HWND handle_ = nullptr;
    HWND tip_ = nullptr;  // a combo box's tip with its whole chosen item, once it was cut
    int textHeight_ = 0;  // the least height of the window, in its pixels
};

class TForm : public TComponent, private MessageHandler {
public:
    static constexpr const char* StaticClassName = "TForm";
    TForm(TComponent* owner, const FormDesign& design);
    ~TForm() override = default;

    // The control of that row of the design table; throws Exception when
    // there is none. A form names its rows by an enumeration.
    TControl& Control(size_t row) const;
    template <class Row>
        requires std::is_enum_v<Row>
    TControl& Control(Row row) const {
        return Control(static_cast<size_t>(row));
    }
    const std::vector<TControl*>& Controls() const noexcept { return controls_; }

    const std::string& Caption() const noexcept { return caption_; }
    void SetCaption(std::string caption);
    // Moves the anchored controls as well.
    void SetClientSize(int width, int height);

    // Creates the window, owned by the calling thread's active top-level
    // window (never the desktop), runs it modally and destroys it again.
    // An exception thrown by a handler while the form is shown closes the
    // form as mrCancel and is rethrown from here once the window is gone.
    TModalResult ShowModal();
    HWND Handle() const noexcept { return handle_; }

    TModalResult ModalResult() const noexcept { return modalResult_; }
    // While shown, anything but mrNone closes the form with that result.
    void SetModalResult(TModalResult result);

    TNotifyEvent OnShow;  // the window and its controls exist, not yet visible

protected:
    TForm(TComponent* owner, const FormDesign& design, const char* className);

private:
    friend class TControl;
    struct Shown;
    LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;
    void Failed(HWND window) noexcept override;
    void InitWindow(HWND window);
    void CreateControls();
    void FocusFirstControl();
    void Command(WORD id, WORD code, HWND from);
    void EscapePressed();
    INT_PTR ControlColour(HDC dc, HWND control);
    void DpiChanged(WPARAM wParam, LPARAM lParam);
    FontDesign Font() const noexcept { return {design_.fontName, design_.fontSize, design_.fontUnit}; }
    void DrawPicture(const DRAWITEMSTRUCT& item);
    void WindowDestroyed() noexcept;
    TControl* ControlOfHandle(HWND handle) const noexcept;
    TControl* FindByFlag(ControlFlag flag) const noexcept;
    std::vector<TControl*> CreationOrder() const;
    void LayoutChildren(TControl* parent, SIZE designed, SIZE actual);
    void UpdateRadioTabStops();
    HBRUSH TransparentBackground(const TControl& label, HDC dc);
    COLORREF BackgroundColour() const noexcept;

    FormDesign design_;  // its font and placement
    std::string caption_;
    SIZE clientSize_;
    COLORREF colour_;
    std::vector<TControl*> controls_;  // design order; owned as components
    HWND handle_ = nullptr;
    TModalResult modalResult_ = mrNone;
    std::exception_ptr failure_;
    Shown* shown_ = nullptr;
    int dpi_ = kDesignDpi;  // of the window while shown
};

// The top-level window that a modal window of the calling thread should be
// owned by: its active window, else its first visible enabled top-level
// window, else none (never the desktop).
HWND ModalOwnerWindow() noexcept;

// A message box owned like a modal form, in the forms' visual style; returns
// the button's ID (IDOK, ...). `whileLoading`: shown under the loader lock,
// where no activation context is made.
int MessageDlg(const std::string& text, const std::string& caption, UINT type, bool whileLoading = false);

}  // namespace rtl

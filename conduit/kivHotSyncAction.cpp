#include "conduit/kivHotSyncAction.h"

#include <windows.h>

#include <iterator>
#include <memory>

#include "rtl/SysUtils.h"

namespace kiv {

namespace {

using rtl::ControlKind;
using rtl::draw::Fill;
using rtl::draw::Frame;

// --- The action pictures -----------------------------------------------------
//
// 44 x 20: the handheld on the left (x 2..11), the desktop computer on the
// right (x 28..42), arrows or a pause sign between them (x 14..25). A device
// whose data is overwritten, or that takes no part, is drawn greyed.

struct DeviceColours {
    COLORREF outline, body, screen;
};
constexpr DeviceColours kHandheldLive{RGB(32, 32, 32), RGB(88, 92, 112), RGB(176, 212, 160)};
constexpr DeviceColours kDesktopLive{RGB(32, 32, 32), RGB(216, 212, 196), RGB(40, 96, 176)};
constexpr DeviceColours kGreyed{RGB(152, 152, 152), RGB(208, 208, 208), RGB(232, 232, 232)};
constexpr COLORREF kArrow = RGB(0, 128, 0);
constexpr COLORREF kPause = RGB(176, 24, 24);

void DrawHandheld(HDC dc, const DeviceColours& c, COLORREF background) {
    Fill(dc, {2, 1, 12, 19}, c.body);
    Frame(dc, {2, 1, 12, 19}, c.outline);
    for (const POINT corner : {POINT{2, 1}, POINT{11, 1}, POINT{2, 18}, POINT{11, 18}})
        SetPixel(dc, corner.x, corner.y, background);  // rounded corners
    Fill(dc, {4, 3, 10, 11}, c.screen);
    Fill(dc, {4, 13, 6, 15}, c.screen);  // application buttons
    Fill(dc, {8, 13, 10, 15}, c.screen);
}

void DrawDesktop(HDC dc, const DeviceColours& c) {
    Fill(dc, {28, 1, 43, 14}, c.body);  // monitor
    Frame(dc, {28, 1, 43, 14}, c.outline);
    Fill(dc, {30, 3, 41, 12}, c.screen);
    Fill(dc, {34, 14, 37, 16}, c.outline);  // stand
    Fill(dc, {29, 16, 42, 19}, c.body);     // keyboard
    Frame(dc, {29, 16, 42, 19}, c.outline);
}

// A two-pixel shaft on rows y and y + 1 with a four-column head.
void DrawArrow(HDC dc, int y, bool pointsRight) {
    Fill(dc, pointsRight ? RECT{14, y, 22, y + 2} : RECT{18, y, 26, y + 2}, kArrow);
    for (int k = 0; k < 4; ++k) {
        const int x = pointsRight ? 22 + k : 17 - k;
        Fill(dc, {x, y - 3 + k, x + 1, y + 5 - k}, kArrow);
    }
}

void DrawPause(HDC dc) {
    Fill(dc, {16, 5, 19, 15}, kPause);
    Fill(dc, {21, 5, 24, 15}, kPause);
}

}  // namespace

std::shared_ptr<const rtl::TBitmap> HotSyncActionPicture(int index) {
    if (index < 0 || index >= kHotSyncActionCount)
        throw rtl::Exception(rtl::Format("No HotSync action picture for index %d", index));
    const COLORREF background = GetSysColor(COLOR_BTNFACE);
    auto picture = std::make_shared<rtl::TBitmap>(44, 20, background);
    const HDC dc = picture->Canvas();
    const bool handheldLive = index == aiSyncFiles || index == aiHHtoPC;
    const bool desktopLive = index == aiSyncFiles || index == aiPCtoHH;
    DrawHandheld(dc, handheldLive ? kHandheldLive : kGreyed, background);
    DrawDesktop(dc, desktopLive ? kDesktopLive : kGreyed);
    switch (index) {
    case aiSyncFiles:
        DrawArrow(dc, 5, true);
        DrawArrow(dc, 12, false);
        break;
    case aiPCtoHH: DrawArrow(dc, 9, false); break;
    case aiHHtoPC: DrawArrow(dc, 9, true); break;
    default: DrawPause(dc); break;
    }
    GdiFlush();
    return picture;
}

// --- The form ----------------------------------------------------------------

namespace {

constexpr unsigned kAllSides = rtl::akLeft | rtl::akTop | rtl::akRight | rtl::akBottom;
constexpr unsigned kTopStretch = rtl::akLeft | rtl::akTop | rtl::akRight;
constexpr unsigned kTopRight = rtl::akTop | rtl::akRight;
constexpr unsigned kBottomRight = rtl::akRight | rtl::akBottom;
constexpr int kNone = rtl::kNoTabOrder;
constexpr int kOnForm = rtl::kNoParent;
constexpr int kInGroup = static_cast<int>(ActionControl::GBActions);

// kind, name, parent, left, top, width, height, anchors, caption, tab order, flags, modal result.
// BtnData and BtnAbout start hidden: Execute shows each only with a click
// handler, so that the dialog never offers a button that does nothing.
constexpr rtl::ControlDesign kControls[] = {
    {ControlKind::GroupBox, "GBActions", kOnForm, 12, 12, 288, 205, kAllSides, "HotSync Action for ", 0},
    {ControlKind::Image, "Image1", kInGroup, 16, 40, 44, 20, rtl::akTopLeft, "", kNone},
    {ControlKind::Image, "Image2", kInGroup, 16, 82, 44, 20, rtl::akTopLeft, "", kNone},
    {ControlKind::Image, "Image3", kInGroup, 16, 125, 44, 20, rtl::akTopLeft, "", kNone},
    {ControlKind::Image, "Image4", kInGroup, 16, 167, 44, 20, rtl::akTopLeft, "", kNone},
    {ControlKind::RadioButton, "RBSyncFiles", kInGroup, 85, 43, 200, 14, kTopStretch, "&Synchronise the files", 0},
    {ControlKind::RadioButton, "RBPCtoHH", kInGroup, 85, 85, 200, 14, kTopStretch, "&Desktop overwrites handheld", 1},
    {ControlKind::RadioButton, "RBHHtoPC", kInGroup, 85, 128, 200, 13, kTopStretch, "H&andheld overwites Desktop", 2},
    {ControlKind::RadioButton, "RBDoNothing", kInGroup, 85, 170, 200, 15, kTopStretch, "Do &nothing", 3},
    {ControlKind::Button, "BtnOk", kOnForm, 316, 20, 81, 21, kTopRight, "OK", 1, rtl::cfDefault, rtl::mrOk},
    {ControlKind::Button, "BtnCancel", kOnForm, 316, 46, 81, 21, kTopRight, "Cancel", 2, rtl::cfCancel, rtl::mrCancel},
    {ControlKind::Button, "BtnHelp", kOnForm, 316, 72, 81, 21, kTopRight, "Help", 3, rtl::cfHidden},
    {ControlKind::CheckBox, "CBSetAsDefault", kOnForm, 309, 117, 92, 14, kTopRight, "Set &as Default", 4},
    {ControlKind::Button, "BtnData", kOnForm, 316, 170, 81, 21, kBottomRight, "Data settings", 5, rtl::cfHidden},
    {ControlKind::Button, "BtnAbout", kOnForm, 316, 196, 81, 21, kBottomRight, "About", 6, rtl::cfHidden},
};
static_assert(std::size(kControls) == static_cast<size_t>(ActionControl::Count), "one row per control");
static_assert(rtl::ParentsHoldControls(kControls));

constexpr rtl::FormDesign kDesign{.name = "kivHotSyncActionForm", .caption = "Change HotSync Action",
                                  .clientWidth = 409, .clientHeight = 229,
                                  .fontName = "MS Sans Serif", .fontSize = 10, .fontUnit = rtl::FontUnit::Pixels,
                                  .colour = rtl::clDefault, .centred = true, .controls = kControls};

void CheckActionIndex(int32_t index) {
    if (index < 0 || index >= kHotSyncActionCount) throw rtl::Exception("Invalid index to ActionEnabled property");
}

// Leading and trailing blanks and control characters.
bool IsBlank(const std::string& text) {
    for (const char c : text)
        if (static_cast<unsigned char>(c) > ' ') return false;
    return true;
}

void ShowOptionalButton(rtl::TControl& button, const rtl::TNotifyEvent& handler, const std::string& caption,
                        const char* fallback) {
    if (!handler) return;
    button.OnClick = handler;
    button.SetCaption(IsBlank(caption) ? fallback : caption);
    button.SetVisible(true);
}

}  // namespace

TkivHotSyncActionForm::TkivHotSyncActionForm(rtl::TComponent* owner)
    : TForm(owner, kDesign, StaticClassName) {
    rtl::TControl* images[] = {&Image1, &Image2, &Image3, &Image4};
    for (int i = 0; i < kHotSyncActionCount; ++i) images[i]->SetPicture(HotSyncActionPicture(i));
    OnShow = [this](rtl::TComponent* sender) { FormShow(sender); };
}

void TkivHotSyncActionForm::SetActionEnabled(int32_t index, bool enabled) {
    CheckActionIndex(index);
    RadioButtons[static_cast<size_t>(index)]->SetEnabled(enabled);
}

void TkivHotSyncActionForm::SetActionIndex(int32_t index) {
    CheckActionIndex(index);
    rtl::TControl* chosen = RadioButtons[static_cast<size_t>(index)];
    if (!chosen->Enabled()) {
        chosen = nullptr;
        for (rtl::TControl* button : RadioButtons) {
            if (button->Enabled()) {
                chosen = button;
                break;
            }
        }
    }
    if (chosen) chosen->SetChecked(true);
}

int32_t TkivHotSyncActionForm::ActionIndex() const {
    for (int32_t i = 0; i < kHotSyncActionCount; ++i)
        if (RadioButtons[static_cast<size_t>(i)]->Checked()) return i;
    return -1;
}

void TkivHotSyncActionForm::FormShow(rtl::TComponent*) {
    const int bottom = GBActions.Top() + GBActions.Height();
    if (BtnAbout.Visible()) {
        BtnAbout.SetTop(bottom - BtnAbout.Height());
        if (BtnData.Visible()) BtnData.SetTop(BtnAbout.Top() - BtnData.Height() - 6);
    } else if (BtnData.Visible()) {
        BtnData.SetTop(bottom - BtnData.Height());
    }
}

// --- The dialog component --------------------------------------------------

TkivHotSyncActionDialog::TkivHotSyncActionDialog(rtl::TComponent* owner) : TComponent(owner, StaticClassName) {}

bool TkivHotSyncActionDialog::Execute() {
    const auto form = std::make_unique<TkivHotSyncActionForm>(nullptr);
    for (int32_t i = 0; i < kHotSyncActionCount; ++i) form->SetActionEnabled(i, ActionEnabled[i]);
    form->SetActionIndex(ActionIndex);
    form->GBActions.SetCaption(form->GBActions.Caption() + (ConduitName.empty() ? "Untitled" : ConduitName));
    ShowOptionalButton(form->BtnData, OnBtnDataClick, BtnDataCaption, "Data settings");
    ShowOptionalButton(form->BtnAbout, OnBtnAboutClick, BtnAboutCaption, "About");
    if (form->ShowModal() != rtl::mrOk) return false;
    ActionIndex = form->ActionIndex();
    SetAsDefault = form->CBSetAsDefault.Checked();
    return true;
}

}  // namespace kiv

#include "app/uConduit_Setup.h"

#include <windows.h>

#include <initializer_list>
#include <iterator>

#include "app/PathRules.h"
#include "rtl/WinHandles.h"

namespace app {

TfConduit_Setup* fConduit_Setup = nullptr;

namespace {

using rtl::ControlKind;
using rtl::draw::Fill;
using UniqueHRgn = rtl::UniqueHandle<HRGN, rtl::NullInvalidTraits<HRGN, DeleteObject>>;

// --- The product picture -----------------------------------------------------
//
// 105 x 150 on white. The title label and the bevel line lie over its top
// 22 rows, so the drawing starts below them: an expansion card (y 24..47)
// going into the slot on the top edge of a handheld (x 14..86, y 46..144)
// whose screen shows the launcher, with an arrow beside the card.

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kOutline = RGB(34, 38, 50);
constexpr COLORREF kShadow = RGB(232, 233, 237);

void RoundBox(HDC dc, const RECT& r, int radius, COLORREF fill, COLORREF outline) {
    const rtl::UniqueHBrush brush(CreateSolidBrush(fill));
    const rtl::UniqueHPen pen(CreatePen(PS_SOLID, 1, outline));
    const rtl::SelectedObject selectedBrush(dc, brush.get());
    const rtl::SelectedObject selectedPen(dc, pen.get());
    RoundRect(dc, r.left, r.top, r.right, r.bottom, radius, radius);
}

void Disc(HDC dc, const RECT& r, COLORREF fill, COLORREF outline) {
    const rtl::UniqueHBrush brush(CreateSolidBrush(fill));
    const rtl::UniqueHPen pen(CreatePen(PS_SOLID, 1, outline));
    const rtl::SelectedObject selectedBrush(dc, brush.get());
    const rtl::SelectedObject selectedPen(dc, pen.get());
    Ellipse(dc, r.left, r.top, r.right, r.bottom);
}

void OutlinedPolygon(HDC dc, std::initializer_list<POINT> points, COLORREF fill, COLORREF outline) {
    rtl::draw::FilledPolygon(dc, points, fill);
    const rtl::UniqueHPen pen(CreatePen(PS_SOLID, 1, outline));
    const rtl::SelectedObject selectedPen(dc, pen.get());
    const POINT* first = points.begin();
    MoveToEx(dc, first->x, first->y, nullptr);
    for (const POINT& p : points) LineTo(dc, p.x, p.y);
    LineTo(dc, first->x, first->y);
}

COLORREF Blend(COLORREF a, COLORREF b, int step, int steps) {
    const auto mix = [&](int ca, int cb) { return ca + (cb - ca) * step / steps; };
    return RGB(mix(GetRValue(a), GetRValue(b)), mix(GetGValue(a), GetGValue(b)), mix(GetBValue(a), GetBValue(b)));
}

// A case lit from the left: each column a shade darker, inside the rounded outline.
void DrawCase(HDC dc, const RECT& r, int radius) {
    RoundBox(dc, {r.left + 5, r.top + 4, r.right + 5, r.bottom + 4}, radius, kShadow, kShadow);
    const UniqueHRgn clip(CreateRoundRectRgn(r.left, r.top, r.right + 1, r.bottom + 1, radius, radius));
    SelectClipRgn(dc, clip.get());
    const int width = r.right - r.left;
    for (int x = 0; x < width; ++x)
        Fill(dc, {r.left + x, r.top, r.left + x + 1, r.bottom}, Blend(RGB(116, 126, 150), RGB(48, 54, 70), x, width));
    SelectClipRgn(dc, nullptr);
    const rtl::SelectedObject hollow(dc, GetStockObject(NULL_BRUSH));
    const rtl::UniqueHPen pen(CreatePen(PS_SOLID, 1, kOutline));
    const rtl::SelectedObject selectedPen(dc, pen.get());
    RoundRect(dc, r.left, r.top, r.right, r.bottom, radius, radius);
}

// The launcher: a title bar and three rows of three application icons.
void DrawScreen(HDC dc) {
    Fill(dc, {22, 58, 78, 114}, RGB(24, 26, 34));  // glass border
    Fill(dc, {25, 61, 75, 111}, RGB(236, 242, 248));
    Fill(dc, {25, 61, 75, 68}, RGB(36, 78, 156));
    Fill(dc, {28, 64, 45, 65}, kWhite);
    constexpr COLORREF kIcons[] = {RGB(214, 64, 56),  RGB(236, 150, 40), RGB(64, 168, 84),
                                   RGB(40, 150, 170), RGB(60, 100, 200), RGB(130, 80, 180),
                                   RGB(230, 196, 40), RGB(220, 90, 150), RGB(96, 110, 130)};
    for (int i = 0; i < 9; ++i) {
        const int x = 29 + (i % 3) * 16, y = 71 + (i / 3) * 13;
        RoundBox(dc, {x, y, x + 10, y + 9}, 4, kIcons[i], Blend(kIcons[i], RGB(0, 0, 0), 2, 5));
        Fill(dc, {x + 2, y + 2, x + 5, y + 3}, Blend(kIcons[i], kWhite, 3, 5));  // shine
        Fill(dc, {x + 1, y + 10, x + 9, y + 11}, RGB(150, 156, 168));          // the icon's name
    }
}

void DrawButtons(HDC dc) {
    constexpr COLORREF kButton = RGB(132, 142, 164);
    for (const int x : {17, 28, 64, 75}) Disc(dc, {x, 125, x + 9, 134}, kButton, kOutline);
    Disc(dc, {40, 119, 60, 139}, RGB(86, 96, 118), kOutline);  // five-way navigator
    Disc(dc, {46, 125, 54, 133}, kButton, kOutline);
}

// An SD card half-way into the slot: its lower end disappears behind the slot's lip.
void DrawCard(HDC dc) {
    OutlinedPolygon(dc, {{46, 24}, {63, 24}, {68, 29}, {68, 48}, {46, 48}}, RGB(32, 64, 140), RGB(14, 28, 72));
    Fill(dc, {49, 31, 65, 44}, RGB(238, 242, 250));  // label
    Fill(dc, {49, 31, 65, 34}, RGB(214, 64, 56));
    for (const int y : {37, 40}) Fill(dc, {51, y, 63, y + 1}, RGB(150, 160, 184));
    for (const int x : {48, 50, 52}) Fill(dc, {x, 26, x + 1, 29}, RGB(90, 120, 190));  // grip ridges
    Fill(dc, {42, 45, 72, 49}, RGB(18, 20, 26));  // the slot
    Fill(dc, {43, 48, 71, 49}, RGB(70, 78, 98));
}

void DrawArrow(HDC dc) {
    constexpr COLORREF kGreen = RGB(46, 160, 76);
    Fill(dc, {77, 26, 81, 36}, kGreen);
    OutlinedPolygon(dc, {{73, 36}, {85, 36}, {79, 43}}, kGreen, kGreen);
}

// --- The form --------------------------------------------------------------

constexpr int kNone = rtl::kNoTabOrder;
constexpr int kOnForm = rtl::kNoParent;

// The conduit's name heads its message boxes; the dialog's own caption
// would make the box look like a second setup dialog.
constexpr const char* kMessageCaption = "Tolvane";

// kind, name, parent, left, top, width, height, anchors, caption, tab order, flags, modal result, items.
constexpr rtl::ControlDesign kControls[] = {
    {ControlKind::Image, "IAbout", kOnForm, 9, 5, 105, 150, rtl::akTopLeft, "", kNone},
    {ControlKind::Label, "lTitle", kOnForm, 11, 10, 297, 13, rtl::akTopLeft, "HotSync Action for Tolvane", kNone,
     rtl::cfTransparent},
    {ControlKind::Bevel, "bLine", kOnForm, 8, 25, 313, 2, rtl::akTopLeft, "", kNone},
    {ControlKind::Button, "bOK", kOnForm, 329, 8, 87, 22, rtl::akTopLeft, "OK", 0, rtl::cfDefault},
    {ControlKind::Button, "bCancel", kOnForm, 329, 32, 87, 22, rtl::akTopLeft, "Cancel", 1, rtl::cfCancel,
     rtl::mrCancel},
    {ControlKind::CheckBox, "cbInstall", kOnForm, 136, 39, 181, 17, rtl::akTopLeft, "Install to card", 2,
     rtl::cfChecked | rtl::cfNoTabStop},
    {ControlKind::Label, "lCard", kOnForm, 136, 67, 71, 13, rtl::akTopLeft, "Extension card", kNone},
    {ControlKind::ComboList, "cbCard", kOnForm, 136, 83, 187, 21, rtl::akTopLeft, "", 3},
    {ControlKind::Label, "lDestination", kOnForm, 136, 115, 108, 13, rtl::akTopLeft, "Install to this directory",
     kNone},
    {ControlKind::ComboEdit, "cbDestination", kOnForm, 136, 131, 187, 21, rtl::akTopLeft, "", 4, 0, rtl::mrNone,
     "/Palm/Programs/Plucker\n/Palm/Launcher\n/Palm/eBooks"},
};
static_assert(std::size(kControls) == static_cast<size_t>(SetupControl::Count), "one row per control");
static_assert(rtl::ParentsHoldControls(kControls));

constexpr rtl::FormDesign kDesign{.name = "fConduit_Setup", .caption = "Tolvane Conduit",
                                  .clientWidth = 423, .clientHeight = 168,
                                  .fontName = "Tahoma", .fontSize = 8, .fontUnit = rtl::FontUnit::Points,
                                  .colour = kWhite, .centred = true, .controls = kControls};

}  // namespace

std::shared_ptr<const rtl::TBitmap> ProductPicture() {
    auto picture = std::make_shared<rtl::TBitmap>(105, 150, kWhite);
    const HDC dc = picture->Canvas();
    DrawCase(dc, {14, 46, 86, 144}, 18);
    Fill(dc, {17, 62, 18, 128}, RGB(150, 160, 182));  // the lit edge
    DrawScreen(dc);
    DrawButtons(dc);
    DrawCard(dc);
    DrawArrow(dc);
    GdiFlush();
    return picture;
}

TfConduit_Setup::TfConduit_Setup(rtl::TComponent* owner)
    : TForm(owner, kDesign, StaticClassName) {
    bOK.OnClick = [this](rtl::TComponent* sender) { bOKClick(sender); };
    cbInstall.OnClick = [this](rtl::TComponent* sender) { cbInstallClick(sender); };
}

void TfConduit_Setup::ShowSettings() {
    cbCard.ClearItems();
    for (size_t i = 0; i < Slots.size(); ++i) {
        cbCard.AddItem(Slots[i].DisplayName);
        if (Slots[i].MediaType == MediaType) cbCard.SetItemIndex(static_cast<int>(i));
    }
    // No media type chosen yet: the first slot; a user without slots has none to select.
    if (MediaType == 0 && !Slots.empty()) cbCard.SetItemIndex(0);
    // A directory picked from the list last time would otherwise be shown
    // again instead of the one read from the settings file.
    cbDestination.SetItemIndex(-1);
    // A stored empty directory is the card's root, as the run reads it; shown
    // empty, OK would refuse it until the user typed "/".
    cbDestination.SetText(DestDirectory.empty() ? std::string(rules::kCardRoot) : DestDirectory);
    cbInstall.SetChecked(ConduitEnabled);
    bCancel.SetEnabled(SettingsFileExists);
    UpdateControls();
}

void TfConduit_Setup::UpdateControls() {
    const bool install = cbInstall.Checked();
    for (rtl::TControl* control : {&lCard, &cbCard, &lDestination, &cbDestination}) control->SetEnabled(install);
}

// A directory no card can take is refused while the install is on, with
// the reason, and the dialog stays open for the user to correct it; one
// shown disabled is stored as it stands.
bool TfConduit_Setup::AcceptDirectory() {
    const std::string typed = cbDestination.Text();
    const rules::CardDirectoryCheck check = rules::CheckCardDirectory(typed);
    if (check.Usable() || !cbInstall.Checked()) {
        DestDirectory = check.Usable() ? check.directory : typed;
        return true;
    }
    rtl::MessageDlg(check.problem +
                        "\n\nType a directory that starts with \"/\" and separates its folders with \"/\", such as "
                        "/Palm/Launcher (\"/\" alone is the card's root), or choose one from the list. Nothing has been "
                    "saved yet.",
                    kMessageCaption, MB_OK | MB_ICONWARNING);
    // The refused text, selected: typing replaces it, an arrow key edits it.
    if (const HWND box = cbDestination.Handle()) {
        SetFocus(box);
        SendMessageA(box, CB_SETEDITSEL, 0, MAKELPARAM(0, -1));
    }
    return false;
}

void TfConduit_Setup::bOKClick(rtl::TComponent*) {
    if (!AcceptDirectory()) return;
    const int index = cbCard.ItemIndex();
    if (!Slots.empty() && index >= 0 && static_cast<size_t>(index) < Slots.size())
        MediaType = Slots[static_cast<size_t>(index)].MediaType;
    ConduitEnabled = cbInstall.Checked();
    SetModalResult(rtl::mrOk);
}

void TfConduit_Setup::cbInstallClick(rtl::TComponent*) { UpdateControls(); }

rtl::TModalResult TfConduit_Setup::Execute() {
    // Made for this showing and dropped after it, so that the form holds no
    // GDI object between configurations, nor while the library unloads.
    IAbout.SetPicture(ProductPicture());
    struct DropPicture {
        rtl::TControl& image;
        ~DropPicture() { image.SetPicture(nullptr); }
    } drop{IAbout};
    return ShowModal();
}

void StartSetupForm() { rtl::CreateUnitComponent(fConduit_Setup); }

void StopSetupForm() noexcept { rtl::FreeUnitComponent(fConduit_Setup); }

}  // namespace app

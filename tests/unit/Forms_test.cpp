// The forms layer on a form of its own: keys and the close box, run-time
// changes, combo boxes, colours, failures inside handlers, message boxes.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "ui/Forms.h"
#include "rtl/SysUtils.h"
#include "tests/support/WindowDriver.h"

namespace {

namespace drv = testsupport;
using rtl::ControlKind;

void Require(bool condition, const std::string& what) {
    if (!condition) throw drv::DriverError(what);
}

// --- Anchors (no window needed) ------------------------------------------------

TEST(AnchoredBounds, FollowTheAnchoredEdges) {
    struct Case {
        const char* name;
        unsigned anchors;
        RECT expected;
    };
    const RECT start{10, 20, 110, 40};
    // The parent grows by 30 x 10.
    const Case cases[] = {
        {"left top", rtl::akLeft | rtl::akTop, {10, 20, 110, 40}},
        {"right", rtl::akTop | rtl::akRight, {40, 20, 140, 40}},
        {"left right stretches", rtl::akLeft | rtl::akTop | rtl::akRight, {10, 20, 140, 40}},
        {"bottom", rtl::akLeft | rtl::akBottom, {10, 30, 110, 50}},
        {"all four", rtl::akLeft | rtl::akTop | rtl::akRight | rtl::akBottom, {10, 20, 140, 50}},
        {"right bottom", rtl::akRight | rtl::akBottom, {40, 30, 140, 50}},
        {"none keeps the centre", 0, {25, 25, 125, 45}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const RECT r = rtl::AnchoredBounds(start, c.anchors, SIZE{200, 100}, SIZE{230, 110});
        EXPECT_EQ(r.left, c.expected.left);
        EXPECT_EQ(r.top, c.expected.top);
        EXPECT_EQ(r.right, c.expected.right);
        EXPECT_EQ(r.bottom, c.expected.bottom);
    }
}

// --- A test form ---------------------------------------------------------------

enum class Ctl { iPicture, lOver, bLine, bOK, bCancel, cbSwitch, cbList, cbEdit, lStatus, Count };

constexpr rtl::ControlDesign kControls[] = {
    {ControlKind::Image, "iPicture", rtl::kNoParent, 8, 8, 40, 30, rtl::akTopLeft, "", rtl::kNoTabOrder},
    {ControlKind::Label, "lOver", rtl::kNoParent, 10, 10, 30, 13, rtl::akTopLeft, "Over", rtl::kNoTabOrder, rtl::cfTransparent},
    {ControlKind::Bevel, "bLine", rtl::kNoParent, 8, 44, 200, 2, rtl::akTopLeft, "", rtl::kNoTabOrder},
    {ControlKind::Button, "bOK", rtl::kNoParent, 220, 8, 80, 22, rtl::akTop | rtl::akRight, "OK", 0, rtl::cfDefault},
    {ControlKind::Button, "bCancel", rtl::kNoParent, 220, 34, 80, 22, rtl::akTop | rtl::akRight, "Cancel", 1,
     rtl::cfCancel | rtl::cfDisabled, rtl::mrCancel},
    {ControlKind::CheckBox, "cbSwitch", rtl::kNoParent, 60, 8, 120, 17, rtl::akTopLeft, "Switch", 2,
     rtl::cfChecked | rtl::cfNoTabStop},
    {ControlKind::ComboList, "cbList", rtl::kNoParent, 60, 52, 150, 21, rtl::akTopLeft, "", 3, 0, rtl::mrNone,
     "one\ntwo\nthree"},
    {ControlKind::ComboEdit, "cbEdit", rtl::kNoParent, 60, 80, 150, 21, rtl::akTopLeft, "", 4, 0, rtl::mrNone, "/a\n/b"},
    {ControlKind::Label, "lStatus", rtl::kNoParent, 60, 110, 150, 13, rtl::akTopLeft, "Ready", rtl::kNoTabOrder},
};
static_assert(std::size(kControls) == static_cast<size_t>(Ctl::Count));

constexpr rtl::FormDesign kDesign{
    .name = "TestForm",
    .caption = "Forms layer test",
    .clientWidth = 310,
    .clientHeight = 130,
    .fontName = "Tahoma",
    .fontSize = 8,
    .fontUnit = rtl::FontUnit::Points,
    .colour = RGB(255, 255, 255),
    .controls = kControls,
};

class TestForm : public testing::Test {
protected:
    TestForm() {
        form_.Control(Ctl::iPicture).SetPicture(std::make_shared<rtl::TBitmap>(40, 30, RGB(0, 0, 255)));
        form_.Control(Ctl::bOK).OnClick = [this](rtl::TComponent*) { form_.SetModalResult(rtl::mrOk); };
    }
    rtl::TForm form_{nullptr, kDesign};
};

TEST_F(TestForm, EscapeIsIgnoredWhileCancelIsDisabledButTheCloseBoxCancels) {
    bool stillOpenAfterEscape = false;
    drv::ModalWatcher watcher([&] {
        const HWND window = drv::WaitForWindow("Forms layer test");
        drv::PressEscape(window);
        stillOpenAfterEscape = drv::StillShownAfterPosted(window);
        drv::PressCloseBox(window);
        drv::WaitUntilGone(window);
    });
    EXPECT_EQ(form_.ShowModal(), rtl::mrCancel);
    ASSERT_EQ(watcher.Join(), "");
    EXPECT_TRUE(stillOpenAfterEscape);
}

TEST_F(TestForm, EscapeClicksTheCancelButtonOnceItIsEnabled) {
    int cancelClicks = 0;
    form_.Control(Ctl::bCancel).OnClick = [&](rtl::TComponent*) { ++cancelClicks; };
    // The check box enables Cancel from its click handler, while shown.
    form_.Control(Ctl::cbSwitch).OnClick = [&](rtl::TComponent*) {
        form_.Control(Ctl::bCancel).SetEnabled(!form_.Control(Ctl::cbSwitch).Checked());
    };
    drv::ModalWatcher watcher([&] {
        const HWND window = drv::WaitForWindow("Forms layer test");
        const HWND cancel = drv::Child(window, "Button", "Cancel");
        Require(!drv::IsEnabled(cancel), "Cancel starts enabled");
        drv::Click(drv::Child(window, "Button", "Switch"));
        Require(drv::WaitFor([&] { return drv::IsEnabled(cancel); }), "Cancel stays disabled");
        drv::PressEscape(window);
        drv::WaitUntilGone(window);
    });
    EXPECT_EQ(form_.ShowModal(), rtl::mrCancel);
    ASSERT_EQ(watcher.Join(), "");
    EXPECT_EQ(cancelClicks, 1);
    EXPECT_FALSE(form_.Control(Ctl::cbSwitch).Checked());
}

TEST_F(TestForm, EnterDoesNothingWhileTheDefaultButtonIsHiddenOrDisabled) {
    for (const bool hide : {true, false}) {
        SCOPED_TRACE(hide ? "hidden" : "disabled");
        rtl::TControl& ok = form_.Control(Ctl::bOK);
        ok.SetVisible(!hide);
        ok.SetEnabled(hide);
        bool stillOpen = false;
        drv::ModalWatcher watcher([&] {
            const HWND window = drv::WaitForWindow("Forms layer test");
            drv::PressEnter(window);
            stillOpen = drv::StillShownAfterPosted(window);
            drv::Close(window);
            drv::WaitUntilGone(window);
        });
        EXPECT_EQ(form_.ShowModal(), rtl::mrCancel);
        ASSERT_EQ(watcher.Join(), "");
        EXPECT_TRUE(stillOpen);
    }
}

TEST_F(TestForm, ComboChoicesAndTypedTextOutliveTheWindow) {
    rtl::TControl& list = form_.Control(Ctl::cbList);
    rtl::TControl& edit = form_.Control(Ctl::cbEdit);
    list.SetItemIndex(2);
    edit.SetText("/start");
    std::vector<std::string> listItems, editItems;
    int listSelection = -2;
    std::string editText;
    int changes = 0;
    list.OnChange = [&](rtl::TComponent*) { ++changes; };
    drv::ModalWatcher watcher([&] {
        const HWND window = drv::WaitForWindow("Forms layer test");
        const std::vector<HWND> combos = drv::Children(window, "ComboBox");
        Require(combos.size() == 2, "two combo boxes expected");
        listItems = drv::ComboItems(combos[0]);
        editItems = drv::ComboItems(combos[1]);
        listSelection = drv::ComboSelection(combos[0]);
        editText = drv::WindowText(combos[1]);
        drv::SelectComboItem(combos[0], 1);
        drv::SetText(combos[1], "/typed/by hand");
        drv::PressEnter(window);
        drv::WaitUntilGone(window);
    });
    EXPECT_EQ(form_.ShowModal(), rtl::mrOk);
    ASSERT_EQ(watcher.Join(), "");
    EXPECT_EQ(listItems, (std::vector<std::string>{"one", "two", "three"}));
    EXPECT_EQ(editItems, (std::vector<std::string>{"/a", "/b"}));
    EXPECT_EQ(listSelection, 2);
    EXPECT_EQ(editText, "/start");
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(list.ItemIndex(), 1);
    EXPECT_EQ(list.Text(), "two");
    EXPECT_EQ(edit.Text(), "/typed/by hand");
    EXPECT_EQ(edit.ItemIndex(), -1);
    EXPECT_EQ(form_.Handle(), nullptr);
    EXPECT_EQ(list.Handle(), nullptr);
    EXPECT_THROW(list.SetItemIndex(3), rtl::Exception);
}

TEST_F(TestForm, HandlersChangeControlsWhileShownAndOnShowRunsFirst) {
    rtl::TControl& status = form_.Control(Ctl::lStatus);
    form_.OnShow = [&](rtl::TComponent*) {
        status.SetCaption("Shown");
        form_.Control(Ctl::cbList).SetLeft(70);
    };
    form_.Control(Ctl::cbSwitch).OnClick = [&](rtl::TComponent*) {
        status.SetVisible(false);
        form_.Control(Ctl::bOK).SetCaption("Go");
        form_.Control(Ctl::cbEdit).SetEnabled(false);
        form_.SetCaption("Changed");
    };
    std::string shownStatus;
    bool statusVisibleAfter = true, editEnabledAfter = true;
    long listLeft = 0;
    drv::ModalWatcher watcher([&] {
        const HWND window = drv::WaitForWindow("Forms layer test");
        shownStatus = drv::FindChild(window, "Static", "Shown") ? "Shown" : "";
        listLeft = drv::BoundsInDialog(drv::Children(window, "ComboBox")[0]).left;
        drv::Click(drv::Child(window, "Button", "Switch"));
        const HWND changed = drv::WaitForWindow("Changed");
        statusVisibleAfter = drv::IsVisible(drv::Child(changed, "Static", "Shown"));
        editEnabledAfter = drv::IsEnabled(drv::Children(changed, "ComboBox")[1]);
        drv::Click(drv::Child(changed, "Button", "Go"));
        drv::WaitUntilGone(changed);
    });
    EXPECT_EQ(form_.ShowModal(), rtl::mrOk);
    ASSERT_EQ(watcher.Join(), "");
    EXPECT_EQ(shownStatus, "Shown");
    EXPECT_EQ(listLeft, 70);
    EXPECT_FALSE(statusVisibleAfter);
    EXPECT_FALSE(editEnabledAfter);
    EXPECT_TRUE(form_.Control(Ctl::cbSwitch).Checked() == false);
}

TEST_F(TestForm, WhiteBackgroundAndALabelOverAPicture) {
    LOGBRUSH dialogBrush{}, labelBrush{}, plainLabelBrush{};
    drv::ModalWatcher watcher([&] {
        const HWND window = drv::WaitForWindow("Forms layer test");
        const HDC dc = CreateCompatibleDC(nullptr);
        auto brushOf = [&](UINT message, HWND control, LOGBRUSH& out) {
            DWORD_PTR brush = 0;
            SendMessageTimeoutA(window, message, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(control),
                                SMTO_ABORTIFHUNG, 5000, &brush);
            GetObjectA(reinterpret_cast<HBRUSH>(brush), sizeof out, &out);
        };
        brushOf(WM_CTLCOLORDLG, window, dialogBrush);
        brushOf(WM_CTLCOLORSTATIC, drv::Child(window, "Static", "Over"), labelBrush);
        brushOf(WM_CTLCOLORSTATIC, drv::Child(window, "Static", "Ready"), plainLabelBrush);
        DeleteDC(dc);
        drv::Close(window);
        drv::WaitUntilGone(window);
    });
    form_.ShowModal();
    ASSERT_EQ(watcher.Join(), "");
    EXPECT_EQ(dialogBrush.lbStyle, static_cast<UINT>(BS_SOLID));
    EXPECT_EQ(dialogBrush.lbColor, RGB(255, 255, 255));
    EXPECT_EQ(plainLabelBrush.lbColor, RGB(255, 255, 255));
    // The transparent label paints with the picture below it.
    EXPECT_TRUE(labelBrush.lbStyle == BS_PATTERN || labelBrush.lbStyle == BS_DIBPATTERN) << labelBrush.lbStyle;
}

// --- Failures and the window's life ------------------------------------------

TEST(Form, AFailingShowHandlerEndsTheFormAndIsRethrownOnceTheWindowIsGone) {
    rtl::TForm form(nullptr, kDesign);
    form.OnShow = [](rtl::TComponent*) { throw rtl::Exception("show failed"); };
    const HWND host = CreateWindowExA(0, "STATIC", "Host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 100, 50, nullptr,
                                      nullptr, GetModuleHandleA(nullptr), nullptr);
    SetActiveWindow(host);
    try {
        form.ShowModal();
        ADD_FAILURE() << "no exception";
    } catch (const rtl::Exception& e) {
        EXPECT_EQ(e.Message(), "show failed");
    }
    EXPECT_EQ(form.Handle(), nullptr);
    EXPECT_EQ(drv::FindTopLevel("Forms layer test"), nullptr);
    EXPECT_TRUE(drv::IsEnabled(host));
    DestroyWindow(host);
    // The form can be shown again afterwards.
    form.OnShow = nullptr;
    drv::ModalWatcher watcher([] {
        const HWND window = drv::WaitForWindow("Forms layer test");
        drv::PressCloseBox(window);
        drv::WaitUntilGone(window);
    });
    EXPECT_EQ(form.ShowModal(), rtl::mrCancel);
    EXPECT_EQ(watcher.Join(), "");
}

TEST(Form, UnknownRowsAndParentsThatHoldNothingAreRefused) {
    rtl::TForm form(nullptr, kDesign);
    EXPECT_THROW(form.Control(static_cast<size_t>(Ctl::Count)), rtl::Exception);
    EXPECT_EQ(&form.Control(Ctl::bOK), form.Controls()[static_cast<size_t>(Ctl::bOK)]);
    EXPECT_EQ(form.Control(Ctl::bOK).Name(), "bOK");
    const struct {
        const char* name;
        std::vector<rtl::ControlDesign> rows;
        bool valid;
        bool validForATool;  // a window that is not modal
    } cases[] = {
        {"a group box holds", {{ControlKind::GroupBox, "g"}, {ControlKind::Label, "l", 0}}, true, true},
        {"a button holds nothing", {{ControlKind::Button, "b"}, {ControlKind::Label, "l", 0}}, false, false},
        {"a parent comes first", {{ControlKind::Label, "l", 1}, {ControlKind::GroupBox, "g"}}, false, false},
        {"no row of its own", {{ControlKind::GroupBox, "g", 0}}, false, false},
        {"no such row", {{ControlKind::Label, "l", -2}}, false, false},
        {"a button closes the window",
         {{.kind = ControlKind::Button, .name = "b", .modalResult = rtl::mrOk}}, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(rtl::ParentsHoldControls(c.rows), c.valid);
        EXPECT_EQ(rtl::FitsToolWindow(c.rows), c.validForATool);
        rtl::FormDesign design = kDesign;
        design.controls = c.rows;
        if (c.valid)
            EXPECT_NO_THROW(rtl::TForm(nullptr, design));
        else
            EXPECT_THROW(rtl::TForm(nullptr, design), rtl::Exception);
        if (c.validForATool)
            EXPECT_NO_THROW(rtl::TableControls(c.rows, SIZE{100, 100}));
        else
            EXPECT_THROW(rtl::TableControls(c.rows, SIZE{100, 100}), rtl::Exception);
    }
}

// --- The tool windows' controls --------------------------------------------------

namespace tool {

enum class Row { gBox, lName, eName, cbPick, bOK, gHidden, cbInside, Count };
constexpr unsigned kAllSides = rtl::akLeft | rtl::akTop | rtl::akRight | rtl::akBottom;
constexpr rtl::ControlDesign kRows[] = {
    {.kind = ControlKind::GroupBox, .name = "gBox", .bounds = {100, 60, 200, 100}, .anchors = kAllSides,
     .caption = "Box"},
    {.kind = ControlKind::Label, .name = "lName", .parent = 0, .bounds = {10, 20, 60, 16}, .caption = "&Name:"},
    {.kind = ControlKind::Edit, .name = "eName", .parent = 0, .bounds = {80, 20, 100, 22},
     .anchors = rtl::akLeft | rtl::akTop | rtl::akRight},
    {.kind = ControlKind::ComboList, .name = "cbPick", .parent = 0, .bounds = {10, 50, 100, 22}, .items = "one\ntwo"},
    {.kind = ControlKind::Button, .name = "bOK", .bounds = {320, 10, 80, 26}, .caption = "OK", .flags = rtl::cfDefault},
    {.kind = ControlKind::GroupBox, .name = "gHidden", .bounds = {100, 170, 200, 40}, .caption = "Hidden",
     .flags = rtl::cfHidden},
    {.kind = ControlKind::CheckBox, .name = "cbInside", .parent = 5, .bounds = {10, 16, 100, 17}, .caption = "Inside"},
};
static_assert(std::size(kRows) == static_cast<size_t>(Row::Count));
static_assert(rtl::FitsToolWindow(kRows));

RECT ScreenBounds(HWND control) {
    RECT r{};
    GetWindowRect(control, &r);
    return r;
}

}  // namespace tool

// A tool window reads a row's parent and items as a form does: a group box's
// controls lie inside it, hidden with it, beneath it in window order, and
// follow it when it grows; a label's mnemonic reaches the control after it.
TEST(TableControls, AGroupBoxHoldsItsControlsAndALabelLeadsToItsControl) {
    using tool::Row;
    const rtl::UniqueHWnd window(CreateWindowExW(0, L"STATIC", L"Tool", WS_OVERLAPPEDWINDOW, 0, 0, 500, 300, nullptr,
                                                 nullptr, GetModuleHandleW(nullptr), nullptr));
    ASSERT_TRUE(window);
    rtl::TableControls controls(tool::kRows, SIZE{410, 220});
    controls.Create(window.get(), rtl::kDesignDpi);

    // In window order: the label just before its edit, the box after its controls.
    std::vector<HWND> order;
    for (HWND c = GetWindow(window.get(), GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) order.push_back(c);
    const auto position = [&](Row row) { return std::find(order.begin(), order.end(), controls[row]) - order.begin(); };
    EXPECT_EQ(position(Row::lName) + 1, position(Row::eName));
    EXPECT_GT(position(Row::gBox), position(Row::cbPick));

    const auto inside = [&](Row row, Row box) {
        RECT r = tool::ScreenBounds(controls[row]), b = tool::ScreenBounds(controls[box]), both{};
        if (rtl::IsCombo(tool::kRows[static_cast<size_t>(row)].kind)) r.bottom = r.top + 22;  // the closed box
        return IntersectRect(&both, &r, &b) && EqualRect(&both, &r);
    };
    EXPECT_TRUE(inside(Row::lName, Row::gBox));
    EXPECT_TRUE(inside(Row::eName, Row::gBox));
    EXPECT_TRUE(inside(Row::cbInside, Row::gHidden));
    EXPECT_EQ(SendMessageW(controls[Row::cbPick], CB_GETCOUNT, 0, 0), 2);
    EXPECT_FALSE(GetWindowLongW(controls[Row::cbInside], GWL_STYLE) & WS_VISIBLE) << "hidden with its box";

    const auto width = [&](Row row) {
        const RECT r = tool::ScreenBounds(controls[row]);
        return r.right - r.left;
    };
    const LONG boxWidth = width(Row::gBox), editWidth = width(Row::eName);
    controls.Place(SIZE{460, 220});
    EXPECT_EQ(width(Row::gBox), boxWidth + 50);
    EXPECT_EQ(width(Row::eName), editWidth + 50) << "the edit stretches with its box";
    EXPECT_TRUE(inside(Row::eName, Row::gBox));
}

// An operation that a kind cannot show is refused, not kept where nobody sees it.
TEST(Form, OperationsAControlKindDoesNotSupportThrow) {
    rtl::TForm form(nullptr, kDesign);
    const auto picture = std::make_shared<rtl::TBitmap>(4, 4, RGB(0, 0, 0));
    const struct {
        const char* name;
        std::function<void()> operation;
        bool supported;
    } cases[] = {
        {"check a check box", [&] { form.Control(Ctl::cbSwitch).SetChecked(false); }, true},
        {"check a button", [&] { form.Control(Ctl::bOK).SetChecked(true); }, false},
        {"ask a combo box whether it is checked", [&] { form.Control(Ctl::cbList).Checked(); }, false},
        {"select in a combo box", [&] { form.Control(Ctl::cbList).SetItemIndex(0); }, true},
        {"select in a check box", [&] { form.Control(Ctl::cbSwitch).SetItemIndex(-1); }, false},
        {"ask a label for its selection", [&] { form.Control(Ctl::lStatus).ItemIndex(); }, false},
        {"add an item to a label", [&] { form.Control(Ctl::lStatus).AddItem("x"); }, false},
        {"clear the items of a button", [&] { form.Control(Ctl::bOK).ClearItems(); }, false},
        {"show a picture on an image", [&] { form.Control(Ctl::iPicture).SetPicture(picture); }, true},
        {"show a picture on a button", [&] { form.Control(Ctl::bOK).SetPicture(picture); }, false},
        {"type into a combo box", [&] { form.Control(Ctl::cbEdit).SetText("/x"); }, true},
        {"caption a drop-down list", [&] { form.Control(Ctl::cbList).SetCaption("two"); }, false},
        {"caption a picture", [&] { form.Control(Ctl::iPicture).SetCaption("x"); }, false},
        {"caption a line", [&] { form.Control(Ctl::bLine).SetCaption("x"); }, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.supported)
            EXPECT_NO_THROW(c.operation());
        else
            EXPECT_THROW(c.operation(), rtl::Exception);
    }
    EXPECT_FALSE(form.Control(Ctl::bOK).Picture());
}

TEST(Form, ResizingMovesAnchoredControlsAndTheWindowShowsTheNewPlaces) {
    rtl::TForm form(nullptr, kDesign);
    form.SetClientSize(350, 150);
    EXPECT_EQ(form.Control(Ctl::bOK).Left(), 260);      // anchored top right
    EXPECT_EQ(form.Control(Ctl::cbList).Left(), 60);    // anchored top left
    EXPECT_EQ(form.Control(Ctl::cbList).Width(), 150);
    SIZE client{};
    long okLeft = 0;
    drv::ModalWatcher watcher([&] {
        const HWND window = drv::WaitForWindow("Forms layer test");
        client = drv::ClientSize(window);
        okLeft = drv::BoundsInDialog(drv::Child(window, "Button", "OK")).left;
        drv::Close(window);
        drv::WaitUntilGone(window);
    });
    form.ShowModal();
    ASSERT_EQ(watcher.Join(), "");
    EXPECT_EQ(client.cx, 350);
    EXPECT_EQ(client.cy, 150);
    EXPECT_EQ(okLeft, 260);
}

// "Centred on the screen" is the middle of the monitor, not of the part a
// taskbar leaves: with a work area in one corner the form still sits in
// the monitor's middle.
TEST(Form, ACentredFormSitsInTheMiddleOfTheMonitorNotOfItsWorkArea) {
    RECT saved{};
    ASSERT_TRUE(SystemParametersInfoA(SPI_GETWORKAREA, 0, &saved, 0));
    const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    RECT corner{0, 0, width / 2, height / 2};
    SystemParametersInfoA(SPI_SETWORKAREA, 0, &corner, 0);
    RECT now{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &now, 0);
    rtl::TForm form(nullptr, kDesign);
    RECT placed{};
    drv::ModalWatcher watcher([&] {
        const HWND window = drv::WaitForWindow("Forms layer test");
        GetWindowRect(window, &placed);
        drv::Close(window);
        drv::WaitUntilGone(window);
    });
    form.ShowModal();
    SystemParametersInfoA(SPI_SETWORKAREA, 0, &saved, 0);
    ASSERT_EQ(watcher.Join(), "");
    if (now.right != corner.right || now.bottom != corner.bottom) GTEST_SKIP() << "the work area cannot be changed here";
    EXPECT_NEAR((placed.left + placed.right) / 2, width / 2, 1);
    EXPECT_NEAR((placed.top + placed.bottom) / 2, height / 2, 1);
}

TEST(MessageDlg, IsAnsweredLikeAnyWindow) {
    std::string message;
    drv::ModalWatcher watcher([&] { message = drv::AnswerMessageBox("Question", "No"); });
    const int answer = rtl::MessageDlg("Install to card?", "Question", MB_YESNO);
    ASSERT_EQ(watcher.Join(), "");
    EXPECT_EQ(answer, IDNO);
    EXPECT_EQ(message, "Install to card?");
}

}  // namespace

// The "Change HotSync Action" dialog, shown for real and driven from a
// watcher thread as a person would use it.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <memory>
#include <utility>
#include <string>
#include <vector>

#include "conduit/kivHotSyncAction.h"
#include "rtl/SysUtils.h"
#include "tests/support/WindowDriver.h"

namespace {

using kiv::TkivHotSyncActionDialog;
using kiv::TkivHotSyncActionForm;
namespace drv = testsupport;

constexpr const char* kCaption = "Change HotSync Action";
const std::array<std::string, 4> kRadioCaptions = {"&Synchronise the files", "&Desktop overwrites handheld",
                                                   "H&andheld overwites Desktop", "Do &nothing"};

HWND Radio(HWND dialog, int index) { return drv::Child(dialog, "Button", kRadioCaptions[static_cast<size_t>(index)]); }

void Require(bool condition, const std::string& what) {
    if (!condition) throw drv::DriverError(what);
}

// --- Closing the dialog --------------------------------------------------

enum class Way { OkButton, EnterKey, CancelButton, EscapeKey, CloseBox, CloseMessage };

struct CloseCase {
    const char* name;
    Way way;
    bool tick;           // the user ticks "Set &as Default" first
    bool confirmed;      // Execute's result
    int32_t actionIndex;  // afterwards; the dialog starts at 2 with SetAsDefault true
    bool setAsDefault;
};

void CloseThe(HWND dialog, Way way) {
    switch (way) {
    case Way::OkButton: drv::Click(drv::Child(dialog, "Button", "OK")); break;
    case Way::EnterKey: drv::PressEnter(dialog); break;
    case Way::CancelButton: drv::Click(drv::Child(dialog, "Button", "Cancel")); break;
    case Way::EscapeKey: drv::PressEscape(dialog); break;
    case Way::CloseBox: drv::PressCloseBox(dialog); break;
    case Way::CloseMessage: drv::Close(dialog); break;
    }
}

void PrintTo(const CloseCase& c, std::ostream* os) { *os << c.name; }

class ClosingTheDialog : public testing::TestWithParam<CloseCase> {};

TEST_P(ClosingTheDialog, OnlyAConfirmationTakesTheChoice) {
    const CloseCase& c = GetParam();
    TkivHotSyncActionDialog dialog(nullptr);
    dialog.ActionIndex = kiv::aiHHtoPC;
    dialog.SetAsDefault = true;
    drv::ModalWatcher watcher([&] {
        const HWND window = drv::WaitForWindow(kCaption);
        drv::Click(Radio(window, kiv::aiDoNothing));
        Require(drv::WaitFor([&] { return drv::IsChecked(Radio(window, kiv::aiDoNothing)); }), "radio not checked");
        if (c.tick) {
            const HWND box = drv::Child(window, "Button", "Set &as Default");
            drv::Click(box);
            Require(drv::WaitFor([&] { return drv::IsChecked(box); }), "check box not ticked");
        }
        CloseThe(window, c.way);
        drv::WaitUntilGone(window);
    });
    const bool confirmed = dialog.Execute();
    ASSERT_EQ(watcher.Join(), "");
    EXPECT_EQ(confirmed, c.confirmed);
    EXPECT_EQ(dialog.ActionIndex, c.actionIndex);
    EXPECT_EQ(dialog.SetAsDefault, c.setAsDefault);
}

INSTANTIATE_TEST_SUITE_P(
    Ways, ClosingTheDialog,
    testing::Values(CloseCase{"OkWithDefault", Way::OkButton, true, true, kiv::aiDoNothing, true},
                    CloseCase{"OkWithoutDefault", Way::OkButton, false, true, kiv::aiDoNothing, false},
                    CloseCase{"EnterWithDefault", Way::EnterKey, true, true, kiv::aiDoNothing, true},
                    CloseCase{"EnterWithoutDefault", Way::EnterKey, false, true, kiv::aiDoNothing, false},
                    CloseCase{"CancelButton", Way::CancelButton, true, false, kiv::aiHHtoPC, true},
                    CloseCase{"EscapeKey", Way::EscapeKey, true, false, kiv::aiHHtoPC, true},
                    CloseCase{"CloseBox", Way::CloseBox, true, false, kiv::aiHHtoPC, true},
                    CloseCase{"CloseMessage", Way::CloseMessage, false, false, kiv::aiHHtoPC, true}),
    [](const testing::TestParamInfo<CloseCase>& info) { return std::string(info.param.name); });

// Keys alone: accelerators pick the actions and tick "Set &as Default",
// Enter confirms. After "Do &nothing" the next control with the key A is the
// check box, not "H&andheld overwites Desktop".
TEST(HotSyncActionDialog, KeysAloneChooseAndConfirm) {
    TkivHotSyncActionDialog dialog(nullptr);
    drv::ModalWatcher watcher([&] {
        const HWND window = drv::WaitForWindow(kCaption);
        const HWND box = drv::Child(window, "Button", "Set &as Default");
        drv::TypeChars(drv::FocusedWindow(window), "n");
        Require(drv::WaitFor([&] { return drv::IsChecked(Radio(window, kiv::aiDoNothing)); }), "N did not pick");
        drv::TypeChars(drv::FocusedWindow(window), "a");
        Require(drv::WaitFor([&] { return drv::IsChecked(box); }), "A did not tick the box");
        Require(drv::IsChecked(Radio(window, kiv::aiDoNothing)), "A changed the action");
        drv::TypeChars(drv::FocusedWindow(window), "d");
        Require(drv::WaitFor([&] { return drv::IsChecked(Radio(window, kiv::aiPCtoHH)); }), "D did not pick");
        drv::PressEnter(window);
        drv::WaitUntilGone(window);
    });
    const bool confirmed = dialog.Execute();
    ASSERT_EQ(watcher.Join(), "");
    EXPECT_TRUE(confirmed);
    EXPECT_EQ(dialog.ActionIndex, kiv::aiPCtoHH);
    EXPECT_TRUE(dialog.SetAsDefault);
}

// --- What the dialog shows -------------------------------------------------

int Style(HWND window) { return static_cast<int>(GetWindowLongA(window, GWL_STYLE)); }
bool SameRect(const RECT& a, const RECT& b) { return EqualRect(&a, &b) != FALSE; }
RECT Bounds(int left, int top, int width, int height) { return RECT{left, top, left + width, top + height}; }

TEST(HotSyncActionDialog, ShowsTheDesignedCaptionsPlacesFontAndTabOrder) {
    TkivHotSyncActionDialog dialog(nullptr);
    dialog.ConduitName = "Tolvane";
    dialog.ActionIndex = kiv::aiPCtoHH;
    std::vector<std::string> radios, tabOrder;
    std::string group;
    SIZE client{};
    LOGFONTA font{};
    std::vector<std::pair<std::string, RECT>> places;
    std::vector<std::pair<std::string, bool>> shown;
    drv::ModalWatcher watcher([&] {
        const HWND window = drv::WaitForWindow(kCaption);
        client = drv::ClientSize(window);
        for (HWND b : drv::Children(window, "Button")) {
            const std::string text = drv::WindowText(b);
            if ((Style(b) & 0x0F) == BS_AUTORADIOBUTTON) radios.push_back(text);
            if ((Style(b) & 0x0F) == BS_GROUPBOX) group = text;
            places.emplace_back(text, drv::BoundsInDialog(b));
            shown.emplace_back(text, drv::IsVisible(b));
        }
        GetObjectA(reinterpret_cast<HFONT>(SendMessageA(Radio(window, 0), WM_GETFONT, 0, 0)), sizeof font, &font);
        HWND at = drv::FocusedWindow(window);
        for (int i = 0; i < 5 && at; ++i, at = GetNextDlgTabItem(window, at, FALSE)) tabOrder.push_back(drv::WindowText(at));
        drv::Click(drv::Child(window, "Button", "Cancel"));
        drv::WaitUntilGone(window);
    });
    EXPECT_FALSE(dialog.Execute());
    ASSERT_EQ(watcher.Join(), "");

    EXPECT_EQ(client.cx, 409);
    EXPECT_EQ(client.cy, 229);
    EXPECT_EQ(group, "HotSync Action for Tolvane");
    EXPECT_EQ(radios, std::vector<std::string>(kRadioCaptions.begin(), kRadioCaptions.end()));
    EXPECT_EQ(font.lfHeight, -10);
    EXPECT_STREQ(font.lfFaceName, "MS Sans Serif");
    // Tab enters the radio group at its checked button; Help, Data settings
    // and About are hidden and so skipped.
    EXPECT_EQ(tabOrder, (std::vector<std::string>{"&Desktop overwrites handheld", "OK", "Cancel", "Set &as Default",
                                                  "&Desktop overwrites handheld"}));
    const std::vector<std::pair<std::string, RECT>> expected = {
        {"HotSync Action for Tolvane", Bounds(12, 12, 288, 205)},
        {kRadioCaptions[0], Bounds(12 + 85, 12 + 43, 200, 14)},
        {kRadioCaptions[1], Bounds(12 + 85, 12 + 85, 200, 14)},
        {kRadioCaptions[2], Bounds(12 + 85, 12 + 128, 200, 13)},
        {kRadioCaptions[3], Bounds(12 + 85, 12 + 170, 200, 15)},
        {"OK", Bounds(316, 20, 81, 21)},
        {"Cancel", Bounds(316, 46, 81, 21)},
        {"Help", Bounds(316, 72, 81, 21)},
        {"Set &as Default", Bounds(309, 117, 92, 14)},
        {"Data settings", Bounds(316, 170, 81, 21)},
        {"About", Bounds(316, 196, 81, 21)},
    };
    for (const auto& [text, rect] : expected) {
        SCOPED_TRACE(text);
        const auto found = std::find_if(places.begin(), places.end(), [&](const auto& p) { return p.first == text; });
        ASSERT_NE(found, places.end());
        EXPECT_TRUE(SameRect(found->second, rect)) << found->second.left << "," << found->second.top << " "
                                                   << found->second.right << "," << found->second.bottom;
    }
    for (const auto& [text, visible] : shown) {
        SCOPED_TRACE(text);
        const bool hidden = text == "Help" || text == "Data settings" || text == "About";
        EXPECT_EQ(visible, !hidden);
    }
}

// --- Preselection and disabled actions --------------------------------------

struct PreselectCase {
    const char* name;
    std::array<bool, 4> enabled;
    int32_t preselected;
    std::string conduitName;
    int checkedOnShow;     // -1: none
    int32_t afterOk;       // ActionIndex after OK without a change
    std::string groupCaption;
};

void PrintTo(const PreselectCase& c, std::ostream* os) { *os << c.name; }

class Preselection : public testing::TestWithParam<PreselectCase> {};

TEST_P(Preselection, ChecksTheFirstEnabledActionWhenThePreselectedOneIsDisabled) {
    const PreselectCase& c = GetParam();
    TkivHotSyncActionDialog dialog(nullptr);
    std::copy(c.enabled.begin(), c.enabled.end(), dialog.ActionEnabled);
    dialog.ActionIndex = c.preselected;
    dialog.ConduitName = c.conduitName;
    int checked = -2;
    std::array<bool, 4> enabled{};
    std::string group;
    drv::ModalWatcher watcher([&] {
        const HWND window = drv::WaitForWindow(kCaption);
        checked = -1;
        for (int i = 0; i < 4; ++i) {
            if (drv::IsChecked(Radio(window, i))) checked = i;
            enabled[static_cast<size_t>(i)] = drv::IsEnabled(Radio(window, i));
        }
        for (HWND b : drv::Children(window, "Button"))
            if ((Style(b) & 0x0F) == BS_GROUPBOX) group = drv::WindowText(b);
        drv::Click(drv::Child(window, "Button", "OK"));
        drv::WaitUntilGone(window);
    });
    const bool confirmed = dialog.Execute();
    ASSERT_EQ(watcher.Join(), "");
    EXPECT_TRUE(confirmed);
    EXPECT_EQ(checked, c.checkedOnShow);
    EXPECT_EQ(enabled, c.enabled);
    EXPECT_EQ(dialog.ActionIndex, c.afterOk);
    EXPECT_EQ(group, c.groupCaption);
}

constexpr std::array<bool, 4> kAll = {true, true, true, true};
INSTANTIATE_TEST_SUITE_P(
    Cases, Preselection,
    testing::Values(
        PreselectCase{"EnabledIsKept", kAll, 3, "Memo", 3, 3, "HotSync Action for Memo"},
        PreselectCase{"EmptyNameIsUntitled", kAll, 0, "", 0, 0, "HotSync Action for Untitled"},
        PreselectCase{"BlankNameIsShown", kAll, 1, " ", 1, 1, "HotSync Action for  "},
        PreselectCase{"DisabledFirstGivesSecond", {false, true, true, true}, 0, "X", 1, 1, "HotSync Action for X"},
        PreselectCase{"DisabledThirdGivesFirst", {true, true, false, true}, 2, "X", 0, 0, "HotSync Action for X"},
        PreselectCase{"OnlyLastEnabled", {false, false, false, true}, 1, "X", 3, 3, "HotSync Action for X"},
        PreselectCase{"AllDisabledChecksNoneAndGivesMinusOne", {false, false, false, false}, 2, "X", -1, -1,
                      "HotSync Action for X"}),
    [](const testing::TestParamInfo<PreselectCase>& info) { return std::string(info.param.name); });

TEST(HotSyncActionDialog, AnIndexOutsideTheActionsFailsBeforeAnythingIsShown) {
    for (const int32_t index : {-1, 4, 1000}) {
        SCOPED_TRACE(index);
        TkivHotSyncActionDialog dialog(nullptr);
        dialog.ActionIndex = index;
        dialog.SetAsDefault = true;
        try {
            dialog.Execute();
            ADD_FAILURE() << "no exception";
        } catch (const rtl::Exception& e) {
            EXPECT_EQ(e.Message(), "Invalid index to ActionEnabled property");
        }
        EXPECT_EQ(dialog.ActionIndex, index);
        EXPECT_TRUE(dialog.SetAsDefault);
        EXPECT_EQ(drv::FindTopLevel(kCaption), nullptr);
    }
}

TEST(HotSyncActionForm, IndexRulesWithoutShowingTheForm) {
    TkivHotSyncActionForm form(nullptr);
    EXPECT_EQ(form.ActionIndex(), -1);  // nothing is checked in the design
    form.SetActionIndex(kiv::aiHHtoPC);
    EXPECT_EQ(form.ActionIndex(), kiv::aiHHtoPC);
    for (const int32_t bad : {-1, 4}) {
        SCOPED_TRACE(bad);
        EXPECT_THROW(form.SetActionEnabled(bad, false), rtl::Exception);
        EXPECT_THROW(form.SetActionIndex(bad), rtl::Exception);
        EXPECT_EQ(form.ActionIndex(), kiv::aiHHtoPC);
    }
    form.SetActionEnabled(kiv::aiSyncFiles, false);
    form.SetActionIndex(kiv::aiSyncFiles);  // disabled: the first enabled one instead
    EXPECT_EQ(form.ActionIndex(), kiv::aiPCtoHH);
    EXPECT_FALSE(form.RBHHtoPC.Checked());
    for (int32_t i = 0; i < kiv::kHotSyncActionCount; ++i) form.SetActionEnabled(i, false);
    form.SetActionIndex(kiv::aiDoNothing);  // none enabled: the check stays where it was
    EXPECT_EQ(form.ActionIndex(), kiv::aiPCtoHH);
}

// --- The optional buttons ------------------------------------------------------

struct ButtonsCase {
    const char* name;
    bool data;
    std::string dataCaption;
    bool about;
    std::string aboutCaption;
    // What the dialog shows: visible, caption and top of each.
    bool dataShown;
    std::string dataShownCaption;
    int dataTop;
    bool aboutShown;
    std::string aboutShownCaption;
    int aboutTop;
};

void PrintTo(const ButtonsCase& c, std::ostream* os) { *os << c.name; }

class OptionalButtons : public testing::TestWithParam<ButtonsCase> {};

TEST_P(OptionalButtons, ShowOnlyWithAHandlerAndSitAtTheGroupBoxBottom) {
    const ButtonsCase& c = GetParam();
    TkivHotSyncActionDialog dialog(nullptr);
    std::vector<std::string> clicks;
    auto record = [&](rtl::TComponent* sender) { clicks.push_back(sender ? sender->Name() : "(none)"); };
    dialog.BtnDataCaption = c.dataCaption;
    dialog.BtnAboutCaption = c.aboutCaption;
    if (c.data) dialog.OnBtnDataClick = record;
    if (c.about) dialog.OnBtnAboutClick = record;
    struct Seen {
        bool shown = false;
        std::string caption;
        int top = 0;
    } data, about;
    drv::ModalWatcher watcher([&] {
        const HWND window = drv::WaitForWindow(kCaption);
        // In window order the two come last: Data settings, then About.
        const std::vector<HWND> buttons = drv::Children(window, "Button");
        Require(buttons.size() >= 2, "too few buttons");
        for (auto [seen, button] : {std::pair{&data, buttons[buttons.size() - 2]}, std::pair{&about, buttons.back()}}) {
            seen->shown = drv::IsVisible(button);
            seen->caption = drv::WindowText(button);
            seen->top = drv::BoundsInDialog(button).top;
            if (seen->shown) drv::Click(button);
        }
        // A click runs the handler and leaves the dialog open.
        const size_t expectedClicks = (c.dataShown ? 1u : 0u) + (c.aboutShown ? 1u : 0u);
        Require(drv::StillShownAfterPosted(window), "the dialog closed on a click");
        drv::Click(drv::Child(window, "Button", "Cancel"));
        drv::WaitUntilGone(window);
        Require(clicks.size() == expectedClicks, "handlers ran " + std::to_string(clicks.size()) + " times");
    });
    EXPECT_FALSE(dialog.Execute());
    ASSERT_EQ(watcher.Join(), "");
    EXPECT_EQ(data.shown, c.dataShown);
    EXPECT_EQ(data.caption, c.dataShownCaption);
    EXPECT_EQ(data.top, c.dataTop);
    EXPECT_EQ(about.shown, c.aboutShown);
    EXPECT_EQ(about.caption, c.aboutShownCaption);
    EXPECT_EQ(about.top, c.aboutTop);
    std::vector<std::string> expectedSenders;
    if (c.dataShown) expectedSenders.push_back("BtnData");
    if (c.aboutShown) expectedSenders.push_back("BtnAbout");
    EXPECT_EQ(clicks, expectedSenders);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OptionalButtons,
    testing::Values(
        ButtonsCase{"NeitherMoves", false, "Data settings", false, "About", false, "Data settings", 170, false, "About", 196},
        ButtonsCase{"CaptionsWithoutHandlersStayUnused", false, "Mine", false, "Yours", false, "Data settings", 170,
                    false, "About", 196},
        ButtonsCase{"DataAloneGoesToTheBottom", true, "Data settings", false, "About", true, "Data settings", 196, false,
                    "About", 196},
        ButtonsCase{"EmptyDataCaptionFallsBack", true, "", false, "About", true, "Data settings", 196, false, "About", 196},
        ButtonsCase{"BlankCaptionsFallBack", true, " \t ", true, "\r\n", true, "Data settings", 169, true, "About", 196},
        ButtonsCase{"PaddedCaptionsAreKept", true, "  Sync  ", true, " Info", true, "  Sync  ", 169, true, " Info", 196},
        ButtonsCase{"AboutAloneGoesToTheBottom", false, "Data settings", true, "Credits", false, "Data settings", 170,
                    true, "Credits", 196}),
    [](const testing::TestParamInfo<ButtonsCase>& info) { return std::string(info.param.name); });

TEST(HotSyncActionDialog, AHandlerThatThrowsClosesTheDialogAndTheErrorLeavesExecute) {
    TkivHotSyncActionDialog dialog(nullptr);
    dialog.ActionIndex = kiv::aiHHtoPC;
    dialog.OnBtnAboutClick = [](rtl::TComponent*) { throw rtl::Exception("about failed"); };
    bool goneWhenThrown = false;
    drv::ModalWatcher watcher([&] {
        const HWND window = drv::WaitForWindow(kCaption);
        drv::Click(Radio(window, kiv::aiSyncFiles));
        drv::Click(drv::Child(window, "Button", "About"));
        drv::WaitUntilGone(window);
    });
    try {
        dialog.Execute();
        ADD_FAILURE() << "no exception";
    } catch (const rtl::Exception& e) {
        goneWhenThrown = drv::FindTopLevel(kCaption) == nullptr;
        EXPECT_EQ(e.Message(), "about failed");
    }
    ASSERT_EQ(watcher.Join(), "");
    EXPECT_TRUE(goneWhenThrown);
    EXPECT_EQ(dialog.ActionIndex, kiv::aiHHtoPC);
}

// --- Owner -------------------------------------------------------------------

// A visible top-level window of the test thread, standing in for the host's.
class HostWindow {
public:
    HostWindow() {
        handle_ = CreateWindowExA(0, "STATIC", "Host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 200, 100, nullptr,
                                  nullptr, GetModuleHandleA(nullptr), nullptr);
        SetActiveWindow(handle_);
    }
    ~HostWindow() { DestroyWindow(handle_); }
    HWND get() const { return handle_; }

private:
    HWND handle_;
};

TEST(HotSyncActionDialog, IsOwnedByTheHostWindowWhichItDisablesWhileShown) {
    for (const bool withHost : {true, false}) {
        SCOPED_TRACE(withHost ? "host window" : "no window");
        std::unique_ptr<HostWindow> host = withHost ? std::make_unique<HostWindow>() : nullptr;
        const HWND hostHandle = host ? host->get() : nullptr;
        TkivHotSyncActionDialog dialog(nullptr);
        HWND owner = reinterpret_cast<HWND>(1);
        bool hostEnabledWhileShown = true;
        drv::ModalWatcher watcher([&] {
            const HWND window = drv::WaitForWindow(kCaption);
            owner = GetWindow(window, GW_OWNER);
            hostEnabledWhileShown = hostHandle && drv::IsEnabled(hostHandle);
            drv::PressEscape(window);
            drv::WaitUntilGone(window);
        });
        EXPECT_FALSE(dialog.Execute());
        ASSERT_EQ(watcher.Join(), "");
        EXPECT_EQ(owner, hostHandle);
        EXPECT_FALSE(hostEnabledWhileShown);
        if (host) {
            EXPECT_TRUE(drv::IsEnabled(hostHandle));
        }
    }
}

// --- Pictures ------------------------------------------------------------------

TEST(HotSyncActionPictures, GreyTheDevicesThatAreOverwrittenOrIdle) {
    struct Case {
        int index;
        bool handheldLive, desktopLive, arrowRight, arrowLeft, pause;
    };
    const Case cases[] = {
        {kiv::aiSyncFiles, true, true, true, true, false},
        {kiv::aiPCtoHH, false, true, false, true, false},
        {kiv::aiHHtoPC, true, false, true, false, false},
        {kiv::aiDoNothing, false, false, false, false, true},
    };
    const COLORREF grey = RGB(208, 208, 208), green = RGB(0, 128, 0), red = RGB(176, 24, 24);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.index);
        const auto picture = kiv::HotSyncActionPicture(c.index);
        ASSERT_EQ(picture->Width(), 44);
        ASSERT_EQ(picture->Height(), 20);
        EXPECT_EQ(picture->Pixel(3, 12) == grey, !c.handheldLive);  // handheld body
        EXPECT_EQ(picture->Pixel(29, 2) == grey, !c.desktopLive);   // monitor casing
        // The far corners of the arrow heads, which no shaft reaches: the
        // head pointing at the desktop, then the one pointing at the handheld.
        const bool right = picture->Pixel(22, 2) == green || picture->Pixel(22, 13) == green;
        const bool left = picture->Pixel(17, 16) == green || picture->Pixel(17, 6) == green;
        EXPECT_EQ(right, c.arrowRight);
        EXPECT_EQ(left, c.arrowLeft);
        EXPECT_EQ(picture->Pixel(17, 10) == red, c.pause);
    }
    for (const int index : {-1, 4}) {
        try {
            kiv::HotSyncActionPicture(index);
            ADD_FAILURE() << "no exception for " << index;
        } catch (const rtl::Exception& e) {
            EXPECT_EQ(e.Message(), "No HotSync action picture for index " + std::to_string(index));
        }
    }
}

}  // namespace

// The setup form without a host: how its fields reach the controls and come
// back, the cases the end-to-end tests cannot set up (no slots with no media
// type, a slot list that shrinks), its product picture, and that the form
// holds no window or picture between showings.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "app/uConduit_Setup.h"
#include "tests/support/WindowDriver.h"

namespace {

using Texts = std::vector<std::string>;

constexpr uint32_t kSdig = 0x73646967;  // "sdig"
constexpr uint32_t kCfcd = 0x63666364;  // "cfcd"
constexpr COLORREF kWhite = RGB(255, 255, 255);

app::TSlots TwoSlots() { return {{1, kSdig, "SD card"}, {2, kCfcd, "CF card"}}; }

class SetupForm : public testing::Test {
protected:
    SetupForm() { form_.DestDirectory = "/Palm/Launcher"; }
    std::vector<bool> CardControlsEnabled() const {
        return {form_.lCard.Enabled(), form_.cbCard.Enabled(), form_.lDestination.Enabled(),
                form_.cbDestination.Enabled()};
    }
    app::TfConduit_Setup form_{nullptr};
};

TEST_F(SetupForm, AUserWithoutSlotsAndWithoutMediaTypeGetsAnEmptyCardList) {
    form_.MediaType = 0;
    ASSERT_NO_THROW(form_.ShowSettings());
    EXPECT_TRUE(form_.cbCard.Items().empty());
    EXPECT_EQ(form_.cbCard.ItemIndex(), -1);
    form_.bOKClick(nullptr);
    EXPECT_EQ(form_.MediaType, 0u);
}

TEST_F(SetupForm, TheSelectedCardFollowsTheMediaType) {
    struct Case {
        uint32_t mediaType;
        int selected;
    };
    for (const Case c : {Case{0, 0}, Case{kSdig, 0}, Case{kCfcd, 1}, Case{0x6D6D6364, -1}}) {
        SCOPED_TRACE(c.mediaType);
        form_.Slots = TwoSlots();
        form_.MediaType = c.mediaType;
        form_.ShowSettings();
        EXPECT_EQ(form_.cbCard.Items(), (Texts{"SD card", "CF card"}));
        EXPECT_EQ(form_.cbCard.ItemIndex(), c.selected);
    }
}

TEST_F(SetupForm, ASlotListThatShrinksReplacesTheItems) {
    form_.Slots = TwoSlots();
    form_.MediaType = kCfcd;
    form_.ShowSettings();
    form_.Slots = {{7, kCfcd, "Other CF card"}};
    form_.ShowSettings();
    EXPECT_EQ(form_.cbCard.Items(), Texts{"Other CF card"});
    EXPECT_EQ(form_.cbCard.ItemIndex(), 0);
}

TEST_F(SetupForm, SettingsReachTheControlsAndComeBackOnOk) {
    form_.Slots = TwoSlots();
    form_.MediaType = kSdig;
    form_.DestDirectory = "/Palm/eBooks";
    form_.ConduitEnabled = false;
    form_.SettingsFileExists = true;
    form_.ShowSettings();
    EXPECT_EQ(form_.cbDestination.Text(), "/Palm/eBooks");
    EXPECT_FALSE(form_.cbInstall.Checked());
    EXPECT_TRUE(form_.bCancel.Enabled());
    EXPECT_EQ(CardControlsEnabled(), std::vector<bool>(4, false));

    form_.cbInstall.SetChecked(true);
    form_.cbInstallClick(nullptr);
    EXPECT_EQ(CardControlsEnabled(), std::vector<bool>(4, true));
    form_.cbCard.SetItemIndex(1);
    form_.cbDestination.SetText("/typed/");
    form_.bOKClick(nullptr);
    EXPECT_EQ(form_.MediaType, kCfcd);
    EXPECT_EQ(form_.DestDirectory, "/typed");
    EXPECT_TRUE(form_.ConduitEnabled);
}

// While the install is on, OK with a directory no card can take says why
// and leaves the fields and the form's result alone; switched off, the
// disabled box is stored as it stands.
TEST_F(SetupForm, OkRefusesADirectoryNoCardCanTakeOnlyWhileTheInstallIsOn) {
    form_.ShowSettings();
    form_.cbDestination.SetText("Palm\\Launcher");
    std::string message;
    testsupport::ModalWatcher watcher([&] { message = testsupport::AnswerMessageBox("Tolvane", "OK"); });
    form_.bOKClick(nullptr);
    ASSERT_EQ(watcher.Join(), "");
    EXPECT_NE(message.find("\"Palm\\Launcher\" does not start with \"/\""), std::string::npos) << message;
    EXPECT_EQ(form_.DestDirectory, "/Palm/Launcher");
    EXPECT_EQ(form_.ModalResult(), rtl::mrNone);

    form_.cbInstall.SetChecked(false);
    form_.bOKClick(nullptr);
    EXPECT_EQ(form_.DestDirectory, "Palm\\Launcher");
    EXPECT_FALSE(form_.ConduitEnabled);
    EXPECT_EQ(form_.ModalResult(), rtl::mrOk);
}

TEST_F(SetupForm, CancelIsOfferedOnlyOnceASettingsFileExists) {
    for (const bool exists : {false, true, false}) {
        form_.SettingsFileExists = exists;
        form_.ShowSettings();
        EXPECT_EQ(form_.bCancel.Enabled(), exists);
    }
}

TEST_F(SetupForm, OkWithoutACardChosenKeepsTheMediaType) {
    form_.Slots = TwoSlots();
    form_.MediaType = 0x6D6D6364;  // no slot has it: nothing selected
    form_.ShowSettings();
    form_.bOKClick(nullptr);
    EXPECT_EQ(form_.MediaType, 0x6D6D6364u);
}

TEST(SetupFormUnit, StartsWithoutAWindowOrPictureAndStopsOnce) {
    app::StartSetupForm();
    ASSERT_NE(app::fConduit_Setup, nullptr);
    EXPECT_EQ(app::fConduit_Setup->Handle(), nullptr);
    EXPECT_EQ(app::fConduit_Setup->IAbout.Picture(), nullptr);
    EXPECT_EQ(app::fConduit_Setup->Caption(), "Tolvane Conduit");
    app::StopSetupForm();
    EXPECT_EQ(app::fConduit_Setup, nullptr);
    app::StopSetupForm();
}

TEST(SetupFormUnit, ThePictureIsShownOnlyWhileTheDialogIs) {
    app::TfConduit_Setup form(nullptr);
    bool pictureWhileShown = false;
    testsupport::ModalWatcher watcher([&] {
        const HWND window = testsupport::WaitForWindow("Tolvane Conduit");
        pictureWhileShown = form.IAbout.Picture() != nullptr;
        testsupport::PressCloseBox(window);
        testsupport::WaitUntilGone(window);
    });
    EXPECT_EQ(form.Execute(), rtl::mrCancel);
    ASSERT_EQ(watcher.Join(), "");
    EXPECT_TRUE(pictureWhileShown);
    EXPECT_EQ(form.IAbout.Picture(), nullptr);
}

TEST(ProductPicture, LeavesTheTitleOnWhiteAndFillsTheRest) {
    const auto picture = app::ProductPicture();
    ASSERT_EQ(picture->Width(), 105);
    ASSERT_EQ(picture->Height(), 150);
    // The title and the line beneath it are drawn over the top rows.
    int drawn = 0;
    for (int y = 0; y < picture->Height(); ++y) {
        for (int x = 0; x < picture->Width(); ++x) {
            const bool white = picture->Pixel(x, y) == kWhite;
            if (y < 22 && !white) ADD_FAILURE() << "not white at " << x << "," << y;
            if (!white) ++drawn;
        }
    }
    EXPECT_GT(drawn, picture->Width() * picture->Height() / 3);
    // The edges meet the form's white.
    for (int y = 0; y < picture->Height(); ++y) {
        EXPECT_EQ(picture->Pixel(0, y), kWhite);
        EXPECT_EQ(picture->Pixel(picture->Width() - 1, y), kWhite);
    }
}

}  // namespace

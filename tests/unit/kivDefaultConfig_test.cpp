// The component library's default configuration: a conduit component without
// an OnConfigConduit handler shows the HotSync action dialog, and the two
// configure entry points hand the user's choice back to the host.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "conduit/kivExports.h"
#include "conduit/kivPalmComp.h"
#include "tests/support/WindowDriver.h"

namespace {

namespace drv = testsupport;

constexpr const char* kCaption = "Change HotSync Action";
const char* const kRadioCaptions[] = {"&Synchronise the files", "&Desktop overwrites handheld",
                                      "H&andheld overwites Desktop", "Do &nothing"};

enum class Way { Ok, Cancel, Escape, CloseBox };

struct ConfigCase {
    const char* name;
    int32_t syncIn;    // the host's current action
    int preselected;   // the radio button checked when the dialog opens
    int pick;          // radio button the user clicks, -1: none
    bool tick;         // "Set &as Default"
    Way way;
    int32_t syncOut;   // the action handed back
    int32_t prefOut;   // the kind of setting handed back
};

void PrintTo(const ConfigCase& c, std::ostream* os) { *os << c.name; }

// What the user does; returns the checked radio and the group caption seen.
struct Seen {
    int checked = -2;
    std::string group;
};

void Act(const ConfigCase& c, Seen& seen) {
    const HWND window = drv::WaitForWindow(kCaption);
    seen.checked = -1;
    for (int i = 0; i < 4; ++i)
        if (drv::IsChecked(drv::Child(window, "Button", kRadioCaptions[i]))) seen.checked = i;
    seen.group = drv::FindChild(window, "Button", "HotSync Action for Tolvane") ? "HotSync Action for Tolvane" : "?";
    if (c.pick >= 0) drv::Click(drv::Child(window, "Button", kRadioCaptions[c.pick]));
    if (c.tick) drv::Click(drv::Child(window, "Button", "Set &as Default"));
    switch (c.way) {
    case Way::Ok: drv::Click(drv::Child(window, "Button", "OK")); break;
    case Way::Cancel: drv::Click(drv::Child(window, "Button", "Cancel")); break;
    case Way::Escape: drv::PressEscape(window); break;
    case Way::CloseBox: drv::PressCloseBox(window); break;
    }
    drv::WaitUntilGone(window);
}

class DefaultConfiguration : public testing::TestWithParam<ConfigCase> {
protected:
    DefaultConfiguration() {
        palm_.SetConduitName("Tolvane");
        palm_.SetCreatorID("tVan");
    }
    kiv::TkivPalmComponent palm_{nullptr};  // no OnConfigConduit handler
};

TEST_P(DefaultConfiguration, ConfigureConduitHandsBackTheChoice) {
    const ConfigCase& c = GetParam();
    kiv::TkivSyncPreference pref{};
    std::memset(&pref, 0x5A, sizeof pref);
    std::strcpy(pref.PathName, "C:\\Palm\\User");
    pref.SyncType = c.syncIn;
    pref.SyncPref = 7;  // neither 1 nor 2, so that any write shows
    const kiv::TkivSyncPreference before = pref;
    Seen seen;
    drv::ModalWatcher watcher([&] { Act(c, seen); });
    const long result = ConfigureConduit(&pref);
    ASSERT_EQ(watcher.Join(), "");
    EXPECT_EQ(result, 0);
    EXPECT_EQ(seen.checked, c.preselected);
    EXPECT_EQ(seen.group, "HotSync Action for Tolvane");
    EXPECT_EQ(pref.SyncType, c.syncOut);
    EXPECT_EQ(pref.SyncPref, c.prefOut);
    EXPECT_EQ(std::memcmp(pref.PathName, before.PathName, sizeof pref.PathName), 0);
    EXPECT_EQ(std::memcmp(pref.Reserved, before.Reserved, sizeof pref.Reserved), 0);
}

TEST_P(DefaultConfiguration, CfgConduitWritesOnlySyncNewAndSyncPref) {
    const ConfigCase& c = GetParam();
    kiv::TkivCfgConduitInfo info{};
    std::memset(&info, 0x33, sizeof info);
    info.SyncPermanent = 99;  // the dialog preselects from SyncTemporary alone
    info.SyncTemporary = c.syncIn;
    info.SyncNew = c.syncIn;  // the host's record carries its current action
    info.SyncPref = 7;
    const kiv::TkivCfgConduitInfo before = info;
    unsigned long size = sizeof info;
    Seen seen;
    drv::ModalWatcher watcher([&] { Act(c, seen); });
    const long result = CfgConduit(0, &info, &size);
    ASSERT_EQ(watcher.Join(), "");
    EXPECT_EQ(result, 0);
    EXPECT_EQ(seen.checked, c.preselected);
    EXPECT_EQ(info.SyncNew, c.syncOut);
    EXPECT_EQ(info.SyncPref, c.prefOut);
    EXPECT_EQ(info.SyncTemporary, before.SyncTemporary);
    EXPECT_EQ(info.SyncPermanent, 99);
    EXPECT_EQ(std::memcmp(&info, &before, offsetof(kiv::TkivCfgConduitInfo, SyncPermanent)), 0);
    EXPECT_EQ(size, sizeof info);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DefaultConfiguration,
    testing::Values(
        // Confirmed unchanged: each host action comes back as itself.
        ConfigCase{"SyncFilesKept", 0, 0, -1, false, Way::Ok, 0, 2},
        ConfigCase{"DesktopOverwritesKept", 3, 1, -1, false, Way::Ok, 3, 2},
        ConfigCase{"HandheldOverwritesKept", 2, 2, -1, true, Way::Ok, 2, 1},
        ConfigCase{"DoNothingKept", 6, 3, -1, false, Way::Ok, 6, 2},
        // An action the dialog cannot show comes back as "synchronise the files".
        ConfigCase{"UnknownOneShowsSyncFiles", 1, 0, -1, false, Way::Ok, 0, 2},
        ConfigCase{"UnknownFiveShowsSyncFiles", 5, 0, -1, true, Way::Ok, 0, 1},
        // A choice maps back to the host's codes.
        ConfigCase{"PickDesktopOverwrites", 0, 0, 1, true, Way::Ok, 3, 1},
        ConfigCase{"PickHandheldOverwrites", 6, 3, 2, false, Way::Ok, 2, 2},
        ConfigCase{"PickDoNothing", 2, 2, 3, true, Way::Ok, 6, 1},
        // Not confirmed: the action stays, only SyncPref changes, to 2.
        ConfigCase{"CancelKeepsTheAction", 3, 1, 3, true, Way::Cancel, 3, 2},
        ConfigCase{"EscapeKeepsTheAction", 6, 3, 0, true, Way::Escape, 6, 2},
        ConfigCase{"CloseBoxKeepsTheAction", 2, 2, 1, true, Way::CloseBox, 2, 2}),
    [](const testing::TestParamInfo<ConfigCase>& info) { return std::string(info.param.name); });

}  // namespace

// The setup dialog end to end: the shipped Tolvane.dll loaded by a host with
// a stand-in desktop, configured through CfgConduit and ConfigureConduit, and
// the real dialog driven from a second thread as a person would drive it.
// What the dialog shows, what reaches the settings file, and what the host's
// record holds afterwards.
#include <gtest/gtest.h>

#include <windows.h>

#include <array>
#include <cctype>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "desktop/DesktopLayout.h"
#include "tests/support/TestFiles.h"
#include "desktop/HostRecords.h"
#include "tests/integration/ConduitHost.h"
#include "tests/support/TestPaths.h"
#include "tests/support/WindowDriver.h"

namespace {

using testsupport::PathExists;
using testsupport::ReadText;
using testsupport::WriteText;

namespace drv = testsupport;
using desktop::DesktopLayout;
using desktop::FourCC;
using desktop::host::CfgConduitInfo;
using desktop::host::SyncPreference;
using Bytes = std::vector<uint8_t>;
using Texts = std::vector<std::string>;

constexpr char kCaption[] = "Tolvane Conduit";
constexpr uint32_t kSdig = FourCC("sdig");
constexpr uint32_t kCfcd = FourCC("cfcd");
constexpr int32_t kStartAction = desktop::host::kActionHandheldOverwrites;  // neither 3 nor 6
const Texts kDestinations = {"/Palm/Programs/Plucker", "/Palm/Launcher", "/Palm/eBooks"};




template <class Record>
Bytes BytesOf(const Record& record) {
    const auto* p = reinterpret_cast<const uint8_t*>(&record);
    return Bytes(p, p + sizeof record);
}

// The dialog's controls, found by kind and caption.
struct SetupWindow {
    HWND window, ok, cancel, install, cardLabel, card, destinationLabel, destination;

    static SetupWindow Find() {
        const HWND w = drv::WaitForWindow(kCaption);
        const auto combos = drv::Children(w, "ComboBox");
        if (combos.size() != 2) throw drv::DriverError("the dialog has " + std::to_string(combos.size()) + " combos");
        return {w,
                drv::Child(w, "Button", "OK"),
                drv::Child(w, "Button", "Cancel"),
                drv::Child(w, "Button", "Install to card"),
                drv::Child(w, "Static", "Extension card"),
                combos[0],
                drv::Child(w, "Static", "Install to this directory"),
                combos[1]};
    }
    HWND DestinationEdit() const {
        const auto edits = drv::Children(destination, "Edit");
        if (edits.empty()) throw drv::DriverError("the directory box has no edit field");
        return edits.front();
    }
    // The four controls that follow "Install to card".
    std::vector<bool> CardControlsEnabled() const {
        return {drv::IsEnabled(cardLabel), drv::IsEnabled(card), drv::IsEnabled(destinationLabel),
                drv::IsEnabled(destination)};
    }
};

// What the dialog showed when it came up.
struct Shown {
    bool cancelEnabled = false;
    bool installTicked = false;
    std::vector<bool> cardControlsEnabled;
    Texts cards;
    int card = -2;
    std::string destination;
    Texts destinations;
};

Shown Read(const SetupWindow& w) {
    return {drv::IsEnabled(w.cancel),          drv::IsChecked(w.install),     w.CardControlsEnabled(),
            drv::ComboItems(w.card),           drv::ComboSelection(w.card),   drv::WindowText(w.destination),
            drv::ComboItems(w.destination)};
}

enum class Entry { Cfg, Pref };
std::string EntryName(Entry e) { return e == Entry::Cfg ? "CfgConduit" : "ConfigureConduit"; }
void PrintTo(Entry e, std::ostream* out) { *out << EntryName(e); }

using Script = std::function<void(const SetupWindow&)>;

// A host with Alice, whose handheld has an SD and a CompactFlash slot, and
// the shipped conduit loaded from a folder of the desktop.
class SetupDialog : public testing::Test {
protected:
    SetupDialog() : desktop_(DesktopLayout::TempFolder("setup")) {
        user_ = desktop_.AddUser(1001, "Alice", "Alice");
        desktop_.AddSlot(1001, 1, kSdig, "SD card");
        desktop_.AddSlot(1001, 2, kCfcd, "CF card");
        folder_ = user_ + "\\Tolvane";
        settings_ = folder_ + "\\Tolvane.ini";
        module_ = LoadLibraryA(drv::PlaceConduit(desktop_.Folder() + "\\Conduit").c_str());
    }
    ~SetupDialog() override {
        if (module_) FreeLibrary(module_);
        EXPECT_EQ(drv::LoadedPalmLibraries(), "");
        SetFileAttributesA(settings_.c_str(), FILE_ATTRIBUTE_NORMAL);
    }
    void SetUp() override { ASSERT_NE(module_, nullptr) << GetLastError(); }

    void Settings(const std::string& text) {
        CreateDirectoryA(folder_.c_str(), nullptr);
        WriteText(settings_, text);
    }
    static std::string Stored(const std::string& directory, uint32_t mediaType, int enabled) {
        return "[Setup]\r\nDirectory=" + directory + "\r\nMediaType=" + std::to_string(int32_t(mediaType)) +
               "\r\nConduit_Enabled=" + std::to_string(enabled) + "\r\n";
    }
    // A [Setup] value as the system's reader gets it; it caches files by
    // name, so it reads a copy under a name it has never seen.
    std::string Value(const char* key) {
        const std::string copy = folder_ + "\\copy" + std::to_string(copies_++) + ".ini";
        CopyFileA(settings_.c_str(), copy.c_str(), FALSE);
        char value[512] = {};
        GetPrivateProfileStringA("Setup", key, "(missing)", value, sizeof value, copy.c_str());
        DeleteFileA(copy.c_str());
        return value;
    }

    // One configuration through the entry point, with `script` driving the
    // dialog once it is shown; the entry point's result.
    long Configure(Entry entry, const Script& script) {
        drv::ModalWatcher watcher([&] {
            const SetupWindow w = SetupWindow::Find();
            shown_ = Read(w);
            script(w);
            drv::WaitUntilGone(w.window);
        });
        const long result = entry == Entry::Cfg ? CallCfg() : CallPref();
        const std::string failure = watcher.Join();
        EXPECT_EQ(failure, "");
        return result;
    }
    long CallCfg() {
        auto cfg = reinterpret_cast<drv::CfgConduitFn>(reinterpret_cast<void*>(GetProcAddress(module_, "CfgConduit")));
        cfg_ = CfgConduitInfo{};
        cfg_.infoVersion = 1;
        cfg_.infoSize = sizeof cfg_;
        cfg_.creatorCode = FourCC("tVan");
        cfg_.userId = 1001;
        std::strcpy(cfg_.userName, "Alice");
        std::strncpy(cfg_.pathName, user_.c_str(), sizeof cfg_.pathName - 1);
        cfg_.syncPermanent = cfg_.syncTemporary = cfg_.syncNew = kStartAction;
        cfg_.syncPref = desktop::host::kPrefTemporary;
        before_ = BytesOf(cfg_);
        unsigned long size = sizeof cfg_;
        return cfg(0, &cfg_, &size);
    }
    long CallPref() {
        auto configure = reinterpret_cast<drv::ConfigureConduitFn>(
            reinterpret_cast<void*>(GetProcAddress(module_, "ConfigureConduit")));
        std::memset(&pref_, 0xA5, sizeof pref_);
        std::memset(pref_.pathName, 0, sizeof pref_.pathName);
        std::strncpy(pref_.pathName, user_.c_str(), sizeof pref_.pathName - 1);
        pref_.syncType = kStartAction;
        pref_.syncPref = desktop::host::kPrefTemporary;
        before_ = BytesOf(pref_);
        return configure(&pref_);
    }
    // The record as the host got it back, and as it would be with only the
    // action and the kind of preference set.
    Bytes After(Entry entry) const { return entry == Entry::Cfg ? BytesOf(cfg_) : BytesOf(pref_); }
    Bytes BeforeWith(Entry entry, int32_t action, int32_t preference) const {
        if (entry == Entry::Cfg) {
            CfgConduitInfo expected;
            std::memcpy(&expected, before_.data(), sizeof expected);
            expected.syncNew = action;
            expected.syncPref = preference;
            return BytesOf(expected);
        }
        SyncPreference expected;
        std::memcpy(&expected, before_.data(), sizeof expected);
        expected.syncType = action;
        expected.syncPref = preference;
        return BytesOf(expected);
    }
    // Through ConfigureConduit the host names no user, so no slot is listed.
    static Texts CardsOffered(Entry entry) { return entry == Entry::Cfg ? Texts{"SD card", "CF card"} : Texts{}; }

    DesktopLayout desktop_;
    std::string user_, folder_, settings_;
    HMODULE module_ = nullptr;
    CfgConduitInfo cfg_{};
    SyncPreference pref_{};
    Bytes before_;
    Shown shown_;
    int copies_ = 0;
};

class BothEntries : public SetupDialog, public testing::WithParamInterface<Entry> {
protected:
    // Settings that cannot be saved are reported before the configuration
    // fails: which file, why, and what to do.
    void ExpectCannotSaveMessage(const std::string& message) const {
        for (const std::string& part : {settings_, std::string("read-only or another program has it open"),
                                        std::string("configure the conduit again")})
            EXPECT_NE(message.find(part), std::string::npos) << part << " in: " << message;
    }
};
INSTANTIATE_TEST_SUITE_P(Entries, BothEntries, testing::Values(Entry::Cfg, Entry::Pref),
                         [](const auto& info) { return EntryName(info.param); });

TEST_P(BothEntries, AFreshUserConfirmsTheDefaults) {
    const Entry entry = GetParam();
    EXPECT_EQ(Configure(entry, [](const SetupWindow& w) { drv::Click(w.ok); }), 0);
    EXPECT_FALSE(shown_.cancelEnabled);
    EXPECT_TRUE(shown_.installTicked);
    EXPECT_EQ(shown_.cardControlsEnabled, std::vector<bool>(4, true));
    EXPECT_EQ(shown_.cards, CardsOffered(entry));
    EXPECT_EQ(shown_.card, entry == Entry::Cfg ? 0 : -1);
    EXPECT_EQ(shown_.destination, "/Palm/Launcher");
    EXPECT_EQ(shown_.destinations, kDestinations);

    EXPECT_EQ(Value("Directory"), "/Palm/Launcher");
    EXPECT_EQ(Value("MediaType"), entry == Entry::Cfg ? std::to_string(kSdig) : "0");
    EXPECT_EQ(Value("Conduit_Enabled"), "1");
    const std::string text = ReadText(settings_);
    EXPECT_LT(text.find("Directory="), text.find("MediaType="));
    EXPECT_LT(text.find("MediaType="), text.find("Conduit_Enabled="));
    EXPECT_EQ(After(entry), BeforeWith(entry, desktop::host::kActionDesktopOverwrites, desktop::host::kPrefPermanent));
}

TEST_P(BothEntries, UntickingTheInstallDisablesTheCardAndDirectoryAndSwitchesItOff) {
    const Entry entry = GetParam();
    Settings(Stored("/Palm/eBooks", kCfcd, 1));
    std::vector<bool> afterUntick, afterTick;
    EXPECT_EQ(Configure(entry,
                        [&](const SetupWindow& w) {
                            // The click's handler switches the four one after
                            // another: wait for all of them (at most the timeout).
                            const auto all = [&](bool enabled) {
                                drv::WaitFor([&] { return w.CardControlsEnabled() == std::vector<bool>(4, enabled); });
                            };
                            drv::Click(w.install);
                            all(false);
                            afterUntick = w.CardControlsEnabled();
                            drv::Click(w.install);
                            all(true);
                            afterTick = w.CardControlsEnabled();
                            drv::Click(w.install);
                            all(false);
                            drv::Click(w.ok);
                        }),
              0);
    EXPECT_TRUE(shown_.cancelEnabled);
    EXPECT_EQ(afterUntick, std::vector<bool>(4, false));
    EXPECT_EQ(afterTick, std::vector<bool>(4, true));
    // What the disabled controls show is stored all the same.
    EXPECT_EQ(Value("Conduit_Enabled"), "0");
    EXPECT_EQ(Value("Directory"), "/Palm/eBooks");
    EXPECT_EQ(Value("MediaType"), std::to_string(kCfcd));
    EXPECT_EQ(After(entry), BeforeWith(entry, desktop::host::kActionNothing, desktop::host::kPrefPermanent));
}

TEST_P(BothEntries, ASwitchedOffInstallShowsItsControlsDisabled) {
    const Entry entry = GetParam();
    Settings(Stored("/Palm/Launcher", kSdig, 0));
    EXPECT_EQ(Configure(entry, [](const SetupWindow& w) { drv::PressEnter(w.window); }), 0);
    EXPECT_FALSE(shown_.installTicked);
    EXPECT_EQ(shown_.cardControlsEnabled, std::vector<bool>(4, false));
    EXPECT_EQ(Value("Conduit_Enabled"), "0");
    EXPECT_EQ(After(entry), BeforeWith(entry, desktop::host::kActionNothing, desktop::host::kPrefPermanent));
}

void TypeDirectory(const SetupWindow& w, const std::string& typed) {
    const HWND edit = w.DestinationEdit();
    drv::SetText(edit, "");
    drv::TypeChars(edit, typed);
    if (!drv::WaitFor([&] { return drv::WindowText(w.destination) == typed; }))
        throw drv::DriverError("the typed text did not arrive");
}

// Whether the directory's text has the keyboard focus and is selected
// whole, so that what the user types next replaces it.
bool SelectedForCorrection(const SetupWindow& w) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(w.window, nullptr), &info) || !info.hwndFocus ||
        GetParent(info.hwndFocus) != w.destination)
        return false;
    DWORD start = 0, end = 0;
    SendMessageA(w.destination, CB_GETEDITSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    return start == 0 && end == drv::WindowText(w.destination).size();
}

// What has the focus and which part of the directory's text is selected,
// for a check of SelectedForCorrection that failed.
std::string FocusAndSelection(const SetupWindow& w) {
    const HWND focus = drv::FocusedWindow(w.window);
    DWORD start = 0, end = 0;
    SendMessageA(w.destination, CB_GETEDITSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    return "focus on " + (focus ? drv::ClassName(focus) + " \"" + drv::WindowText(focus) + "\"" : "nothing") +
           ", selected " + std::to_string(start) + ".." + std::to_string(end) + " of \"" +
           drv::WindowText(w.destination) + "\"";
}

// A directory no card can take is refused with a message that names the
// problem, and the dialog stays open, with the refused text selected, until
// the user types one it can; that one is stored as typed, without a final "/".
TEST_P(BothEntries, ATypedDirectoryIsStoredAsTypedOnceACardCanTakeIt) {
    const Entry entry = GetParam();
    Settings(Stored("/Palm/Launcher", kSdig, 1));
    const std::string typed = "/Books/not a card path;x";
    std::vector<std::string> messages;
    std::vector<bool> stayedOpen, selected;
    std::string seen;
    EXPECT_EQ(Configure(entry,
                        [&](const SetupWindow& w) {
                            for (const char* bad : {"Books\\not a card path;x", "/Books/../x", "/Books//x", ""}) {
                                TypeDirectory(w, bad);
                                drv::Click(w.ok);
                                messages.push_back(drv::AnswerMessageBox("Tolvane", "OK"));
                                stayedOpen.push_back(IsWindow(w.window) && IsWindowVisible(w.window));
                                selected.push_back(drv::WaitFor([&] { return SelectedForCorrection(w); }));
                                if (!selected.back()) seen += "after \"" + std::string(bad) + "\": " + FocusAndSelection(w) + "\n";
                            }
                            TypeDirectory(w, typed + "/");
                            drv::Click(w.ok);
                        }),
              0);
    ASSERT_EQ(messages.size(), 4u);
    EXPECT_NE(messages[0].find("\"Books\\not a card path;x\" does not start with \"/\""), std::string::npos)
        << messages[0];
    EXPECT_NE(messages[1].find("\"..\""), std::string::npos) << messages[1];
    EXPECT_NE(messages[2].find("empty folder name"), std::string::npos) << messages[2];
    EXPECT_NE(messages[3].find("is empty"), std::string::npos) << messages[3];
    EXPECT_EQ(stayedOpen, std::vector<bool>(4, true));
    EXPECT_EQ(selected, std::vector<bool>(4, true)) << seen;
    // Each message says what to type instead, once.
    for (const std::string& message : messages) {
        const size_t example = message.find("/Palm/Launcher");
        EXPECT_NE(example, std::string::npos) << message;
        EXPECT_EQ(message.find("/Palm/Launcher", example + 1), std::string::npos) << message;
    }
    EXPECT_EQ(Value("Directory"), typed);
    EXPECT_EQ(Value("MediaType"), std::to_string(kSdig));
    EXPECT_EQ(After(entry), BeforeWith(entry, desktop::host::kActionDesktopOverwrites, desktop::host::kPrefPermanent));
}

TEST_P(BothEntries, AStoredMediaTypeThatNoSlotHasIsKept) {
    const Entry entry = GetParam();
    Settings(Stored("/Palm/Launcher", FourCC("mmcd"), 1));
    EXPECT_EQ(Configure(entry, [](const SetupWindow& w) { drv::Click(w.ok); }), 0);
    EXPECT_EQ(shown_.cards, CardsOffered(entry));
    EXPECT_EQ(shown_.card, -1);
    EXPECT_EQ(Value("MediaType"), std::to_string(FourCC("mmcd")));
}

TEST_F(SetupDialog, TwoSlotsOfTheStoredMediaTypeSelectTheSecond) {
    desktop_.AddSlot(1001, 3, kSdig, "Second SD card");
    Settings(Stored("/Palm/Launcher", kSdig, 1));
    EXPECT_EQ(Configure(Entry::Cfg, [](const SetupWindow& w) { drv::Click(w.ok); }), 0);
    EXPECT_EQ(shown_.cards, (Texts{"SD card", "CF card", "Second SD card"}));
    EXPECT_EQ(shown_.card, 2);
    EXPECT_EQ(Value("MediaType"), std::to_string(kSdig));
}

TEST_F(SetupDialog, AChosenCardStoresItsMediaType) {
    Settings(Stored("/Palm/Launcher", kSdig, 1));
    EXPECT_EQ(Configure(Entry::Cfg,
                        [](const SetupWindow& w) {
                            drv::SelectComboItem(w.card, 1);
                            drv::Click(w.ok);
                        }),
              0);
    EXPECT_EQ(shown_.card, 0);
    EXPECT_EQ(Value("MediaType"), std::to_string(kCfcd));
}

TEST_F(SetupDialog, OpenedTwiceItShowsEachSlotOnceAndTheStoredDirectory) {
    Settings(Stored("/Palm/Launcher", kCfcd, 1));
    // The first time a directory is picked from the list, then dropped.
    EXPECT_EQ(Configure(Entry::Cfg,
                        [](const SetupWindow& w) {
                            drv::SelectComboItem(w.destination, 2);
                            drv::WaitFor([&] { return drv::WindowText(w.destination) == "/Palm/eBooks"; });
                            drv::Click(w.cancel);
                        }),
              0);
    const Shown first = shown_;
    EXPECT_EQ(Configure(Entry::Cfg, [](const SetupWindow& w) { drv::Click(w.ok); }), 0);
    for (const Shown& shown : {first, shown_}) {
        EXPECT_EQ(shown.cards, CardsOffered(Entry::Cfg));
        EXPECT_EQ(shown.card, 1);
        EXPECT_EQ(shown.destination, "/Palm/Launcher");
    }
    EXPECT_EQ(Value("Directory"), "/Palm/Launcher");
}

TEST_F(SetupDialog, TheDialogIsLaidOutAsDesigned) {
    Settings(Stored("/Palm/Launcher", kSdig, 1));
    SIZE client{};
    std::vector<RECT> bounds;
    std::vector<HWND> tabCycle;
    bool installTabStop = true;
    LOGFONTA font{};
    EXPECT_EQ(Configure(Entry::Cfg,
                        [&](const SetupWindow& w) {
                            client = drv::ClientSize(w.window);
                            for (HWND c : {w.ok, w.cancel, w.install, w.cardLabel, w.card, w.destinationLabel,
                                           w.destination})
                                bounds.push_back(drv::BoundsInDialog(c));
                            installTabStop = (GetWindowLongA(w.install, GWL_STYLE) & WS_TABSTOP) != 0;
                            for (HWND c = w.ok; tabCycle.size() < 5;) {
                                tabCycle.push_back(c);
                                c = GetNextDlgTabItem(w.window, c, FALSE);
                            }
                            const auto handle = reinterpret_cast<HFONT>(SendMessageA(w.ok, WM_GETFONT, 0, 0));
                            GetObjectA(handle, sizeof font, &font);
                            drv::Click(w.ok);
                        }),
              0);
    EXPECT_EQ(client.cx, 423);
    EXPECT_EQ(client.cy, 168);
    struct Expected {
        LONG left, top, width, height;  // 0: not checked (labels fit their text, combos open downwards)
    };
    const Expected expected[] = {{329, 8, 87, 22},  {329, 32, 87, 22}, {136, 39, 181, 17}, {136, 67, 0, 0},
                                 {136, 83, 187, 0}, {136, 115, 0, 0},  {136, 131, 187, 0}};
    ASSERT_EQ(bounds.size(), std::size(expected));
    for (size_t i = 0; i < bounds.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(bounds[i].left, expected[i].left);
        EXPECT_EQ(bounds[i].top, expected[i].top);
        if (expected[i].width) {
            EXPECT_EQ(bounds[i].right - bounds[i].left, expected[i].width);
        }
        if (expected[i].height) {
            EXPECT_EQ(bounds[i].bottom - bounds[i].top, expected[i].height);
        }
    }
    EXPECT_FALSE(installTabStop);
    ASSERT_EQ(tabCycle.size(), 5u);
    EXPECT_EQ(tabCycle[4], tabCycle[0]) << "Tab comes back to OK after four steps";
    EXPECT_STREQ(font.lfFaceName, "Tahoma");
    EXPECT_EQ(font.lfHeight, -MulDiv(8, 96, 72));
}

// The file name (lower case) of the module whose code is `window`'s window
// procedure; "" when none holds it.
std::string ProcedureModule(HWND window) {
    const auto procedure = reinterpret_cast<LPCWSTR>(GetWindowLongPtrW(window, GWLP_WNDPROC));
    HMODULE module = nullptr;
    char path[MAX_PATH] = {};
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            procedure, &module) ||
        !GetModuleFileNameA(module, path, MAX_PATH))
        return "";
    std::string name = path;
    name.erase(0, name.find_last_of('\\') + 1);
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return name;
}

// The dialog's buttons, check box and combos are drawn in the system's
// visual style: Common Controls 6, the only version whose comctl32 serves
// these classes (before it, and without the library's manifest, user32 does).
// A button that the host makes once the dialog is gone is the host's own.
TEST_F(SetupDialog, ItsControlsAreCommonControls6AndTheHostsStayItsOwn) {
    Settings(Stored("/Palm/Launcher", kSdig, 1));
    Texts modules;
    EXPECT_EQ(Configure(Entry::Cfg,
                        [&](const SetupWindow& w) {
                            for (HWND c : {w.ok, w.install, w.card}) modules.push_back(ProcedureModule(c));
                            drv::Click(w.ok);
                        }),
              0);
    EXPECT_EQ(modules, Texts(3, "comctl32.dll"));
    const HWND own = CreateWindowExA(0, "Button", "Host", WS_POPUP, 0, 0, 80, 20, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(own, nullptr);
    EXPECT_NE(ProcedureModule(own), "comctl32.dll");
    DestroyWindow(own);
}

struct CloseWay {
    const char* name;
    void (*close)(const SetupWindow&);
};
void PrintTo(const CloseWay& way, std::ostream* out) { *out << way.name; }
const CloseWay kCloseWays[] = {
    {"CancelButton", [](const SetupWindow& w) { drv::Click(w.cancel); }},
    {"Escape", [](const SetupWindow& w) { drv::PressEscape(w.window); }},
    {"CloseBox", [](const SetupWindow& w) { drv::PressCloseBox(w.window); }},
};

class ClosedWithoutOk : public SetupDialog, public testing::WithParamInterface<std::tuple<Entry, CloseWay>> {};
INSTANTIATE_TEST_SUITE_P(Ways, ClosedWithoutOk,
                         testing::Combine(testing::Values(Entry::Cfg, Entry::Pref), testing::ValuesIn(kCloseWays)),
                         [](const auto& info) {
                             return EntryName(std::get<0>(info.param)) + std::get<1>(info.param).name;
                         });

TEST_P(ClosedWithoutOk, LeavesTheSettingsFileAndTheRecordAlone) {
    const auto [entry, way] = GetParam();
    const std::string stored = Stored("/Palm/Launcher", kSdig, 1);
    Settings(stored);
    EXPECT_EQ(Configure(entry,
                        [&](const SetupWindow& w) {
                            drv::Click(w.install);
                            drv::WaitFor([&] { return !drv::IsEnabled(w.card); });
                            drv::SetText(w.DestinationEdit(), "/changed");
                            way.close(w);
                        }),
              0);
    EXPECT_EQ(ReadText(settings_), stored);
    EXPECT_EQ(After(entry), before_);
}

TEST_P(BothEntries, ForAFreshUserEscapeDoesNothingButTheCloseBoxCloses) {
    const Entry entry = GetParam();
    bool closedByEscape = true;
    EXPECT_EQ(Configure(entry,
                        [&](const SetupWindow& w) {
                            drv::PressEscape(w.window);
                            closedByEscape = drv::WaitFor([&] { return !IsWindow(w.window); }, drv::Millis(700));
                            if (!closedByEscape) drv::PressCloseBox(w.window);
                        }),
              0);
    EXPECT_FALSE(closedByEscape);
    EXPECT_FALSE(PathExists(settings_));
    EXPECT_TRUE(PathExists(folder_)) << "the conduit folder is made when the dialog opens";
    EXPECT_EQ(After(entry), before_);
}

TEST_P(BothEntries, AReadOnlySettingsFileFailsTheConfigurationAndKeepsTheRecord) {
    const Entry entry = GetParam();
    const std::string stored = Stored("/Palm/eBooks", kSdig, 1);
    Settings(stored);
    ASSERT_TRUE(SetFileAttributesA(settings_.c_str(), FILE_ATTRIBUTE_READONLY));
    std::string message;
    EXPECT_EQ(Configure(entry,
                        [&](const SetupWindow& w) {
                            drv::Click(w.install);
                            drv::Click(w.ok);
                            drv::WaitUntilGone(w.window);
                            message = drv::AnswerMessageBox("Tolvane", "OK");
                        }),
              -1);
    ExpectCannotSaveMessage(message);
    EXPECT_EQ(shown_.destination, "/Palm/eBooks");
    EXPECT_EQ(ReadText(settings_), stored);
    EXPECT_EQ(After(entry), before_);
}

// Its first bytes are valid settings; read as the whole file, they were
// shown and written back as the whole file. The dialog does not open.
TEST_P(BothEntries, ASettingsFileTooLargeToReadFailsTheConfigurationUnchanged) {
    const Entry entry = GetParam();
    const std::string stored = Stored("/Palm/eBooks", kSdig, 1) + "[InstallToSlot]\r\nDB1=C:\\a.pdb\r\n";
    Settings(stored);
    const uint64_t size = (4ull << 30) + 16;
    testsupport::WriteSparse(settings_, stored, size);
    std::string message;
    drv::ModalWatcher watcher([&] { message = drv::AnswerMessageBox("Tolvane", "OK"); });
    const long result = entry == Entry::Cfg ? CallCfg() : CallPref();
    EXPECT_EQ(watcher.Join(), "");
    EXPECT_EQ(result, -1);
    for (const std::string& part : {settings_, std::string("larger than a settings file can be"),
                                    std::string("configure the conduit again")})
        EXPECT_NE(message.find(part), std::string::npos) << part << " in: " << message;
    EXPECT_EQ(After(entry), before_);
    EXPECT_EQ(testsupport::FileSize(settings_), size);
    EXPECT_EQ(testsupport::ReadHead(settings_, stored.size()), stored);
}

// The card's root is a directory a card can take; stored as typed. Stored
// empty, as other programs may write it, it shows as "/", which OK keeps.
TEST_F(SetupDialog, TheCardsRootIsAccepted) {
    Settings(Stored("", kSdig, 1));
    EXPECT_EQ(Configure(Entry::Cfg, [](const SetupWindow& w) { drv::Click(w.ok); }), 0);
    EXPECT_EQ(shown_.destination, "/");
    EXPECT_EQ(Value("Directory"), "/");
    Settings(Stored("/Palm/Launcher", kSdig, 1));
    EXPECT_EQ(Configure(Entry::Cfg,
                        [](const SetupWindow& w) {
                            TypeDirectory(w, "/");
                            drv::Click(w.ok);
                        }),
              0);
    EXPECT_EQ(Value("Directory"), "/");
}

// The helper program holds the settings file open without sharing until the
// holder goes.
class HeldFile {
public:
    explicit HeldFile(const std::string& path) {
        const std::string readyName = "tolvane-hold-ready-" + std::to_string(GetCurrentProcessId());
        const std::string stopName = "tolvane-hold-stop-" + std::to_string(GetCurrentProcessId());
        ready_.reset(CreateEventA(nullptr, TRUE, FALSE, readyName.c_str()));
        stop_.reset(CreateEventA(nullptr, TRUE, FALSE, stopName.c_str()));
        std::string command = "\"" + drv::BinDir() + "hold_file.exe\" \"" + path + "\" " + readyName + " " + stopName;
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
            return;
        process_.reset(info.hProcess);
        CloseHandle(info.hThread);
        held_ = WaitForMultipleObjects(2, std::array<HANDLE, 2>{ready_.get(), process_.get()}.data(), FALSE, 10000) ==
                WAIT_OBJECT_0;
    }
    ~HeldFile() {
        SetEvent(stop_.get());
        if (process_) WaitForSingleObject(process_.get(), 10000);
    }
    bool Held() const noexcept { return held_; }

private:
    struct Closer {
        void operator()(HANDLE h) const noexcept {
            if (h) CloseHandle(h);
        }
    };
    using Handle = std::unique_ptr<void, Closer>;
    Handle ready_, stop_, process_;
    bool held_ = false;
};

TEST_P(BothEntries, ASettingsFileHeldOpenByAnotherProgramFailsTheConfiguration) {
    const Entry entry = GetParam();
    const std::string stored = Stored("/Palm/eBooks", kSdig, 1);
    Settings(stored);
    {
        const HeldFile held(settings_);
        ASSERT_TRUE(held.Held());
        std::string message;
        EXPECT_EQ(Configure(entry,
                            [&](const SetupWindow& w) {
                                drv::Click(w.ok);
                                drv::WaitUntilGone(w.window);
                                message = drv::AnswerMessageBox("Tolvane", "OK");
                            }),
                  -1);
        ExpectCannotSaveMessage(message);
        EXPECT_EQ(After(entry), before_);
    }
    EXPECT_EQ(ReadText(settings_), stored);
}

// The stand-in HotSync Manager run as its own process, its output in a file.
class HostRun {
public:
    HostRun(const std::string& host, const std::string& arguments, const std::string& outputFile) {
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        output_.reset(CreateFileA(outputFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
        if (output_.get() == INVALID_HANDLE_VALUE) output_.release();
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = startup.hStdError = output_.get();
        std::string command = "\"" + host + "\" " + arguments;
        PROCESS_INFORMATION info{};
        if (!output_ ||
            !CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &info))
            return;
        process_.reset(info.hProcess);
        CloseHandle(info.hThread);
        processId_ = info.dwProcessId;
    }
    ~HostRun() {
        if (process_ && WaitForSingleObject(process_.get(), 0) != WAIT_OBJECT_0) TerminateProcess(process_.get(), 3);
    }
    DWORD ProcessId() const noexcept { return processId_; }
    // The exit code, or STILL_ACTIVE when the host did not end in time.
    DWORD Wait() {
        DWORD code = STILL_ACTIVE;
        if (process_ && WaitForSingleObject(process_.get(), 30000) == WAIT_OBJECT_0)
            GetExitCodeProcess(process_.get(), &code);
        output_.reset();
        return code;
    }

private:
    struct Closer {
        void operator()(HANDLE h) const noexcept {
            if (h && h != INVALID_HANDLE_VALUE) CloseHandle(h);
        }
    };
    std::unique_ptr<void, Closer> output_, process_;
    DWORD processId_ = 0;
};

TEST_F(SetupDialog, TheStandInHostOpensItThroughBothEntries) {
    Settings(Stored("/Palm/eBooks", kSdig, 1));
    const auto reg =
        reinterpret_cast<drv::RegistrationFn>(reinterpret_cast<void*>(GetProcAddress(module_, "DllRegisterServer")));
    ASSERT_EQ(reg(), S_OK);
    const std::string outputFile = desktop_.Folder() + "\\host-output.txt";
    for (const char* entry : {"CfgConduit", "ConfigureConduit"}) {
        SCOPED_TRACE(entry);
        const bool pref = std::string(entry) == "ConfigureConduit";
        HostRun run(desktop_.HostPath(), pref ? "configure Alice --pref" : "configure Alice", outputFile);
        ASSERT_NE(run.ProcessId(), 0u);
        std::string failure;
        try {
            const HWND window = drv::WaitForWindow(kCaption, drv::kWaitTimeout, run.ProcessId());
            drv::Click(drv::Child(window, "Button", "Install to card"));
            drv::Click(drv::Child(window, "Button", "OK"));
            drv::WaitUntilGone(window);
        } catch (const std::exception& e) {
            failure = e.what();
        }
        EXPECT_EQ(failure, "");
        EXPECT_EQ(run.Wait(), 0u) << ReadText(outputFile);
        EXPECT_NE(ReadText(outputFile).find(std::string("  ") + entry +
                                            " returned 0; action 6 (do nothing), preference 1 (permanent)"),
                  std::string::npos)
            << ReadText(outputFile);
        EXPECT_EQ(Value("Conduit_Enabled"), "0");
        Settings(Stored("/Palm/eBooks", kSdig, 1));
    }
}

}  // namespace

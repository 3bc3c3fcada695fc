// HotSync runs end to end: the shipped Tolvane.dll loaded by a host, with a
// stand-in desktop laid out in a temporary folder, called through
// OpenConduit; what reaches the card, the HotSync log, the progress display
// and the settings file.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "desktop/DesktopLayout.h"
#include "tests/integration/ConduitHost.h"
#include "tests/integration/SyncHarness.h"
#include "tests/support/TestFiles.h"

namespace {

using testsupport::PathExists;
using testsupport::ReadText;
using testsupport::SyncHarness;
using testsupport::WriteText;

using desktop::DesktopLayout;
using desktop::FourCC;
using Lines = std::vector<std::string>;

bool StartsWith(const std::string& text, const std::string& head) { return text.compare(0, head.size(), head) == 0; }

// What the host's progress function saw: each text with the number of
// stand-in calls made before it.
struct ProgressSeen {
    std::string text;
    size_t callsBefore;
};
const DesktopLayout* g_desktop = nullptr;
std::vector<ProgressSeen> g_progress;
void (*g_duringProgress)(const std::string& text) = nullptr;

void __cdecl RecordProgress(const char* text) {
    g_progress.push_back({text, g_desktop->CallLog().size()});
    if (g_duringProgress) g_duringProgress(text);
}

class HotSyncRun : public testing::Test {
protected:
    HotSyncRun()
        : harness_("run"),
          desktop_(harness_.Desktop()),
          user_(harness_.UserFolder()),
          card_(harness_.CardFolder()),
          settings_(harness_.SettingsFile()) {
        g_desktop = &desktop_;
        g_progress.clear();
        g_duringProgress = nullptr;
    }
    ~HotSyncRun() override { g_desktop = nullptr; }

    void Settings(const std::string& text) { harness_.Settings(text); }
    std::string Source(const std::string& name) { return harness_.Source(name); }
    // One HotSync through the exports, as the host makes it; the result of
    // OpenConduit. The conduit shows no message box during a run and leaves
    // no Palm library loaded after it.
    long Sync(const std::string& pathName) {
        const long result = harness_.Sync(pathName, &RecordProgress);
        EXPECT_NE(result, -2) << "the conduit did not load";
        EXPECT_EQ(harness_.BoxesShown(), 0u);
        EXPECT_EQ(GetModuleHandleA("VFSAPI.dll"), nullptr);
        return result;
    }
    long Sync() { return Sync(user_); }
    // The HotSync log lines of the last run.
    const Lines& Log() const { return harness_.Log(); }
    // The queue's keys as the system's reader lists them.
    Lines SystemQueue() const { return harness_.QueueKeys(); }
    Lines VfsCalls() const {
        Lines calls;
        for (const std::string& line : desktop_.CallLog())
            if (StartsWith(line, "VFS")) calls.push_back(line);
        return calls;
    }

    SyncHarness harness_;
    DesktopLayout& desktop_;
    const std::string user_, card_, settings_;
};

const char kWarningNoVolume[] = "[22 warning] Tolvane found no VFS volume. Did you configure the Conduit?";

TEST_F(HotSyncRun, WithoutASettingsFileTheLogNamesTheMissingFile) {
    EXPECT_EQ(Sync(), 0);
    EXPECT_EQ(Log(), (Lines{"[22 warning] " + settings_ + " not found. Did you configure the Conduit?"}));
    EXPECT_TRUE(VfsCalls().empty());
}

TEST_F(HotSyncRun, SwitchedOffSaysNothing) {
    Settings("[Setup]\r\nConduit_Enabled=0\r\nMediaType=1935960423\r\n[InstallToSlot]\r\nDB1=" + Source("a.pdb") +
             "\r\n");
    EXPECT_EQ(Sync(), 0);
    EXPECT_TRUE(Log().empty());
    EXPECT_TRUE(VfsCalls().empty());
    EXPECT_FALSE(PathExists(card_ + "\\Palm\\Launcher\\a.pdb"));
}

TEST_F(HotSyncRun, MediaTypeRules) {
    const std::string book = Source("a.pdb");
    const struct {
        uint32_t volumeType;
        const char* configured;
        bool installs;
    } cases[] = {
        {FourCC("mmcd"), "1935960423", true},   // an SD slot takes a MultiMediaCard
        {FourCC("sdig"), "1835885412", false},  // not the other way round
        {FourCC("sdig"), "0x73646967", true},   // hexadecimal
        {FourCC("sdig"), "0", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.configured);
        desktop_.Edit().volumes.at(0).mediaType = c.volumeType;
        desktop_.Save();
        Settings(std::string("[Setup]\r\nMediaType=") + c.configured + "\r\n[InstallToSlot]\r\nDB1=" + book + "\r\n");
        EXPECT_EQ(Sync(), 0);
        EXPECT_EQ(Log(), c.installs ? Lines{"[-1 text] a.pdb installed to /Palm/Launcher"} : Lines{kWarningNoVolume});
    }
}

TEST_F(HotSyncRun, TheFirstMatchingVolumeIsUsed) {
    desktop_.Edit().volumes.at(0).mediaType = FourCC("cfla");
    desktop_.Save();
    const std::string second = desktop_.AddVolume(2, FourCC("mmcd"));
    const std::string third = desktop_.AddVolume(3, FourCC("sdig"));
    Settings("[Setup]\r\nMediaType=1935960423\r\nDirectory=/Books\r\n[InstallToSlot]\r\nDB1=" + Source("a.pdb") + "\r\n");
    EXPECT_EQ(Sync(), 0);
    EXPECT_TRUE(PathExists(second + "\\Books\\a.pdb"));
    EXPECT_FALSE(PathExists(third + "\\Books\\a.pdb"));
}

TEST_F(HotSyncRun, TheDirFolderLeadsToTheUsersSettings) {
    Settings("[Setup]\r\nConduit_Enabled=1\r\n");
    EXPECT_EQ(Sync(user_ + "Dir\\"), 0);
    EXPECT_EQ(Log(), Lines{kWarningNoVolume});
}

TEST_F(HotSyncRun, AFailedCopyStaysQueuedAndIsInstalledAtTheNextRun) {
    const std::string a = Source("first.pdb"), b = Source("second.prc"), c = Source("third.pdb");
    const std::string setup = "[Setup]\r\nDirectory=/Palm/Launcher\r\nMediaType=1935960423\r\nConduit_Enabled=1\r\n";
    Settings(setup + "[InstallToSlot]\r\nDB1=" + a + "\r\nDB2=" + b + "\r\nDB3=" + c + "\r\n");
    desktop_.FailCopy("second.prc", 0x2A0F);
    EXPECT_EQ(Sync(), 0);
    EXPECT_EQ(Log(), (Lines{"[-1 text] first.pdb installed to /Palm/Launcher",
                            "[-1 text] Error installing second.prc: 10767",
                            "[-1 text] third.pdb installed to /Palm/Launcher"}));
    // Each copy is announced first, and the host gets its turn right after.
    ASSERT_EQ(g_progress.size(), 3u);
    const Lines calls = desktop_.CallLog();
    const char* names[] = {"first.pdb", "second.prc", "third.pdb"};
    for (size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(names[i]);
        EXPECT_EQ(g_progress[i].text, std::string("Installing ") + names[i] + " to /Palm/Launcher");
        ASSERT_LT(g_progress[i].callsBefore + 3, calls.size());
        EXPECT_EQ(calls[g_progress[i].callsBefore], "SyncYieldCycles(1) = 0");
        EXPECT_TRUE(StartsWith(calls[g_progress[i].callsBefore + 1], "VFSDirCreate(1, \"/Palm/Launcher\")"));
    }
    EXPECT_EQ(ReadText(settings_), setup + "[InstallToSlot]\r\nDB2=" + b + "\r\n");
    EXPECT_EQ(ReadText(card_ + "\\Palm\\Launcher\\first.pdb"), "contents of first.pdb");
    EXPECT_EQ(ReadText(card_ + "\\Palm\\Launcher\\third.pdb"), "contents of third.pdb");
    EXPECT_FALSE(PathExists(card_ + "\\Palm\\Launcher\\second.prc"));

    desktop_.ClearSwitches();
    EXPECT_EQ(Sync(), 0);
    EXPECT_EQ(Log(), Lines{"[-1 text] second.prc installed to /Palm/Launcher"});
    EXPECT_EQ(ReadText(settings_), setup + "[InstallToSlot]\r\n");
    EXPECT_EQ(ReadText(card_ + "\\Palm\\Launcher\\second.prc"), "contents of second.prc");
}

// A source that another program holds without sharing cannot be copied:
// the card keeps its older copy (nothing deletes it first) and the file
// stays queued until the other program lets go.
TEST_F(HotSyncRun, ALockedSourceKeepsTheCardsOlderCopyAndStaysQueued) {
    const std::string a = Source("a.pdb"), b = Source("b.pdb");
    const std::string setup = "[Setup]\r\nMediaType=1935960423\r\n";
    Settings(setup + "[InstallToSlot]\r\nDB1=" + a + "\r\nDB2=" + b + "\r\n");
    CreateDirectoryA((card_ + "\\Palm").c_str(), nullptr);
    CreateDirectoryA((card_ + "\\Palm\\Launcher").c_str(), nullptr);
    WriteText(card_ + "\\Palm\\Launcher\\a.pdb", "older copy of a.pdb");
    {
        const HANDLE locked = CreateFileA(a.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                          FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(locked, INVALID_HANDLE_VALUE);
        EXPECT_EQ(Sync(), 0);
        CloseHandle(locked);
    }
    EXPECT_EQ(Log(), (Lines{"[-1 text] Error installing a.pdb: 10757", "[-1 text] b.pdb installed to /Palm/Launcher"}));
    for (const std::string& call : VfsCalls())
        EXPECT_FALSE(StartsWith(call, "VFSFileDelete(1, \"/Palm/Launcher/a.pdb\")")) << call;
    EXPECT_EQ(ReadText(card_ + "\\Palm\\Launcher\\a.pdb"), "older copy of a.pdb");
    EXPECT_EQ(SystemQueue(), Lines{"DB1"});

    EXPECT_EQ(Sync(), 0);
    EXPECT_EQ(Log(), Lines{"[-1 text] a.pdb installed to /Palm/Launcher"});
    EXPECT_EQ(ReadText(card_ + "\\Palm\\Launcher\\a.pdb"), "contents of a.pdb");
    EXPECT_EQ(ReadText(settings_), setup + "[InstallToSlot]\r\n");
}

// UTF-8 text as a Windows editor saves it with the given byte-order mark.
std::string Saved(const std::string& utf8, bool utf16) {
    if (!utf16) return "\xEF\xBB\xBF" + utf8;
    std::wstring wide(utf8.size(), L'\0');
    wide.resize(static_cast<size_t>(
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), int(wide.size()))));
    return "\xFF\xFE" + std::string(reinterpret_cast<const char*>(wide.data()), wide.size() * 2);
}

// Settings files that an editor saved as UTF-8 or UTF-16 install their
// queue and keep their encoding; a path that the ANSI code page cannot
// spell is never handed to the card under a mangled name.
TEST_F(HotSyncRun, UnicodeSettingsFilesInstallTheirQueueAndKeepTheirEncoding) {
    const char eAcute[] = {static_cast<char>(0xE9), '\0'};  // in the ANSI code page, if it has the letter
    wchar_t back = 0;
    if (MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, eAcute, 1, &back, 1) != 1 || back != L'\u00E9')
        GTEST_SKIP() << "the ANSI code page has no e acute";
    for (const bool utf16 : {false, true}) {
        SCOPED_TRACE(utf16 ? "UTF-16" : "UTF-8");
        const std::string a = Source("a.pdb"), cafe = Source(std::string("caf") + eAcute + ".pdb");
        const std::string folder = desktop_.Folder() + "\\Books\\";
        const std::string setup = "[Setup]\r\nMediaType=1935960423\r\nDirectory=/Palm/eBooks\r\n";
        const std::string zhe = "DB3=" + folder + "\xD0\x96.pdb\r\n";  // a Cyrillic letter: no ANSI form
        Settings(Saved(setup + "[InstallToSlot]\r\nDB1=" + a + "\r\nDB2=" + folder + "caf\xC3\xA9.pdb\r\n" + zhe, utf16));
        EXPECT_EQ(Sync(), 0);
        ASSERT_EQ(Log().size(), 3u);
        EXPECT_EQ(Log()[0], "[-1 text] a.pdb installed to /Palm/eBooks");
        EXPECT_EQ(Log()[1], "[-1 text] caf" + std::string(eAcute) + ".pdb installed to /Palm/eBooks");
        EXPECT_TRUE(StartsWith(Log()[2], "[-1 text] Error installing ")) << Log()[2];
        EXPECT_NE(Log()[2].find(": -1"), std::string::npos) << Log()[2];
        EXPECT_EQ(ReadText(card_ + "\\Palm\\eBooks\\caf" + eAcute + ".pdb"), ReadText(cafe));
        for (const std::string& call : VfsCalls()) EXPECT_EQ(call.find('?'), std::string::npos) << call;
        EXPECT_EQ(VfsCalls().size(), 3u + 2 * 3);  // finding the volume, then three calls per copied file
        EXPECT_EQ(ReadText(settings_), Saved(setup + "[InstallToSlot]\r\n" + zhe, utf16));
        EXPECT_EQ(SystemQueue(), Lines{"DB3"});
    }
}

// Each file goes into its own folder, else its type's, else the setup
// directory; a folder from the sections is made one level at a time.
TEST_F(HotSyncRun, CardFoldersByTypeAndPerFile) {
    const std::string song = Source("song.Mp3"), photo = Source("photo.jpg"), book = Source("book.pdb");
    const std::string setup = "[Setup]\r\nMediaType=1935960423\r\n";
    const std::string folders = "[Folders]\r\nMP3=/AUDIO\r\njpg=/Music\r\n";
    Settings(setup + folders + "[InstallToSlot]\r\nDB1=" + song + "\r\nDB2=" + photo + "\r\nDB3=" + book +
             "\r\n[InstallToDirectory]\r\nDB2=/DCIM/Trip/\r\nDB7=/Stale\r\n");
    EXPECT_EQ(Sync(), 0);
    EXPECT_EQ(Log(), (Lines{"[-1 text] song.Mp3 installed to /AUDIO", "[-1 text] photo.jpg installed to /DCIM/Trip",
                            "[-1 text] book.pdb installed to /Palm/Launcher"}));
    ASSERT_EQ(g_progress.size(), 3u);
    EXPECT_EQ(g_progress[0].text, "Installing song.Mp3 to /AUDIO");
    EXPECT_EQ(g_progress[1].text, "Installing photo.jpg to /DCIM/Trip");
    EXPECT_EQ(g_progress[2].text, "Installing book.pdb to /Palm/Launcher");
    Lines dirCalls;
    for (const std::string& call : VfsCalls())
        if (StartsWith(call, "VFSDirCreate")) dirCalls.push_back(call.substr(0, call.find(')') + 1));
    EXPECT_EQ(dirCalls, (Lines{"VFSDirCreate(1, \"/AUDIO\")", "VFSDirCreate(1, \"/DCIM\")",
                               "VFSDirCreate(1, \"/DCIM/Trip\")", "VFSDirCreate(1, \"/Palm/Launcher\")"}));
    EXPECT_EQ(ReadText(card_ + "\\AUDIO\\song.Mp3"), "contents of song.Mp3");
    EXPECT_EQ(ReadText(card_ + "\\DCIM\\Trip\\photo.jpg"), "contents of photo.jpg");
    EXPECT_EQ(ReadText(card_ + "\\Palm\\Launcher\\book.pdb"), "contents of book.pdb");
    EXPECT_FALSE(PathExists(card_ + "\\Music\\photo.jpg"));
    // The installed file's folder entry leaves with it; one without a queue
    // key is never applied and is left to the tools.
    EXPECT_EQ(ReadText(settings_), setup + folders + "[InstallToSlot]\r\n[InstallToDirectory]\r\nDB7=/Stale\r\n");
}

// Stored files may name the card's root, by an empty Directory or by "/";
// the log and the progress line name it "/", and no card path holds "//".
TEST_F(HotSyncRun, TheCardsRootIsACardDirectory) {
    for (const char* directory : {"", "/"}) {
        SCOPED_TRACE(std::string("Directory=") + directory);
        const std::string book = Source("book.pdb"), song = Source("song.mp3");
        Settings(std::string("[Setup]\r\nMediaType=1935960423\r\nDirectory=") + directory +
                 "\r\n[Folders]\r\nmp3=/\r\n[InstallToSlot]\r\nDB1=" + book + "\r\nDB2=" + song + "\r\n");
        g_progress.clear();
        EXPECT_EQ(Sync(), 0);
        EXPECT_EQ(Log(), (Lines{"[-1 text] book.pdb installed to /", "[-1 text] song.mp3 installed to /"}));
        ASSERT_EQ(g_progress.size(), 2u);
        EXPECT_EQ(g_progress[0].text, "Installing book.pdb to /");
        EXPECT_EQ(g_progress[1].text, "Installing song.mp3 to /");
        for (const std::string& call : VfsCalls()) EXPECT_EQ(call.find("//"), std::string::npos) << call;
        EXPECT_EQ(ReadText(card_ + "\\book.pdb"), "contents of book.pdb");
        EXPECT_EQ(ReadText(card_ + "\\song.mp3"), "contents of song.mp3");
        EXPECT_TRUE(SystemQueue().empty());
    }
}

// A folder that no card can take keeps its file queued, with its entry,
// and asks nothing of the card; the other files are installed.
TEST_F(HotSyncRun, AFolderNoCardCanTakeKeepsItsFileQueued) {
    const std::string a = Source("a.txt"), b = Source("b.pdb"), c = Source("c.prc"), d = Source("d.prc");
    const std::string text = "[Setup]\r\nMediaType=1935960423\r\n[Folders]\r\ntxt=Books\r\nprc=\r\n"
                             "[InstallToSlot]\r\nDB1=" + a + "\r\nDB2=" + b + "\r\nDB3=" + c + "\r\nDB4=" + d +
                             "\r\n[InstallToDirectory]\r\nDB2=/Palm/../x\r\nDB3=/Ok\r\n";
    Settings(text);
    EXPECT_EQ(Sync(), 0);
    EXPECT_EQ(Log(), (Lines{"[-1 text] Error installing a.txt: -1", "[-1 text] Error installing b.pdb: -1",
                            "[-1 text] c.prc installed to /Ok", "[-1 text] d.prc installed to /Palm/Launcher"}));
    ASSERT_EQ(g_progress.size(), 4u);
    EXPECT_EQ(g_progress[0].text, "Installing a.txt to Books");
    EXPECT_EQ(g_progress[1].text, "Installing b.pdb to /Palm/../x");
    for (const std::string& call : VfsCalls()) {
        EXPECT_EQ(call.find("a.txt"), std::string::npos) << call;
        EXPECT_EQ(call.find("b.pdb"), std::string::npos) << call;
        EXPECT_EQ(call.find("/x"), std::string::npos) << call;
    }
    EXPECT_EQ(SystemQueue(), (Lines{"DB1", "DB2"}));
    EXPECT_NE(ReadText(settings_).find("[InstallToDirectory]\r\nDB2=/Palm/../x\r\n"), std::string::npos);
    EXPECT_EQ(ReadText(settings_).find("DB3=/Ok"), std::string::npos);
}

TEST_F(HotSyncRun, AKeyAnotherProgramAddsDuringTheRunStaysQueued) {
    const std::string a = Source("a.pdb"), b = Source("b.pdb");
    Settings("[Setup]\r\nMediaType=1935960423\r\n[InstallToSlot]\r\nDB1=" + a + "\r\nDB2=" + b + "\r\n");
    static std::string settings, later;
    settings = settings_;
    later = Source("later.pdb");
    g_duringProgress = [](const std::string& text) {
        if (text == "Installing a.pdb to /Palm/Launcher")
            WritePrivateProfileStringA("InstallToSlot", "DB5", later.c_str(), settings.c_str());
    };
    EXPECT_EQ(Sync(), 0);
    EXPECT_EQ(Log(), (Lines{"[-1 text] a.pdb installed to /Palm/Launcher", "[-1 text] b.pdb installed to /Palm/Launcher"}));
    EXPECT_EQ(SystemQueue(), Lines{"DB5"});
    EXPECT_NE(ReadText(settings_).find("DB5=" + later + "\r\n"), std::string::npos);
}

TEST_F(HotSyncRun, AHotSyncKilledDuringACopyLeavesTheRestQueued) {
    {
        testsupport::LoadedConduit conduit(harness_.ConduitPath());
        ASSERT_NE(conduit.module(), nullptr);
        ASSERT_EQ(conduit.Get<testsupport::RegistrationFn>("DllRegisterServer")(), S_OK);
    }
    const std::string a = Source("a.pdb"), b = Source("b.pdb"), c = Source("c.pdb");
    Settings("[Setup]\r\nMediaType=1935960423\r\n[InstallToSlot]\r\nDB1=" + a + "\r\nDB2=" + b + "\r\nDB3=" + c + "\r\n");
    desktop_.ExitAt("VFSFilePut", 2);
    const DWORD exitCode = harness_.SyncInHost(60000);
    ASSERT_NE(exitCode, SyncHarness::kHostDidNotStart);
    ASSERT_NE(exitCode, SyncHarness::kHostTimedOut);
    EXPECT_EQ(exitCode, 99u);
    EXPECT_EQ(SystemQueue(), (Lines{"DB2", "DB3"}));
    desktop_.ClearSwitches();
    EXPECT_EQ(Sync(), 0);
    EXPECT_EQ(ReadText(settings_), "[Setup]\r\nMediaType=1935960423\r\n[InstallToSlot]\r\n");
}

}  // namespace

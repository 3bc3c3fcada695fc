// Bad settings files, bad queues and injected faults, on the shipped
// conduit with the stand-in desktop. Whatever happens, a run returns, and
// on disk exactly the files that were not installed stay queued: every key
// that left the queue has its file complete on the card, every key that
// stayed has a log line that says why.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "tests/integration/ConduitHost.h"
#include "tests/integration/SyncHarness.h"
#include "tests/support/TestPaths.h"

namespace {

using namespace testsupport;
using Queue = std::map<std::string, std::string>;

constexpr char kNoVolume[] = "[22 warning] Tolvane found no VFS volume. Did you configure the Conduit?";

std::string QueueText(const Queue& queue) {
    std::string text = "[InstallToSlot]\r\n";
    for (const auto& [key, source] : queue) text += key + "=" + source + "\r\n";
    return text;
}

// --- Bad settings files and queues -------------------------------------------

struct SettingsCase {
    const char* name;
    // Builds the settings file's text from two queued desktop files.
    std::function<std::string(const std::string& a, const std::string& b)> text;
    const char* cardDirectory;
};

std::string Garbage(size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(random());
    return bytes;
}

std::string Queue2(const std::string& a, const std::string& b) { return "[InstallToSlot]\r\nDB1=" + a + "\r\nDB2=" + b + "\r\n"; }

const SettingsCase kSettingsCases[] = {
    {"BinaryGarbage", [](auto&, auto&) { return Garbage(65536, 1); }, "/Palm/Launcher"},
    {"GarbageAroundAGoodQueue",
     [](auto& a, auto& b) { return Garbage(4096, 2) + "\r\n" + SyncHarness::Setup() + Queue2(a, b) + Garbage(4096, 3); },
     "/Palm/Launcher"},
    {"LineOf100000Characters",
     [](auto& a, auto& b) {
         return std::string(100000, 'x') + "\r\n" + SyncHarness::Setup() + "[InstallToSlot]\r\n" +
                std::string(100000, 'D') + "\r\nDB1=" + a + "\r\nDB2=" + b + std::string(100000, ' ') + "\r\n";
     },
     "/Palm/Launcher"},
    {"ThousandsOfSections",
     [](auto& a, auto& b) {
         std::string text;
         for (int i = 0; i < 5000; ++i) text += "[Section" + std::to_string(i) + "]\r\nDB1=nothing\r\n";
         return text + SyncHarness::Setup() + Queue2(a, b);
     },
     "/Palm/Launcher"},
    {"KeysWithoutValues",
     [](auto& a, auto& b) {
         return SyncHarness::Setup() + "[InstallToSlot]\r\nDB1\r\nDB2=\r\nDB3=" + a + "\r\n=" + b + "\r\nDB4=" + b + "\r\n";
     },
     "/Palm/Launcher"},
    {"ValuesOf5000Characters",
     [](auto& a, auto& b) {
         return SyncHarness::Setup() + "[InstallToSlot]\r\nDB1=" + a + std::string(5000, 'v') + "\r\nDB2=" + b +
                "\r\nDB3=" + std::string(5000, '\\') + "\r\n";
     },
     "/Palm/Launcher"},
    {"OddQueuePaths",
     [](auto& a, auto& b) {
         const std::string books = a.substr(0, a.find_last_of('\\'));
         std::string slashed = a;
         for (char& c : slashed)
             if (c == '\\') c = '/';
         return SyncHarness::Setup() + "[InstallToSlot]\r\n" + "DB1=" + slashed + "\r\n" +       // forward slashes
                "DB2=" + books + "\\..\\Books\\" + b.substr(b.find_last_of('\\') + 1) + "\r\n" +  // ".."
                "DB3=Books\\relative.pdb\r\n" +                                                  // relative
                "DB4=\\\\nohost\\noshare\\unc.pdb\r\n" +                                          // UNC
                "DB5=" + books + "\r\n" +                                                        // a folder
                "DB6=" + books + "\\\r\n" +                                                      // no name
                "DB7=" + books + "\\missing.pdb\r\n" +                                           // missing
                "DB8=" + books + "\\" + std::string(300, 'L') + ".pdb\r\n" +                     // long
                "DB9=C:..\r\n" + "DB10=" + books + "\\.\r\n" + "DB11=" + books + "\\..\r\n";
     },
     "/Palm/Launcher"},
    {"EmptyCardDirectory", [](auto& a, auto& b) { return "[Setup]\r\nDirectory=\r\nMediaType=1935960423\r\n" + Queue2(a, b); },
     ""},
    {"CardDirectoryWithoutLeadingSlash",
     [](auto& a, auto& b) { return "[Setup]\r\nDirectory=Palm\r\nMediaType=1935960423\r\n" + Queue2(a, b); }, "Palm"},
    {"CardDirectoryClimbing",
     [](auto& a, auto& b) { return "[Setup]\r\nDirectory=/Palm/../..\r\nMediaType=1935960423\r\n" + Queue2(a, b); },
     "/Palm/../.."},
    {"CardDirectoryDoubledSlashes",
     [](auto& a, auto& b) { return "[Setup]\r\nDirectory=/Palm//Launcher/\r\nMediaType=1935960423\r\n" + Queue2(a, b); },
     "/Palm//Launcher/"},
    {"CardDirectoryWithControlCharacters",
     [](auto& a, auto& b) { return "[Setup]\r\nDirectory=/Pa\x01lm\t|*\r\nMediaType=1935960423\r\n" + Queue2(a, b); },
     "/Pa\x01lm\t|*"},
    {"CardDirectoryOf5000Characters",
     [](auto& a, auto& b) {
         return "[Setup]\r\nDirectory=/" + std::string(4999, 'd') + "\r\nMediaType=1935960423\r\n" + Queue2(a, b);
     },
     ""},
};

// One process for the whole table: each case lays out a desktop of its own.
TEST(BadSettingsFile, NoCrashAndOnlyInstalledFilesLeaveTheQueue) {
    for (const SettingsCase& c : kSettingsCases) {
        SCOPED_TRACE(c.name);
        SyncHarness harness("ini");
        const std::string a = harness.Source("a.pdb"), b = harness.Source("b.prc");
        harness.Settings(c.text(a, b));
        const Queue before = harness.Queue();
        EXPECT_EQ(harness.Sync(), 0);
        std::string cardDirectory = c.cardDirectory;
        // The reader takes 2047 characters of a value; the card directory is one.
        if (std::string(c.name) == "CardDirectoryOf5000Characters") cardDirectory = "/" + std::string(2046, 'd');
        EXPECT_EQ(harness.QueueOutcome(before, cardDirectory), "");
        // A second run, once the first is over, keeps to the same rule.
        const Queue between = harness.Queue();
        EXPECT_EQ(harness.Sync(), 0);
        EXPECT_EQ(harness.QueueOutcome(between, cardDirectory), "");
    }
}

TEST(BadSettingsFile, AQueueOfOddPathsInstallsWhatCanBeInstalledAndNamesTheRest) {
    SyncHarness harness("odd");
    const std::string a = harness.Source("a.pdb"), b = harness.Source("b.prc");
    harness.Settings(kSettingsCases[6].text(a, b));
    EXPECT_EQ(harness.Sync(), 0);
    // Forward slashes and ".." name real files; the rest cannot be installed.
    const Queue after = harness.Queue();
    EXPECT_EQ(after.count("DB1"), 0u);
    EXPECT_EQ(after.count("DB2"), 0u);
    for (const char* key : {"DB3", "DB4", "DB5", "DB6", "DB7", "DB8", "DB9", "DB10", "DB11"}) EXPECT_EQ(after.count(key), 1u) << key;
    EXPECT_EQ(harness.Log().size(), 11u);
    EXPECT_EQ(ReadText(harness.CardFile("a.pdb")), "contents of a.pdb");
    EXPECT_EQ(ReadText(harness.CardFile("b.prc")), "contents of b.prc");
}

// Of repeated keys and sections only the first counts, as for every reader;
// once the first DB1 is installed and deleted, the repeat is what readers
// see queued, and the next HotSync installs it.
TEST(BadSettingsFile, ARepeatedKeyIsQueuedOnceTheFirstIsInstalled) {
    SyncHarness harness("dup");
    const std::string a = harness.Source("a.pdb"), b = harness.Source("b.prc"), c = harness.Source("c.pdb");
    harness.Settings(SyncHarness::Setup() + Queue2(a, b) + "db1=" + c + "\r\n[installtoslot]\r\nDB3=" + a +
                     "\r\n[Setup]\r\nDirectory=/Elsewhere\r\n");
    EXPECT_EQ(harness.Queue(), (Queue{{"DB1", a}, {"DB2", b}}));
    EXPECT_EQ(harness.Sync(), 0);
    EXPECT_EQ(harness.Queue(), (Queue{{"DB1", c}}));
    EXPECT_FALSE(PathExists(harness.CardFile("c.pdb")));
    EXPECT_EQ(harness.Sync(), 0);
    EXPECT_TRUE(harness.Queue().empty());
    for (const char* name : {"a.pdb", "b.prc", "c.pdb"})
        EXPECT_EQ(ReadText(harness.CardFile(name)), std::string("contents of ") + name);
    EXPECT_FALSE(PathExists(harness.Desktop().CardFile(1, "/Elsewhere")));
}

// --- Faults injected through the stand-ins -----------------------------------

class Faults : public testing::Test {
protected:
    Faults() : harness_("fault") {}
    // Queues `count` files of 1000 bytes each.
    Queue QueueFiles(int count) {
        Queue queue;
        for (int i = 1; i <= count; ++i)
            queue["DB" + std::to_string(i)] =
                harness_.Source("f" + std::to_string(i) + ".pdb", std::string(1000, static_cast<char>('a' + i % 26)));
        harness_.Settings(SyncHarness::Setup() + QueueText(queue));
        return queue;
    }
    SyncHarness harness_;
};

TEST_F(Faults, ACopyFailingForEachFileInTurnLeavesExactlyThatFileQueued) {
    for (int failing = 1; failing <= 5; ++failing) {
        SCOPED_TRACE(failing);
        const Queue queue = QueueFiles(5);
        harness_.Desktop().ClearSwitches();
        harness_.Desktop().FailCopy("f" + std::to_string(failing) + ".pdb", 0x2A05);
        EXPECT_EQ(harness_.Sync(), 0);
        const std::string key = "DB" + std::to_string(failing);
        EXPECT_EQ(harness_.Queue(), (Queue{{key, queue.at(key)}}));
        EXPECT_EQ(harness_.QueueOutcome(queue), "");
    }
}

TEST_F(Faults, EveryVfsEntryFailingKeepsTheWholeQueue) {
    for (const char* entry : {"VFSFilePut", "VFSVolumeEnumerate", "VFSVolumeInfo"}) {
        SCOPED_TRACE(entry);
        const Queue queue = QueueFiles(3);
        harness_.Desktop().ClearSwitches();
        harness_.Desktop().FailEntry(entry, 0x2A01);
        EXPECT_EQ(harness_.Sync(), 0);
        EXPECT_EQ(harness_.Queue(), queue);
        EXPECT_EQ(harness_.QueueOutcome(queue, "/Palm/Launcher", std::string(entry) == "VFSFilePut"), "");
    }
    for (const char* entry : {"VFSDirCreate", "VFSFileDelete", "LogAddEntry", "SyncYieldCycles"}) {
        SCOPED_TRACE(entry);  // results nobody relies on: the files go all the same
        for (const char* name : {"f1.pdb", "f2.pdb", "f3.pdb"}) DeleteFileA(harness_.CardFile(name).c_str());
        const Queue queue = QueueFiles(3);
        harness_.Desktop().ClearSwitches();
        harness_.Desktop().FailEntry(entry, 0x2A01);
        EXPECT_EQ(harness_.Sync(), 0);
        EXPECT_EQ(harness_.QueueOutcome(queue, "/Palm/Launcher", false), "");
        EXPECT_TRUE(harness_.Queue().empty());
    }
}

TEST_F(Faults, TheCardFillingUpMidQueueKeepsTheFilesThatDidNotFit) {
    harness_.Desktop().Edit().volumes.at(0).capacity = 3500;  // three files of 1000 bytes fit
    harness_.Desktop().Save();
    const Queue queue = QueueFiles(6);
    EXPECT_EQ(harness_.Sync(), 0);
    EXPECT_EQ(harness_.QueueOutcome(queue), "");
    const Queue after = harness_.Queue();
    EXPECT_EQ(after.size(), 3u);
    EXPECT_EQ(after.count("DB4") + after.count("DB5") + after.count("DB6"), 3u);
    for (const char* name : {"f4.pdb", "f5.pdb", "f6.pdb"})
        EXPECT_NE(std::find(harness_.Log().begin(), harness_.Log().end(),
                            std::string("[-1 text] Error installing ") + name + ": 10767"),
                  harness_.Log().end())
            << name;
}

TEST_F(Faults, AVolumeListLongerThanItsReferencesIsSafe) {
    harness_.Desktop().Edit().switches.extraVolumes = 5;
    harness_.Desktop().Save();
    Queue queue = QueueFiles(3);
    EXPECT_EQ(harness_.Sync(), 0);
    EXPECT_EQ(harness_.QueueOutcome(queue), "");
    EXPECT_TRUE(harness_.Queue().empty());
    // Only the made-up volumes would match a CompactFlash card: none is used.
    queue = QueueFiles(3);
    harness_.Settings("[Setup]\r\nMediaType=0x63666C61\r\n" + QueueText(queue));
    EXPECT_EQ(harness_.Sync(), 0);
    EXPECT_EQ(harness_.Log(), Lines{kNoVolume});
    EXPECT_EQ(harness_.Queue(), queue);
}

TEST_F(Faults, AReadOnlySettingsFileInstallsNothingItCannotDequeue) {
    const Queue queue = QueueFiles(3);
    const std::string before = ReadText(harness_.SettingsFile());
    ASSERT_TRUE(SetFileAttributesA(harness_.SettingsFile().c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(harness_.Sync(), 0);
    SetFileAttributesA(harness_.SettingsFile().c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(ReadText(harness_.SettingsFile()), before);
    EXPECT_EQ(harness_.QueueOutcome(queue, "/Palm/Launcher", false), "");
    // Nothing was copied that would be copied again at every HotSync.
    for (const char* name : {"f1.pdb", "f2.pdb", "f3.pdb"}) EXPECT_FALSE(PathExists(harness_.CardFile(name))) << name;
    EXPECT_EQ(harness_.Log(), Lines{"[22 warning] " + harness_.SettingsFile() +
                                    " is read-only or in use: no queued file was installed."});
    // Writable again, the next HotSync installs the queue.
    EXPECT_EQ(harness_.Sync(), 0);
    EXPECT_EQ(harness_.QueueOutcome(queue), "");
    EXPECT_TRUE(harness_.Queue().empty());
    // An empty queue has nothing to lose: read-only, it says nothing.
    ASSERT_TRUE(SetFileAttributesA(harness_.SettingsFile().c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(harness_.Sync(), 0);
    SetFileAttributesA(harness_.SettingsFile().c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(harness_.Log(), Lines{});
}

TEST_F(Faults, ASettingsFileHeldOpenByAnotherProcessIsLeftAlone) {
    const Queue queue = QueueFiles(3);
    const std::string before = ReadText(harness_.SettingsFile());
    {
        testsupport::HeldFile holder(harness_.SettingsFile());
        ASSERT_TRUE(holder.Held());
        harness_.Desktop().ClearCallLog();
        EXPECT_EQ(harness_.Sync(), 0);
        // Unreadable, the file would read as all defaults and blame the card.
        EXPECT_EQ(harness_.Log(), Lines{"[22 warning] " + harness_.SettingsFile() +
                                        " is read-only or in use: no queued file was installed."});
        for (const std::string& call : harness_.Desktop().CallLog())
            EXPECT_NE(call.rfind("VFS", 0), 0u) << "a card call for a file that cannot be read: " << call;
    }
    EXPECT_EQ(ReadText(harness_.SettingsFile()), before);
    EXPECT_EQ(harness_.QueueOutcome(queue, "/Palm/Launcher", false), "");
    EXPECT_EQ(harness_.Queue(), queue);
    // Once the other program lets go, the next HotSync installs everything.
    EXPECT_EQ(harness_.Sync(), 0);
    EXPECT_TRUE(harness_.Queue().empty());
    EXPECT_EQ(harness_.QueueOutcome(queue), "");
}

// Its first bytes are a valid queue; read as the whole file, they installed
// that queue and a rewrite cut the file down to them.
TEST_F(Faults, ASettingsFileTooLargeToReadInstallsNothingAndSaysSo) {
    QueueFiles(2);
    const std::string head = ReadText(harness_.SettingsFile());
    const uint64_t size = (4ull << 30) + 16;
    WriteSparse(harness_.SettingsFile(), head, size);
    harness_.Desktop().ClearCallLog();
    EXPECT_EQ(harness_.Sync(), 0);
    EXPECT_EQ(harness_.Log(), Lines{"[22 warning] " + harness_.SettingsFile() +
                                    " is too large to be a settings file: no queued file was installed."});
    for (const std::string& call : harness_.Desktop().CallLog())
        EXPECT_NE(call.rfind("VFS", 0), 0u) << "a card call for a file that was not read: " << call;
    EXPECT_EQ(FileSize(harness_.SettingsFile()), size);
    EXPECT_EQ(ReadHead(harness_.SettingsFile(), head.size()), head);
    EXPECT_FALSE(PathExists(harness_.CardFile("f1.pdb")));
}

// Deleted while the second file is being installed: the walk stops there
// and never writes a settings file of its own.
std::string g_deleteAt;
std::string g_settingsToDelete;
void __cdecl DeleteSettingsOnProgress(const char* text) {
    if (text == g_deleteAt) DeleteFileA(g_settingsToDelete.c_str());
}

TEST_F(Faults, ASettingsFileDeletedDuringTheRunIsNotRecreated) {
    QueueFiles(4);
    g_deleteAt = "Installing f2.pdb to /Palm/Launcher";
    g_settingsToDelete = harness_.SettingsFile();
    const long result = harness_.Sync(harness_.UserFolder(), &DeleteSettingsOnProgress);
    ASSERT_NE(result, -2) << "the conduit did not load";
    EXPECT_EQ(result, 0);
    EXPECT_FALSE(PathExists(harness_.SettingsFile()));
    EXPECT_FALSE(PathExists(harness_.SettingsFile() + ".tmp"));
    EXPECT_TRUE(PathExists(harness_.CardFile("f1.pdb")));
    EXPECT_FALSE(PathExists(harness_.CardFile("f3.pdb")));
    EXPECT_FALSE(PathExists(harness_.CardFile("f4.pdb")));
}

// --- Libraries and the registry at load time ---------------------------------

struct LoadCase {
    const char* name;
    const char* lackingEntry;   // a build without this entry, or ""
    const char* missingLibrary;  // deleted from the desktop, or ""
};

const LoadCase kLoadCases[] = {
    {"LackingVFSVolumeInfo", "VFSVolumeInfo", ""}, {"LackingLogAddEntry", "LogAddEntry", ""},
    {"LackingSyncLoopBackTest", "SyncLoopBackTest", ""}, {"LackingUmSlotGetDisplayName", "UmSlotGetDisplayName", ""},
    {"MissingUserData", "", "userdata.dll"}, {"MissingVFSAPI", "", "VFSAPI.dll"},
    {"MissingHslog", "", "hslog20.dll"}, {"MissingSync", "", "sync20.dll"},
};

TEST(LoadFaults, AConduitThatCannotWorkLeavesTheQueueAsItWas) {
    for (const LoadCase& c : kLoadCases) {
        SCOPED_TRACE(c.name);
        desktop::LayoutOptions options;
        options.lackingEntry = c.lackingEntry;
        SyncHarness harness("load", options);
        if (*c.missingLibrary) {
            ASSERT_TRUE(DeleteFileA(harness.Desktop().LibraryPath(c.missingLibrary).c_str()));
        }
        const Queue queue = {{"DB1", harness.Source("a.pdb")}, {"DB2", harness.Source("b.pdb")}};
        harness.Settings(SyncHarness::Setup() + QueueText(queue));
        const std::string before = ReadText(harness.SettingsFile());
        const long result = harness.Sync();
        EXPECT_TRUE(result == 0 || result == -2) << result;
        EXPECT_EQ(harness.QueueOutcome(queue, "/Palm/Launcher", false), "");
        if (result == -2) {
            EXPECT_EQ(ReadText(harness.SettingsFile()), before);
        }
    }
}

struct RegistryCase {
    const char* name;
    DWORD type;
    std::string data;
};

const RegistryCase kRegistryCases[] = {
    {"Number", REG_DWORD, std::string("\x07\0\0\0", 4)},
    {"Binary", REG_BINARY, Garbage(300, 5)},
    {"TextWithoutNul", REG_SZ, std::string(600, 'p')},
    {"MultiText", REG_MULTI_SZ, std::string("C:\\a\0C:\\b\0\0", 11)},
    {"Empty", REG_SZ, std::string()},
    {"NoSuchFolder", REG_SZ, std::string("C:\\nowhere\\hotsync.exe\0", 23)},
};

void SetHotSyncPath(const RegistryCase& c) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\U.S. Robotics\\Pilot Desktop\\Core", 0, nullptr, 0,
                              KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, "HotSyncPath", 0, c.type, reinterpret_cast<const BYTE*>(c.data.data()),
                   static_cast<DWORD>(c.data.size()));
    RegCloseKey(key);
}

TEST(HotSyncPathFaults, AWrongValueLeavesTheQueueAsItWas) {
    for (const RegistryCase& c : kRegistryCases) {
        SCOPED_TRACE(c.name);
        SyncHarness harness("reg");
        const Queue queue = {{"DB1", harness.Source("a.pdb")}};
        harness.Settings(SyncHarness::Setup() + QueueText(queue));
        const std::string before = ReadText(harness.SettingsFile());
        SetHotSyncPath(c);
        // A conduit apart from the desktop finds the libraries only through the value.
        const std::string apart = PlaceConduit(desktop::DesktopLayout::TempFolder("apart"));
        {
            LoadedConduit conduit(apart);
            if (conduit.module()) {
                desktop::host::SyncProperties props{};
                std::strncpy(props.pathName, harness.UserFolder().c_str(), sizeof props.pathName - 1);
                EXPECT_EQ(conduit.Get<OpenConduitFn>("OpenConduit")(nullptr, &props), 0);
            }
        }
        EXPECT_EQ(LoadedPalmLibraries(), "");
        EXPECT_EQ(ReadText(harness.SettingsFile()), before);
        DeleteFileA(apart.c_str());
        RemoveDirectoryA(apart.substr(0, apart.find_last_of('\\')).c_str());
    }
}

}  // namespace

namespace {

// A short kill test: a small queue, and a small outbox, ended at chosen VFS
// calls and at a few random moments (make killtest runs the long ones). Each
// mode has 20 s of ending HotSyncs (about 5 s on a quiet machine; on a busy
// one it ends fewer), so that both fit the test's deadline.
TEST(KilledHotSyncs, NoQueuedFileIsLostWhereverTheProcessEnds) {
    for (const char* mode : {"run", "outbox"}) {
        SCOPED_TRACE(mode);
        std::string command = "\"" + testsupport::BinDir() + "kill_test.exe\" " + mode +
                              " --files 24 --points 5 --random 3 --seed 7 --budget 20";
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        ASSERT_TRUE(
            CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process));
        const bool ended = WaitForSingleObject(process.hProcess, 28000) == WAIT_OBJECT_0;
        if (!ended) TerminateProcess(process.hProcess, 3);
        WaitForSingleObject(process.hProcess, 5000);
        EXPECT_TRUE(ended) << "kill_test " << mode << " still ran after 28 s";
        DWORD code = 0;
        GetExitCodeProcess(process.hProcess, &code);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        EXPECT_EQ(code, 0u);
    }
}

}  // namespace

// The data module and the HotSync run: the settings file in a temporary
// user folder, the VFS, HotSync log and Sync Manager entries replaced by
// doubles that record every call in order.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "app/CardFolders.h"
#include "app/Outbox.h"
#include "app/PathRules.h"
#include "app/uConduit.h"
#include "palm/kivHslog.h"
#include "palm/kivSyncMgr.h"
#include "rtl/IniFiles.h"
#include "rtl/WinHandles.h"
#include "tests/support/TestFiles.h"
#include "tests/unit/CardDoubles.h"

namespace {

using testing_card::Card;
using testing_card::CallLog;
using testing_card::EntryOverride;
using testing_card::kMmcd;
using testing_card::kSdig;
using testsupport::ReadText;
using testsupport::WriteText;
using Calls = std::vector<std::string>;

long __cdecl RecordLog(const char* text, long activity, long timestamp) {
    CallLog().push_back("log " + std::string(text) + " " + std::to_string(activity) + " " + std::to_string(timestamp));
    return 0;
}
long __stdcall RecordYield(unsigned short cycles) {
    CallLog().push_back("yield " + std::to_string(cycles));
    return 0;
}
void __cdecl RecordProgress(const char* text) { CallLog().push_back("progress " + std::string(text)); }

TEST(DataModule, CreatesItsConduitComponentWithTheStoredValues) {
    app::StartConduitModule();
    ASSERT_NE(app::dmConduit, nullptr);
    kiv::TkivPalmComponent& palm = kiv::FindPalmComponent();
    EXPECT_EQ(&palm, app::dmConduit->Palm);
    EXPECT_EQ(palm.Owner(), app::dmConduit);
    EXPECT_EQ(palm.ConduitName(), "Tolvane");
    EXPECT_EQ(palm.Version(), 3);
    EXPECT_EQ(palm.Priority(), 2);
    EXPECT_EQ(palm.Directory(), "Tolvane");
    EXPECT_EQ(palm.Information(), "Tolvane Conduit");
    EXPECT_EQ(palm.CreatorID(), "tVan");
    EXPECT_EQ(palm.CreatorFile(), "");
    EXPECT_EQ(palm.RemoteFile(), "");
    EXPECT_TRUE(palm.OnExecConduit);
    EXPECT_FALSE(palm.OnRegisterConduit);
    EXPECT_FALSE(palm.OnUnregisterConduit);
    app::StopConduitModule();
    EXPECT_EQ(app::dmConduit, nullptr);
    EXPECT_THROW(kiv::FindPalmComponent(), rtl::Exception);
}

TEST(DataModule, TheUserFolderRule) {
    app::TdmConduit dm(nullptr);
    const struct {
        const char* path;
        const char* folder;
    } cases[] = {
        {"C:\\Palm\\User1\\", "C:\\Palm\\User1\\Tolvane\\"},
        {"C:\\Palm\\User1\\DIR\\", "C:\\Palm\\User1\\Tolvane\\"},
        {"C:\\Palm\\User1\\dir\\", "C:\\Palm\\User1\\Tolvane\\"},
        {"C:\\Palm\\User1\\Dir", "C:\\Palm\\User1\\Tolvane\\"},
        {"C:\\Palm\\Nadir\\", "C:\\Palm\\Nadir\\Tolvane\\"},
        {"C:\\Palm\\sub.dir\\", "C:\\Palm\\sub.dir\\Tolvane\\"},
        {"dir\\", "Tolvane\\"},
        {"", "Tolvane\\"},
        {"C:\\Palm\\User1", "C:\\Palm\\User1\\Tolvane\\"},
        {"C:/Palm/User1/", "C:/Palm/User1/Tolvane\\"},
    };
    for (const auto& c : cases) EXPECT_EQ(dm.GetUserDirectory(c.path), c.folder) << c.path;
}

// Usable directories come back without a final "/"; every refusal names
// what is wrong in words the user typed.
TEST(DataModule, TheCardDirectoryRule) {
    const struct {
        const char* typed;
        const char* directory;  // "" when refused
        const char* named;      // part of the problem text
    } cases[] = {
        {"/Palm/Launcher", "/Palm/Launcher", ""},
        {"/Palm/Launcher/", "/Palm/Launcher", ""},
        {"/eBooks", "/eBooks", ""},
        {"/Palm/My Books.v2/x", "/Palm/My Books.v2/x", ""},
        {"/Palm/\xe9t\xe9", "/Palm/\xe9t\xe9", ""},
        {"", "", "is empty"},
        {"/", "/", ""},
        {"Palm/Launcher", "", "does not start with \"/\""},
        {" /Palm", "", "does not start with \"/\""},
        {"\\Palm\\Launcher", "", "does not start with \"/\""},
        {"/Palm\\Launcher", "", "holds \"\\\""},
        {"/Palm//Launcher", "", "empty folder name"},
        {"/Palm/Launcher//", "", "empty folder name"},
        {"//", "", "empty folder name"},
        {"/Palm/../Launcher", "", "\"..\""},
        {"/./Palm", "", "\".\""},
        {"/Palm/..", "", "\"..\""},
        {"/Palm/.hidden/x", "/Palm/.hidden/x", ""},
        {"/Palm/a:b", "", "holds \":\""},
        {"/Palm/a*", "", "holds \"*\""},
        {"/Palm/a?", "", "holds \"?\""},
        {"/Palm/\"a\"", "", "holds \"\"\""},
        {"/Palm/<a>", "", "holds \"<\""},
        {"/Palm/a|b", "", "holds \"|\""},
        {"/Palm/a\tb", "", "control character"},
        {"/Palm/Launcher\n", "", "control character"},
    };
    for (const auto& c : cases) {
        const auto check = app::rules::CheckCardDirectory(c.typed);
        EXPECT_EQ(check.directory, c.directory) << c.typed;
        EXPECT_EQ(check.Usable(), *c.directory != '\0') << c.typed;
        if (*c.named) {
            EXPECT_NE(check.problem.find(c.named), std::string::npos) << c.typed << ": " << check.problem;
            if (*c.typed) {
                EXPECT_NE(check.problem.find(c.typed), std::string::npos) << check.problem;
            }
        }
    }
}

// What other programs store: an empty directory is the card's root, as "/" is.
TEST(DataModule, AStoredEmptyDirectoryIsTheCardsRoot) {
    EXPECT_EQ(app::rules::CheckSetupDirectory("").directory, "/");
    EXPECT_EQ(app::rules::CheckSetupDirectory("/").directory, "/");
    EXPECT_EQ(app::rules::CheckSetupDirectory("/Palm/").directory, "/Palm");
    EXPECT_FALSE(app::rules::CheckSetupDirectory("//").Usable());
    EXPECT_FALSE(app::rules::CheckSetupDirectory("Palm").Usable());
}

// A key written for a new entry is the one the walk reads back at its position.
TEST(PathRules, EveryNewQueueKeyReadsBackAsItsPosition) {
    for (const uint32_t n : {1u, 9u, 10u, 100u, 2147483647u}) {
        const std::string key = app::rules::QueueKey(n);
        EXPECT_EQ(app::rules::QueuePosition(key), n) << key;
    }
}

TEST(DataModule, TheCardFolderRules) {
    using app::rules::FolderSource;
    const struct {
        const char* name;
        const char* type;
    } types[] = {
        {"song.mp3", "mp3"}, {"Song.MP3", "MP3"}, {"a.tar.gz", "gz"}, {"README", ""}, {"end.", ""}, {".mp3", "mp3"},
    };
    for (const auto& t : types) EXPECT_EQ(app::rules::FileType(t.name), t.type) << t.name;

    const std::optional<std::string> none, empty(""), own("/Own"), byType("/Type");
    const struct {
        const std::optional<std::string>& own;
        const std::optional<std::string>& byType;
        const char* stored;
        FolderSource source;
    } choices[] = {
        {own, byType, "/Own", FolderSource::Own},          {none, byType, "/Type", FolderSource::ByType},
        {empty, byType, "/Type", FolderSource::ByType},    {none, none, "/Setup", FolderSource::Default},
        {empty, empty, "/Setup", FolderSource::Default},   {own, none, "/Own", FolderSource::Own},
    };
    for (const auto& c : choices) {
        const auto choice = app::rules::ChooseFolder(c.own, c.byType, "/Setup");
        EXPECT_EQ(choice.stored, c.stored);
        EXPECT_EQ(choice.source, c.source) << c.stored;
    }
    EXPECT_EQ(app::rules::DirectoryLevels("/AUDIO"), std::vector<std::string>{"/AUDIO"});
    EXPECT_EQ(app::rules::DirectoryLevels("/DCIM/Trip/Day 1"),
              (std::vector<std::string>{"/DCIM", "/DCIM/Trip", "/DCIM/Trip/Day 1"}));
    EXPECT_TRUE(app::rules::DirectoryLevels("/").empty());
}

// Which queued paths are the outbox's, and the name a file gets in Sent.
TEST(DataModule, TheOutboxRules) {
    const struct {
        const char* path;
        std::optional<std::string> inside;
    } paths[] = {
        {"C:\\Out\\a.pdb", "a.pdb"},
        {"c:\\OUT\\AUDIO\\b.mp3", "AUDIO\\b.mp3"},
        {"C:\\Out\\Sent\\a.pdb", std::nullopt},        // sent already
        {"C:\\Out\\sent\\AUDIO\\b.mp3", std::nullopt},
        {"C:\\Out\\Sentimental\\c.pdb", "Sentimental\\c.pdb"},
        {"C:\\Outbox2\\a.pdb", std::nullopt},            // another folder of a longer name
        {"C:\\Out", std::nullopt},
        {"C:\\Out\\", std::nullopt},
    };
    for (const auto& p : paths) EXPECT_EQ(app::outbox::Inside("C:\\Out", p.path), p.inside) << p.path;
    EXPECT_EQ(app::outbox::Inside("", "C:\\Out\\a.pdb"), std::nullopt);

    const struct {
        const char* name;
        unsigned n;
        const char* sent;
    } names[] = {
        {"Atlas.pdb", 1, "Atlas.pdb"},    {"Atlas.pdb", 2, "Atlas (2).pdb"}, {"a.tar.gz", 3, "a.tar (3).gz"},
        {"README", 2, "README (2)"},      {".profile", 2, ".profile (2)"},   {"end.", 2, "end (2)."},
    };
    for (const auto& n : names) EXPECT_EQ(app::outbox::SentName(n.name, n.n), n.sent) << n.name;

    EXPECT_EQ(app::outbox::CardPathProblem("/Palm/Launcher", std::string(240, 'n')), "");
    EXPECT_NE(app::outbox::CardPathProblem("/Palm/Launcher", std::string(241, 'n')), "");
}

class CardVolumeTest : public testing::Test {
protected:
    testing_card::VfsDoubles doubles_;
    app::TdmConduit dm_{nullptr};
};

TEST_F(CardVolumeTest, MediaTypeRules) {
    const struct {
        std::vector<testing_card::FakeVolume> volumes;
        uint32_t configured;
        app::TVolumeRefs expected;
    } cases[] = {
        {{{1, kMmcd}}, kSdig, {1}},                          // an SD slot takes a MultiMediaCard
        {{{1, kSdig}}, kMmcd, {}},                           // not the other way round
        {{{1, kSdig}, {2, kSdig}}, kSdig, {1}},              // the first listed wins
        {{{4, kMmcd}, {2, kSdig}}, kSdig, {4}},
        {{{1, kSdig}, {2, kMmcd}}, 0, {}},                   // 0 takes only a volume that says 0
        {{{1, kSdig}, {2, 0}}, 0, {2}},
        {{{1, kSdig, true}, {2, kSdig}}, kSdig, {2}},        // an unreadable volume is passed over
        {{}, kSdig, {}},
    };
    for (const auto& c : cases) {
        Card().volumes = c.volumes;
        EXPECT_EQ(dm_.FindCardVolume(c.configured), c.expected) << c.configured << " " << c.volumes.size();
    }
}

TEST_F(CardVolumeTest, OnlyReferencesTheLibraryFilledAreLookedAt) {
    Card().volumes = {{1, 0x11111111}, {2, kSdig}};
    Card().secondEnumerateFills = 1;
    EXPECT_TRUE(dm_.FindCardVolume(kSdig).empty());
    EXPECT_EQ(CallLog(), (Calls{"enumerate count", "enumerate 2", "info 1"}));
}

// --- The run ------------------------------------------------------------------

class RunTest : public testing::Test {
protected:
    RunTest() {
        dm_.Palm->SetProgressCallback(&RecordProgress);
        userFolder_ = folder_.Folder("User1");
        conduitFolder_ = folder_.Folder("User1\\Tolvane");
        settings_ = conduitFolder_ + "Tolvane.ini";
        Card().volumes = {{3, kSdig}};
    }
    void Settings(const std::string& text) { WriteText(settings_, text); }
    std::string Source(const std::string& name) {
        const std::string path = folder_.File(name);
        WriteText(path, "data of " + name);
        return path;
    }
    Calls Run(const std::string& pathName) {
        kiv::TkivSyncProperties props{};
        std::strncpy(props.PathName, pathName.c_str(), sizeof props.PathName - 1);
        CallLog().clear();
        dm_.Palm->ExecConduit(props);
        return CallLog();
    }
    Calls Run() { return Run(userFolder_); }
    std::vector<std::string> Queue() { return rtl::TIniFile(settings_).ReadSection("InstallToSlot"); }
    // The calls that copying one file makes.
    Calls Copy(const std::string& source, const std::string& dir = "/Palm/Launcher", long result = 0) {
        const std::string name = app::rules::CardName(source);
        return {"progress Installing " + name + " to " + dir, "yield 1", "dircreate 3 " + dir,
                "delete 3 " + dir + "/" + name, "put 3 " + dir + "/" + name + " " + source,
                result == 0 ? "log " + name + " installed to " + dir + " -1 0"
                            : "log Error installing " + name + ": " + std::to_string(result) + " -1 0"};
    }
    static Calls Join(std::initializer_list<Calls> parts) {
        Calls all;
        for (const Calls& part : parts) all.insert(all.end(), part.begin(), part.end());
        return all;
    }

    testing_card::VfsDoubles doubles_;
    EntryOverride<palm::hslog::eLogAddEntry> log_{&RecordLog};
    EntryOverride<palm::syncmgr::eSyncYieldCycles> yield_{&RecordYield};
    testsupport::TempFolder folder_;
    app::TdmConduit dm_{nullptr};
    std::string userFolder_, conduitFolder_, settings_;
};

const Calls kLookForVolume = {"enumerate count", "enumerate 1", "info 3"};

TEST_F(RunTest, WithoutASettingsFileOnlyAWarningNamingIt) {
    EXPECT_EQ(Run(), (Calls{"log " + settings_ + " not found. Did you configure the Conduit? 22 0"}));
    EXPECT_EQ(dm_.UserDirectory(), conduitFolder_);
}

TEST_F(RunTest, TheDirFolderLeadsToTheSameSettingsFile) {
    Settings("[Setup]\r\nConduit_Enabled=0\r\n");
    EXPECT_EQ(Run(userFolder_ + "Dir\\"), Calls{});
    EXPECT_EQ(dm_.UserDirectory(), conduitFolder_);
}

TEST_F(RunTest, SwitchedOffSaysNothingAndTouchesNothing) {
    Settings("[Setup]\r\nConduit_Enabled=0\r\n[InstallToSlot]\r\nDB1=" + Source("a.pdb") + "\r\n");
    EXPECT_EQ(Run(), Calls{});
    EXPECT_EQ(Queue().size(), 1u);
}

TEST_F(RunTest, AnythingButANumberCountsAsOn) {
    for (const char* enabled : {"yes", "2", "", "-1"}) {
        Settings(std::string("[Setup]\r\nConduit_Enabled=") + enabled + "\r\nMediaType=1\r\n");
        EXPECT_EQ(Run(), Join({kLookForVolume, {"log Tolvane found no VFS volume. Did you configure the Conduit? 22 0"}}))
            << enabled;
    }
}

TEST_F(RunTest, WithoutAMediaTypeNoVolumeMatches) {
    Settings("[Setup]\r\nConduit_Enabled=1\r\n");
    EXPECT_EQ(Run(), Join({kLookForVolume, {"log Tolvane found no VFS volume. Did you configure the Conduit? 22 0"}}));
}

TEST_F(RunTest, AHexadecimalMediaTypeAndTheDefaultDirectory) {
    const std::string a = Source("a.pdb");
    Settings("[Setup]\r\nMediaType=0x73646967\r\n[InstallToSlot]\r\nDB1=" + a + "\r\n");
    EXPECT_EQ(Run(), Join({kLookForVolume, Copy(a)}));
    EXPECT_EQ(dm_.VolumeRef(), 3);
    EXPECT_EQ(dm_.CardDirectory(), "/Palm/Launcher");
}

TEST_F(RunTest, AMatchingVolumeWithAnEmptyQueueSaysNothing) {
    Settings("[Setup]\r\nMediaType=1935960423\r\nDirectory=/Palm/eBooks\r\n");
    EXPECT_EQ(Run(), kLookForVolume);
    EXPECT_EQ(dm_.CardDirectory(), "/Palm/eBooks");
}

TEST_F(RunTest, AFailedCopyStaysQueuedAndIsRetriedAtTheNextRun) {
    const std::string a = Source("first.pdb"), b = Source("second.prc"), c = Source("third.pdb");
    const std::string setup = "[Setup]\r\nDirectory=/Palm/Launcher\r\nMediaType=1935960423\r\nConduit_Enabled=1\r\n";
    Settings(setup + "[InstallToSlot]\r\nDB1=" + a + "\r\nDB2=" + b + "\r\nDB3=" + c + "\r\n");
    Card().failingSources[b] = 0x2A0F;
    EXPECT_EQ(Run(), Join({kLookForVolume, Copy(a), Copy(b, "/Palm/Launcher", 0x2A0F), Copy(c)}));
    EXPECT_EQ(ReadText(settings_), setup + "[InstallToSlot]\r\nDB2=" + b + "\r\n");

    EXPECT_EQ(Run(), Join({kLookForVolume, Copy(b, "/Palm/Launcher", 0x2A0F)}));
    Card().failingSources.clear();
    EXPECT_EQ(Run(), Join({kLookForVolume, Copy(b)}));
    EXPECT_EQ(ReadText(settings_), setup + "[InstallToSlot]\r\n");
}

TEST_F(RunTest, OnlyDbKeysWithPlainNumbersAreQueuedInNumericOrder) {
    const std::string one = Source("one.pdb"), two = Source("two.pdb"), ten = Source("ten.pdb"), z = Source("z.pdb");
    Settings("[Setup]\r\nMediaType=1935960423\r\n[InstallToSlot]\r\nDB10=" + ten + "\r\ndb2=" + two + "\r\nDB01=" + z +
             "\r\nDB0=" + z + "\r\nDBx=" + z + "\r\nDB-1=" + z + "\r\nDB2147483648=" + z + "\r\nDb1=" + one +
             "\r\nDB 3=" + z + "\r\n");
    EXPECT_EQ(Run(), Join({kLookForVolume, Copy(one), Copy(two), Copy(ten)}));
    EXPECT_EQ(Queue(), (std::vector<std::string>{"DB01", "DB0", "DBx", "DB-1", "DB2147483648", "DB 3"}));
}

TEST_F(RunTest, UnsafeCardNamesAreRefusedAndStayQueued) {
    const std::string slash = folder_.Folder("books") + "a.pdb";
    WriteText(slash, "x");
    std::string forward = slash;
    std::replace(forward.begin(), forward.end(), '\\', '/');
    Settings("[Setup]\r\nMediaType=1935960423\r\n[InstallToSlot]\r\nDB1=C:\\books\\\r\nDB2=C:\\books\\..\r\n"
             "DB3=D:.\r\nDB4=\r\nDB5=" + forward + "\r\n");
    const auto refused = [](const std::string& name) {
        return Calls{"progress Installing " + name + " to /Palm/Launcher", "yield 1",
                     "log Error installing " + name + ": -1 -1 0"};
    };
    EXPECT_EQ(Run(), Join({kLookForVolume, refused(""), refused(".."), refused("."), refused(""), Copy(forward)}));
    EXPECT_EQ(Queue(), (std::vector<std::string>{"DB1", "DB2", "DB3", "DB4"}));
}

TEST_F(RunTest, AnUnreadableSourceLeavesTheCardsCopyAlone) {
    const std::string missing = folder_.File("missing.pdb");
    const std::string held = Source("held.pdb");
    const std::string writing = Source("writing.pdb");
    std::string folder = folder_.Folder("folder.pdb");
    folder.pop_back();  // named as a file would be
    // Another program's open without sharing makes the file unreadable;
    // one that shares reading (a program still writing it) does not.
    const rtl::UniqueFile holder(CreateFileA(held.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                             FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(holder);
    const rtl::UniqueFile writer(CreateFileA(writing.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(writer);
    const struct {
        std::string source;
        long result;
        bool deletes;
    } cases[] = {{missing, 0x2A03, false}, {held, 0x2A05, false}, {folder, 0x2A12, false}, {writing, 0, true}};
    for (const auto& c : cases) {
        const std::string name = app::rules::CardName(c.source);
        Settings("[Setup]\r\nMediaType=1935960423\r\n[InstallToSlot]\r\nDB1=" + c.source + "\r\n");
        if (c.result != 0) Card().failingSources[c.source] = c.result;
        Calls expected = Join({kLookForVolume, Copy(c.source, "/Palm/Launcher", c.result)});
        if (!c.deletes) expected.erase(std::find(expected.begin(), expected.end(), "delete 3 /Palm/Launcher/" + name));
        EXPECT_EQ(Run(), expected) << c.source;
        EXPECT_EQ(Queue().size(), c.result == 0 ? 0u : 1u) << c.source;
    }
}

// A settings file that cannot be read gives no card a chance to be blamed;
// one that cannot shrink warns only while it has a queue to lose.
TEST_F(RunTest, SettingsFilesThatCannotBeReadOrChangedGiveTheRightAdvice) {
    const std::string a = Source("a.pdb");
    const std::string queued = "[Setup]\r\nMediaType=1935960423\r\n[InstallToSlot]\r\nDB1=" + a + "\r\n";
    const std::string empty = "[Setup]\r\nMediaType=1935960423\r\n[InstallToSlot]\r\n";
    const Calls warning = {"log " + settings_ + " is read-only or in use: no queued file was installed. 22 0"};
    enum Hold { kReadOnly, kNoSharing, kSharesReading };
    const struct {
        const char* name;
        std::string text;
        Hold hold;
        Calls expected;
    } cases[] = {
        {"read-only, queued", queued, kReadOnly, Join({kLookForVolume, warning})},
        {"read-only, empty queue", empty, kReadOnly, kLookForVolume},
        {"held without sharing, queued", queued, kNoSharing, warning},
        {"held without sharing, empty queue", empty, kNoSharing, warning},
        {"written by another program, queued", queued, kSharesReading, Join({kLookForVolume, warning})},
        {"written by another program, empty queue", empty, kSharesReading, kLookForVolume},
    };
    for (const auto& c : cases) {
        Settings(c.text);
        rtl::UniqueFile holder;
        if (c.hold == kReadOnly) {
            ASSERT_TRUE(SetFileAttributesA(settings_.c_str(), FILE_ATTRIBUTE_READONLY));
        } else {
            holder.reset(CreateFileA(settings_.c_str(), GENERIC_READ | GENERIC_WRITE,
                                     c.hold == kNoSharing ? 0 : FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
            ASSERT_TRUE(holder) << c.name;
        }
        EXPECT_EQ(Run(), c.expected) << c.name;
        holder.reset();
        SetFileAttributesA(settings_.c_str(), FILE_ATTRIBUTE_NORMAL);
        EXPECT_EQ(ReadText(settings_), c.text) << c.name;
    }
}

// What the setup dialog refuses, another program may still have written:
// such a directory copies nothing and keeps the queue; a final "/" is
// dropped, and an empty directory is the card's root, as "/" is.
TEST_F(RunTest, StoredCardDirectoriesFollowTheCardDirectoryRule) {
    const std::string a = Source("a.pdb");
    const std::string queue = "[InstallToSlot]\r\nDB1=" + a + "\r\n";
    Settings("[Setup]\r\nMediaType=1935960423\r\nDirectory=/Palm/eBooks/\r\n" + queue);
    EXPECT_EQ(Run(), Join({kLookForVolume, Copy(a, "/Palm/eBooks")}));
    EXPECT_EQ(dm_.CardDirectory(), "/Palm/eBooks");
    // The card's root, which the card has already: nothing to make.
    for (const char* root : {"", "/"}) {
        Settings("[Setup]\r\nMediaType=1935960423\r\nDirectory=" + std::string(root) + "\r\n" + queue);
        EXPECT_EQ(Run(), Join({kLookForVolume,
                               {"progress Installing a.pdb to /", "yield 1", "delete 3 /a.pdb", "put 3 /a.pdb " + a,
                                "log a.pdb installed to / -1 0"}}))
            << root;
        EXPECT_EQ(dm_.CardDirectory(), "/");
    }
    for (const char* bad : {"Palm/eBooks", "/Palm/../..", "/Palm//eBooks", "/Palm\\eBooks", "//"}) {
        Settings("[Setup]\r\nMediaType=1935960423\r\nDirectory=" + std::string(bad) + "\r\n" + queue);
        EXPECT_EQ(Run(), Join({kLookForVolume,
                               {"progress Installing a.pdb to " + std::string(bad), "yield 1",
                                "log Error installing a.pdb: -1 -1 0"}}))
            << bad;
        EXPECT_EQ(Queue(), (std::vector<std::string>{"DB1"})) << bad;
    }
}

// Two files of one name for one card folder, queued by another program:
// both are copied, and the line of the second names the copy it replaced.
TEST_F(RunTest, ASecondCopyToOneCardPathSaysWhichCopyItReplaced) {
    const std::string work = folder_.Folder("Work") + "notes.pdb", home = folder_.Folder("Home") + "NOTES.pdb";
    WriteText(work, "work");
    WriteText(home, "home");
    const std::string other = Source("other.pdb");
    Settings("[Setup]\r\nMediaType=1935960423\r\n[InstallToSlot]\r\nDB1=" + work + "\r\nDB2=" + other +
             "\r\nDB3=" + home + "\r\nDB4=" + home + "\r\n");
    Calls logged;
    for (const std::string& call : Run())
        if (call.rfind("log ", 0) == 0) logged.push_back(call);
    EXPECT_EQ(logged, (Calls{"log notes.pdb installed to /Palm/Launcher -1 0",
                             "log other.pdb installed to /Palm/Launcher -1 0",
                             "log NOTES.pdb installed to /Palm/Launcher, replacing the copy of " + work + " -1 0",
                             "log NOTES.pdb installed to /Palm/Launcher -1 0"}));
    EXPECT_TRUE(Queue().empty());
}

TEST_F(RunTest, KeysOtherProgramsChangeDuringTheRunSurvive) {
    const std::string a = Source("a.pdb"), b = Source("b.pdb"), later = Source("later.pdb");
    Settings("[Setup]\r\nMediaType=1935960423\r\n[InstallToSlot]\r\nDB1=" + a + "\r\nDB2=" + b + "\r\n");
    Card().duringPut = [&](const std::string& source) {
        if (source == a) {
            // Another program adds a key, rewriting the whole file.
            std::string text = ReadText(settings_);
            WriteText(settings_, text + "DB9=" + later + "\r\n");
        } else if (source == b) {
            // ... and gives DB2 a new file while the old one is copied.
            rtl::TIniFile(settings_).WriteString("InstallToSlot", "DB2", later);
        }
    };
    Run();
    rtl::TIniFile ini(settings_);
    EXPECT_EQ(ini.ReadSection("InstallToSlot"), (std::vector<std::string>{"DB2", "DB9"}));
    EXPECT_EQ(ini.ReadString("InstallToSlot", "DB2", ""), later);
}

}  // namespace

// The queue in a settings file as the tool changes and previews it, on a
// folder of its own: no Palm Desktop involved.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <set>
#include <thread>
#include <filesystem>
#include <fstream>

#include "rtl/AnsiText.h"
#include "rtl/IniFiles.h"
#include "rtl/WinHandles.h"
#include "tests/support/TestFiles.h"
#include "tools/queue/QueueBatch.h"
#include "tools/queue/QueueFile.h"
#include "tools/queue/SourcePath.h"
#include "tools/queue/Wildcards.h"

using namespace queuetool;
using testsupport::ReadText;
using testsupport::WriteText;
namespace fs = std::filesystem;

namespace {

class QueueFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(root / "user");
        settings = (root / "user" / "Tolvane" / "Tolvane.ini").string();
    }
    std::string Source(const std::string& name, const std::string& content = "data") {
        WriteText((root / name).string(), content);
        return (root / name).string();
    }

    testsupport::TempFolder folder_{"tolvane-queue-"};
    fs::path root{fs::path(folder_.Path()).parent_path()};  // without the final backslash
    std::string settings;
};

}  // namespace

TEST_F(QueueFileTest, TheFirstAddCreatesFolderAndSettingsWithTheUsersCard) {
    QueueFile queue(settings);
    const auto added = queue.Add(Source("a.pdb"), NewSettings{0x73646967});
    EXPECT_EQ(added.key, "DB1");
    EXPECT_TRUE(added.isNew);
    rtl::TIniFile ini(settings);
    EXPECT_EQ(ini.ReadInteger("Setup", "MediaType", 0), 0x73646967);
    EXPECT_EQ(ini.ReadString("Setup", "Directory", ""), "/Palm/Launcher");
    EXPECT_TRUE(ini.ReadBool("Setup", "Conduit_Enabled", false));
    EXPECT_EQ(ini.ReadString("InstallToSlot", "DB1", ""), (root / "a.pdb").string());
}

TEST_F(QueueFileTest, AddGoesAfterTheHighestPositionAndKeepsEverythingElse) {
    fs::create_directories(root / "user" / "Tolvane");
    WriteText(settings, "[Setup]\r\nDirectory=/Books\r\nMediaType=7\r\n[InstallToSlot]\r\ndb7=C:\\x\\seven.pdb\r\n"
                        "DB2=C:\\x\\two.pdb\r\nDB01=C:\\x\\odd.pdb\r\nNote=keep me\r\n");
    QueueFile queue(settings);
    EXPECT_EQ(queue.Add(Source("new.pdb"), {}).key, "DB8");
    EXPECT_EQ(queue.Add(Source("newer.pdb"), {}).key, "DB9");
    rtl::TIniFile ini(settings);
    EXPECT_EQ(ini.ReadString("Setup", "Directory", ""), "/Books");  // an existing setup is not touched
    EXPECT_EQ(ini.ReadInteger("Setup", "MediaType", 0), 7);
    EXPECT_EQ(ini.ReadString("InstallToSlot", "DB7", ""), "C:\\x\\seven.pdb");
    EXPECT_EQ(ini.ReadString("InstallToSlot", "DB2", ""), "C:\\x\\two.pdb");
    EXPECT_EQ(ini.ReadString("InstallToSlot", "DB01", ""), "C:\\x\\odd.pdb");
    EXPECT_EQ(ini.ReadString("InstallToSlot", "Note", ""), "keep me");
    const auto entries = queue.Entries();
    ASSERT_EQ(entries.size(), 4u);  // DB01 and Note are no queue positions
    EXPECT_EQ(entries[0].key, "DB2");
    EXPECT_EQ(entries[1].key, "db7");
    EXPECT_EQ(entries[3].key, "DB9");
}

TEST_F(QueueFileTest, AFileQueuedAlreadyIsNotQueuedTwice) {
    QueueFile queue(settings);
    const std::string source = Source("a.pdb");
    queue.Add(source, {});
    queue.Add(Source("b.pdb"), {});
    std::string upper = source;
    for (char& c : upper) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    const auto again = queue.Add(upper, {});
    EXPECT_EQ(again.key, "DB1");
    EXPECT_FALSE(again.isNew);
    EXPECT_EQ(queue.Entries().size(), 2u);
}

TEST_F(QueueFileTest, PreviewShowsCardPathsSizesAndWhatWillGoWrong) {
    fs::create_directories(root / "user" / "Tolvane");
    fs::create_directories(root / "folder.pdb");
    const std::string a = Source("a.pdb", "12345");
    const std::string other = (root / "folder.pdb").string();
    WriteText(settings, "[Setup]\r\nDirectory=/Palm/eBooks\r\n[InstallToSlot]\r\nDB1=" + a + "\r\nDB2=" +
                            (root / "gone.pdb").string() + "\r\nDB3=" + other + "\r\nDB4=C:\\elsewhere\\A.PDB\r\n" +
                            "DB5=C:\\trailing\\\r\n");
    const Preview preview = QueueFile(settings).MakePreview();
    EXPECT_EQ(preview.cardDirectory, "/Palm/eBooks");
    ASSERT_EQ(preview.entries.size(), 5u);
    const auto& e = preview.entries;
    EXPECT_EQ(e[0].cardPath, "/Palm/eBooks/a.pdb");
    EXPECT_EQ(e[0].size, std::optional<uint64_t>(5));
    ASSERT_EQ(e[0].warnings.size(), 1u);  // DB4 goes to the same card path in other letter case
    EXPECT_NE(e[0].warnings[0].find("DB4"), std::string::npos);
    ASSERT_EQ(e[1].warnings.size(), 1u);
    EXPECT_NE(e[1].warnings[0].find("missing"), std::string::npos);
    EXPECT_FALSE(e[1].size);
    ASSERT_EQ(e[2].warnings.size(), 1u);
    EXPECT_NE(e[2].warnings[0].find("folder"), std::string::npos);
    EXPECT_NE(e[3].warnings.back().find("DB1"), std::string::npos);
    EXPECT_EQ(e[4].cardPath, "/Palm/eBooks/");
    ASSERT_FALSE(e[4].warnings.empty());
    EXPECT_NE(e[4].warnings[0].find("no file name"), std::string::npos);
}

// A window shows a long queue before it looks at the files: each file
// checked later ends with the same size and warnings, in the same order, as
// a preview that looked at once.
TEST_F(QueueFileTest, APreviewWhoseFilesAreCheckedLaterEndsTheSame) {
    fs::create_directories(root / "user" / "Tolvane");
    const std::string a = Source("a.pdb", "12345");
    WriteText(settings, "[InstallToSlot]\r\nDB1=" + a + "\r\nDB2=" + (root / "gone.pdb").string() +
                            "\r\nDB3=C:\\x\\GONE.PDB\r\nDB4=C:\\trailing\\\r\n");
    const Preview now = QueueFile(settings).MakePreview();
    Preview later = QueueFile(settings).MakePreview(QueueFile::FileChecks::Later);
    ASSERT_EQ(later.entries.size(), now.entries.size());
    EXPECT_FALSE(later.entries[0].fileChecked);
    EXPECT_FALSE(later.entries[0].size);
    EXPECT_TRUE(later.entries[0].warnings.empty());
    EXPECT_EQ(later.entries[1].warnings.size(), 1u);  // the shared card path only, no file looked at yet
    for (size_t i = 0; i < later.entries.size(); ++i) {
        SCOPED_TRACE(now.entries[i].entry.key);
        CheckQueuedFile(later.entries[i]);
        CheckQueuedFile(later.entries[i]);  // a second check adds nothing
        EXPECT_TRUE(now.entries[i].fileChecked);
        EXPECT_TRUE(later.entries[i].fileChecked);
        EXPECT_EQ(later.entries[i].size, now.entries[i].size);
        EXPECT_EQ(later.entries[i].warnings, now.entries[i].warnings);
    }
    EXPECT_EQ(now.entries[1].warnings.size(), 2u);
    EXPECT_NE(now.entries[1].warnings[0].find("missing"), std::string::npos);
}

// What another program (a HotSync) reading the queue meanwhile sees of a
// batch: all of it or none, never a part; and the keys as one by one.
TEST_F(QueueFileTest, ABatchArrivesAndLeavesAllAtOnce) {
    QueueFile queue(settings);
    const std::string first = Source("first.pdb");
    ASSERT_EQ(queue.Add(first, {}).key, "DB1");
    std::vector<QueueFile::NewFile> files;
    for (int i = 0; i < 300; ++i) files.push_back({Source("book" + std::to_string(i) + ".pdb"), std::nullopt});
    files.push_back({first, std::nullopt});
    files.push_back({files[7].path, std::string("/Palm/Other")});
    files[5].cardDirectory = "/AUDIO";

    std::set<size_t> seen;
    std::atomic<bool> done{false};
    std::thread reader([&] {
        while (!done) seen.insert(rtl::TIniFile(settings).ReadSection("InstallToSlot").size());
    });
    std::vector<QueueFile::Added> added;
    std::vector<std::string> keys;
    std::vector<bool> removed;
    std::string failure;
    try {
        added = queue.AddAll(files, {});
        for (size_t i = 0; i < 300; i += 2) keys.push_back(added[i].key);
        keys.push_back("db1");
        keys.push_back("DB999");
        removed = queue.RemoveAll(keys);
    } catch (const std::exception& e) {
        failure = e.what();
    }
    done = true;
    reader.join();
    ASSERT_EQ(failure, "");

    ASSERT_EQ(added.size(), files.size());
    for (size_t i = 0; i < 300; ++i) {
        EXPECT_EQ(added[i].key, "DB" + std::to_string(i + 2));
        EXPECT_TRUE(added[i].isNew);
    }
    EXPECT_EQ(added[300].key, "DB1");
    EXPECT_FALSE(added[300].isNew);
    EXPECT_EQ(added[301].key, "DB9");  // queued earlier in the same batch
    EXPECT_FALSE(added[301].isNew);
    ASSERT_EQ(removed.size(), keys.size());
    EXPECT_EQ(std::count(removed.begin(), removed.end(), true), 151);
    EXPECT_FALSE(removed.back());
    for (const size_t count : seen) EXPECT_TRUE(count == 1 || count == 301 || count == 150) << count;

    rtl::TIniFile ini(settings);
    EXPECT_EQ(ini.ReadSection("InstallToSlot").size(), 150u);
    EXPECT_EQ(ini.ReadString("InstallToSlot", "DB3", ""), files[1].path);
    EXPECT_EQ(ini.ReadString("InstallToDirectory", "DB7", ""), "/AUDIO");
    // An entry queued already moves to the card folder it is given.
    EXPECT_EQ(ini.ReadString("InstallToDirectory", "DB9", ""), "/Palm/Other");
    EXPECT_EQ(added[301].folderWas, "/Palm/Launcher");
}

TEST_F(QueueFileTest, RemoveTakesOnlyTheKeyAndTidiesTheFile) {
    QueueFile queue(settings);
    queue.Add(Source("a.pdb"), {});
    queue.Add(Source("b.pdb"), {});
    EXPECT_TRUE(queue.Remove("db1"));
    EXPECT_FALSE(queue.Remove("DB1"));
    EXPECT_FALSE(queue.Remove("DB3"));
    const auto entries = queue.Entries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].key, "DB2");
    EXPECT_EQ(ReadText(settings).find("  "), std::string::npos) << ReadText(settings);
}

TEST_F(QueueFileTest, AReadOnlySettingsFileIsAnErrorNotASilentLoss) {
    QueueFile queue(settings);
    queue.Add(Source("a.pdb"), {});
    SetFileAttributesA(settings.c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_THROW(queue.Add(Source("b.pdb"), {}), rtl::Exception);
    EXPECT_THROW(queue.Remove("DB1"), rtl::Exception);
    SetFileAttributesA(settings.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(queue.Entries().size(), 1u);
}

// Files named as users name them, judged before anything is queued.
class SourcePathTest : public QueueFileTest {
protected:
    std::wstring Wide(const fs::path& path) const { return path.wstring(); }
    std::wstring Make(const std::wstring& name) {
        const fs::path file = root / name;
        std::ofstream(file, std::ios::binary) << "data";
        return file.wstring();
    }
};

TEST_F(SourcePathTest, EachBadNameIsRefusedWithItsOwnReason) {
    ASSERT_EQ(GetACP(), 1252u) << "the names below assume a Western ANSI code page";
    fs::create_directories(root / "folder");
    std::wstring deep = Wide(root);
    while (deep.size() < 300) deep += L"\\abcdefghij";
    const struct {
        std::wstring given;
        std::wstring reason;  // empty: accepted
    } cases[] = {
        {Make(L"Cr\u00e8me br\u00fbl\u00e9e.pdb"), L""},
        {Make(L"\u65e5\u672c\u8a9e.pdb"), L"has characters that the Palm Desktop cannot take"},
        {Make(L"\u041a\u043d\u0438\u0433\u0430.pdb"), L"has characters that the Palm Desktop cannot take"},
        {deep + L"\\book.pdb", L"is too long: "},
        {L"CON", L"is a device name"},
        {Wide(root / "nul.txt"), L"is a device name"},
        {L"lpt9.pdb", L"is a device name"},
        {L"com1 ", L"is a device name"},
        {Wide(root / "gone.pdb"), L"No such file: "},
        {Wide(root / "folder"), L"is a folder"},
        {L"", L"An empty name"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(fs::path(c.given).string());
        const SourcePath judged = JudgeSource(c.given);
        if (c.reason.empty()) {
            ASSERT_TRUE(judged.path.has_value()) << fs::path(judged.refusal).string();
            EXPECT_EQ(rtl::WideFromAnsi(*judged.path), c.given);
            EXPECT_TRUE(judged.refusal.empty());
        } else {
            EXPECT_FALSE(judged.path.has_value());
            EXPECT_NE(judged.refusal.find(c.reason), std::wstring::npos) << fs::path(judged.refusal).string();
        }
    }
    // The refusal names the file, so that the user knows which one to rename.
    const std::wstring cyrillic = Wide(root / L"\u041a\u043d\u0438\u0433\u0430.pdb");
    EXPECT_NE(JudgeSource(cyrillic).refusal.find(cyrillic), std::wstring::npos);
    EXPECT_NE(JudgeSource(cyrillic).refusal.find(L"Rename"), std::wstring::npos);
}

TEST_F(SourcePathTest, DeviceNamesAreTheReservedOnesOnly) {
    for (const wchar_t* name : {L"CON", L"con", L"Prn.pdb", L"AUX", L"NUL.tar.gz", L"COM1", L"com9", L"LPT1",
                                L"CONIN$", L"conout$", L"CON .txt", L"nul."})
        EXPECT_TRUE(IsDeviceName(name)) << fs::path(name).string();
    for (const wchar_t* name : {L"CONSOLE", L"console.pdb", L"COM0", L"COM10", L"LPT", L"xcon", L"NULL", L"a.con",
                                L"Con2.pdb", L""})
        EXPECT_FALSE(IsDeviceName(name)) << fs::path(name).string();
}

// A pattern matches the long name only, in any letter case, "*" any run
// and "?" one character.
TEST_F(SourcePathTest, WildcardPatternsMatchLongNamesWithoutRegardToCase) {
    using queuetool::MatchesPattern;
    const struct {
        const wchar_t* name;
        const wchar_t* pattern;
        bool matches;
    } cases[] = {
        {L"a.pdb", L"*.pdb", true},          {L"A.PDB", L"*.pdb", true},       {L"notes.pdbx", L"*.pdb", false},
        {L".pdb", L"*.pdb", true},           {L"a.pdb", L"?.pdb", true},       {L"ab.pdb", L"?.pdb", false},
        {L"a.b.pdb", L"*.*", true},          {L"abc", L"a*c", true},           {L"abcabd", L"a*d", true},
        {L"abcabc", L"a*d", false},          {L"\u00e9t\u00e9.pdb", L"\u00c9*", true}, {L"x", L"", false},
        {L"", L"*", true},                   {L"aXbXc", L"*X*X*", true},       {L"aXb", L"*X*X*", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MatchesPattern(c.name, c.pattern), c.matches)
            << fs::path(c.name).string() << " ~ " << fs::path(c.pattern).string();
}

// A short name, another spelling and another case of an accented letter are
// the queued file; only a different file is a new entry.
TEST_F(SourcePathTest, EverySpellingOfAQueuedFileIsThatFile) {
    const std::wstring book = Make(L"Cr\u00e8me br\u00fbl\u00e9e long name.pdb");
    wchar_t shortName[MAX_PATH] = {};
    ASSERT_NE(GetShortPathNameW(book.c_str(), shortName, MAX_PATH), 0u);
    ASSERT_NE(std::wstring(shortName), book) << "no short name to test with";
    QueueFile queue(settings);
    const auto path = JudgeSource(book).path;
    ASSERT_TRUE(path.has_value());
    ASSERT_EQ(queue.Add(*path, {}).key, "DB1");

    std::wstring upper = book;
    CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));  // "CRÈME BRÛLÉE": beyond A-Z
    const std::wstring dotted = Wide(root) + L"\\.\\sub\\..\\" + fs::path(book).filename().wstring();
    fs::create_directories(root / "sub");
    for (const std::wstring& spelling : {std::wstring(shortName), upper, dotted}) {
        SCOPED_TRACE(fs::path(spelling).string());
        const auto judged = JudgeSource(spelling);
        ASSERT_TRUE(judged.path.has_value());
        const auto again = queue.Add(*judged.path, {});
        EXPECT_FALSE(again.isNew);
        EXPECT_EQ(again.key, "DB1");
    }
    // An entry that another program wrote in its short form is found too.
    const std::wstring other = Make(L"another long name.pdb");
    wchar_t otherShort[MAX_PATH] = {};
    ASSERT_NE(GetShortPathNameW(other.c_str(), otherShort, MAX_PATH), 0u);
    rtl::TIniFile(settings).WriteString("InstallToSlot", "DB5", *rtl::AnsiFromWide(otherShort));
    EXPECT_EQ(queue.Add(*JudgeSource(other).path, {}).key, "DB5");
    EXPECT_EQ(queue.Add(Source("different.pdb"), {}).key, "DB6");
}

TEST_F(QueueFileTest, AHeldSettingsFileIsReportedAtOnceWithWhatToDo) {
    QueueFile queue(settings);
    queue.Add(Source("a.pdb"), {});
    EXPECT_NO_THROW(queue.CheckAccess(true));
    {
        // Another program that shares reading only: the queue can be read, not changed.
        const rtl::UniqueFile reader(CreateFileA(settings.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                                 OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(reader);
        EXPECT_NO_THROW(queue.CheckAccess(false));
        EXPECT_THROW(queue.CheckAccess(true), rtl::Exception);
    }
    const rtl::UniqueFile holder(CreateFileA(settings.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                             OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(holder);
    for (const bool change : {false, true}) {
        SCOPED_TRACE(change);
        try {
            queue.CheckAccess(change);
            ADD_FAILURE() << "a held file passed";
        } catch (const rtl::Exception& e) {
            EXPECT_NE(e.Message().find(settings), std::string::npos) << e.Message();
            EXPECT_NE(e.Message().find("held open by another program"), std::string::npos) << e.Message();
            EXPECT_NE(e.Message().find("Close that program"), std::string::npos) << e.Message();
        }
    }
    EXPECT_THROW(AddFiles(queue, DesktopUser{}, {rtl::WideFromAnsi(Source("b.pdb"))}), rtl::Exception);
}

TEST_F(QueueFileTest, ABatchQueuesEveryGoodFileAndRefusesEachBadOne) {
    DesktopUser user;
    user.name = "Alice";
    user.firstSlotMediaType = 0x73646967;
    QueueFile queue(settings);
    const std::wstring good = rtl::WideFromAnsi(Source("good.pdb")), also = rtl::WideFromAnsi(Source("also.prc"));
    const std::wstring missing = rtl::WideFromAnsi((root / "missing.pdb").string());
    const BatchOutcome outcome = AddFiles(queue, user, {good, missing, L"CON", also, good});
    ASSERT_EQ(outcome.files.size(), 5u);
    using Kind = FileOutcome::Kind;
    const Kind kinds[] = {Kind::kQueued, Kind::kRefused, Kind::kRefused, Kind::kQueued, Kind::kQueuedAlready};
    const char* keys[] = {"DB1", "", "", "DB2", "DB1"};
    for (size_t i = 0; i < outcome.files.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(outcome.files[i].kind, kinds[i]);
        EXPECT_EQ(outcome.files[i].key, keys[i]);
        EXPECT_FALSE(outcome.files[i].text.empty());
    }
    EXPECT_EQ(outcome.files[0].text, L"Queued " + good + L" as DB1 for Alice");
    EXPECT_NE(outcome.files[1].text.find(L"No such file"), std::wstring::npos);
    EXPECT_EQ(outcome.Count(Kind::kRefused), 2u);
    EXPECT_FALSE(outcome.failed);
    EXPECT_TRUE(outcome.warnings.empty());
    EXPECT_EQ(queue.Entries().size(), 2u);
}

TEST_F(QueueFileTest, ABatchWarnsWhenItsFilesCannotArriveAndStillQueuesThem) {
    DesktopUser user;
    user.name = "Bob";  // his handheld reported no card slot
    QueueFile queue(settings);
    BatchOutcome outcome = AddFiles(queue, user, {rtl::WideFromAnsi(Source("a.pdb"))});
    ASSERT_EQ(outcome.warnings.size(), 1u);
    EXPECT_NE(outcome.warnings[0].find(L"reported no card slot"), std::wstring::npos);
    user.firstSlotMediaType = 7;
    rtl::TIniFile(settings).WriteBool("Setup", "Conduit_Enabled", false);
    outcome = AddFiles(queue, user, {rtl::WideFromAnsi(Source("b.pdb"))});
    ASSERT_EQ(outcome.warnings.size(), 1u);
    EXPECT_NE(outcome.warnings[0].find(L"switched off for Bob"), std::wstring::npos);
    EXPECT_EQ(queue.Entries().size(), 2u);
    // Nothing queued: nothing to warn about.
    EXPECT_TRUE(AddFiles(queue, user, {L"NUL"}).warnings.empty());
}

// What the preview foresees that the HotSync would only find out by failing.
TEST_F(QueueFileTest, PreviewForeseesHeldSourcesBadFoldersAndNamesTooLongForACard) {
    fs::create_directories(root / "user" / "Tolvane");
    const std::string held = Source("held.pdb", "123");
    const std::string longName = "C:\\x\\" + std::string(240, 'n') + ".pdb";  // need not exist
    WriteText(settings, "[Setup]\r\nDirectory=/Palm/Launcher/\r\nMediaType=7\r\n[InstallToSlot]\r\nDB1=" + held +
                            "\r\nDB2=" + longName + "\r\n");
    const rtl::UniqueFile holder(
        CreateFileA(held.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(holder);
    Preview preview = QueueFile(settings).MakePreview();
    EXPECT_EQ(preview.cardDirectory, "/Palm/Launcher");  // as the run takes it, without the final "/"
    EXPECT_TRUE(preview.cardDirectoryProblem.empty()) << preview.cardDirectoryProblem;
    ASSERT_EQ(preview.entries.size(), 2u);
    EXPECT_EQ(preview.entries[0].cardPath, "/Palm/Launcher/held.pdb");
    ASSERT_EQ(preview.entries[0].warnings.size(), 1u);
    EXPECT_NE(preview.entries[0].warnings[0].find("cannot be read now"), std::string::npos);
    const auto& warnings = preview.entries[1].warnings;
    EXPECT_TRUE(std::any_of(warnings.begin(), warnings.end(), [](const std::string& warning) {
        return warning.find("card path is 259 characters long, and a card takes at most 255") != std::string::npos;
    }));

    for (const char* folder : {"Palm/Launcher", "//", "/Palm/../x", "/Palm/a:b"}) {
        SCOPED_TRACE(folder);
        rtl::TIniFile(settings).WriteString("Setup", "Directory", folder);
        preview = QueueFile(settings).MakePreview();
        EXPECT_NE(preview.cardDirectoryProblem.find(folder), std::string::npos) << preview.cardDirectoryProblem;
    }
}

TEST_F(QueueFileTest, ACardPathThatIsAnotherEntrysFolderIsWarnedOnBothSides) {
    std::vector<PreviewEntry> entries(4);
    const char* paths[] = {"/Palm/Books", "/Palm/books/a.pdb", "/Palm/Books.pdb", "/PALM/BOOKS/deeper/b.pdb"};
    for (size_t i = 0; i < entries.size(); ++i) {
        entries[i].entry.key = "DB" + std::to_string(i + 1);
        entries[i].cardPath = paths[i];
    }
    WarnCardPathClashes(entries);
    ASSERT_EQ(entries[0].warnings.size(), 2u);
    EXPECT_NE(entries[0].warnings[0].find("card folder of DB"), std::string::npos);
    ASSERT_EQ(entries[1].warnings.size(), 1u);
    EXPECT_NE(entries[1].warnings[0].find("card path of DB1"), std::string::npos);
    EXPECT_TRUE(entries[2].warnings.empty());  // "Books.pdb" is beside "Books", not in it
    ASSERT_EQ(entries[3].warnings.size(), 1u);
    EXPECT_NE(entries[3].warnings[0].find("DB1"), std::string::npos);
}

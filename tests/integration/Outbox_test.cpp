// The desktop outbox through the shipped Tolvane.dll: files saved into the
// folder that [Outbox] names reach the card at the next HotSync, each into
// the card folder of its path inside the outbox, and move into its Sent
// folder; a file that cannot go yet stays and is named in the log.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>
#include <string>
#include <vector>

#include "rtl/WinHandles.h"
#include "tests/integration/SyncHarness.h"
#include "tests/support/Links.h"
#include "tests/support/TestFiles.h"

namespace {

using testsupport::HeldFile;
using testsupport::MakeSymlink;
using testsupport::PathExists;
using testsupport::ReadText;
using testsupport::SyncHarness;
using testsupport::WriteText;
using Lines = std::vector<std::string>;

// "Книги": a folder name that a Western Windows has no ANSI form for.
const std::wstring kCyrillic = L"\u041a\u043d\u0438\u0433\u0438";

class Outbox : public testing::Test {
protected:
    // Beside the Palm Desktop folder, not in it: no outbox may lie there.
    Outbox() : harness_("outbox"), outbox_(outside_.Path() + "Outbox") {
        CreateDirectoryA(outbox_.c_str(), nullptr);
    }
    ~Outbox() override {
        const std::wstring folder = Wide(outbox_) + L"\\" + kCyrillic;
        DeleteFileW((folder + L"\\Sea.pdb").c_str());
        RemoveDirectoryW(folder.c_str());
    }
    static std::wstring Wide(const std::string& ansi) { return std::wstring(ansi.begin(), ansi.end()); }

    // The settings every case starts from: an SD card, the outbox, and `more`.
    void Settings(const std::string& more = "") {
        harness_.Settings(SyncHarness::Setup() + "[Outbox]\r\nFolder=" + outbox_ + "\r\n" + more);
    }
    // A file in the outbox ("AUDIO\\Morning.mp3" makes its folder), with its
    // name in it, saved a minute ago: a file written just now waits.
    std::string Save(const std::string& relative) {
        for (size_t slash = relative.find('\\'); slash != std::string::npos; slash = relative.find('\\', slash + 1))
            CreateDirectoryA((outbox_ + "\\" + relative.substr(0, slash)).c_str(), nullptr);
        WriteText(outbox_ + "\\" + relative, "outbox file " + relative);
        Backdate(outbox_ + "\\" + relative);
        return outbox_ + "\\" + relative;
    }
    // As if the file had last been written a minute ago.
    // Through the ANSI call, which reads the name in the ANSI code page.
    static void Backdate(const std::string& path) {
        const rtl::UniqueFile file(CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                               nullptr, OPEN_EXISTING, 0, nullptr));
        FILETIME now{};
        GetSystemTimeAsFileTime(&now);
        ULARGE_INTEGER time{{now.dwLowDateTime, now.dwHighDateTime}};
        time.QuadPart -= 60ull * 10000000ull;
        const FILETIME minuteAgo{time.LowPart, time.HighPart};
        ASSERT_TRUE(file && SetFileTime(file.get(), nullptr, nullptr, &minuteAgo)) << path;
    }
    std::string Card(const std::string& cardPath) { return harness_.Desktop().CardFile(1, cardPath); }
    // Whether the file reached the card whole and now lies in Sent, not in the outbox.
    void ExpectSent(const std::string& relative, const std::string& cardPath, const std::string& sentAs) {
        SCOPED_TRACE(relative);
        EXPECT_EQ(ReadText(Card(cardPath)), "outbox file " + relative);
        EXPECT_EQ(ReadText(outbox_ + "\\Sent\\" + sentAs), "outbox file " + relative);
        EXPECT_FALSE(PathExists(outbox_ + "\\" + relative));
    }
    bool LogHas(const std::string& line) const {
        for (const std::string& entry : harness_.Log())
            if (entry == line) return true;
        return false;
    }
    // How many lines of the log start with `start`.
    size_t LogCount(const std::string& start) const {
        return std::count_if(harness_.Log().begin(), harness_.Log().end(),
                             [&](const std::string& entry) { return entry.rfind(start, 0) == 0; });
    }
    // Every file on the card, by its path there.
    std::vector<std::string> CardFiles() const {
        std::vector<std::string> files;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(harness_.CardFolder()))
            if (entry.is_regular_file()) files.push_back(entry.path().filename().string());
        return files;
    }

    SyncHarness harness_;
    testsupport::TempFolder outside_{"outbox"};
    const std::string outbox_;
};

TEST_F(Outbox, FilesGoToTheCardFolderOfTheirPathAndIntoSentAndTheOthersWait) {
    Settings();
    Save("Atlas.pdb");
    Save("AUDIO\\Morning.mp3");
    const std::string held = Save("Notes.pdb");
    const std::wstring cyrillic = Wide(outbox_) + L"\\" + kCyrillic;
    ASSERT_TRUE(CreateDirectoryW(cyrillic.c_str(), nullptr));
    {
        const HANDLE file = CreateFileW((cyrillic + L"\\Sea.pdb").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        CloseHandle(file);
    }
    // Not the outbox's: what was sent before, and a hidden file.
    Save("Sent\\Atlas.pdb");
    WriteText(outbox_ + "\\Sent\\Atlas.pdb", "sent last week");
    SetFileAttributesA(Save("desktop.ini").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    {
        HeldFile other(held);
        ASSERT_TRUE(other.Held());
        EXPECT_EQ(harness_.Sync(), 0);
    }
    ExpectSent("Atlas.pdb", "/Palm/Launcher/Atlas.pdb", "Atlas (2).pdb");
    ExpectSent("AUDIO\\Morning.mp3", "/AUDIO/Morning.mp3", "AUDIO\\Morning.mp3");
    EXPECT_EQ(ReadText(outbox_ + "\\Sent\\Atlas.pdb"), "sent last week");
    EXPECT_TRUE(LogHas("[-1 text] Atlas.pdb installed to /Palm/Launcher"));
    EXPECT_TRUE(LogHas("[-1 text] Morning.mp3 installed to /AUDIO"));
    EXPECT_TRUE(LogHas("[22 warning] Notes.pdb stays in the outbox: another program has it open and may still be "
                       "writing it; it goes at the first HotSync after that program has closed it."));
    EXPECT_TRUE(LogHas("[22 warning] ?????\\Sea.pdb stays in the outbox: its name has characters that the Palm "
                       "Desktop cannot take on this Windows (code page 1252); rename it, or its folder, with "
                       "letters of that code page."));
    EXPECT_EQ(harness_.Log().size(), 4u);
    EXPECT_TRUE(PathExists(held));
    EXPECT_FALSE(PathExists(Card("/Palm/Launcher/Notes.pdb")));
    EXPECT_FALSE(PathExists(Card("/Palm/Launcher/desktop.ini")));
    EXPECT_TRUE(harness_.Queue().empty());

    // Once the other program has closed it, the next HotSync takes it; the
    // Cyrillic name is named again, once.
    EXPECT_EQ(harness_.Sync(), 0);
    ExpectSent("Notes.pdb", "/Palm/Launcher/Notes.pdb", "Notes.pdb");
    EXPECT_EQ(harness_.Log().size(), 2u);
    EXPECT_TRUE(harness_.Queue().empty());
    EXPECT_TRUE(PathExists(outbox_ + "\\desktop.ini"));
}

TEST_F(Outbox, AFileThatCannotBeCopiedStaysInTheOutboxAndQueuedOnce) {
    Settings();
    const std::string book = Save("Palm\\Launcher\\Atlas.prc");
    harness_.Desktop().FailCopy("Atlas.prc", 10767);
    for (int run = 0; run < 2; ++run) {
        EXPECT_EQ(harness_.Sync(), 0);
        EXPECT_EQ(harness_.Log(), (Lines{"[-1 text] Error installing Atlas.prc: 10767"}));
        EXPECT_EQ(harness_.Queue(), (std::map<std::string, std::string>{{"DB1", book}}));
        EXPECT_TRUE(PathExists(book));
    }
    harness_.Desktop().ClearSwitches();
    EXPECT_EQ(harness_.Sync(), 0);
    ExpectSent("Palm\\Launcher\\Atlas.prc", "/Palm/Launcher/Atlas.prc", "Palm\\Launcher\\Atlas.prc");
    // Its own card folder left with its queue key.
    EXPECT_EQ(ReadText(harness_.SettingsFile()).find("InstallToDirectory]\r\nDB"), std::string::npos);
}

TEST_F(Outbox, WhatCannotGoIsNamedAndNothingElseChanges) {
    const std::string longFolder = "/" + std::string(200, 'f');
    const struct {
        const char* what;
        std::string more;  // settings after [Outbox]
        std::string file;
        std::string line;  // what the log says
    } cases[] = {
        {"a type folder that makes the card path too long", "[Folders]\r\npdb=" + longFolder + "\r\n",
         std::string(60, 'n') + ".pdb",
         "[22 warning] " + std::string(60, 'n') +
             ".pdb stays in the outbox: its card path would be 266 characters long, and a card takes at most 255."},
        {"a card path that a queued file takes", "[InstallToSlot]\r\nDB1=" + harness_.Source("a.pdb") + "\r\n",
         "a.pdb",
         "[22 warning] a.pdb stays in the outbox: its card path /Palm/Launcher/a.pdb is taken by a.pdb (DB1), which "
         "it would replace on the card; it waits until that file is on the card."},
        {"a queue at its last key", "[InstallToSlot]\r\nDB2147483647=" + harness_.Source("last.pdb") + "\r\n", "a.pdb",
         "[22 warning] a.pdb stays in the outbox: the queue has reached its last key."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Settings(c.more);
        const std::string file = Save(c.file);
        harness_.Desktop().FailEntry("VFSFilePut", 10767);
        const std::string before = ReadText(harness_.SettingsFile());
        EXPECT_EQ(harness_.Sync(), 0);
        EXPECT_EQ(harness_.Log().front(), c.line);
        EXPECT_EQ(ReadText(harness_.SettingsFile()), before);
        EXPECT_TRUE(PathExists(file));
        harness_.Desktop().ClearSwitches();
        DeleteFileA(file.c_str());
    }
}

TEST_F(Outbox, AMissingOutboxIsNamedAndTheQueueStillGoes) {
    const std::string book = harness_.Source("a.pdb");
    harness_.Settings(SyncHarness::Setup() + "[Outbox]\r\nFolder=" + outbox_ + "\\Gone\r\n[InstallToSlot]\r\nDB1=" +
                      book + "\r\n");
    EXPECT_EQ(harness_.Sync(), 0);
    EXPECT_EQ(harness_.Log(), (Lines{"[22 warning] The outbox " + outbox_ + "\\Gone was not found: no file was taken "
                                     "from it.",
                                     "[-1 text] a.pdb installed to /Palm/Launcher"}));
    // An empty value is no outbox at all.
    harness_.Settings(SyncHarness::Setup() + "[Outbox]\r\nFolder=\r\n[InstallToSlot]\r\nDB1=" + book + "\r\n");
    Save("b.pdb");
    EXPECT_EQ(harness_.Sync(), 0);
    EXPECT_EQ(harness_.Log(), (Lines{"[-1 text] a.pdb installed to /Palm/Launcher"}));
    EXPECT_TRUE(PathExists(outbox_ + "\\b.pdb"));
}

// A settings file written by hand or by another program may name any
// folder: one that is, holds or lies in a HotSync user's folder or the Palm
// Desktop folder, however it is spelt, is refused at every HotSync, named
// once, and nothing of it moves; the queue goes on.
TEST_F(Outbox, AnOutboxInAUsersOrThePalmDesktopFolderIsRefusedHoweverItIsSpelt) {
    const std::string bob = harness_.Desktop().AddUser(1002, "Bob", "Bob") + "\\Tolvane";
    CreateDirectoryA(bob.c_str(), nullptr);
    WriteText(bob + "\\Tolvane.ini", "[Setup]\r\nDirectory=/Bob\r\n");
    const std::string alice = harness_.UserFolder();  // with its final "\"
    const std::string tolvane = alice + "Tolvane";
    std::string slashed = tolvane;
    std::replace(slashed.begin(), slashed.end(), '\\', '/');
    const testsupport::MappedDrive drive('P', harness_.Desktop().Folder());
    ASSERT_TRUE(drive.Mapped());
    const std::string book = harness_.Source("queued.pdb");
    const struct {
        std::string folder;
        std::string why;
    } cases[] = {
        {tolvane, "it lies in the folder of the HotSync user Alice"},
        {slashed, "it lies in the folder of the HotSync user Alice"},
        {tolvane + "\\.", "it lies in the folder of the HotSync user Alice"},
        {alice + "..\\Alice\\Tolvane", "it lies in the folder of the HotSync user Alice"},
        {alice, "it is the folder of the HotSync user Alice"},
        {bob + "\\..", "it is the folder of the HotSync user Bob"},
        {drive.Root(), "it is the root of a drive"},
        {drive.Root() + "Alice", "it is the folder of the HotSync user Alice"},
        {drive.Root() + "Books", "it lies in the Palm Desktop folder"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.folder);
        const std::string settings = SyncHarness::Setup() + "[Outbox]\r\nFolder=" + c.folder +
                                     "\r\n[InstallToSlot]\r\nDB1=" + book + "\r\n";
        harness_.Settings(settings);
        const std::string bobs = ReadText(bob + "\\Tolvane.ini");
        EXPECT_EQ(harness_.Sync(), 0);
        ASSERT_EQ(LogCount("[22 warning] The outbox " + c.folder + " is refused, and no file was taken from it: " + c.why),
                  1u)
            << testing::PrintToString(harness_.Log());
        EXPECT_TRUE(LogHas("[-1 text] queued.pdb installed to /Palm/Launcher"));
        EXPECT_EQ(harness_.Log().size(), 2u);
        EXPECT_EQ(CardFiles(), (Lines{"queued.pdb"}));
        EXPECT_EQ(ReadText(bob + "\\Tolvane.ini"), bobs);
        EXPECT_TRUE(PathExists(harness_.SettingsFile()));
        EXPECT_TRUE(PathExists(harness_.Desktop().LibraryPath("CONDMGR.DLL")));
        EXPECT_TRUE(PathExists(harness_.Desktop().HostPath()));
        DeleteFileA(Card("/Palm/Launcher/queued.pdb").c_str());
    }
}

// Nothing is taken through a link: not a file or folder link, nor a file
// with a second name (a hard link), in the outbox (each named once, its
// target untouched), and nothing at all while Sent is a link, which would
// move the user's files wherever it leads.
TEST_F(Outbox, NothingIsTakenThroughALink) {
    const std::string other = outside_.Folder("Other");  // with its final "\"
    WriteText(other + "Tolvane.ini", "someone else's settings");
    const std::string shelf = outside_.Folder("Shelf");
    WriteText(shelf + "Sea.pdb", "not the outbox's");
    ASSERT_TRUE(MakeSymlink(outbox_ + "\\link.ini", other + "Tolvane.ini"));
    ASSERT_TRUE(MakeSymlink(outbox_ + "\\Shelf", shelf.substr(0, shelf.size() - 1)));
    WriteText(other + "Bob.ini", "Bob's settings");
    ASSERT_TRUE(CreateHardLinkA((outbox_ + "\\hard.ini").c_str(), (other + "Bob.ini").c_str(), nullptr));
    Save("Atlas.pdb");
    Settings();
    EXPECT_EQ(harness_.Sync(), 0);
    ExpectSent("Atlas.pdb", "/Palm/Launcher/Atlas.pdb", "Atlas.pdb");
    EXPECT_EQ(LogCount("[22 warning] link.ini stays in the outbox: it is a link"), 1u);
    EXPECT_EQ(LogCount("[22 warning] Shelf\\ stays in the outbox: it is a link"), 1u);
    EXPECT_EQ(LogCount("[22 warning] hard.ini stays in the outbox: it has another name as well (a hard link)"), 1u);
    EXPECT_EQ(harness_.Log().size(), 4u);
    EXPECT_EQ(CardFiles(), (Lines{"Atlas.pdb"}));
    EXPECT_EQ(ReadText(other + "Tolvane.ini"), "someone else's settings");
    EXPECT_EQ(ReadText(other + "Bob.ini"), "Bob's settings");
    EXPECT_EQ(ReadText(shelf + "Sea.pdb"), "not the outbox's");
    EXPECT_TRUE(harness_.Queue().empty());

    // Sent a link to another folder: the outbox is refused until it is a
    // plain folder again; the file stays, and nothing reaches the card.
    const std::string elsewhere = outside_.Folder("Elsewhere");
    ASSERT_TRUE(DeleteFileA((outbox_ + "\\Sent\\Atlas.pdb").c_str()));
    ASSERT_TRUE(RemoveDirectoryA((outbox_ + "\\Sent").c_str()));
    ASSERT_TRUE(MakeSymlink(outbox_ + "\\Sent", elsewhere.substr(0, elsewhere.size() - 1)));
    const std::string notes = Save("Notes.pdb");
    EXPECT_EQ(harness_.Sync(), 0);
    EXPECT_EQ(harness_.Log(), (Lines{"[22 warning] The outbox " + outbox_ + " is refused, and no file was taken from it: "
                                     "its Sent folder is a link (or leads elsewhere), so that sent files would move "
                                     "out of it; make Sent a plain folder inside the outbox."}));
    EXPECT_TRUE(PathExists(notes));
    EXPECT_FALSE(PathExists(elsewhere + "Notes.pdb"));
    EXPECT_EQ(CardFiles(), (Lines{"Atlas.pdb"}));
}

// A file that a program opens, appends to and closes again and again waits
// while it is written, and goes whole once nothing has written it for a while.
TEST_F(Outbox, AFileWrittenJustNowWaitsAndGoesWhole) {
    Settings();
    const std::string log = outbox_ + "\\Diary.txt";
    std::string expected;
    for (int line = 1; line <= 20; ++line) expected += "line " + std::to_string(line) + "\r\n";
    std::atomic<int> written{0};
    std::thread writer([&] {
        for (int line = 1; line <= 20; ++line) {
            // The HotSync's look at the file shares it for reading only (that is
            // how it tells a file being written), so an open at that instant
            // fails: the writer tries again, as programs do with virus scanners.
            for (;;) {
                std::ofstream out(log, std::ios::binary | std::ios::app);
                if (out << "line " << line << "\r\n") break;
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
            ++written;
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
        }
    });
    while (written < 5) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(harness_.Sync(), 0);
    writer.join();
    EXPECT_EQ(harness_.Log(), (Lines{"[22 warning] Diary.txt stays in the outbox: it was written less than 10 seconds "
                                     "ago and may still be growing; it goes at the first HotSync after nothing has "
                                     "written it for 10 seconds."}));
    EXPECT_TRUE(CardFiles().empty());
    EXPECT_TRUE(harness_.Queue().empty());
    // Ten seconds later, as far as the file's time says.
    Backdate(log);
    EXPECT_EQ(harness_.Sync(), 0);
    EXPECT_EQ(ReadText(Card("/Palm/Launcher/Diary.txt")), expected);
    EXPECT_EQ(CardFiles(), (Lines{"Diary.txt"}));
    EXPECT_EQ(ReadText(outbox_ + "\\Sent\\Diary.txt"), expected);
}

// Names that Windows keeps for devices or would change are never queued;
// each is named once, with why.
TEST_F(Outbox, NamesWindowsReservesStayAndAreNamedWithWhy) {
    const testsupport::RawFile files[] = {{outbox_, "nul.txt"}, {outbox_, "CON.pdb"}, {outbox_, "a:b.pdb"},
                                          {outbox_, "trail."}};
    for (const testsupport::RawFile& file : files) ASSERT_TRUE(file.Made());
    Settings();
    EXPECT_EQ(harness_.Sync(), 0);
    EXPECT_EQ(harness_.Log(),
              (Lines{"[22 warning] a:b.pdb stays in the outbox: its name holds \":\", which Windows reads as a stream "
                     "of another file; rename it.",
                     "[22 warning] CON.pdb stays in the outbox: its name is a device that Windows reserves in every "
                     "folder (CON, PRN, AUX, NUL, COM1 to COM9, LPT1 to LPT9, with any extension); rename it.",
                     "[22 warning] nul.txt stays in the outbox: its name is a device that Windows reserves in every "
                     "folder (CON, PRN, AUX, NUL, COM1 to COM9, LPT1 to LPT9, with any extension); rename it.",
                     "[22 warning] trail. stays in the outbox: its name ends in \".\", which Windows drops; rename it."}));
    EXPECT_TRUE(harness_.Queue().empty());
    EXPECT_TRUE(CardFiles().empty());
}

// On a Japanese Windows (code page 932) the second byte of U+8868 ("\x95\x5C")
// is the byte of "\": the files still go to the card under their own names,
// in the card folder of their path, and into Sent, once. Runs in a Japanese
// locale (tests/CMakeLists.txt).
TEST_F(Outbox, InCodePage932ANameWhoseSecondByteIs5CGoesToItsCardFolderOnce) {
    ASSERT_EQ(GetACP(), 932u) << "the test's locale did not give code page 932";
    const std::string hyo = "\x95\x5C";
    ASSERT_TRUE(CreateDirectoryA((outbox_ + "\\AUDIO").c_str(), nullptr));
    for (const std::string& relative : {hyo + ".pdb", "AUDIO\\" + hyo + ".mp3"}) {
        WriteText(outbox_ + "\\" + relative, "outbox file " + relative);
        Backdate(outbox_ + "\\" + relative);
    }
    Settings();
    EXPECT_EQ(harness_.Sync(), 0);
    ExpectSent(hyo + ".pdb", "/Palm/Launcher/" + hyo + ".pdb", hyo + ".pdb");
    ExpectSent("AUDIO\\" + hyo + ".mp3", "/AUDIO/" + hyo + ".mp3", "AUDIO\\" + hyo + ".mp3");
    EXPECT_EQ(harness_.Log(), (Lines{"[-1 text] " + hyo + ".mp3 installed to /AUDIO",
                                     "[-1 text] " + hyo + ".pdb installed to /Palm/Launcher"}));
    EXPECT_EQ(harness_.Sync(), 0);
    EXPECT_TRUE(harness_.Log().empty());
    EXPECT_EQ(CardFiles().size(), 2u);
    EXPECT_TRUE(harness_.Queue().empty());
}

}  // namespace

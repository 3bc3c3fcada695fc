// The desktop outbox through the shipped Tolvane.dll: files saved into the
// folder that [Outbox] names reach the card at the next HotSync, each into
// the card folder of its path inside the outbox, and move into its Sent
// folder; a file that cannot go yet stays and is named in the log.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "tests/integration/SyncHarness.h"
#include "tests/support/TestFiles.h"

namespace {

using testsupport::HeldFile;
using testsupport::PathExists;
using testsupport::ReadText;
using testsupport::SyncHarness;
using testsupport::WriteText;
using Lines = std::vector<std::string>;

// "Книги": a folder name that a Western Windows has no ANSI form for.
const std::wstring kCyrillic = L"\u041a\u043d\u0438\u0433\u0438";

class Outbox : public testing::Test {
protected:
    Outbox() : harness_("outbox"), outbox_(harness_.Desktop().Folder() + "\\Outbox") {
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
    // A file in the outbox ("AUDIO\\Morning.mp3" makes its folder), with its name in it.
    std::string Save(const std::string& relative) {
        for (size_t slash = relative.find('\\'); slash != std::string::npos; slash = relative.find('\\', slash + 1))
            CreateDirectoryA((outbox_ + "\\" + relative.substr(0, slash)).c_str(), nullptr);
        WriteText(outbox_ + "\\" + relative, "outbox file " + relative);
        return outbox_ + "\\" + relative;
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

    SyncHarness harness_;
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

}  // namespace

// tolvane-queue.exe and tolvane-register.exe as a user runs them: installed
// in a laid-out stand-in Palm Desktop folder, beside its libraries.
#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <aclapi.h>
#include <sddl.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <thread>

#include "desktop/DesktopLayout.h"
#include "rtl/AnsiText.h"
#include "rtl/IniFiles.h"
#include "rtl/WinHandles.h"
#include "tests/support/Links.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestPaths.h"
#include "tests/support/WindowDriver.h"
#include "tests/tools/AccessList.h"
#include "tests/tools/ToolRun.h"
#include "tools/queue/FolderAccess.h"

using desktop::DesktopLayout;
using tooltest::AccessList;
using tooltest::AccessListOf;
using tooltest::CurrentUserSid;
using tooltest::RunTool;
using tooltest::RunToolWide;
using tooltest::ToolRun;
namespace fs = std::filesystem;

namespace {

constexpr unsigned long kUsage = 1, kRefused = 2, kFailed = 3, kInUse = 4;

std::string Read(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void Write(const fs::path& file, const std::string& text) { std::ofstream(file, std::ios::binary) << text; }

class QueueTool : public ::testing::Test {
protected:
    QueueTool() : desktop_(DesktopLayout::TempFolder("queue")) {
        alice_ = desktop_.AddUser(1001, "Alice", "Alice");
        desktop_.AddSlot(1001, 1, desktop::FourCC("sdig"), "SD card");
        desktop_.AddUser(1002, "Bob", "BobsFolder", 0);
        card_ = desktop_.AddVolume(1, desktop::FourCC("sdig"));
        for (const char* tool : {"tolvane-queue.exe", "tolvane-register.exe", "Tolvane.dll"})
            fs::copy_file(testsupport::BinDir() + tool, desktop_.Folder() + "\\" + tool);
        tool_ = desktop_.Folder() + "\\tolvane-queue.exe";
        files_ = fs::path(desktop_.Folder()) / "Books";
        fs::create_directories(files_);
    }

    ToolRun Queue(std::vector<std::string> args) { return RunTool(tool_, std::move(args)); }
    std::string Book(const std::string& name, const std::string& content = "book") {
        Write(files_ / name, content);
        return (files_ / name).string();
    }
    std::string Settings() const { return alice_ + "\\Tolvane\\Tolvane.ini"; }
    std::string Registrar() const { return desktop_.Folder() + "\\tolvane-register.exe"; }
    std::string Conduit() const { return desktop_.Folder() + "\\Tolvane.dll"; }

    DesktopLayout desktop_;
    std::string alice_;
    std::string card_;
    std::string tool_;
    fs::path files_;
};

std::string Slashed(std::string path) {
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

}  // namespace

TEST_F(QueueTool, RefusesBadInputWithAClearMessageAndChangesNothing) {
    const std::string book = Book("a.pdb");
    ASSERT_EQ(Queue({"add", "Alice", book}).exitCode, 0u);
    const std::string before = Read(Settings());
    fs::create_directories(files_ / "folder");
    const std::string missing = (files_ / "missing.pdb").string();
    const struct {
        std::vector<std::string> args;
        unsigned long exitCode;
        std::string message;
    } cases[] = {
        {{"add", "Carol", Book("b.pdb")}, kRefused, "No HotSync user is named \"Carol\""},
        {{"add", "Alice", missing}, kRefused, "No such file: " + missing},
        {{"add", "Alice", (files_ / "folder").string()}, kRefused, "is a folder"},
        {{"add", "Alice", missing, (files_ / "folder").string()}, kRefused, "Nothing was queued."},
        {{"remove", "Alice", "DB9"}, kRefused, "No entry DB9"},
        {{"remove", "Alice", "DB1", "DB9"}, kRefused, "Nothing was removed."},
        {{"list", "Carol"}, kRefused, "The users are: Alice, Bob."},
        {{"add", "--to", "Music", "Alice", Book("b.pdb")}, kRefused, "\"Music\" does not start with \"/\""},
        {{"add", "--to", "/Palm/../x", "Alice", Book("b.pdb")}, kRefused, "Nothing was queued."},
        {{"folders", "Alice", "mp3=/AUDIO", "jpg=DCIM"}, kRefused, "No card folder was changed."},
        {{"folders", "Alice", "mp3=/AUDIO", "jpg=/a//b"}, kRefused, "empty folder name"},
        {{"folders", "Alice", ".mp3=/AUDIO"}, kRefused, "\".mp3\" is no file type"},
        {{"folders", "Alice", "=/AUDIO"}, kRefused, "A file type is missing"},
        {{"folders", "Alice", "mp3"}, kRefused, "has no \"=\""},
        {{"folders", "Carol", "mp3=/AUDIO"}, kRefused, "No HotSync user is named \"Carol\""},
        {{"outbox", "Alice", missing}, kRefused, "No such folder: " + missing + ". Add --create to make it."},
        {{"outbox", "Alice", book}, kRefused, book + " is a file, not a folder."},
        // The same folders however they are spelt, and every user's.
        {{"outbox", "Alice", alice_}, kRefused, "cannot be the outbox: it is the folder of the HotSync user Alice"},
        {{"outbox", "Alice", alice_ + "\\Tolvane"}, kRefused, "it lies in the folder of the HotSync user Alice"},
        {{"outbox", "Alice", Slashed(alice_ + "\\Tolvane\\.")}, kRefused, "it lies in the folder of the HotSync user"},
        {{"outbox", "Alice", alice_ + "\\..\\BobsFolder"}, kRefused, "it is the folder of the HotSync user Bob"},
        {{"outbox", "Alice", desktop_.Folder() + "\\."}, kRefused, "it is the Palm Desktop folder"},
        {{"outbox", "Alice", (files_ / "folder").string()}, kRefused, "it lies in the Palm Desktop folder"},
        {{"outbox", "Alice", "C:\\"}, kRefused, "it is the root of a drive"},
        {{"outbox", "Alice", "--create", alice_ + "\\Tolvane\\Out"}, kRefused,
         "it would lie in the folder of the HotSync user Alice"},
        {{"outbox"}, kUsage, "usage:"},
        {{"outbox", "Alice", "--off", missing}, kUsage, "usage:"},
        {{"outbox", "Alice", "--create"}, kUsage, "usage:"},
        {{"folders"}, kUsage, "usage:"},
        {{"add", "Alice", "--to"}, kUsage, "usage:"},
        {{"add", "Alice"}, kUsage, "usage:"},
        {{"remove", "Alice"}, kUsage, "usage:"},
        {{"frobnicate"}, kUsage, "Unknown command \"frobnicate\""},
        {{}, kUsage, "usage:"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(tooltest::CommandLine("tolvane-queue", c.args));
        const ToolRun run = Queue(c.args);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.output;
        EXPECT_TRUE(run.Says(c.message)) << run.output;
        EXPECT_EQ(Read(Settings()), before);
    }
    // A folder in a script the code page lacks is refused as such, not as
    // the "?" that its ANSI form would be.
    const std::wstring music = L"/\u041c\u0443\u0437\u044b\u043a\u0430";
    const std::vector<std::wstring> unspellable[] = {{L"folders", L"Alice", L"mp3=" + music},
                                                     {L"add", L"--to", music, L"Alice", rtl::WideFromAnsi(book)}};
    for (const auto& args : unspellable) {
        const ToolRun run = RunToolWide(tool_, args);
        EXPECT_EQ(run.exitCode, kRefused) << run.output;
        EXPECT_TRUE(run.Says("has characters that the Palm Desktop cannot take on this Windows")) << run.output;
        EXPECT_FALSE(run.Says("holds \"?\"")) << run.output;
        EXPECT_EQ(Read(Settings()), before);
    }
}

// --create makes an outbox that only its user (and SYSTEM and the
// Administrators) may use, whatever its parent allows, and a folder that a
// dialog just made is given the same list; a link is left alone. Setting a
// folder that everyone may write works, with a warning that says so. Wine
// keeps a folder's list only as Unix permission bits: there the other
// trustees read back as gone, and the protection cannot be read back.
TEST_F(QueueTool, ANewOutboxIsPrivateAndOneEveryoneMayWriteIsSetWithAWarning) {
    const testsupport::TempFolder outside("private");
    const std::set<std::wstring> mayUse{CurrentUserSid(), L"S-1-5-18", L"S-1-5-32-544"};
    const auto expectPrivate = [&](const fs::path& folder) {
        const AccessList list = AccessListOf(folder);
        EXPECT_TRUE(list.trustees.count(CurrentUserSid())) << folder;
        for (const std::wstring& trustee : list.trustees) {
            EXPECT_TRUE(mayUse.count(trustee)) << trustee;
        }
        if (list.trustees.count(L"S-1-5-32-544")) {
            EXPECT_TRUE(list.isProtected) << folder;
        }
    };
    const fs::path made = fs::path(outside.Path()) / "Mine";
    ToolRun run = Queue({"outbox", "Alice", "--create", made.string()});
    ASSERT_EQ(run.exitCode, 0u) << run.output;
    EXPECT_FALSE(run.Says("warning:")) << run.output;
    expectPrivate(made);

    const fs::path dialogs = fs::path(outside.Path()) / "New folder";
    fs::create_directories(dialogs);
    ASSERT_TRUE(queuetool::MakeFolderPrivate(dialogs.wstring()));
    expectPrivate(dialogs);
    const fs::path open = fs::path(outside.Path()) / "Open";
    const fs::path link = fs::path(outside.Path()) / "Link";
    fs::create_directories(open);
    ASSERT_TRUE(testsupport::MakeSymlink(link.string(), open.string()));
    EXPECT_FALSE(queuetool::MakeFolderPrivate(link.wstring()));
    EXPECT_TRUE(AccessListOf(open).trustees.count(L"S-1-1-0"));

    ASSERT_EQ(tooltest::LetEveryoneWrite(open), static_cast<DWORD>(ERROR_SUCCESS));
    run = Queue({"outbox", "Alice", open.string()});
    EXPECT_EQ(run.exitCode, 0u) << run.output;
    EXPECT_TRUE(run.Says("warning: Everyone may save files into " + open.string() + ", and every file saved there "
                         "goes to your handheld")) << run.output;
    EXPECT_EQ(rtl::TIniFile(Settings()).ReadString("Outbox", "Folder", ""), open.string());
}

// An outbox set with the tool: list says what the next HotSync takes from
// it and what stays, the HotSync puts the files on the card and into Sent,
// and --off leaves the folder as it is.
TEST_F(QueueTool, AnOutboxIsSetListedSentAndSwitchedOff) {
    // Outside the Palm Desktop folder, where no outbox may lie.
    const testsupport::TempFolder outside("outbox");
    const fs::path outbox = fs::path(outside.Path()) / "Out" / "box";
    ToolRun run = Queue({"outbox", "Alice", "--create", outbox.string()});
    EXPECT_EQ(run.exitCode, 0u) << run.output;
    EXPECT_TRUE(run.Says("The outbox of Alice is now " + outbox.string())) << run.output;
    EXPECT_TRUE(fs::is_directory(outbox / "Sent"));
    EXPECT_EQ(rtl::TIniFile(Settings()).ReadString("Outbox", "Folder", ""), outbox.string());
    fs::create_directories(outbox / "AUDIO");
    Write(outbox / "Atlas.pdb", "atlas");
    Write(outbox / "AUDIO" / "Morning.mp3", "morning");
    // Saved a minute ago: a file written just now waits.
    for (const fs::path& file : {outbox / "Atlas.pdb", outbox / "AUDIO" / "Morning.mp3"})
        fs::last_write_time(file, fs::file_time_type::clock::now() - std::chrono::minutes(1));
    ASSERT_EQ(Queue({"add", "Alice", (outbox / "Atlas.pdb").string()}).exitCode, 0u);
    const std::wstring greek = L"\u0391\u03b8\u03ae\u03bd\u03b1.pdb";  // no ANSI form on a Western Windows
    rtl::UniqueFile(CreateFileW((outbox / greek).wstring().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    run = Queue({"list", "Alice"});
    EXPECT_TRUE(run.Says("DB1  /Palm/Launcher/Atlas.pdb  (5 bytes)  in /Palm/Launcher (default)  from " +
                         (outbox / "Atlas.pdb").string() + "  (outbox)")) << run.output;
    EXPECT_TRUE(run.Says("the next HotSync queues and copies 1 file, then moves each into its Sent folder")) << run.output;
    EXPECT_TRUE(run.Says("  outbox  /AUDIO/Morning.mp3  (7 bytes)  from " + (outbox / "AUDIO" / "Morning.mp3").string()))
        << run.output;
    EXPECT_TRUE(run.Says(L"Staying in the outbox for now:")) << run.output;
    // A pipe takes the console's code page, which lacks the name's letters.
    EXPECT_TRUE(run.Says(".pdb: its name has characters that the Palm Desktop cannot take")) << run.output;

    ASSERT_EQ(RunTool(Registrar(), {"install", Conduit()}).exitCode, 0u);
    desktop_.SetSyncUser(std::nullopt);
    ASSERT_EQ(RunTool(desktop_.HostPath(), {"sync", "Alice"}).exitCode, 0u);
    EXPECT_EQ(Read(desktop_.CardFile(1, "/Palm/Launcher/Atlas.pdb")), "atlas");
    EXPECT_EQ(Read(desktop_.CardFile(1, "/AUDIO/Morning.mp3")), "morning");
    EXPECT_EQ(Read(outbox / "Sent" / "AUDIO" / "Morning.mp3"), "morning");
    EXPECT_EQ(Read(outbox / "Sent" / "Atlas.pdb"), "atlas");
    run = Queue({"outbox", "Alice"});
    EXPECT_TRUE(run.Says("The outbox of Alice is " + outbox.string() + ".")) << run.output;
    EXPECT_TRUE(run.Says("no new file for the next HotSync")) << run.output;

    run = Queue({"outbox", "Alice", "--off"});
    EXPECT_EQ(run.exitCode, 0u) << run.output;
    EXPECT_TRUE(run.Says("Alice has no outbox now; the files in " + outbox.string() + " stay where they are."))
        << run.output;
    EXPECT_FALSE(rtl::TIniFile(Settings()).ValueExists("Outbox", "Folder"));
    EXPECT_TRUE(fs::exists(outbox / greek));
    EXPECT_TRUE(Queue({"list", "Alice"}).Says("The queue is empty: the next HotSync installs nothing."));
}

// A batch is judged file by file: the good files are queued even though
// another one is refused, and the exit code says that one was.
TEST_F(QueueTool, ABadFileKeepsNoOtherOffTheQueue) {
    const std::string missing = (files_ / "missing.pdb").string();
    const std::string book = Book("c.pdb");
    const ToolRun run = Queue({"add", "Alice", book, missing});
    EXPECT_EQ(run.exitCode, kRefused) << run.output;
    EXPECT_TRUE(run.Says("Queued " + book + " as DB1 for Alice")) << run.output;
    EXPECT_TRUE(run.Says("No such file: " + missing)) << run.output;
    EXPECT_TRUE(run.Says("1 of 2 files were not queued; the others were.")) << run.output;
    EXPECT_FALSE(run.Says("Nothing was queued.")) << run.output;
    rtl::TIniFile ini(Settings());
    EXPECT_EQ(ini.ReadString("InstallToSlot", "DB1", ""), book);
    EXPECT_FALSE(ini.ValueExists("InstallToSlot", "DB2"));
}

TEST_F(QueueTool, WithoutAPalmDesktopItSaysSoAndFails) {
    const fs::path lonely = fs::path(desktop_.Folder()).parent_path() / (fs::path(desktop_.Folder()).filename().string() + "-alone");
    fs::create_directories(lonely);
    fs::copy_file(tool_, lonely / "tolvane-queue.exe");
    const auto host = DesktopLayout::RegisteredHost();
    DesktopLayout::RemoveRegisteredHost();
    const ToolRun run = RunTool((lonely / "tolvane-queue.exe").string(), {"list"});
    if (host) DesktopLayout::SetRegisteredHost(*host);
    fs::remove_all(lonely);
    EXPECT_EQ(run.exitCode, kFailed) << run.output;
    EXPECT_TRUE(run.Says("No Palm Desktop installation found")) << run.output;
}

TEST_F(QueueTool, ListPreviewsTheNextHotSyncForTheDefaultUser) {
    Book("a.pdb", "12345");
    ASSERT_EQ(Queue({"add", "-", Book("a.pdb", "12345"), Book("b.prc", "xy")}).exitCode, 0u);
    fs::remove(files_ / "b.prc");
    const ToolRun run = Queue({"list"});
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_TRUE(run.Says("User: Alice (the first of 2 HotSync users")) << run.output;
    EXPECT_TRUE(run.Says("DB1  /Palm/Launcher/a.pdb  (5 bytes)")) << run.output;
    EXPECT_TRUE(run.Says("DB2  /Palm/Launcher/b.prc  (-)")) << run.output;
    EXPECT_TRUE(run.Says("warning: The file is missing")) << run.output;
    EXPECT_TRUE(run.Says("2 queued, 5 bytes; 1 with warnings.")) << run.output;
    // Bob, named by his folder, has no card to install to.
    const ToolRun bob = Queue({"list", "bobsfolder"});
    EXPECT_TRUE(bob.Says("Queue of Bob in " + desktop_.Folder() + "\\BobsFolder\\Tolvane\\Tolvane.ini")) << bob.output;
    EXPECT_TRUE(bob.Says("not set up for Bob yet")) << bob.output;
}

// The folder the tool writes to is the one the conduit reads in a HotSync,
// and the registration helper registers over an earlier registration
// without touching the users' folders.
TEST_F(QueueTool, QueuedFilesArriveOnTheCardAtTheNextHotSync) {
    const std::string registrar = Registrar();
    const std::string conduit = Conduit();
    ASSERT_EQ(RunTool(registrar, {"install", conduit}).exitCode, 0u);
    ASSERT_EQ(Queue({"add", "Alice", Book("first.pdb", "one"), Book("second.prc", "two")}).exitCode, 0u);
    const ToolRun again = RunTool(registrar, {"install", conduit});
    EXPECT_EQ(again.exitCode, 0u) << again.output;
    EXPECT_TRUE(again.Says("Replaced the earlier registration")) << again.output;
    ASSERT_TRUE(desktop_.Conduit("tVan").has_value());
    EXPECT_EQ(desktop_.Conduit("tVan")->name, conduit);

    desktop_.SetSyncUser(std::nullopt);
    const ToolRun sync = RunTool(desktop_.HostPath(), {"sync", "Alice"});
    EXPECT_EQ(sync.exitCode, 0u) << sync.output;
    EXPECT_EQ(Read(desktop_.CardFile(1, "/Palm/Launcher/first.pdb")), "one");
    EXPECT_EQ(Read(desktop_.CardFile(1, "/Palm/Launcher/second.prc")), "two");
    EXPECT_TRUE(Queue({"list", "Alice"}).Says("The queue is empty")) << Read(Settings());

    EXPECT_EQ(RunTool(registrar, {"uninstall", conduit}).exitCode, 0u);
    EXPECT_FALSE(desktop_.Conduit("tVan").has_value());
    EXPECT_FALSE(fs::exists(alice_ + "\\Tolvane"));
}

// Four tools add at once while a HotSync deletes the entries it installed:
// every entry that was queued and not installed is still there, once each.
TEST_F(QueueTool, ConcurrentAddsAndAHotSyncLoseNoEntry) {
    std::vector<std::string> early;
    for (int i = 0; i < 6; ++i) early.push_back(Book("early" + std::to_string(i) + ".pdb"));
    std::vector<std::string> addEarly = {"add", "Alice"};
    addEarly.insert(addEarly.end(), early.begin(), early.end());
    ASSERT_EQ(Queue(addEarly).exitCode, 0u);

    std::vector<std::vector<std::string>> argsEach;
    std::set<std::string> late;
    for (int tool = 0; tool < 4; ++tool) {
        std::vector<std::string> args = {"add", "Alice"};
        for (int i = 0; i < 5; ++i) {
            args.push_back(Book("late" + std::to_string(tool) + "-" + std::to_string(i) + ".pdb"));
            late.insert(args.back());
        }
        argsEach.push_back(args);
    }
    std::thread hotSync([&] {
        rtl::TIniFile ini(Settings());
        for (int n = 1; n <= 3; ++n) {
            Sleep(20);
            ini.DeleteKeyIfValue("InstallToSlot", "DB" + std::to_string(n), early[n - 1]);
        }
        ini.UpdateFile();
    });
    const auto runs = tooltest::RunToolsTogether(tool_, argsEach);
    hotSync.join();
    for (const ToolRun& run : runs) EXPECT_EQ(run.exitCode, 0u) << run.output;

    rtl::TIniFile ini(Settings());
    std::multiset<std::string> queued;
    for (const std::string& key : ini.ReadSection("InstallToSlot")) queued.insert(ini.ReadString("InstallToSlot", key, ""));
    for (const std::string& path : late) EXPECT_EQ(queued.count(path), 1u) << path;
    for (size_t i = 3; i < early.size(); ++i) EXPECT_EQ(queued.count(early[i]), 1u) << early[i];
    // A deletion that falls between a tool's last read and its rename comes
    // back (the file is then copied once more); it never comes back twice.
    for (size_t i = 0; i < 3; ++i) EXPECT_LE(queued.count(early[i]), 1u) << early[i];
    EXPECT_LE(queued.size(), late.size() + early.size());
}

// The conduit shows a refused registration in a message box; the helper
// closes it, so that a silent install goes on, and reports its text.
TEST_F(QueueTool, ARefusedRegistrationIsReportedWithItsTextAndNeverWaits) {
    desktop_.FailEntry("CmSetCreatorTitle", -1008);
    const ToolRun run = RunTool(Registrar(), {"install", Conduit()});
    EXPECT_EQ(run.exitCode, kFailed) << run.output;
    EXPECT_TRUE(run.Says("DllRegisterServer failed: Palm error -1008: The specified conduit configuration entry value "
                         "could not be set.")) << run.output;
    EXPECT_TRUE(run.Says("The conduit said: Error -1008")) << run.output;
}

// The conduit shows a message box while it loads when a Palm Desktop library
// is missing, and a silent install would wait for its click: the helper
// refuses such a folder before the conduit is loaded there, and keeps the
// earlier registration. A folder that others may write into is named.
TEST_F(QueueTool, TheHelperRefusesAPalmDesktopThatLacksALibraryAndNamesOneOthersMayChange) {
    const std::string registrar = Registrar();
    const std::string folder = desktop_.Folder();
    const ToolRun complete = RunTool(registrar, {"desktop", folder});
    EXPECT_EQ(complete.exitCode, 0u) << complete.output;
    EXPECT_EQ(complete.output, "");
    ASSERT_EQ(RunTool(registrar, {"install", Conduit()}).exitCode, 0u);

    const std::string library = desktop_.LibraryPath("VFSAPI.dll");
    fs::rename(library, library + ".away");
    const struct {
        std::vector<std::string> args;
        std::string says;
    } missing[] = {
        {{"desktop", folder}, "The Palm Desktop folder " + folder + "\\ lacks VFSAPI.dll (the VFS library), which"},
        {{"install", Conduit()}, "lacks VFSAPI.dll (the VFS library), which Tolvane needs"},
        {{"uninstall", Conduit()}, "lacks VFSAPI.dll (the VFS library), which Tolvane needs"},
    };
    for (const auto& c : missing) {
        SCOPED_TRACE(c.args.front());
        const ToolRun run = RunTool(registrar, c.args);
        EXPECT_EQ(run.exitCode, 5u) << run.output;
        EXPECT_TRUE(run.Says(c.says)) << run.output;
        EXPECT_FALSE(run.Says("The conduit said")) << run.output;
    }
    // A file that is no library is found, and refused when it is loaded.
    Write(library, "MZ not a library");
    ToolRun run = RunTool(registrar, {"install", Conduit()});
    EXPECT_EQ(run.exitCode, 5u) << run.output;
    EXPECT_TRUE(run.Says("Cannot load the Palm Desktop's " + library)) << run.output;
    EXPECT_FALSE(run.Says("The conduit said")) << run.output;
    ASSERT_TRUE(desktop_.Conduit("tVan").has_value());
    EXPECT_EQ(desktop_.Conduit("tVan")->name, Conduit());
    fs::remove(library);
    fs::rename(library + ".away", library);

    ASSERT_EQ(tooltest::LetEveryoneWrite(rtl::WideFromAnsi(folder)), static_cast<DWORD>(ERROR_SUCCESS));
    run = RunTool(registrar, {"desktop", folder});
    EXPECT_EQ(run.exitCode, 6u) << run.output;
    EXPECT_TRUE(run.Says("Warning: others than the administrators may change the Palm Desktop folder " + folder +
                         "\\ or its libraries: Everyone.")) << run.output;
    EXPECT_TRUE(run.Says("with administrator rights")) << run.output;
}

// Before the installer replaces or removes anything it asks the helper: a
// library that a program holds stops every change and names what to close.
TEST_F(QueueTool, AHeldLibraryStopsEveryChangeAndSaysWhatToClose) {
    const std::string registrar = Registrar();
    const std::string conduit = Conduit();
    ASSERT_EQ(RunTool(registrar, {"install", conduit}).exitCode, 0u);
    ASSERT_EQ(Queue({"add", "Alice", Book("a.pdb")}).exitCode, 0u);
    const std::string before = Read(Settings());
    {
        const rtl::UniqueFile held(CreateFileA(conduit.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(held);
        const std::vector<std::vector<std::string>> commands = {
            {"check", tool_, conduit}, {"uninstall", conduit}, {"remove-entry", conduit}};
        for (const auto& args : commands) {
            SCOPED_TRACE(args.front());
            const ToolRun run = RunTool(registrar, args);
            EXPECT_EQ(run.exitCode, kInUse) << run.output;
            EXPECT_TRUE(run.Says(conduit + " is in use by the HotSync Manager")) << run.output;
            EXPECT_TRUE(run.Says("close the HotSync Manager and try again")) << run.output;
            EXPECT_FALSE(run.Says(tool_)) << run.output;
        }
    }
    EXPECT_TRUE(desktop_.Conduit("tVan").has_value());
    EXPECT_EQ(Read(Settings()), before);
    {
        // A running tool holds its own file: it is the one to close.
        const rtl::UniqueFile held(
            CreateFileA(tool_.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(held);
        const ToolRun run = RunTool(registrar, {"check", conduit, tool_});
        EXPECT_EQ(run.exitCode, kInUse) << run.output;
        EXPECT_TRUE(run.Says(tool_ + " is running: close it and try again.")) << run.output;
        EXPECT_FALSE(run.Says(conduit)) << run.output;
    }
    // Files that are free or not there at all hold nothing up.
    const ToolRun free = RunTool(registrar, {"check", conduit, desktop_.Folder() + "\\absent.exe"});
    EXPECT_EQ(free.exitCode, 0u) << free.output;
    EXPECT_EQ(free.output, "");
}

// The conduit deletes the users' folders before the Conduit Manager drops
// its entry; when the Conduit Manager refuses, the folders come back as
// they were and the uninstall can run again.
TEST_F(QueueTool, ARefusedUnregistrationRemovesNothing) {
    const std::string registrar = Registrar();
    const std::string conduit = Conduit();
    ASSERT_EQ(RunTool(registrar, {"install", conduit}).exitCode, 0u);
    ASSERT_EQ(Queue({"add", "Alice", Book("a.pdb")}).exitCode, 0u);
    ASSERT_EQ(Queue({"add", "Bob", Book("b.pdb")}).exitCode, 0u);
    const std::string bobSettings = desktop_.Folder() + "\\BobsFolder\\Tolvane\\Tolvane.ini";
    const std::string alice = Read(Settings()), bob = Read(bobSettings);
    desktop_.FailEntry("CmRemoveConduitByCreatorID", -1005);

    const ToolRun run = RunTool(registrar, {"uninstall", conduit});
    EXPECT_EQ(run.exitCode, kFailed) << run.output;
    EXPECT_TRUE(run.Says("DllUnregisterServer failed")) << run.output;
    EXPECT_FALSE(run.Says("Deleted")) << run.output;
    EXPECT_EQ(Read(Settings()), alice);
    EXPECT_EQ(Read(bobSettings), bob);
    EXPECT_FALSE(fs::exists(alice_ + "\\Tolvane.uninstalling"));
    EXPECT_TRUE(desktop_.Conduit("tVan").has_value());
}

// "Keep the queues": only the Conduit Manager entry goes, as before a
// re-install; a second run finds nothing to remove and says so.
TEST_F(QueueTool, RemovingTheEntryAloneKeepsEveryUsersFolder) {
    const std::string registrar = Registrar();
    const std::string conduit = Conduit();
    ASSERT_EQ(RunTool(registrar, {"install", conduit}).exitCode, 0u);
    ASSERT_EQ(Queue({"add", "Alice", Book("a.pdb")}).exitCode, 0u);
    const std::string before = Read(Settings());

    const ToolRun run = RunTool(registrar, {"remove-entry", conduit});
    EXPECT_EQ(run.exitCode, 0u) << run.output;
    EXPECT_TRUE(run.Says("Removed the conduit's Conduit Manager entry.")) << run.output;
    EXPECT_FALSE(desktop_.Conduit("tVan").has_value());
    EXPECT_EQ(Read(Settings()), before);
    const ToolRun again = RunTool(registrar, {"remove-entry", conduit});
    EXPECT_EQ(again.exitCode, 0u) << again.output;
    EXPECT_TRUE(again.Says("The conduit was not registered.")) << again.output;
    EXPECT_EQ(Read(Settings()), before);
}

// A registration that the Conduit Manager refuses half-way leaves no
// entry behind that names a library without its title.
TEST_F(QueueTool, ARefusedRegistrationLeavesNoPartialEntry) {
    desktop_.FailEntry("CmSetCreatorPriority", -1008);
    const ToolRun run = RunTool(Registrar(), {"install", Conduit()});
    EXPECT_EQ(run.exitCode, kFailed) << run.output;
    EXPECT_FALSE(desktop_.Conduit("tVan").has_value());
}

// Every file name a user may have, in one add: only the file that the Palm
// Desktop can take is queued, every other is refused by its own name and
// reason, and the HotSync installs what was queued.
TEST_F(QueueTool, OneAddJudgesEachFileAndTheHotSyncInstallsTheGoodOne) {
    ASSERT_EQ(GetACP(), 1252u) << "the names below assume a Western ANSI code page";
    const std::wstring accented = (files_ / L"Cr\u00e8me br\u00fbl\u00e9e.pdb").wstring();
    const std::wstring japanese = (files_ / L"\u65e5\u672c\u8a9e\u306e\u672c.pdb").wstring();
    const std::wstring cyrillic = (files_ / L"\u041a\u043d\u0438\u0433\u0430.pdb").wstring();
    for (const std::wstring& file : {accented, japanese, cyrillic}) std::ofstream(fs::path(file), std::ios::binary) << "book";
    std::wstring deep = files_.wstring();
    while (deep.size() < 290) deep += L"\\folder-of-a-long-path";
    const std::wstring tooLong = deep + L"\\book.pdb";
    ASSERT_GE(tooLong.size(), 300u);
    const std::string conduit = Conduit();
    ASSERT_EQ(RunTool(Registrar(), {"install", conduit}).exitCode, 0u);
    const std::wstring first = rtl::WideFromAnsi(Book("queued before.pdb"));
    ASSERT_EQ(Queue({"add", "Alice", Book("queued before.pdb")}).exitCode, 0u);
    wchar_t shortName[MAX_PATH] = {};
    ASSERT_NE(GetShortPathNameW(first.c_str(), shortName, MAX_PATH), 0u);
    const std::wstring firstShort = shortName;
    ASSERT_NE(fs::path(firstShort).filename(), fs::path(first).filename());

    const ToolRun run = RunToolWide(tool_, {L"add", L"Alice", accented, japanese, cyrillic,
                                                                   tooLong, L"CON", firstShort});
    EXPECT_EQ(run.exitCode, kRefused) << run.output;
    const std::wstring text = run.Text();
    const auto says = [&](const std::wstring& line) {
        EXPECT_NE(text.find(line), std::wstring::npos) << fs::path(line).string() << "\n" << run.output;
    };
    says(L"Queued " + accented + L" as DB2 for Alice");
    // Through a pipe the names come in the console's code page, which lacks
    // their letters; the model's own test reads the full sentences.
    const std::wstring noAnsiForm = L".pdb has characters that the Palm Desktop cannot take on this Windows";
    size_t refusedNames = 0;
    for (size_t at = text.find(noAnsiForm); at != std::wstring::npos; at = text.find(noAnsiForm, at + 1)) ++refusedNames;
    EXPECT_EQ(refusedNames, 2u) << run.output;
    says(L"is too long: " + std::to_wstring(tooLong.size()) + L" characters");
    says(L"\"CON\" is a device name");
    says(L"Already queued " + first + L" as DB1 for Alice");
    says(L"4 of 6 files were not queued; the others were.");
    EXPECT_EQ(text.find(L"No such file"), std::wstring::npos);

    desktop_.SetSyncUser(std::nullopt);
    ASSERT_EQ(RunTool(desktop_.HostPath(), {"sync", "Alice"}).exitCode, 0u);
    EXPECT_EQ(Read(desktop_.CardFile(1, "/Palm/Launcher/queued before.pdb")), "book");
    EXPECT_EQ(Read(desktop_.CardFile(1, "/Palm/Launcher/Cr\xe8me br\xfbl\xe9" "e.pdb")), "book");
    EXPECT_TRUE(Queue({"list", "Alice"}).Says("The queue is empty")) << Read(Settings());
}

// Type rules and a folder per add reach the settings file, the list says
// where each file goes and why, and the HotSync puts them there.
TEST_F(QueueTool, CardFoldersByTypeAndPerAdd) {
    ToolRun run = Queue({"folders", "Alice", "mp3=/AUDIO/", "JPG=/DCIM", "txt=/Notes"});
    EXPECT_EQ(run.exitCode, 0u) << run.output;
    ASSERT_EQ(Queue({"folders", "Alice", "txt="}).exitCode, 0u);
    run = Queue({"folders", "Alice"});
    EXPECT_TRUE(run.Says("  mp3=/AUDIO\n  JPG=/DCIM\n") || run.Says("  mp3=/AUDIO\r\n  JPG=/DCIM\r\n")) << run.output;
    EXPECT_FALSE(run.Says("txt")) << run.output;
    ASSERT_EQ(Queue({"add", "Alice", Book("song.mp3", "la"), Book("book.pdb", "pdb")}).exitCode, 0u);
    run = Queue({"add", "--to", "/Photos/Trip/", "Alice", Book("pic.jpg", "jpg")});
    EXPECT_EQ(run.exitCode, 0u) << run.output;
    run = Queue({"add", "--to", "/", "Alice", Book("root.pdb", "r")});
    EXPECT_EQ(run.exitCode, 0u) << run.output;
    run = Queue({"list", "Alice"});
    EXPECT_TRUE(run.Says("DB4  /root.pdb  (1 bytes)  in / (own)")) << run.output;
    EXPECT_TRUE(run.Says("DB1  /AUDIO/song.mp3  (2 bytes)  in /AUDIO (by type)")) << run.output;
    EXPECT_TRUE(run.Says("DB2  /Palm/Launcher/book.pdb  (3 bytes)  in /Palm/Launcher (default)")) << run.output;
    EXPECT_TRUE(run.Says("DB3  /Photos/Trip/pic.jpg  (3 bytes)  in /Photos/Trip (own)")) << run.output;
    {
        rtl::TIniFile ini(Settings());
        EXPECT_EQ(ini.ReadString("InstallToDirectory", "DB3", ""), "/Photos/Trip");
        EXPECT_FALSE(ini.ValueExists("InstallToDirectory", "DB1"));
    }
    const std::string conduit = desktop_.Folder() + "\\Tolvane.dll";
    ASSERT_EQ(RunTool(desktop_.Folder() + "\\tolvane-register.exe", {"install", conduit}).exitCode, 0u);
    desktop_.SetSyncUser(std::nullopt);
    ASSERT_EQ(RunTool(desktop_.HostPath(), {"sync", "Alice"}).exitCode, 0u);
    EXPECT_EQ(Read(desktop_.CardFile(1, "/AUDIO/song.mp3")), "la");
    EXPECT_EQ(Read(desktop_.CardFile(1, "/Palm/Launcher/book.pdb")), "pdb");
    EXPECT_EQ(Read(desktop_.CardFile(1, "/Photos/Trip/pic.jpg")), "jpg");
    EXPECT_EQ(Read(desktop_.CardFile(1, "/root.pdb")), "r");
    EXPECT_FALSE(rtl::TIniFile(Settings()).ValueExists("InstallToDirectory", "DB3"));

    // A folder entry that outlived its file never reaches the next file of
    // that number; a removed entry takes its folder entry along.
    rtl::TIniFile(Settings()).WriteString("InstallToDirectory", "DB1", "/Stale");
    ASSERT_EQ(Queue({"add", "Alice", Book("next.pdb")}).exitCode, 0u);
    EXPECT_TRUE(Queue({"list", "Alice"}).Says("DB1  /Palm/Launcher/next.pdb  (4 bytes)  in /Palm/Launcher (default)"));
    ASSERT_EQ(Queue({"add", "--to", "/Own", "Alice", Book("other.pdb")}).exitCode, 0u);
    ASSERT_EQ(Queue({"remove", "Alice", "DB2"}).exitCode, 0u);
    rtl::TIniFile ini(Settings());
    EXPECT_FALSE(ini.ValueExists("InstallToDirectory", "DB1"));
    EXPECT_FALSE(ini.ValueExists("InstallToDirectory", "DB2"));
}

// A settings file that another program holds is named, with what to do, by
// every command; and nothing is queued or removed behind its back.
TEST_F(QueueTool, EveryCommandReportsAHeldSettingsFile) {
    ASSERT_EQ(Queue({"add", "Alice", Book("a.pdb")}).exitCode, 0u);
    const std::string before = Read(Settings());
    const std::vector<std::string> commands[] = {
        {"add", "Alice", Book("b.pdb")}, {"list", "Alice"}, {"remove", "Alice", "DB1"}};
    rtl::UniqueFile holder(
        CreateFileA(Settings().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(holder);
    for (const auto& args : commands) {
        SCOPED_TRACE(args[0]);
        const ToolRun run = Queue(args);
        EXPECT_EQ(run.exitCode, kFailed) << run.output;
        EXPECT_TRUE(run.Says(Settings() + " is held open by another program")) << run.output;
        EXPECT_TRUE(run.Says("Close that program, then try again.")) << run.output;
    }
    holder.reset();
    EXPECT_EQ(Read(Settings()), before);
}

// Read as its first bytes, a file of 4 GiB once was rewritten as those.
TEST_F(QueueTool, EveryCommandRefusesASettingsFileTooLargeToRead) {
    ASSERT_EQ(Queue({"add", "Alice", Book("a.pdb"), Book("b.pdb")}).exitCode, 0u);
    const std::string head = Read(Settings());
    const uint64_t size = (4ull << 30) + 16;
    testsupport::WriteSparse(Settings(), head, size);
    const std::vector<std::string> commands[] = {{"add", "Alice", Book("c.pdb")},
                                                 {"list", "Alice"},
                                                 {"remove", "Alice", "DB1"},
                                                 {"folders", "Alice", "mp3=/AUDIO"}};
    for (const auto& args : commands) {
        SCOPED_TRACE(args[0]);
        const ToolRun run = Queue(args);
        EXPECT_EQ(run.exitCode, kFailed) << run.output;
        EXPECT_TRUE(run.Says(Settings() + " is too large to be a settings file")) << run.output;
        EXPECT_FALSE(run.Says("Queued")) << run.output;
    }
    EXPECT_EQ(testsupport::FileSize(Settings()), size);
    EXPECT_EQ(testsupport::ReadHead(Settings(), head.size()), head);
}

// A user's folder renamed away is named as missing, with where its name
// comes from, instead of "not set up yet" or "Cannot create the folder".
TEST_F(QueueTool, AMissingUserFolderIsNamedAsMissing) {
    fs::rename(alice_, alice_ + " moved");
    const std::string missing = "The folder of the HotSync user Alice, " + alice_ + "\\, is missing.";
    const std::vector<std::string> changes[] = {{"add", "Alice", Book("a.pdb")}, {"folders", "Alice", "mp3=/AUDIO"}};
    for (const auto& args : changes) {
        SCOPED_TRACE(args[0]);
        const ToolRun run = Queue(args);
        EXPECT_EQ(run.exitCode, kFailed) << run.output;
        EXPECT_TRUE(run.Says(missing)) << run.output;
        EXPECT_TRUE(run.Says("The Palm Desktop's user settings name it")) << run.output;
        EXPECT_FALSE(run.Says("Cannot create the folder")) << run.output;
    }
    const ToolRun list = Queue({"list", "Alice"});
    EXPECT_EQ(list.exitCode, 0u) << list.output;
    EXPECT_TRUE(list.Says(missing)) << list.output;
    EXPECT_FALSE(list.Says("not set up")) << list.output;
    EXPECT_FALSE(fs::exists(alice_));
}

// The console hands "*.pdb" over as typed: the tool expands it, files only,
// and names a pattern that matches nothing.
TEST_F(QueueTool, AddExpandsWildcardsItself) {
    const std::string b = Book("b.pdb"), a = Book("a.PDB");
    Book("c.prc");
    Book("notes.pdbx");
    fs::create_directories(files_ / "folder.pdb");
    const std::string none = (files_ / "*.mp3").string();
    const ToolRun run = Queue({"add", "Alice", (files_ / "*.pdb").string(), none});
    EXPECT_EQ(run.exitCode, kRefused) << run.output;
    EXPECT_TRUE(run.Says("Queued " + a + " as DB1 for Alice")) << run.output;
    EXPECT_TRUE(run.Says("Queued " + b + " as DB2 for Alice")) << run.output;
    EXPECT_TRUE(run.Says("No file matches " + none + ".")) << run.output;
    EXPECT_TRUE(run.Says("1 of 3 files were not queued; the others were.")) << run.output;
    rtl::TIniFile ini(Settings());
    EXPECT_EQ(ini.ReadSection("InstallToSlot"), (std::vector<std::string>{"DB1", "DB2"}));
    const ToolRun nothing = Queue({"add", "Alice", none});
    EXPECT_EQ(nothing.exitCode, kRefused) << nothing.output;
    EXPECT_TRUE(nothing.Says("Nothing was queued.")) << nothing.output;
}

// With --notify the outcome of a long batch fits the screen: its first
// lines, the count of those left out, and its last (the sum).
TEST_F(QueueTool, NotifyShowsAScreenfulAndCountsTheRest) {
    std::vector<std::string> args{"add", "--notify", "Alice"};
    for (int i = 0; i < 60; ++i) args.push_back(Book("book" + std::to_string(i) + ".pdb"));
    args.push_back((files_ / "gone.pdb").string());
    std::string shown;
    std::thread answer(
        [&] { shown = testsupport::AnswerMessageBox("Tolvane queue", "OK", testsupport::kWaitTimeout, 0); });
    const ToolRun run = Queue(args);
    answer.join();
    EXPECT_EQ(run.exitCode, kRefused) << run.output;
    const size_t lines = static_cast<size_t>(std::count(shown.begin(), shown.end(), '\n'));
    EXPECT_LE(lines, 30u) << shown;
    EXPECT_NE(shown.find("Queued " + args[3] + " as DB1"), std::string::npos) << shown;
    EXPECT_NE(shown.find("... 34 more lines"), std::string::npos) << shown;
    EXPECT_NE(shown.find("1 of 61 files were not queued"), std::string::npos) << shown;
    EXPECT_EQ(shown.find("book30.pdb"), std::string::npos) << shown;
    EXPECT_TRUE(run.Says("Queued " + args[33] + " as DB31")) << "the console keeps every line";
}

// Two files of one name for one card folder: the second is refused, with
// the first named and how to send both; sent elsewhere with --to, both
// arrive. add --to of a queued file moves it, unless that takes another's
// card path.
TEST_F(QueueTool, AFileWhoseCardPathIsTakenIsRefusedAndBothCanBeSent) {
    fs::create_directories(files_ / "Work");
    fs::create_directories(files_ / "Home");
    const std::string work = Book("Work\\notes.pdb", "w"), home = Book("Home\\Notes.PDB", "h");
    ASSERT_EQ(Queue({"add", "Alice", work}).exitCode, 0u);
    ToolRun run = Queue({"add", "Alice", home});
    EXPECT_EQ(run.exitCode, kRefused) << run.output;
    EXPECT_TRUE(run.Says("Not queued: " + home + ": in /Palm/Launcher its card path /Palm/Launcher/Notes.PDB is that "
                         "of DB1 (" + work + ")")) << run.output;
    EXPECT_TRUE(run.Says("To send both, give this one another card folder (add --to DIR")) << run.output;
    EXPECT_TRUE(run.Says("or rename one of them.")) << run.output;
    // By a type rule, and twice in one batch, the same.
    ASSERT_EQ(Queue({"folders", "Alice", "pdb=/Books"}).exitCode, 0u);
    const std::string other = Book("other.pdb", "o");
    fs::create_directories(files_ / "Old");
    const std::string old = Book("Old\\other.pdb", "old");
    run = Queue({"add", "Alice", other, old});
    EXPECT_EQ(run.exitCode, kRefused) << run.output;
    EXPECT_TRUE(run.Says("Queued " + other + " as DB2 for Alice")) << run.output;
    EXPECT_TRUE(run.Says("/Books/other.pdb is that of DB2 (" + other + ")")) << run.output;
    ASSERT_EQ(Queue({"remove", "Alice", "DB2"}).exitCode, 0u);

    run = Queue({"add", "--to", "/Home", "Alice", home});
    EXPECT_EQ(run.exitCode, 0u) << run.output;
    EXPECT_TRUE(run.Says("Queued " + home + " as DB2 for Alice")) << run.output;
    run = Queue({"add", "--to", "/Home/", "Alice", work});
    EXPECT_EQ(run.exitCode, kRefused) << run.output;
    EXPECT_TRUE(run.Says(work + " stays where it is, as DB1: in /Home its card path /Home/notes.pdb is that of DB2"))
        << run.output;
    run = Queue({"add", "--to", "/Work", "Alice", work});
    EXPECT_EQ(run.exitCode, 0u) << run.output;
    EXPECT_TRUE(run.Says("Already queued " + work + " as DB1 for Alice; its card folder is now /Work (it was /Books)"))
        << run.output;
    run = Queue({"list", "Alice"});
    EXPECT_TRUE(run.Says("DB1  /Work/notes.pdb  (1 bytes)  in /Work (own)")) << run.output;
    EXPECT_FALSE(run.Says("Same card path")) << run.output;

    ASSERT_EQ(RunTool(Registrar(), {"install", Conduit()}).exitCode, 0u);
    desktop_.SetSyncUser(std::nullopt);
    ASSERT_EQ(RunTool(desktop_.HostPath(), {"sync", "Alice"}).exitCode, 0u);
    EXPECT_EQ(Read(desktop_.CardFile(1, "/Work/notes.pdb")), "w");
    EXPECT_EQ(Read(desktop_.CardFile(1, "/Home/Notes.PDB")), "h");
}

// add warns about a file that another program holds, as list does: it is
// queued, and waits until it can be read.
TEST_F(QueueTool, AddWarnsAboutAFileAnotherProgramHolds) {
    const std::string held = Book("held.pdb"), free = Book("free.pdb");
    rtl::UniqueFile holder(
        CreateFileA(held.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(holder);
    const ToolRun run = Queue({"add", "Alice", held, free});
    EXPECT_EQ(run.exitCode, 0u) << run.output;
    EXPECT_TRUE(run.Says("Queued " + held + " as DB1 for Alice")) << run.output;
    EXPECT_TRUE(run.Says("warning: " + held + ": The file cannot be read now")) << run.output;
    EXPECT_FALSE(run.Says(free + ": The file cannot be read now")) << run.output;
}

// list foresees what the HotSync then meets: a card folder that no card can
// take installs nothing, and a source that another program holds stays queued.
TEST_F(QueueTool, ListWarnsAboutWhatTheHotSyncWillFailOn) {
    const std::string conduit = Conduit();
    ASSERT_EQ(RunTool(Registrar(), {"install", conduit}).exitCode, 0u);
    const std::string held = Book("held.pdb", "one"), free = Book("free.pdb", "two");
    ASSERT_EQ(Queue({"add", "Alice", held, free}).exitCode, 0u);
    desktop_.SetSyncUser(std::nullopt);

    rtl::TIniFile(Settings()).WriteString("Setup", "Directory", "Palm\\Launcher");
    ToolRun list = Queue({"list", "Alice"});
    EXPECT_TRUE(list.Says("warning: The card directory \"Palm\\Launcher\"")) << list.output;
    EXPECT_TRUE(list.Says("The HotSync will install nothing")) << list.output;
    EXPECT_FALSE(list.Says("copies to")) << list.output;
    ASSERT_EQ(RunTool(desktop_.HostPath(), {"sync", "Alice"}).exitCode, 0u);
    EXPECT_FALSE(fs::exists(desktop_.CardFile(1, "/Palm/Launcher/free.pdb")));
    EXPECT_EQ(Queue({"list", "Alice"}).exitCode, 0u);

    rtl::TIniFile(Settings()).WriteString("Setup", "Directory", "/Palm/Launcher");
    rtl::UniqueFile holder(
        CreateFileA(held.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(holder);
    list = Queue({"list", "Alice"});
    EXPECT_TRUE(list.Says("The next HotSync copies these files to the card (default folder /Palm/Launcher):"))
        << list.output;
    EXPECT_TRUE(list.Says("warning: The file cannot be read now")) << list.output;
    EXPECT_TRUE(list.Says("2 queued, 6 bytes; 1 with warnings.")) << list.output;
    ASSERT_EQ(RunTool(desktop_.HostPath(), {"sync", "Alice"}).exitCode, 0u);
    holder.reset();
    EXPECT_EQ(Read(desktop_.CardFile(1, "/Palm/Launcher/free.pdb")), "two");
    EXPECT_FALSE(fs::exists(desktop_.CardFile(1, "/Palm/Launcher/held.pdb")));
    const ToolRun after = Queue({"list", "Alice"});
    EXPECT_TRUE(after.Says("DB1  /Palm/Launcher/held.pdb")) << after.output;
    EXPECT_TRUE(after.Says("1 queued, 3 bytes.")) << after.output;
}

namespace {

// Everything that the check could change: every file of the desktop folder
// (its attributes, its time of last write and a digest of its bytes; the
// large by their size), Setup's two shortcuts, and the Palm Desktop's and
// Tolvane's registry keys with every value below them.
std::map<std::string, std::string> FilesOf(const fs::path& folder) {
    std::map<std::string, std::string> all;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        WIN32_FILE_ATTRIBUTE_DATA data{};
        GetFileAttributesExW(entry.path().wstring().c_str(), GetFileExInfoStandard, &data);
        std::string& facts = all[entry.path().string()];
        facts = std::to_string(data.dwFileAttributes) + " " + std::to_string(data.ftLastWriteTime.dwHighDateTime) +
                ":" + std::to_string(data.ftLastWriteTime.dwLowDateTime);
        if (entry.is_regular_file())
            facts += " " + (entry.file_size() > (1u << 20) ? std::to_string(entry.file_size())
                                                           : std::to_string(std::hash<std::string>()(Read(entry.path()))));
    }
    return all;
}

std::string RegistryOf(HKEY root, const std::wstring& path) {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) return "";
    const rtl::UniqueHKey key(opened);
    std::string all;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        BYTE value[4096];
        DWORD nameSize = 256, valueSize = sizeof value, type = 0;
        if (RegEnumValueW(key.get(), i, name, &nameSize, nullptr, &type, value, &valueSize) != ERROR_SUCCESS) break;
        all += rtl::LossyFromWide(path + L"\\" + name, CP_UTF8) + "=" + std::to_string(type) + ":" +
               std::string(reinterpret_cast<char*>(value), valueSize) + "\n";
    }
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD nameSize = 256;
        if (RegEnumKeyExW(key.get(), i, name, &nameSize, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        all += RegistryOf(root, path + L"\\" + name);
    }
    return all;
}

// Setup's Start menu and Send To entries, made as Setup makes them and
// taken away again.
class Shortcuts {
public:
    explicit Shortcuts(const std::wstring& target) {
        for (const auto& [folder, name] : kLinks) {
            wchar_t path[MAX_PATH] = {};
            SHGetFolderPathW(nullptr, folder, nullptr, SHGFP_TYPE_CURRENT, path);
            fs::create_directories(path);
            links_.push_back(std::wstring(path) + L"\\" + name);
            Make(links_.back(), target);
        }
    }
    ~Shortcuts() {
        for (const std::wstring& link : links_) DeleteFileW(link.c_str());
    }
    std::vector<std::wstring> Links() const { return links_; }

private:
    static constexpr std::pair<int, const wchar_t*> kLinks[] = {{CSIDL_COMMON_PROGRAMS, L"Tolvane Queue.lnk"},
                                                                {CSIDL_SENDTO, L"Tolvane card queue.lnk"}};
    static void Make(const std::wstring& link, const std::wstring& target) {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        IShellLinkW* shellLink = nullptr;
        IPersistFile* file = nullptr;
        if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                       reinterpret_cast<void**>(&shellLink)))) {
            shellLink->SetPath(target.c_str());
            if (SUCCEEDED(shellLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
                file->Save(link.c_str(), TRUE);
                file->Release();
            }
            shellLink->Release();
        }
        CoUninitialize();
    }
    std::vector<std::wstring> links_;
};

}  // namespace

// Each fault that the check knows, made alone on an installation where
// every point is ok: the report names exactly that one with what to do,
// its exit code says how bad it is, and the check changed no file and no
// registry value.
TEST_F(QueueTool, CheckNamesEachFaultWithWhatToDoAndChangesNothing) {
    fs::copy_file(testsupport::BinDir() + "tolvane-queue-window.exe", desktop_.Folder() + "\\tolvane-queue-window.exe");
    const Shortcuts shortcuts(rtl::WideFromAnsi(desktop_.Folder() + "\\tolvane-queue-window.exe"));
    ASSERT_EQ(RunTool(Registrar(), {"install", Conduit()}).exitCode, 0u);
    const std::string book = Book("atlas.pdb");
    ASSERT_EQ(Queue({"add", "Alice", book}).exitCode, 0u);
    desktop_.SetCallLog(false);  // the stand-ins' own record of the calls
    const fs::path elsewhere = fs::path(desktop_.Folder()) / "Elsewhere";
    fs::create_directories(elsewhere);
    // A copy with the Palm Desktop's libraries beside it, as the registration helper wants them.
    for (const auto& file : fs::directory_iterator(desktop_.Folder()))
        if (file.path().extension() == ".dll" || file.path().extension() == ".DLL")
            fs::copy_file(file.path(), elsewhere / file.path().filename());
    const std::string twin = (elsewhere / "atlas.pdb").string();
    Write(twin, "another atlas");
    const std::string aside = Settings() + ".aside";
    const std::string condmgr = desktop_.Folder() + "\\CONDMGR.DLL";
    auto setting = [&](const char* section, const char* key, const std::string& value) {
        return [=, this] { rtl::TIniFile(Settings()).WriteString(section, key, value); };
    };
    auto noKey = [&](const char* section, const char* key) {
        return [=, this] { rtl::TIniFile(Settings()).DeleteKey(section, key); };
    };
    auto renamed = [](std::string from, std::string to) { return [=] { fs::rename(from, to); }; };
    const std::string sdig = std::to_string(int32_t(desktop::FourCC("sdig")));
    const struct {
        const char* fault;
        std::function<void()> make, undo;
        unsigned long exitCode;
        std::string line, fix;  // the one line that is not ok, and what it says to do
    } cases[] = {
        {"none", [] {}, [] {}, 0, "", ""},
        {"not registered", [&] { RunTool(Registrar(), {"remove-entry", Conduit()}); },
         [&] { RunTool(Registrar(), {"install", Conduit()}); }, 2,
         "problem  Registration: Tolvane is not registered with the Conduit Manager",
         "Run Tolvane-setup.exe again, or: tolvane-register install \"" + Conduit() + "\""},
        {"another Tolvane.dll registered", [&] { RunTool(Registrar(), {"install", (elsewhere / "Tolvane.dll").string()}); },
         [&] { RunTool(Registrar(), {"install", Conduit()}); }, 2,
         "problem  Registered conduit: The Conduit Manager names " + (elsewhere / "Tolvane.dll").string() +
             ", not the Tolvane.dll beside this tool",
         "Register this one: tolvane-register install \"" + Conduit() + "\""},
        {"no Conduit Manager", renamed(condmgr, condmgr + ".away"), renamed(condmgr + ".away", condmgr), 2,
         "problem  Conduit Manager: " + condmgr + " is missing", "Install the Palm Desktop again"},
        {"read-only settings", [&] { SetFileAttributesA(Settings().c_str(), FILE_ATTRIBUTE_READONLY); },
         [&] { SetFileAttributesA(Settings().c_str(), FILE_ATTRIBUTE_NORMAL); }, 2,
         "problem  Alice: settings file: " + Settings() + " is read-only", "Clear the file's read-only attribute"},
        {"settings over 64 MiB",
         [&] {
             fs::rename(Settings(), aside);
             testsupport::WriteSparse(Settings(), "[Setup]\r\n", rtl::kLargestSettingsFile + 1);
         },
         [&] {
             fs::remove(Settings());
             fs::rename(aside, Settings());
         },
         2, "problem  Alice: settings file: " + Settings() + " is 67108865 bytes, too large",
         "Another program probably wrote it: move it out of the folder"},
        {"no card chosen", setting("Setup", "MediaType", "0"), setting("Setup", "MediaType", sdig), 2,
         "problem  Alice: card: No card is chosen", "Choose the card's slot in Tolvane's setup dialog"},
        {"a card the handheld never reported",
         setting("Setup", "MediaType", std::to_string(int32_t(desktop::FourCC("cfsh")))),
         setting("Setup", "MediaType", sdig), 2,
         "problem  Alice: card: The chosen card type cfsh is none that Alice's handheld reported (it reported SD card "
         "(sdig))",
         "Choose the card's slot in Tolvane's setup dialog"},
        {"a queued file gone", renamed(book, book + ".away"), renamed(book + ".away", book), 2,
         "problem  Alice: queue: DB1 (" + book + ") is missing", "Put it back, or: tolvane-queue remove Alice DB1"},
        {"two queued files with one card path", setting("InstallToSlot", "DB2", twin), noKey("InstallToSlot", "DB2"), 2,
         "problem  Alice: queue: DB1 (" + book + ") and DB2 (" + twin + ") both go to /Palm/Launcher/atlas.pdb",
         "Send one of them into another card folder"},
        {"an outbox that the rule refuses", setting("Outbox", "Folder", alice_), noKey("Outbox", "Folder"), 2,
         "problem  Alice: outbox: " + alice_ + " cannot be an outbox: ",
         "Choose another folder: tolvane-queue outbox Alice FOLDER"},
    };
    const std::string report = desktop::DesktopLayout::TempFolder("report") + ".txt";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fault);
        c.make();
        const auto files = FilesOf(desktop_.Folder());
        const std::string registry = RegistryOf(HKEY_CURRENT_USER, L"Software\\U.S. Robotics") +
                                     RegistryOf(HKEY_CURRENT_USER, L"Software\\Tolvane");
        std::string links;
        for (const std::wstring& link : shortcuts.Links()) links += Read(link);
        const bool everyUser = c.line.empty();
        const ToolRun run = everyUser ? Queue({"check", "--save", report}) : Queue({"check", "Alice"});
        EXPECT_EQ(run.exitCode, c.exitCode) << run.output;
        std::vector<std::string> faults;
        std::istringstream lines(run.output);
        for (std::string line; std::getline(lines, line);)
            if (line.starts_with("warning  ") || line.starts_with("problem  ")) faults.push_back(line);
        if (everyUser) {
            EXPECT_TRUE(faults.empty()) << run.output;
            EXPECT_TRUE(run.Says("ok       Bob: settings file: Tolvane is not set up for Bob")) << run.output;
            EXPECT_TRUE(run.Says(" points are ok.")) << run.output;
            EXPECT_EQ(Read(report).substr(0, 3), "\xEF\xBB\xBF");
            EXPECT_NE(Read(report).find("ok       Alice: queue: 1 queued (4 bytes)"), std::string::npos) << Read(report);
        } else {
            ASSERT_EQ(faults.size(), 1u) << run.output;
            EXPECT_TRUE(faults[0].starts_with(c.line)) << run.output;
            EXPECT_NE(faults[0].find(" What to do: " + c.fix), std::string::npos) << run.output;
        }
        EXPECT_EQ(FilesOf(desktop_.Folder()), files);
        EXPECT_EQ(RegistryOf(HKEY_CURRENT_USER, L"Software\\U.S. Robotics") +
                      RegistryOf(HKEY_CURRENT_USER, L"Software\\Tolvane"),
                  registry);
        std::string linksAfter;
        for (const std::wstring& link : shortcuts.Links()) linksAfter += Read(link);
        EXPECT_EQ(linksAfter, links);
        c.undo();
    }
    fs::remove(report);
}

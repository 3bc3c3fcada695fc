// The "Tolvane Queue" window driven as a person would: on a laid-out
// stand-in desktop, files dropped, entries removed, a HotSync run while it
// is open, and Explorer's Send To with two HotSync users.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cwctype>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include "desktop/DesktopLayout.h"
#include "rtl/IniFiles.h"
#include "rtl/WinHandles.h"
#include "tests/support/LayoutCheck.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestPaths.h"
#include "tests/support/WindowDriver.h"
#include "tests/tools/AccessList.h"
#include "tests/tools/ToolRun.h"
#include "tools/queue/QueueFile.h"
#include "app/QueueLock.h"
#include "tools/window/FilePicker.h"
#include "tools/window/QueueWindow.h"
#include "tools/window/Remembered.h"

using desktop::DesktopLayout;
namespace fs = std::filesystem;
namespace td = testsupport;

namespace {

constexpr const char* kCaption = "Tolvane Queue";
enum Column { kKey, kName, kSize, kFolder, kCardPath, kState, kSource };

std::string Read(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string Narrow(const std::wstring& text) {
    std::string narrow(text.size() * 4 + 1, '\0');
    narrow.resize(WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), narrow.data(),
                                      static_cast<int>(narrow.size()), nullptr, nullptr));
    return narrow;
}

HWND ListOf(HWND window) { return td::Children(window, WC_LISTVIEWA).at(0); }

int ItemCount(HWND list) { return static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)); }

std::string ItemText(HWND list, int item, Column column) {
    return Narrow(testsupport::ListText(list, item, column));
}

std::vector<std::string> Keys(HWND list) {
    std::vector<std::string> keys;
    for (int i = 0; i < ItemCount(list); ++i) keys.push_back(ItemText(list, i, kKey));
    return keys;
}

std::vector<std::string> SelectedKeys(HWND list) {
    std::vector<std::string> keys;
    for (int i = ListView_GetNextItem(list, -1, LVNI_SELECTED); i >= 0; i = ListView_GetNextItem(list, i, LVNI_SELECTED))
        keys.push_back(ItemText(list, i, kKey));
    return keys;
}

void SelectOnly(HWND list, int item) {
    ListView_SetItemState(list, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_SetItemState(list, item, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
}

// A key pressed with Ctrl held, as the window's thread sees it: the
// keyboard state is shared with that thread while the key goes there.
void PressWithControl(HWND control, UINT key) {
    const DWORD own = GetCurrentThreadId(), theirs = GetWindowThreadProcessId(control, nullptr);
    AttachThreadInput(own, theirs, TRUE);
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    keys[VK_CONTROL] = keys[VK_LCONTROL] = 0x80;
    SetKeyboardState(keys);
    td::PressKey(control, key);
    td::StillShownAfterPosted(GetAncestor(control, GA_ROOT));
    keys[VK_CONTROL] = keys[VK_LCONTROL] = 0;
    SetKeyboardState(keys);
    AttachThreadInput(own, theirs, FALSE);
}

// The window on a thread of its own, as its program runs it.
class OpenWindow {
public:
    explicit OpenWindow(queuewindow::WindowOptions options = {})
        : thread_([this, options] { exitCode_ = queuewindow::RunQueueWindow(options); }) {
        window_ = td::WaitForWindow(kCaption);
        // The queue is read in the background: shown once the status line says what it holds.
        td::WaitFor([&] { return !Status().empty(); });
    }
    ~OpenWindow() {
        if (IsWindow(window_)) td::Close(window_);
        if (thread_.joinable()) thread_.join();
    }
    HWND Window() const { return window_; }
    HWND List() const { return ListOf(window_); }
    HWND Button(const std::string& text) const { return td::Child(window_, "Button", text); }
    std::string Status() const { return td::WindowText(td::Children(window_, STATUSCLASSNAMEA).at(0)); }
    // Closes it as the close box does and waits for its thread.
    int CloseAndWait() {
        td::PressCloseBox(window_);
        thread_.join();
        return exitCode_;
    }

private:
    HWND window_ = nullptr;
    int exitCode_ = -1;
    std::thread thread_;
};

// Sends the window WM_NULL with a timeout of half a second, as often as
// asked. Each ping is answered or not; a busy machine may let one ping of an
// idle window miss, a window that waits on its thread misses them all.
class Pings {
public:
    explicit Pings(HWND window) : window_(window) {}
    void Ping() {
        DWORD_PTR answer = 0;
        const bool answered = SendMessageTimeoutW(window_, WM_NULL, 0, 0, SMTO_NORMAL, 500, &answer) != 0;
        missedInARow_ = answered ? 0 : missedInARow_ + 1;
        mostMissedInARow_ = std::max(mostMissedInARow_, missedInARow_);
        ++count_;
    }
    // Pings every 100 ms until `done` or the timeout.
    bool PingUntil(const std::function<bool()>& done, td::Millis timeout = td::kWaitTimeout) {
        return td::WaitFor([&] {
            Ping();
            Sleep(100);
            return done();
        }, timeout);
    }
    int MostMissedInARow() const { return mostMissedInARow_; }
    int Count() const { return count_; }

private:
    HWND window_;
    int missedInARow_ = 0, mostMissedInARow_ = 0, count_ = 0;
};

class QueueWindow : public ::testing::Test {
protected:
    QueueWindow() : desktop_(DesktopLayout::TempFolder("window")) {
        RegDeleteKeyW(HKEY_CURRENT_USER, queuewindow::kRememberedKey);
        alice_ = desktop_.AddUser(1001, "Alice", "Alice");
        desktop_.AddSlot(1001, 1, desktop::FourCC("sdig"), "SD card");
        bob_ = desktop_.AddUser(1002, "Bob", "BobsFolder");
        desktop_.AddSlot(1002, 1, desktop::FourCC("sdig"), "SD card");
        card_ = desktop_.AddVolume(1, desktop::FourCC("sdig"));
        for (const char* tool : {"tolvane-queue-window.exe", "tolvane-register.exe", "Tolvane.dll"})
            fs::copy_file(testsupport::BinDir() + tool, desktop_.Folder() + "\\" + tool);
        files_ = fs::path(desktop_.Folder()) / "Books";
        fs::create_directories(files_);
    }
    ~QueueWindow() override { RegDeleteKeyW(HKEY_CURRENT_USER, queuewindow::kRememberedKey); }

    fs::path Book(const std::wstring& name, const std::string& content = "book") {
        const fs::path file = files_ / name;
        std::ofstream(file, std::ios::binary) << content;
        return file;
    }
    std::string Settings(const std::string& user) const { return user + "\\Tolvane\\Tolvane.ini"; }
    queuetool::QueueFile Queue(const std::string& user) const { return queuetool::QueueFile(Settings(user)); }
    // Queued as the tools queue, for the card that the users' handhelds have.
    void Add(const std::string& user, const fs::path& file) const {
        Queue(user).Add(file.string(), queuetool::NewSettings{desktop::FourCC("sdig")});
    }

    DesktopLayout desktop_;
    std::string alice_, bob_, card_;
    fs::path files_;
};

}  // namespace

// Accented names are queued; a name the settings file cannot hold is refused
// by name, and the rest of the drop is queued all the same.
TEST_F(QueueWindow, DroppedFilesAreQueuedAndListedWithTheirCardPaths) {
    const fs::path first = Book(L"first.pdb", "0123456789");
    const fs::path accented = Book(L"Caf\u00e9 cr\u00e8me.prc");
    const fs::path cyrillic = Book(L"\u041a\u043d\u0438\u0433\u0430.pdb");
    OpenWindow window;
    const HWND list = window.List();
    EXPECT_EQ(ItemCount(list), 0);

    td::DropFiles(window.Window(), {first.wstring(), accented.wstring(), cyrillic.wstring()});
    const std::string refusal = td::AnswerMessageBox("Files not queued", "OK");
    EXPECT_NE(refusal.find("Queued 2 files for Alice; 1 refused"), std::string::npos) << refusal;
    EXPECT_NE(refusal.find("characters that the Palm Desktop cannot take"), std::string::npos) << refusal;

    ASSERT_EQ(Keys(list), (std::vector<std::string>{"DB1", "DB2"}));
    EXPECT_EQ(ItemText(list, 0, kName), "first.pdb");
    EXPECT_EQ(ItemText(list, 0, kSize), "10 bytes");
    EXPECT_EQ(ItemText(list, 0, kCardPath), "/Palm/Launcher/first.pdb");
    EXPECT_EQ(ItemText(list, 0, kState), "Ready");
    EXPECT_EQ(ItemText(list, 1, kCardPath), Narrow(L"/Palm/Launcher/Caf\u00e9 cr\u00e8me.prc"));
    EXPECT_EQ(SelectedKeys(list), (std::vector<std::string>{"DB1", "DB2"}));
    EXPECT_TRUE(td::WaitFor([&] { return window.Status().find("2 files queued, 14 bytes") != std::string::npos; }))
        << window.Status();

    const auto entries = Queue(alice_).Entries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].source, first.string());
    EXPECT_EQ(entries[1].source, Narrow(accented.wstring()));
    EXPECT_FALSE(fs::exists(Settings(bob_)));

    // The same files again: nothing is queued twice.
    td::DropFiles(window.Window(), {first.wstring()});
    ASSERT_TRUE(td::WaitFor([&] { return window.Status().find("1 already queued") != std::string::npos; }))
        << window.Status();
    EXPECT_EQ(Queue(alice_).Entries().size(), 2u);
}

// A drop of a thousand files while another program holds the queue: the
// window answers a message within half a second all the while, says on its
// status line what it is doing, and queues every file once the queue is
// free. Each ping is answered or not; a busy machine may let one ping of
// an idle window miss, a window that waits for the queue misses them all.
TEST_F(QueueWindow, ADropOfAThousandFilesKeepsTheWindowAnswering) {
    std::vector<std::wstring> books;
    for (int i = 0; i < 1000; ++i) books.push_back(Book(L"book" + std::to_wstring(i) + L".pdb").wstring());
    OpenWindow window;
    Pings pings(window.Window());
    std::string progress;
    {
        const app::QueueLock held(Settings(alice_));
        td::DropFiles(window.Window(), books);
        // Held until the window has said what it waits for, and for a while.
        for (int i = 0; i < 20 || (progress.empty() && i < 200); ++i) {
            pings.Ping();
            if (window.Status().find("Queuing 1000 files for Alice") != std::string::npos) progress = window.Status();
            Sleep(100);
        }
    }
    ASSERT_TRUE(td::WaitFor([&] {
        pings.Ping();
        return ItemCount(window.List()) == 1000;
    })) << window.Status();
    EXPECT_LE(pings.MostMissedInARow(), 1) << "of " << pings.Count() << " pings";
    EXPECT_NE(progress.find("all looked at, writing the queue... Waiting for the HotSync to finish..."),
              std::string::npos)
        << progress;
    // The list may show the files while the status line still says that it
    // looks at them.
    EXPECT_TRUE(td::WaitFor([&] { return window.Status().find("Queued 1000 files for Alice") != std::string::npos; }))
        << window.Status();
    EXPECT_EQ(Queue(alice_).Entries().size(), 1000u);
}

// A second file of one name for one card folder would replace the first
// on the card: the drop refuses it and names the first.
TEST_F(QueueWindow, ADroppedFileWhoseCardPathIsTakenIsRefusedNamingTheOther) {
    fs::create_directories(files_ / "Work");
    fs::create_directories(files_ / "Home");
    const fs::path work = Book(L"Work\\notes.pdb"), home = Book(L"Home\\notes.pdb");
    Add(alice_, work);
    OpenWindow window;
    td::DropFiles(window.Window(), {home.wstring()});
    const std::string message = td::AnswerMessageBox("Files not queued", "OK");
    EXPECT_NE(message.find("is that of DB1 (" + work.string() + ")"), std::string::npos) << message;
    EXPECT_NE(message.find("\"New files go to\""), std::string::npos) << message;
    EXPECT_EQ(Queue(alice_).Entries().size(), 1u);
    EXPECT_EQ(Keys(window.List()), std::vector<std::string>{"DB1"});
}

// All the window's static texts, the line about the user's install among them.
std::string StaticTexts(HWND window) {
    std::string texts;
    for (const HWND child : td::Children(window, "Static")) texts += td::WindowText(child) + "\n";
    return texts;
}

// The Palm Desktop moves a user's folder while the window shows it: the
// window finds the queue in the new folder and queues into it; a folder
// that is gone is named as missing, where the Palm Desktop's user settings
// name it, and nothing is created in its place.
TEST_F(QueueWindow, AUserFolderMovedMeanwhileIsLookedUpAgain) {
    Add(alice_, Book(L"first.pdb"));
    OpenWindow window;
    ASSERT_EQ(Keys(window.List()), std::vector<std::string>{"DB1"});
    const std::string moved = alice_ + " moved";
    fs::rename(alice_, moved);
    for (desktop::User& user : desktop_.Edit().users)
        if (user.id == 1001) user.folder = fs::path(moved).filename().string();
    desktop_.Save();
    td::DropFiles(window.Window(), {Book(L"second.pdb").wstring()});
    ASSERT_TRUE(td::WaitFor([&] { return Keys(window.List()) == std::vector<std::string>{"DB1", "DB2"}; }))
        << StaticTexts(window.Window());
    EXPECT_EQ(Queue(moved).Entries().size(), 2u);
    EXPECT_FALSE(fs::exists(alice_));
    EXPECT_EQ(ItemText(window.List(), 1, kSource), (files_ / "second.pdb").string());

    fs::rename(moved, alice_ + " gone");
    td::DropFiles(window.Window(), {Book(L"third.pdb").wstring()});
    const std::string message = td::AnswerMessageBox("Tolvane Queue error", "OK");
    EXPECT_NE(message.find("The folder of the HotSync user Alice, " + moved + "\\, is missing."), std::string::npos)
        << message;
    EXPECT_NE(message.find("The Palm Desktop's user settings name it"), std::string::npos) << message;
    EXPECT_TRUE(td::WaitFor([&] { return StaticTexts(window.Window()).find("is missing") != std::string::npos; }))
        << StaticTexts(window.Window());
    EXPECT_EQ(StaticTexts(window.Window()).find("not set up"), std::string::npos);
    EXPECT_TRUE(td::WaitFor([&] { return window.Status().find("The queue cannot be shown") != std::string::npos; }))
        << window.Status();
    EXPECT_EQ(ItemCount(window.List()), 0);
    EXPECT_FALSE(fs::exists(moved));
}

// A settings file of 4 GiB and more, with a valid queue at its start: the
// window says why it shows no queue, and a drop is refused, the file unchanged.
TEST_F(QueueWindow, ASettingsFileTooLargeToReadIsNamedAndADropIsRefused) {
    Add(alice_, Book(L"first.pdb"));
    const std::string head = Read(Settings(alice_));
    const uint64_t size = (4ull << 30) + 16;
    td::WriteSparse(Settings(alice_), head, size);
    OpenWindow window;
    EXPECT_NE(StaticTexts(window.Window()).find("is too large to be a settings file"), std::string::npos)
        << StaticTexts(window.Window());
    EXPECT_EQ(ItemCount(window.List()), 0);
    td::DropFiles(window.Window(), {Book(L"second.pdb").wstring()});
    const std::string message = td::AnswerMessageBox("Tolvane Queue error", "OK");
    EXPECT_NE(message.find(Settings(alice_) + " is too large to be a settings file"), std::string::npos) << message;
    EXPECT_EQ(td::FileSize(Settings(alice_)), size);
    EXPECT_EQ(td::ReadHead(Settings(alice_), head.size()), head);
}

TEST_F(QueueWindow, ADroppedFolderIsRefusedWithAMessageAndNothingChanges) {
    const fs::path book = Book(L"kept.pdb");
    Add(alice_, book);
    const std::string before = Read(Settings(alice_));
    const fs::path folder = files_ / "More books";
    fs::create_directories(folder);
    Book(L"More books\\inside.pdb");

    OpenWindow window;
    td::DropFiles(window.Window(), {folder.wstring()});
    const std::string message = td::AnswerMessageBox("Files not queued", "OK");
    EXPECT_NE(message.find("More books is a folder"), std::string::npos) << message;
    EXPECT_NE(message.find("Nothing was queued."), std::string::npos) << message;
    EXPECT_EQ(Read(Settings(alice_)), before);
    EXPECT_EQ(Keys(window.List()), std::vector<std::string>{"DB1"});
}

// The confirmation names what goes; "No" keeps everything, "Yes" removes
// only the chosen entry, the Delete key as the Remove button.
TEST_F(QueueWindow, RemovingAsksAndRemovesOnlyTheChosenEntry) {
    for (const wchar_t* name : {L"a.pdb", L"b.pdb", L"c.pdb"}) Add(alice_, Book(name));
    OpenWindow window;
    const HWND list = window.List();
    ASSERT_EQ(ItemCount(list), 3);
    EXPECT_FALSE(td::IsEnabled(window.Button("&Remove")));

    SelectOnly(list, 1);
    ASSERT_TRUE(td::WaitFor([&] { return td::IsEnabled(window.Button("&Remove")); }));
    SetFocus(list);
    td::PressKey(list, VK_DELETE);
    const std::string question = td::AnswerMessageBox("Remove from the queue", "No");
    EXPECT_NE(question.find("Remove the entry DB2 (b.pdb) from the queue of Alice?"), std::string::npos) << question;
    EXPECT_EQ(Queue(alice_).Entries().size(), 3u);
    // The keys reach the list again, not the window behind it.
    EXPECT_TRUE(td::WaitFor([&] { return td::FocusedWindow(window.Window()) == list; }))
        << td::ClassName(td::FocusedWindow(window.Window()));

    td::Click(window.Button("&Remove"));
    td::AnswerMessageBox("Remove from the queue", "Yes");
    ASSERT_TRUE(td::WaitFor([&] { return ItemCount(list) == 2; }));
    EXPECT_EQ(Keys(list), (std::vector<std::string>{"DB1", "DB3"}));
    std::vector<std::string> left;
    for (const auto& entry : Queue(alice_).Entries()) left.push_back(entry.key);
    EXPECT_EQ(left, (std::vector<std::string>{"DB1", "DB3"}));

    ListView_SetItemState(list, -1, LVIS_SELECTED, LVIS_SELECTED);
    td::Click(window.Button("&Remove"));
    const std::string both = td::AnswerMessageBox("Remove from the queue", "Yes");
    EXPECT_NE(both.find("Remove 2 entries"), std::string::npos) << both;
    ASSERT_TRUE(td::WaitFor([&] { return ItemCount(list) == 0; }));
    EXPECT_TRUE(Queue(alice_).Entries().empty());
}

// Installed entries leave the list within a second of the HotSync's
// change; the entry that stays queued keeps its selection and shows why.
TEST_F(QueueWindow, AHotSyncRunWhileTheWindowIsOpenMakesInstalledEntriesDisappear) {
    ASSERT_EQ(tooltest::RunTool(desktop_.Folder() + "\\tolvane-register.exe",
                                {"install", desktop_.Folder() + "\\Tolvane.dll"}).exitCode, 0u);
    Add(alice_, Book(L"one.pdb", "one"));
    Add(alice_, (files_ / "gone.pdb"));
    Add(alice_, Book(L"two.pdb", "two"));
    OpenWindow window;
    const HWND list = window.List();
    ASSERT_EQ(ItemCount(list), 3);
    EXPECT_NE(ItemText(list, 1, kState).find("The file is missing"), std::string::npos);
    EXPECT_TRUE(td::WaitFor([&] { return window.Status().find("1 needs attention") != std::string::npos; }))
        << window.Status();
    SelectOnly(list, 1);

    desktop_.SetSyncUser(std::nullopt);
    const auto sync = tooltest::RunTool(desktop_.HostPath(), {"sync", "Alice"});
    ASSERT_EQ(sync.exitCode, 0u) << sync.output;
    EXPECT_EQ(Read(desktop_.CardFile(1, "/Palm/Launcher/one.pdb")), "one");
    ASSERT_TRUE(td::WaitFor([&] { return ItemCount(list) == 1; }, td::Millis(3000)));
    EXPECT_EQ(Keys(list), std::vector<std::string>{"DB2"});
    EXPECT_EQ(SelectedKeys(list), std::vector<std::string>{"DB2"});

    // Another program's addition shows as well.
    Add(alice_, Book(L"three.pdb"));
    ASSERT_TRUE(td::WaitFor([&] { return ItemCount(list) == 2; }, td::Millis(3000)));
    EXPECT_EQ(SelectedKeys(list), std::vector<std::string>{"DB2"});
}

// The user chosen and the window's place are kept for the next start;
// a user named on the command line wins.
TEST_F(QueueWindow, RemembersTheLastUserAndThePlace) {
    Add(bob_, Book(L"bob.pdb"));
    RECT placed{};
    {
        OpenWindow window;
        const HWND combo = td::Children(window.Window(), "ComboBox").at(0);
        EXPECT_EQ(td::ComboItems(combo), (std::vector<std::string>{"Alice", "Bob"}));
        EXPECT_EQ(td::ComboSelection(combo), 0);
        td::SelectComboItem(combo, 1);
        ASSERT_TRUE(td::WaitFor([&] { return ItemCount(window.List()) == 1; }));
        MoveWindow(window.Window(), 40, 50, 640, 420, TRUE);
        GetWindowRect(window.Window(), &placed);
        EXPECT_EQ(window.CloseAndWait(), 0);
    }
    queuewindow::Remembered remembered = queuewindow::LoadRemembered();
    EXPECT_EQ(remembered.lastUser, L"Bob");
    ASSERT_TRUE(remembered.place.has_value());
    EXPECT_EQ(remembered.place->normal.right - remembered.place->normal.left, placed.right - placed.left);
    EXPECT_EQ(remembered.place->normal.bottom - remembered.place->normal.top, placed.bottom - placed.top);
    {
        OpenWindow window;
        EXPECT_EQ(td::ComboSelection(td::Children(window.Window(), "ComboBox").at(0)), 1);
        RECT reopened{};
        GetWindowRect(window.Window(), &reopened);
        EXPECT_EQ(reopened.left, placed.left);
        EXPECT_EQ(reopened.top, placed.top);
        EXPECT_EQ(reopened.right - reopened.left, placed.right - placed.left);
    }
    // Kept at half this screen's DPI, on a monitor unplugged since: the same
    // physical size, here twice the pixels, whole on the work area.
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    remembered.place->dpi = dpi / 2;
    OffsetRect(&remembered.place->normal, work.right + 400, 0);
    queuewindow::SaveRemembered(remembered);
    {
        OpenWindow window;
        RECT reopened{};
        GetWindowRect(window.Window(), &reopened);
        EXPECT_EQ(reopened.right - reopened.left, 2 * (placed.right - placed.left));
        EXPECT_EQ(reopened.bottom - reopened.top, 2 * (placed.bottom - placed.top));
        EXPECT_TRUE(reopened.left >= work.left && reopened.right <= work.right && reopened.top >= work.top &&
                    reopened.bottom <= work.bottom);
    }
    queuewindow::WindowOptions alice;
    alice.user = L"alice";
    OpenWindow window(alice);
    const HWND users = td::Children(window.Window(), "ComboBox").at(0);
    EXPECT_EQ(td::ComboSelection(users), 0);
    // A user added while the window is open shows when the list opens.
    desktop_.AddUser(1003, "Carol", "Carol");
    SendMessageW(users, CB_SHOWDROPDOWN, TRUE, 0);
    EXPECT_EQ(td::ComboItems(users), (std::vector<std::string>{"Alice", "Bob", "Carol"}));
    EXPECT_EQ(td::ComboSelection(users), 0);
    SendMessageW(users, CB_SHOWDROPDOWN, FALSE, 0);
}

// "Check..." shows the installation check's report, which says what to do
// (here the conduit was never registered) and which Copy puts on the
// clipboard as it is shown.
TEST_F(QueueWindow, CheckShowsTheReportAndCopiesIt) {
    OpenWindow window;
    td::Click(window.Button("Chec&k..."));
    const HWND report = td::WaitForWindow("Tolvane installation check");
    const std::string text = td::WindowText(td::Children(report, "Edit").at(0));
    EXPECT_NE(text.find("problem\tRegistration: Tolvane is not registered with the Conduit Manager"), std::string::npos)
        << text;
    EXPECT_NE(text.find("\tWhat to do: Run Tolvane-setup.exe again"), std::string::npos) << text;
    EXPECT_NE(text.find("ok\tAlice: user folder"), std::string::npos) << text;
    td::Click(td::Child(report, "Button", "&Copy"));
    std::string copied;
    if (OpenClipboard(nullptr)) {
        if (const HANDLE data = GetClipboardData(CF_TEXT)) copied = static_cast<const char*>(GlobalLock(data));
        if (const HANDLE data = GetClipboardData(CF_TEXT)) GlobalUnlock(data);
        CloseClipboard();
    }
    EXPECT_EQ(copied, text);
    td::Click(td::Child(report, "Button", "Close"));
    td::WaitUntilGone(report);
}

// Every control that takes the focus does so in reading order, and each
// has its mnemonic.
TEST_F(QueueWindow, KeyboardReachesEveryControlInOrder) {
    Add(alice_, Book(L"a.pdb"));
    OpenWindow window;
    SelectOnly(window.List(), 0);  // Remove takes the focus only while it can remove
    ASSERT_TRUE(td::WaitFor([&] { return td::IsEnabled(window.Button("&Remove")); }));
    std::vector<std::string> order;
    for (HWND child = GetNextDlgTabItem(window.Window(), nullptr, FALSE), first = child; child;) {
        order.push_back(td::ClassName(child));
        child = GetNextDlgTabItem(window.Window(), child, FALSE);
        if (child == first) break;
    }
    EXPECT_EQ(order, (std::vector<std::string>{"ComboBox", "Button", "Button", "SysListView32", "Button", "Button",
                                               "Button", "ComboBox"}));
    for (const char* label : {"HotSync &user:", "&Queued files:", "&New files go to:"})
        EXPECT_NE(td::FindChild(window.Window(), "Static", label), nullptr) << label;
    for (const char* button : {"Chec&k...", "&Outbox...", "&Add files...", "&Remove", "Card &folders..."})
        EXPECT_NE(td::FindChild(window.Window(), "Button", button), nullptr) << button;
}

// The user's outbox on the summary line and its files in the list, each "In
// the outbox" below the queued entries; "Outbox..." switches it off, and
// its files leave the list while they stay in the folder.
TEST_F(QueueWindow, TheOutboxIsOnTheSummaryLineAndItsFilesAreListed) {
    Add(alice_, Book(L"a.pdb"));
    // Outside the Palm Desktop folder, where no outbox may lie.
    const testsupport::TempFolder outside("outbox");
    const fs::path outbox = fs::path(outside.Path()) / "Outbox";
    fs::create_directories(outbox / "AUDIO");
    std::ofstream(outbox / "Atlas.pdb", std::ios::binary) << "atlas";
    std::ofstream(outbox / "AUDIO" / "Morning.mp3", std::ios::binary) << "morning";
    // Saved a minute ago: a file written just now waits.
    for (const fs::path& file : {outbox / "Atlas.pdb", outbox / "AUDIO" / "Morning.mp3"})
        fs::last_write_time(file, fs::file_time_type::clock::now() - std::chrono::minutes(1));
    rtl::TIniFile(Settings(alice_)).WriteString("Outbox", "Folder", outbox.string());
    OpenWindow window;
    const HWND list = window.List();
    const HWND summary = td::Children(window.Window(), "Static").at(1);
    EXPECT_NE(td::WindowText(summary).find("Outbox: " + outbox.string() + "."), std::string::npos)
        << td::WindowText(summary);
    ASSERT_EQ(Keys(list), (std::vector<std::string>{"DB1", "", ""}));
    EXPECT_EQ(ItemText(list, 1, kName), "Atlas.pdb");
    EXPECT_EQ(ItemText(list, 1, kCardPath), "/Palm/Launcher/Atlas.pdb");
    EXPECT_EQ(ItemText(list, 1, kFolder), "/Palm/Launcher (default)");
    EXPECT_EQ(ItemText(list, 2, kCardPath), "/AUDIO/Morning.mp3");
    EXPECT_EQ(ItemText(list, 2, kFolder), "/AUDIO (outbox folder)");
    EXPECT_EQ(ItemText(list, 2, kState), "In the outbox");
    EXPECT_TRUE(td::WaitFor(
        [&] { return window.Status().find("1 file queued, 4 bytes. 2 files in the outbox.") != std::string::npos; }))
        << window.Status();

    // A file saved into the outbox meanwhile shows without a refresh.
    std::ofstream(outbox / "Late.mp3", std::ios::binary) << "late";
    ASSERT_TRUE(td::WaitFor([&] { return ItemCount(list) == 4; })) << ItemCount(list);
    EXPECT_EQ(ItemText(list, 3, kName), "Late.mp3");

    // Its files are not queued: Remove is off for them, and leaves them alone.
    SelectOnly(list, 1);
    EXPECT_TRUE(td::StillShownAfterPosted(window.Window()));
    EXPECT_FALSE(td::IsEnabled(window.Button("&Remove")));
    td::Click(window.Button("&Remove"));
    EXPECT_EQ(Queue(alice_).Entries().size(), 1u);

    // Ctrl+A selects every row, the queued one among them.
    SetFocus(list);
    PressWithControl(list, 'A');
    ASSERT_TRUE(td::WaitFor([&] { return ListView_GetSelectedCount(list) == 4; })) << ListView_GetSelectedCount(list);
    EXPECT_TRUE(td::WaitFor([&] { return td::IsEnabled(window.Button("&Remove")); }));

    // A setting that names a script instead of a folder: "Open in Explorer"
    // runs nothing and says why.
    const fs::path script = fs::path(outside.Path()) / "run.cmd", ran = fs::path(outside.Path()) / "ran.txt";
    std::ofstream(script, std::ios::binary) << "echo ran > \"" << ran.string() << "\"\r\n";
    rtl::TIniFile(Settings(alice_)).WriteString("Outbox", "Folder", script.string());
    ASSERT_TRUE(td::WaitFor([&] { return td::WindowText(summary).find("is refused: it is a file") != std::string::npos; }))
        << td::WindowText(summary);
    td::Click(window.Button("&Outbox..."));
    HWND menu = nullptr;
    ASSERT_TRUE(td::WaitFor([&] { return (menu = FindWindowA("#32768", nullptr)) != nullptr && IsWindowVisible(menu); }));
    for (const UINT key : {VK_DOWN, VK_DOWN, VK_RETURN}) td::PressKey(menu, key);
    const std::string message = td::AnswerMessageBox("Tolvane outbox", "OK");
    EXPECT_NE(message.find(script.string() + " is not a folder, so nothing was opened."), std::string::npos) << message;
    Sleep(300);  // a script started by the shell would have written by now
    EXPECT_FALSE(fs::exists(ran));

    td::Click(window.Button("&Outbox..."));
    ASSERT_TRUE(td::WaitFor([&] { return (menu = FindWindowA("#32768", nullptr)) != nullptr && IsWindowVisible(menu); }));
    for (const UINT key : {VK_DOWN, VK_DOWN, VK_DOWN, VK_RETURN}) td::PressKey(menu, key);
    ASSERT_TRUE(td::WaitFor([&] { return !rtl::TIniFile(Settings(alice_)).ValueExists("Outbox", "Folder"); }));
    ASSERT_TRUE(td::WaitFor([&] { return ItemCount(list) == 1; })) << ItemCount(list);
    // The summary is written after the rows, under load a moment later.
    EXPECT_TRUE(td::WaitFor([&] { return td::WindowText(summary).find("No outbox.") != std::string::npos; }))
        << td::WindowText(summary);
    EXPECT_TRUE(fs::exists(outbox / "Atlas.pdb"));

    // A folder made while "Choose a folder..." is open, as its "New folder"
    // makes one, becomes the outbox, and one that only its user may use.
    td::Click(window.Button("&Outbox..."));
    ASSERT_TRUE(td::WaitFor([&] { return (menu = FindWindowA("#32768", nullptr)) != nullptr && IsWindowVisible(menu); }));
    for (const UINT key : {VK_DOWN, VK_RETURN}) td::PressKey(menu, key);
    const HWND picker =
        td::WaitForWindow("Choose the outbox of Alice: files saved into it go to the card at the next HotSync.");
    ASSERT_NE(picker, nullptr);
    const fs::path made = fs::path(outside.Path()) / "New folder";
    fs::create_directory(made);
    ASSERT_TRUE(tooltest::AccessListOf(made).trustees.count(L"S-1-1-0"));  // as its parent has it
    const std::vector<HWND> edits = td::Children(picker, "Edit");
    ASSERT_FALSE(edits.empty());
    td::SetText(edits.back(), made.string());
    td::PressKey(edits.back(), VK_RETURN);
    ASSERT_TRUE(td::WaitFor([&] { return rtl::TIniFile(Settings(alice_)).ReadString("Outbox", "Folder", "") == made.string(); }))
        << rtl::TIniFile(Settings(alice_)).ReadString("Outbox", "Folder", "");
    const auto trustees = tooltest::AccessListOf(made).trustees;
    EXPECT_TRUE(trustees.count(tooltest::CurrentUserSid()));
    EXPECT_FALSE(trustees.count(L"S-1-1-0"));
}

namespace {

constexpr const char* kFoldersCaption = "Card folders by file type";

// The dialog's rules as "type=folder", top to bottom.
std::vector<std::string> RuleTexts(HWND list) {
    std::vector<std::string> rules;
    for (int i = 0; i < ItemCount(list); ++i)
        rules.push_back(ItemText(list, i, Column(0)) + "=" + ItemText(list, i, Column(1)));
    return rules;
}

// The folder dialog opened from the window, with its parts.
struct FoldersDialog {
    explicit FoldersDialog(const OpenWindow& window) {
        td::Click(window.Button("Card &folders..."));
        dialog = td::WaitForWindow(kFoldersCaption);
        list = ListOf(dialog);
        const auto edits = td::Children(dialog, "Edit");
        type = edits.at(0);
        folder = edits.at(1);
    }
    HWND Button(const std::string& text) const { return td::Child(dialog, "Button", text); }
    // Types a rule into the fields and presses the button.
    void Enter(const std::string& fileType, const std::string& cardFolder, const std::string& button) const {
        td::SetText(type, fileType);
        td::SetText(folder, cardFolder);
        td::Click(Button(button));
    }
    HWND dialog, list, type, folder;
};

}  // namespace

// The folder dialog as a person uses it: a refused folder is named and the
// dialog stays; suggestions fill the list but nothing is written before OK;
// Cancel keeps the file as it was; OK writes the rules, and the window
// shows each entry's new folder.
TEST_F(QueueWindow, TheCardFoldersDialogEditsTheTypeRules) {
    Add(alice_, Book(L"song.mp3", "la"));
    Add(alice_, Book(L"book.pdb"));
    const std::string before = Read(Settings(alice_));
    OpenWindow window;
    const HWND list = window.List();
    ASSERT_EQ(ItemCount(list), 2);
    EXPECT_EQ(ItemText(list, 0, kFolder), "/Palm/Launcher (default)");
    {
        const FoldersDialog folders(window);
        EXPECT_FALSE(td::IsEnabled(window.Window()));
        EXPECT_EQ(ItemCount(folders.list), 0);
        folders.Enter("mp3", "/Music/../x", "&Add or change");
        const std::string refusal = td::AnswerMessageBox("Card folder refused", "OK");
        EXPECT_NE(refusal.find("\"/Music/../x\""), std::string::npos) << refusal;
        EXPECT_TRUE(td::StillShownAfterPosted(folders.dialog));
        EXPECT_EQ(ItemCount(folders.list), 0);
        // A folder typed in a script the code page lacks is named as such,
        // not by the "?" of its ANSI form.
        SendMessageW(folders.folder, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"/\u041c\u0443\u0437\u044b\u043a\u0430"));
        td::Click(folders.Button("&Add or change"));
        const std::string unspellable = td::AnswerMessageBox("Card folder refused", "OK");
        EXPECT_NE(unspellable.find("cannot take on this Windows"), std::string::npos) << unspellable;
        EXPECT_EQ(unspellable.find("holds \"?\""), std::string::npos) << unspellable;
        EXPECT_EQ(ItemCount(folders.list), 0);

        folders.Enter("mp3", "/AUDIO/", "&Add or change");
        ASSERT_TRUE(td::WaitFor([&] { return ItemCount(folders.list) == 1; }));
        EXPECT_EQ(RuleTexts(folders.list), std::vector<std::string>{"mp3=/AUDIO"});
        td::Click(folders.Button("&Suggested"));
        ASSERT_TRUE(td::WaitFor([&] { return ItemCount(folders.list) > 1; }));
        const std::vector<std::string> suggested = RuleTexts(folders.list);
        EXPECT_EQ(suggested.front(), "mp3=/AUDIO");
        EXPECT_NE(std::find(suggested.begin(), suggested.end(), "jpg=/DCIM"), suggested.end());
        EXPECT_EQ(Read(Settings(alice_)), before);

        td::PressEscape(folders.dialog);
        td::WaitUntilGone(folders.dialog);
    }
    EXPECT_EQ(Read(Settings(alice_)), before);
    EXPECT_TRUE(td::IsEnabled(window.Window()));
    {
        // A rule typed but not added yet is what OK keeps; a chosen rule
        // shows in the fields and is removed.
        const FoldersDialog folders(window);
        td::Click(folders.Button("&Suggested"));
        ASSERT_TRUE(td::WaitFor([&] { return ItemCount(folders.list) > 1; }));
        const std::vector<std::string> suggested = RuleTexts(folders.list);
        const auto jpg = static_cast<int>(std::find(suggested.begin(), suggested.end(), "jpg=/DCIM") -
                                          suggested.begin());
        SelectOnly(folders.list, jpg);
        ASSERT_TRUE(td::WaitFor([&] { return td::WindowText(folders.type) == "jpg"; }));
        EXPECT_EQ(td::WindowText(folders.folder), "/DCIM");
        td::Click(folders.Button("Re&move"));
        ASSERT_TRUE(td::WaitFor([&] { return ItemCount(folders.list) + 1 == static_cast<int>(suggested.size()); }));
        td::SetText(folders.type, "MP3");
        td::SetText(folders.folder, "/Songs");
        td::PressEnter(folders.dialog);
        td::WaitUntilGone(folders.dialog);
    }
    // The window writes the rules once the dialog has gone, then shows them.
    ASSERT_TRUE(td::WaitFor([&] { return ItemText(list, 0, kFolder) == "/Songs (by type)"; }))
        << ItemText(list, 0, kFolder);
    rtl::TIniFile ini(Settings(alice_));
    EXPECT_EQ(ini.ReadString("Folders", "mp3", ""), "/Songs");
    EXPECT_EQ(ini.ReadString("Folders", "png", ""), "/DCIM");
    EXPECT_FALSE(ini.ValueExists("Folders", "jpg"));
    EXPECT_EQ(ItemText(list, 0, kCardPath), "/Songs/song.mp3");
    EXPECT_EQ(ItemText(list, 1, kFolder), "/Palm/Launcher (default)");
}

// A rule that no card can take, written by another program, is named when
// OK is pressed and the dialog stays until it is mended or cancelled.
TEST_F(QueueWindow, TheCardFoldersDialogNamesAStoredRuleNoCardCanTake) {
    Add(alice_, Book(L"a.pdb"));
    rtl::TIniFile(Settings(alice_)).WriteString("Folders", "txt", "/Notes/./x");
    const std::string before = Read(Settings(alice_));
    OpenWindow window;
    const FoldersDialog folders(window);
    EXPECT_EQ(RuleTexts(folders.list), std::vector<std::string>{"txt=/Notes/./x"});
    td::Click(folders.Button("OK"));
    const std::string refusal = td::AnswerMessageBox("Card folder refused", "OK");
    EXPECT_NE(refusal.find("txt files"), std::string::npos) << refusal;
    EXPECT_TRUE(td::StillShownAfterPosted(folders.dialog));
    td::PressCloseBox(folders.dialog);
    td::WaitUntilGone(folders.dialog);
    EXPECT_EQ(Read(Settings(alice_)), before);
}

// "New files go to" gives added files their own folder; a folder no card
// can take queues nothing; the first choice goes back to the type's folder.
TEST_F(QueueWindow, AddedFilesGoToTheChosenCardFolder) {
    OpenWindow window;
    const HWND list = window.List();
    const HWND target = td::Children(window.Window(), "ComboBox").at(1);
    const std::vector<std::string> choices = td::ComboItems(target);
    ASSERT_EQ(choices.size(), 2u);
    EXPECT_EQ(choices[1], "/Palm/Launcher");
    EXPECT_EQ(td::WindowText(target), choices[0]);

    td::SetText(target, "/Books/");
    td::DropFiles(window.Window(), {Book(L"own.pdb").wstring()});
    ASSERT_TRUE(td::WaitFor([&] { return ItemCount(list) == 1; }));
    EXPECT_EQ(ItemText(list, 0, kFolder), "/Books (own)");
    EXPECT_EQ(ItemText(list, 0, kCardPath), "/Books/own.pdb");
    EXPECT_EQ(rtl::TIniFile(Settings(alice_)).ReadString("InstallToDirectory", "DB1", ""), "/Books");

    const std::string before = Read(Settings(alice_));
    td::SetText(target, "/Books/../x");
    td::DropFiles(window.Window(), {Book(L"refused.pdb").wstring()});
    const std::string refusal = td::AnswerMessageBox("Files not queued", "OK");
    EXPECT_NE(refusal.find("Nothing was queued"), std::string::npos) << refusal;
    EXPECT_EQ(Read(Settings(alice_)), before);

    td::SelectComboItem(target, 0);
    td::DropFiles(window.Window(), {Book(L"typed.pdb").wstring()});
    ASSERT_TRUE(td::WaitFor([&] { return ItemCount(list) == 2; }));
    EXPECT_EQ(ItemText(list, 1, kFolder), "/Palm/Launcher (default)");
    EXPECT_FALSE(rtl::TIniFile(Settings(alice_)).ValueExists("InstallToDirectory", "DB2"));
}

// With two HotSync users, Send To asks which one and queues for that one,
// then says in one line what it did.
TEST_F(QueueWindow, SendToWithTwoUsersQueuesForTheChosenUser) {
    const std::string program = desktop_.Folder() + "\\tolvane-queue-window.exe";
    const fs::path folder = files_ / "folder";
    fs::create_directories(folder);
    const std::string command = tooltest::CommandLine(
        program, {"--send-to", Book(L"x.pdb").string(), Book(L"y.pdb").string(), folder.string()});
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    std::string line = command;
    ASSERT_TRUE(CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info));
    CloseHandle(info.hThread);

    const HWND chooser = td::WaitForWindow("Tolvane Queue: HotSync user", td::kWaitTimeout, info.dwProcessId);
    const HWND combo = td::Children(chooser, "ComboBox").at(0);
    EXPECT_EQ(td::ComboItems(combo).size(), 2u);
    td::SelectComboItem(combo, 1);
    td::Click(td::Child(chooser, "Button", "OK"));
    td::WaitUntilGone(chooser);
    const std::string report = td::AnswerMessageBox(kCaption, "OK", td::kWaitTimeout, info.dwProcessId);
    EXPECT_EQ(report, "Queued 2 files for Bob; 1 refused: " + folder.string() + " is a folder; queue the files in it instead.");

    DWORD exitCode = 1;
    EXPECT_EQ(WaitForSingleObject(info.hProcess, 10000), WAIT_OBJECT_0);
    GetExitCodeProcess(info.hProcess, &exitCode);
    CloseHandle(info.hProcess);
    EXPECT_EQ(exitCode, 0u);
    EXPECT_EQ(Queue(bob_).Entries().size(), 2u);
    EXPECT_FALSE(fs::exists(Settings(alice_)));
}

namespace {

BOOL CALLBACK CountQueueWindows(HWND window, LPARAM count) {
    if (IsWindowVisible(window) && td::WindowText(window) == kCaption) ++*reinterpret_cast<int*>(count);
    return TRUE;
}

}  // namespace

// A second start (the Start menu again, a file opened with the program, Send
// To) hands its files to the window that is open, which queues them for the
// user it shows, and opens no window of its own.
TEST_F(QueueWindow, ASecondStartHandsItsFilesToTheOpenWindow) {
    OpenWindow window;
    const HWND list = window.List();
    ASSERT_EQ(ItemCount(list), 0);
    const std::string program = desktop_.Folder() + "\\tolvane-queue-window.exe";
    const tooltest::ToolRun second = tooltest::RunTool(program, {Book(L"second.pdb").string()});
    EXPECT_EQ(second.exitCode, 0u) << second.output;
    ASSERT_TRUE(td::WaitFor([&] { return ItemCount(list) == 1; }));
    // Send To asks no user while the window shows one.
    const tooltest::ToolRun sent = tooltest::RunTool(program, {"--send-to", Book(L"third.pdb").string()});
    EXPECT_EQ(sent.exitCode, 0u) << sent.output;
    ASSERT_TRUE(td::WaitFor([&] { return ItemCount(list) == 2; }));
    EXPECT_EQ(Queue(alice_).Entries().size(), 2u);
    EXPECT_FALSE(fs::exists(Settings(bob_)));
    int windows = 0;
    EnumWindows(&CountQueueWindows, reinterpret_cast<LPARAM>(&windows));
    EXPECT_EQ(windows, 1);
}

namespace {

// Names of 130 characters and more, accented in the code page the Palm
// Desktop takes: a thousand of them overflow any buffer of a fixed size.
std::vector<std::wstring> LongNames(size_t count) {
    static const wchar_t* const kStarts[] = {L"Caf\u00e9 cr\u00e8me", L"Stra\u00dfenbahn M\u00fcnchen",
                                             L"Ni\u00f1o espa\u00f1ol", L"\u00c5ngstr\u00f6m"};
    std::vector<std::wstring> names;
    for (size_t i = 0; i < count; ++i) {
        std::wstring name = kStarts[i % std::size(kStarts)] + (L" volume " + std::to_wstring(i));
        while (name.size() < 130) name += L" of a long series";
        names.push_back(name + L".pdb");
    }
    return names;
}

// The file name box is the only edit box of either open dialog.
void TypeIntoFileNameBox(HWND dialog, const std::wstring& text) {
    DWORD_PTR ignored = 0;
    if (!SendMessageTimeoutW(td::Children(dialog, "Edit").at(0), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                             SMTO_NORMAL, 10000, &ignored))
        throw td::DriverError("the open dialog's file name box does not answer");
}

// Opens the folder as a user does, by typing its path and pressing Open,
// and waits until the dialog lists that many files; gives the list.
HWND OpenFolderInDialog(HWND dialog, const fs::path& folder, int files) {
    TypeIntoFileNameBox(dialog, folder.wstring());
    td::Click(GetDlgItem(dialog, IDOK));
    HWND list = nullptr;
    if (!td::WaitFor([&] {
            const std::vector<HWND> lists = td::Children(dialog, WC_LISTVIEWA);
            list = lists.empty() ? nullptr : lists.front();
            return list && ItemCount(list) == files;
        }))
        throw td::DriverError("the open dialog did not list the folder's files");
    return list;
}

// The comctl32 files that a process has loaded, in lower case.
std::vector<std::wstring> CommonControlsFiles(HANDLE process) {
    std::vector<HMODULE> modules(1024);
    DWORD bytes = 0;
    if (!EnumProcessModules(process, modules.data(), static_cast<DWORD>(modules.size() * sizeof(HMODULE)), &bytes))
        return {};
    modules.resize(std::min<size_t>(bytes / sizeof(HMODULE), modules.size()));
    std::vector<std::wstring> files;
    for (const HMODULE module : modules) {
        wchar_t path[MAX_PATH] = {};
        if (!GetModuleFileNameExW(process, module, path, MAX_PATH)) continue;
        std::wstring file = path;
        for (wchar_t& c : file) c = static_cast<wchar_t>(std::towlower(c));
        if (file.ends_with(L"\\comctl32.dll")) files.push_back(file);
    }
    return files;
}

}  // namespace

// "Add files..." in the shipped window: a thousand long names typed into
// the open dialog's file name box, as a paste of them would, are all queued.
TEST_F(QueueWindow, AddFilesQueuesAThousandLongNamesChosenAtOnce) {
    const fs::path folder = files_ / "Many";
    fs::create_directories(folder);
    std::wstring typed;
    for (const std::wstring& name : LongNames(1000)) {
        std::ofstream(folder / name, std::ios::binary) << "book";
        typed += L"\"" + name + L"\" ";
    }
    const std::string program = desktop_.Folder() + "\\tolvane-queue-window.exe";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    std::string line = tooltest::CommandLine(program, {});
    ASSERT_TRUE(CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started));
    CloseHandle(started.hThread);
    const rtl::UniqueKernelHandle process(started.hProcess);
    std::string failure;
    try {
        const HWND window = td::WaitForWindow(kCaption, td::kWaitTimeout, started.dwProcessId);
        td::Click(td::Child(window, "Button", "&Add files..."));
        const HWND dialog = td::WaitForWindow("Add files to the queue", td::kWaitTimeout, started.dwProcessId);
        OpenFolderInDialog(dialog, folder, 1000);
        TypeIntoFileNameBox(dialog, typed);
        td::Click(GetDlgItem(dialog, IDOK));
        // Asked with a timeout: a window that crashed does not answer. The
        // list fills before the status line has its last word ("1000 files
        // queued; looking at the files..." comes first): both are waited for.
        const HWND list = ListOf(window);
        const HWND statusLine = td::Children(window, STATUSCLASSNAMEA).at(0);
        DWORD_PTR listed = 0;
        std::string status;
        EXPECT_TRUE(td::WaitFor(
            [&] {
                // A window busy showing a thousand rows on a loaded machine
                // may not answer at once: asked again, not failed.
                try {
                    status = td::WindowText(statusLine);
                } catch (const td::DriverError&) {
                    return false;
                }
                return SendMessageTimeoutW(list, LVM_GETITEMCOUNT, 0, 0, SMTO_ABORTIFHUNG, 1000, &listed) &&
                       listed == 1000 && status.find("Queued 1000 files for Alice") != std::string::npos;
            },
            td::Millis(45000)))
            << listed << " listed; status: " << status;
        td::Close(window);
    } catch (const td::DriverError& e) {
        failure = e.what();
    }
    if (WaitForSingleObject(process.get(), 10000) != WAIT_OBJECT_0) TerminateProcess(process.get(), 1);
    EXPECT_EQ(failure, "");
    EXPECT_EQ(Queue(alice_).Entries().size(), 1000u);
}

// The old dialog (all that Windows XP has) starts with a buffer far too
// small for the long names chosen in its list: the buffer grows with the
// choice and every file comes back with its folder.
TEST_F(QueueWindow, TheOldOpenDialogsBufferGrowsWithTheChoice) {
    const fs::path folder = files_ / "Many";
    fs::create_directories(folder);
    std::vector<std::wstring> expected;
    for (const std::wstring& name : LongNames(300)) {
        std::ofstream(folder / name, std::ios::binary) << "book";
        expected.push_back((folder / name).wstring());
    }
    td::ModalWatcher watcher([&] {
        const HWND dialog = td::WaitForWindow("Add files to the queue");
        const HWND list = OpenFolderInDialog(dialog, folder, 300);
        ListView_SetItemState(list, -1, LVIS_SELECTED, LVIS_SELECTED);
        td::Click(GetDlgItem(dialog, IDOK));
        td::WaitUntilGone(dialog);
    });
    std::vector<std::wstring> picked = queuewindow::PickFilesWithOldDialog(nullptr, 1000);
    ASSERT_EQ(watcher.Join(), "");
    std::sort(picked.begin(), picked.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(picked, expected);
}

// The shipped program draws its list with Common Controls 6, as its manifest
// asks: the only comctl32 it loaded is the one of the version 6 side-by-side
// assembly (without the manifest: the system folder's). Neither the list's
// CCM_GETVERSION nor DllGetVersion can tell under Wine, whose one comctl32
// file serves both versions and answers 5 to both.
TEST_F(QueueWindow, TheShippedProgramDrawsItsListWithCommonControls6) {
    std::string line = tooltest::CommandLine(desktop_.Folder() + "\\tolvane-queue-window.exe", {});
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    ASSERT_TRUE(CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started));
    CloseHandle(started.hThread);
    const rtl::UniqueKernelHandle process(started.hProcess);
    std::vector<std::wstring> files;
    std::string failure;
    try {
        const HWND window = td::WaitForWindow(kCaption, td::kWaitTimeout, started.dwProcessId);
        ListOf(window);
        files = CommonControlsFiles(process.get());
        td::Close(window);
    } catch (const std::exception& e) {
        failure = e.what();
    }
    if (WaitForSingleObject(process.get(), 10000) != WAIT_OBJECT_0) TerminateProcess(process.get(), 1);
    ASSERT_EQ(failure, "");
    ASSERT_FALSE(files.empty());
    for (const std::wstring& file : files)
        EXPECT_NE(file.find(L"\\winsxs\\x86_microsoft.windows.common-controls_6595b64144ccf1df_6."), std::wstring::npos)
            << Narrow(file);
}

// Closed in the middle of a drop of a thousand files while a HotSync holds
// the queue: the window stays until the batch (and a check asked for) is
// done, says so meanwhile, and names the outcome in a box as it goes; every
// file is queued.
TEST_F(QueueWindow, ClosedDuringADropItSaysWhatWasQueuedBeforeItGoes) {
    std::vector<std::wstring> books;
    for (int i = 0; i < 1000; ++i) books.push_back(Book(L"book" + std::to_wstring(i) + L".pdb").wstring());
    OpenWindow window;
    {
        const app::QueueLock held(Settings(alice_));
        td::DropFiles(window.Window(), books);
        ASSERT_TRUE(td::WaitFor([&] { return window.Status().find("Waiting for the HotSync") != std::string::npos; }))
            << window.Status();
        td::Click(window.Button("Chec&k..."));
        td::PressCloseBox(window.Window());
        ASSERT_TRUE(td::WaitFor([&] { return window.Status().find("Closing when this is done") != std::string::npos; }))
            << window.Status();
        EXPECT_TRUE(td::StillShownAfterPosted(window.Window()));
        EXPECT_TRUE(Queue(alice_).Entries().empty());
    }
    td::WaitForWindow("Tolvane Queue closes");
    // The check asked for meanwhile changed nothing: its report is not shown.
    EXPECT_EQ(FindWindowW(L"TolvaneCheckWindow", nullptr), nullptr);
    const std::string said = td::AnswerMessageBox("Tolvane Queue closes", "OK");
    EXPECT_EQ(said, "Queued 1000 files for Alice.");
    td::WaitUntilGone(window.Window());
    EXPECT_EQ(Queue(alice_).Entries().size(), 1000u);
}

// Another program posts the message with which the worker says that its work
// is done, with numbers and pointers of its own: the window takes none of
// them for work of its own, and goes on as before.
TEST_F(QueueWindow, AForgedWorkDoneMessageIsIgnored) {
    OpenWindow window;
    constexpr UINT kWorkDone = WM_APP + 1;
    for (WPARAM number : {WPARAM(0), WPARAM(1), WPARAM(2), WPARAM(77), ~WPARAM(0)})
        for (LPARAM pointer : {LPARAM(0), LPARAM(0x12345678), LPARAM(-1)})
            PostMessageW(window.Window(), kWorkDone, number, pointer);
    EXPECT_TRUE(td::StillShownAfterPosted(window.Window()));
    td::DropFiles(window.Window(), {Book(L"after.pdb").wstring()});
    ASSERT_TRUE(td::WaitFor([&] { return ItemCount(window.List()) == 1; })) << window.Status();
    // Posted while the worker works: its own message still reaches it.
    td::DropFiles(window.Window(), {Book(L"during.pdb").wstring()});
    for (WPARAM number = 0; number < 8; ++number) PostMessageW(window.Window(), kWorkDone, number, 0x5a5a5a5a);
    ASSERT_TRUE(td::WaitFor([&] { return ItemCount(window.List()) == 2; })) << window.Status();
    EXPECT_TRUE(td::WaitFor([&] { return window.Status().find("Queued 1 file for Alice") != std::string::npos; }))
        << window.Status();
    EXPECT_EQ(Queue(alice_).Entries().size(), 2u);
}

// While a HotSync holds the queue, "Card folders..." opens and its OK,
// "Outbox..." and "Check...", wait for it in the background: the window
// says so and answers every message. (A HotSync holds it for up to 20 seconds; three
// show the same.)
TEST_F(QueueWindow, AQueueHeldElsewhereNeverKeepsTheWindowFromAnswering) {
    Add(alice_, Book(L"a.pdb"));
    const fs::path outbox = fs::path(desktop_.Folder()) / "Outbox";
    fs::create_directories(outbox);
    rtl::TIniFile(Settings(alice_)).WriteString("Outbox", "Folder", outbox.string());
    OpenWindow window;
    Pings pings(window.Window());
    {
        const app::QueueLock held(Settings(alice_));
        {
            const FoldersDialog folders(window);
            folders.Enter("mp3", "/AUDIO", "&Add or change");
            ASSERT_TRUE(pings.PingUntil([&] { return ItemCount(folders.list) == 1; }));
            td::Click(folders.Button("OK"));
            td::WaitUntilGone(folders.dialog);
        }
        EXPECT_TRUE(pings.PingUntil([&] { return window.Status().find("Waiting for the HotSync to finish") != std::string::npos; }))
            << window.Status();
        td::Click(window.Button("&Outbox..."));
        HWND menu = nullptr;
        ASSERT_TRUE(pings.PingUntil([&] { return (menu = FindWindowA("#32768", nullptr)) != nullptr && IsWindowVisible(menu); }));
        for (const UINT key : {VK_DOWN, VK_DOWN, VK_DOWN, VK_RETURN}) td::PressKey(menu, key);
        // The installation check reads disks too: it takes its turn after them.
        td::Click(window.Button("Chec&k..."));
        pings.PingUntil([] { return false; }, td::Millis(3000));
        EXPECT_EQ(rtl::TIniFile(Settings(alice_)).ReadString("Folders", "mp3", ""), "");
        EXPECT_TRUE(rtl::TIniFile(Settings(alice_)).ValueExists("Outbox", "Folder"));
        EXPECT_EQ(FindWindowW(L"TolvaneCheckWindow", nullptr), nullptr);
    }
    EXPECT_TRUE(pings.PingUntil([&] { return !rtl::TIniFile(Settings(alice_)).ValueExists("Outbox", "Folder"); }));
    EXPECT_EQ(rtl::TIniFile(Settings(alice_)).ReadString("Folders", "mp3", ""), "/AUDIO");
    HWND report = nullptr;
    ASSERT_TRUE(pings.PingUntil([&] { return (report = FindWindowW(L"TolvaneCheckWindow", nullptr)) != nullptr; }));
    EXPECT_NE(td::WindowText(td::Children(report, "Edit").at(0)).find("ok\tAlice: user folder"), std::string::npos);
    td::Click(td::Child(report, "Button", "Close"));
    td::WaitUntilGone(report);
    EXPECT_LE(pings.MostMissedInARow(), 1) << "of " << pings.Count() << " pings";
}

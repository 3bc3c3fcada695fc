// The queue window's commands: adding files (the open dialog, a drop, a
// hand-over), removing entries, the card folders, the outbox and the
// installation check; and the work they hand to the worker, with what the
// window says meanwhile.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <memory>
#include <utility>

#include "app/PathRules.h"
#include "rtl/AnsiText.h"
#include "rtl/SysUtils.h"
#include "tools/window/CheckWindow.h"
#include "tools/window/FilePicker.h"
#include "tools/window/FoldersDialog.h"
#include "tools/window/OutboxMenu.h"
#include "tools/queue/OutboxView.h"
#include "tools/window/QueueWindow.h"

namespace queuewindow {

namespace {

constexpr size_t kRefusalsShown = 12;
// Work on many files runs on a thread of its own (Worker.h); after half a
// second of it the status line says how far it is and the pointer shows
// that the window is working, refreshed a few times a second.
constexpr UINT kBusyDelayMs = 500, kProgressMs = 250;

std::wstring Wide(std::string_view text) { return rtl::WideFromAnsi(text); }

}  // namespace

void QueueWindow::Command(WORD id, WORD code) {
    const auto row = controls_.RowOfId(id);
    if (!row) return;
    const Ctl control = static_cast<Ctl>(*row);
    if (control == Ctl::bAdd && code == BN_CLICKED) AskForFiles();
    if (control == Ctl::bRemove && code == BN_CLICKED) RemoveSelected();
    if (control == Ctl::bFolders && code == BN_CLICKED) EditFolders();
    if (control == Ctl::bCheck && code == BN_CLICKED) CheckInstallation();
    if (control == Ctl::bOutbox && code == BN_CLICKED) ChangeOutbox();
    if (control == Ctl::cbUser && code == CBN_DROPDOWN) RefreshUsers();
    if (control == Ctl::cbUser && code == CBN_SELCHANGE) {
        ChooseUser(static_cast<int>(SendMessageW(Control(Ctl::cbUser), CB_GETCURSEL, 0, 0)));
        Remember();
    }
}

// The check reads every user's folders, files and the registry, which a
// busy disk makes slow: it runs on the worker, after the work in hand, and
// its report shows once it is done. A window closed meanwhile goes without
// it: the check changed nothing.
void QueueWindow::CheckInstallation() {
    if (checking_ || closing_) return;
    checking_ = true;
    const auto report = std::make_shared<queuetool::CheckReport>();
    StartWork(
        L"Checking the installation",
        [report] {
            try {
                *report = queuetool::CheckInstallation(L"");
            } catch (...) {
                report->refusal = L"The check stopped before it was done. Try again.";
            }
        },
        [this, report] {
            checking_ = false;
            if (!closing_) ShowInstallationCheck(window_.get(), std::move(*report));
        });
}

void QueueWindow::AskForFiles() { AddFiles(PickFilesToQueue(window_.get())); }

// The files are judged and queued on the worker's thread: a thousand of
// them, or a queue that another program holds for a while, never keep the
// window from answering. Files dropped meanwhile are queued next.
void QueueWindow::AddFiles(const std::vector<std::wstring>& files) {
    if (closing_) return;
    const queuetool::DesktopUser* user = UserToChange();
    if (!user || files.empty()) return;
    std::optional<std::string> folder;
    if (!ChosenFolder(folder)) return;
    const queuetool::DesktopUser who = *user;
    const int userIndex = userIndex_;
    struct Done {
        queuetool::BatchOutcome outcome;
        QueueSnapshot snapshot;  // the queue as the batch left it
    };
    const auto done = std::make_shared<Done>();
    StartWork(
        L"Queuing " + std::to_wstring(files.size()) + L" files for " + Wide(who.name),
        [this, who, files, folder, done] {
            judged_ = 0;
            queuetool::QueueFile queue(queuetool::SettingsFileOf(who));
            done->outcome = queuetool::AddFiles(queue, who, files, folder, [this](size_t judged) { judged_ = judged; });
            done->snapshot = ReadQueue(who);
        },
        [this, done, name = who.name, userIndex] {
            ShowBatch(done->outcome, std::move(done->snapshot), name, userIndex);
        },
        files.size());
}

// The new entries become the selection, unless another user was chosen
// while they were queued.
void QueueWindow::ShowBatch(const queuetool::BatchOutcome& outcome, QueueSnapshot snapshot, const std::string& userName,
                            int userIndex) {
    std::set<std::string> added;
    std::string first;
    for (const queuetool::FileOutcome& file : outcome.files)
        if (file.kind == queuetool::FileOutcome::Kind::kQueued) {
            added.insert(file.key);
            if (first.empty()) first = file.key;
        }
    if (userIndex == userIndex_) {
        ShowSnapshot(std::move(snapshot));
        list_.Select(added, first);
        list_.Reveal(first);
    }
    UpdateButtons();
    ReportBatch(outcome, userName);
}

// The one-line outcome stays on the status line; refusals and the reasons
// why queued files will wait are shown at once, each file by name.
void QueueWindow::ReportBatch(const queuetool::BatchOutcome& outcome, const std::string& userName) {
    Said(BatchLine(outcome, userName));
    std::wstring details;
    size_t refused = 0;
    for (const queuetool::FileOutcome& file : outcome.files) {
        if (file.kind != queuetool::FileOutcome::Kind::kRefused) continue;
        if (++refused <= kRefusalsShown) details += L"\n" + file.text;
    }
    if (refused > kRefusalsShown) details += L"\n... and " + std::to_wstring(refused - kRefusalsShown) + L" more.";
    if (refused && refused == outcome.files.size()) details += L"\n\nNothing was queued.";
    for (const std::wstring& warning : outcome.warnings) details += L"\n\n" + warning;
    // Closing: said in the box that the window shows as it goes.
    if (closing_) {
        closingReport_ += details;
        return;
    }
    if (details.empty()) return;
    MessageBoxW(window_.get(), (lastAction_ + L"\n" + details).c_str(), refused ? kRefusedCaption : kWaitCaption,
                MB_OK | MB_ICONWARNING);
}

// What the last change did, on the status line while the queue is as that
// change left it; also in the box shown when the window closes after it.
void QueueWindow::Said(std::wstring action) {
    lastAction_ = std::move(action);
    keysAtAction_.clear();
    for (const Row& row : list_.Rows()) keysAtAction_.push_back(row.key);
    if (closing_) closingReport_ += (closingReport_.empty() ? L"" : L"\n\n") + lastAction_;
    ShowStatus();
}

void QueueWindow::RemoveSelected() {
    const queuetool::DesktopUser* user = User();
    const std::vector<Row>& rows = list_.Rows();
    std::vector<int> selected = list_.SelectedIndexes();
    // The outbox's files are not queued yet: nothing to take off.
    selected.erase(std::remove_if(selected.begin(), selected.end(), [&](int index) { return rows[index].outbox; }),
                   selected.end());
    if (!user || selected.empty()) return;
    const Row& first = rows[selected.front()];
    const std::string what = selected.size() == 1
                                 ? "the entry " + first.key + " (" + first.name + ")"
                                 : std::to_string(selected.size()) + " entries";
    const std::string question = "Remove " + what + " from the queue of " + user->name +
                                 "?\n\nThe files stay on this computer; the next HotSync will not copy them.";
    if (MessageBoxW(window_.get(), Wide(question).c_str(), kRemoveCaption, MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    std::vector<std::string> keys;
    for (int index : selected) keys.push_back(rows[index].key);
    // One that a HotSync took meanwhile is simply gone.
    const std::wstring count = std::to_wstring(keys.size()) + (keys.size() == 1 ? L" entry" : L" entries");
    StartWork(L"Taking " + count + L" off the queue of " + Wide(user->name),
              [keys, settings = queuetool::SettingsFileOf(*user)] { queuetool::QueueFile(settings).RemoveAll(keys); },
              [this, line = L"Took " + count + L" off the queue of " + Wide(user->name) + L"."] {
                  Reload([this, line] { Said(line); });
              });
}

// The rules are written only as changed in the dialog, so that a rule that
// another program wrote meanwhile stays. The dialog shows the rules as last
// read; the write waits for the queue on the worker.
void QueueWindow::EditFolders() {
    const queuetool::DesktopUser* user = UserToChange();
    if (!user) return;
    const auto changes = EditTypeFolders(window_.get(), typeFolders_, list_.Preview().cardDirectory);
    if (!changes || changes->empty()) return;
    StartWork(
        L"Writing the card folders of " + Wide(user->name),
        [changes = *changes, settings = queuetool::SettingsFileOf(*user), media = user->firstSlotMediaType] {
            queuetool::QueueFile queue(settings);
            queue.CheckAccess(true);
            queue.SetTypeFolders(changes, queuetool::NewSettings{media});
        },
        [this] { Reload([this] { FillTargets(rtl::TextOf(Control(Ctl::cbTarget))); }); });
}

// The menu asks; the change waits for the queue on the worker.
void QueueWindow::ChangeOutbox() {
    const queuetool::DesktopUser* user = User();
    if (!user) return;
    const std::optional<std::string> folder = OutboxMenu(window_.get(), Control(Ctl::bOutbox), *user, outbox_);
    if (!folder) return;
    StartWork(
        L"Changing the outbox of " + Wide(user->name),
        [folder = *folder, who = *user] {
            queuetool::QueueFile queue(queuetool::SettingsFileOf(who));
            queue.CheckAccess(true);
            queuetool::SetOutbox(queue, who, folder);
        },
        [this] { Reload(); });
}

// The folders a user is likely to want for new files: the default's and
// each type's, after the choice of none; any other may be typed.
void QueueWindow::FillTargets(const std::wstring& shown) {
    const queuetool::DesktopUser* user = User();
    const HWND combo = Control(Ctl::cbTarget);
    SendMessageW(combo, CB_RESETCONTENT, 0, 0);
    std::vector<std::wstring> folders{kByType, Wide(list_.Preview().cardDirectory)};
    if (user)
        for (const auto& rule : typeFolders_)
            if (!rule.second.empty()) folders.push_back(Wide(rule.second));
    for (size_t i = 0; i < folders.size(); ++i)
        if (std::find(folders.begin(), folders.begin() + static_cast<std::ptrdiff_t>(i), folders[i]) ==
            folders.begin() + static_cast<std::ptrdiff_t>(i))
            SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(folders[i].c_str()));
    rtl::FitDroppedWidth(combo);
    SetWindowTextW(combo, shown.c_str());
}

// The card folder for files added now: none for "by type", the typed one
// when a card can take it; false (with a message) when none can.
bool QueueWindow::ChosenFolder(std::optional<std::string>& folder) {
    const HWND combo = Control(Ctl::cbTarget);
    const std::wstring typed = rtl::TextOf(combo);
    folder.reset();
    if (typed.empty() || typed == kByType) return true;
    std::wstring problem;
    if (const std::optional<std::string> ansi = queuetool::TypedAnsi(typed, "card directory", problem)) {
        const app::rules::CardDirectoryCheck check = app::rules::CheckCardDirectory(*ansi);
        if (check.Usable()) {
            folder = check.directory;
            return true;
        }
        problem = Wide(check.problem);
    }
    problem += L"\n\nNothing was queued. Choose another folder under \"New files go to\".";
    MessageBoxW(window_.get(), problem.c_str(), kRefusedCaption, MB_OK | MB_ICONWARNING);
    return false;
}

void QueueWindow::StartWork(std::wstring busyText, std::function<void()> work, std::function<void()> then,
                            size_t batchSize) {
    worker_.Post(std::move(work), std::move(then));
    inHand_.push_back({std::move(busyText), batchSize});
    SetTimer(window_.get(), kBusyTimer, kBusyDelayMs, nullptr);
}

// The message's number is looked up in the worker's own table: one that
// another program posted finds nothing there.
void QueueWindow::WorkDone(WPARAM done) {
    std::optional<std::function<void()>> then;
    try {
        then = worker_.Take(done);
        if (!then) return;
    } catch (...) {
        EndWork();
        throw;  // the window's catch-all says what it was
    }
    EndWork();
    (*then)();
}

// One piece of work fewer in hand; the next one's text is shown.
void QueueWindow::EndWork() {
    if (!inHand_.empty()) inHand_.pop_front();
    if (!worker_.Busy()) {
        KillTimer(window_.get(), kBusyTimer);
        busyShown_ = false;
        RefreshCursor();
    }
    ShowStatus();
    UpdateButtons();
}

void QueueWindow::ShowBusy() {
    busyShown_ = true;
    SetTimer(window_.get(), kBusyTimer, kProgressMs, nullptr);
    ShowStatus();
    RefreshCursor();
}

// The pointer over the window takes its shape from WM_SETCURSOR, which
// comes only when the mouse moves: asked for now.
void QueueWindow::RefreshCursor() const noexcept {
    POINT point{};
    if (!GetCursorPos(&point)) return;
    const HWND under = WindowFromPoint(point);
    if (under && (under == window_.get() || IsChild(window_.get(), under)))
        SendMessageW(under, WM_SETCURSOR, reinterpret_cast<WPARAM>(under), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
}

}  // namespace queuewindow

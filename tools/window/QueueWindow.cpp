#include "tools/window/QueueWindow.h"

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <utility>
#include <vector>

#include "rtl/Controls.h"
#include "rtl/SysUtils.h"
#include "rtl/WinHandles.h"
#include "tools/queue/DesktopUsers.h"
#include "tools/window/FilePicker.h"
#include "tools/window/FolderWatch.h"
#include "tools/window/FoldersDialog.h"
#include "tools/window/OneWindow.h"
#include "tools/window/OutboxMenu.h"
#include "tools/queue/QueueBatch.h"
#include "tools/window/QueueRows.h"
#include "tools/window/Remembered.h"
#include "tools/window/Worker.h"
#include "rtl/AnsiText.h"
#include "app/PathRules.h"

namespace queuewindow {

namespace {

constexpr int kExitFailed = 3;
// A HotSync writes the file several times in a row; the list is read once
// they have settled.
constexpr UINT_PTR kReloadTimer = 1;
constexpr UINT kReloadDelayMs = 150;
constexpr size_t kRefusalsShown = 12;
// A long queue shows before its files are looked at: the rows on screen are
// checked when drawn, the others a chunk at a time whenever the window has
// no message waiting, so that it answers the user meanwhile.
constexpr size_t kCheckedBeforeShowing = 500;
constexpr size_t kCheckedPerChunk = 100;
// Work on many files runs on a thread of its own (Worker.h); after half a
// second of it the status line says how far it is and the pointer shows
// that the window is working, refreshed a few times a second.
constexpr UINT kWorkDone = WM_APP + 1;
constexpr UINT_PTR kBusyTimer = 2;
constexpr UINT kBusyDelayMs = 500, kProgressMs = 250;
constexpr int kDefaultWidth = 920, kDefaultHeight = 520;
// Posted to itself when another start handed the window files.
constexpr UINT kWmTakeHanded = WM_APP + 2;

using enum rtl::ControlKind;
enum class Ctl : size_t {
    lUser, cbUser, bOutbox, lSummary, lQueued, lvQueue, bAdd, bRemove, bFolders, lTarget, cbTarget, sbStatus, Count
};
// The first choice of "New files go to": no folder of their own.
constexpr const wchar_t* kByType = L"Their type's folder, else the default";
constexpr SIZE kDesignedClient{760, 470};
// The rows' bottom edges are designed for a status line of this height.
constexpr int kDesignedStatusHeight = 24;
constexpr unsigned kAll = rtl::akLeft | rtl::akTop | rtl::akRight | rtl::akBottom;
constexpr unsigned kTopStretch = rtl::akLeft | rtl::akTop | rtl::akRight;
constexpr unsigned kBottomLeft = rtl::akLeft | rtl::akBottom;
constexpr rtl::ControlDesign kControls[] = {
    {.kind = Label, .name = "lUser", .bounds = {10, 10, 90, 23}, .caption = "HotSync &user:", .style = SS_CENTERIMAGE},
    {.kind = ComboList, .name = "cbUser", .bounds = {110, 10, 260, 23}},
    {.kind = Button, .name = "bOutbox", .bounds = {640, 9, 110, 25}, .anchors = rtl::akTop | rtl::akRight,
     .caption = "&Outbox..."},
    {.kind = Label, .name = "lSummary", .bounds = {10, 42, 740, 34}, .anchors = kTopStretch, .flags = rtl::cfWrap,
     .style = SS_NOPREFIX},
    {.kind = Label, .name = "lQueued", .bounds = {10, 80, 290, 16}, .caption = "&Queued files:"},
    {.kind = ListView, .name = "lvQueue", .bounds = {10, 98, 740, 304}, .anchors = kAll, .style = LVS_OWNERDATA},
    {.kind = Button, .name = "bAdd", .bounds = {10, 410, 110, 26}, .anchors = kBottomLeft, .caption = "&Add files..."},
    {.kind = Button, .name = "bRemove", .bounds = {128, 410, 110, 26}, .anchors = kBottomLeft, .caption = "&Remove"},
    {.kind = Button, .name = "bFolders", .bounds = {246, 410, 120, 26}, .anchors = kBottomLeft,
     .caption = "Card &folders..."},
    {.kind = Label, .name = "lTarget", .bounds = {376, 410, 110, 26}, .anchors = kBottomLeft,
     .caption = "&New files go to:", .style = SS_RIGHT | SS_CENTERIMAGE},
    {.kind = ComboEdit, .name = "cbTarget", .bounds = {492, 412, 258, 23}, .anchors = kBottomLeft},
    {.kind = StatusBar, .name = "sbStatus", .style = SBARS_SIZEGRIP},
};
static_assert(std::size(kControls) == static_cast<size_t>(Ctl::Count), "one row per control");

// The list's columns; the row texts are kept wide for the list view.
struct WideRow {
    std::wstring key, name, size, folder, cardPath, source, state;
};
struct ColumnRow {
    const wchar_t* title;
    int width;
    int format;
    std::wstring WideRow::*text;
};
constexpr ColumnRow kColumns[] = {
    {L"Key", 60, LVCFMT_LEFT, &WideRow::key},
    {L"File name", 150, LVCFMT_LEFT, &WideRow::name},
    {L"Size", 75, LVCFMT_RIGHT, &WideRow::size},
    {L"Card folder", 150, LVCFMT_LEFT, &WideRow::folder},
    {L"Card path", 200, LVCFMT_LEFT, &WideRow::cardPath},
    {L"State", 200, LVCFMT_LEFT, &WideRow::state},
    // Two rows of one name are told apart by where their files are (the
    // row's tip shows it too).
    {L"Desktop file", 260, LVCFMT_LEFT, &WideRow::source},
};
constexpr int kStateColumn = 5;
static_assert(kColumns[kStateColumn].text == &WideRow::state);

std::wstring Wide(std::string_view text) { return rtl::WideFromAnsi(text); }

WideRow WideOf(const Row& row) {
    WideRow wide{Wide(row.key),      Wide(row.name),   Wide(row.size), Wide(row.folder),
                 Wide(row.cardPath), Wide(row.source), Wide(row.state)};
    // An outbox file may have a name that the ANSI code page cannot spell.
    if (!row.wideSource.empty()) {
        wide.source = row.wideSource;
        wide.name = row.wideSource.substr(row.wideSource.find_last_of(L'\\') + 1);
    }
    return wide;
}

std::vector<std::wstring> DroppedFiles(HDROP drop) {
    std::vector<std::wstring> files;
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        std::wstring file(DragQueryFileW(drop, i, nullptr, 0) + 1, L'\0');
        file.resize(DragQueryFileW(drop, i, file.data(), static_cast<UINT>(file.size())));
        files.push_back(std::move(file));
    }
    return files;
}

// The first start: the default size, in the middle of the work area.
RECT CentredBounds(int dpi) {
    RECT area{0, 0, rtl::Scaled(kDefaultWidth, dpi), rtl::Scaled(kDefaultHeight, dpi)};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    const int width = std::min<int>(rtl::Scaled(kDefaultWidth, dpi), area.right - area.left);
    const int height = std::min<int>(rtl::Scaled(kDefaultHeight, dpi), area.bottom - area.top);
    const int left = area.left + (area.right - area.left - width) / 2;
    const int top = area.top + (area.bottom - area.top - height) / 2;
    return {left, top, left + width, top + height};
}

// A notification's record, copied out: the list view's records are not
// always aligned as their types ask (some are packed).
template <class Record>
Record Notification(LPARAM lParam) {
    Record record;
    std::memcpy(&record, reinterpret_cast<const void*>(lParam), sizeof record);
    return record;
}

// Into a buffer the list view lends for one call.
void CopyText(const std::wstring& text, wchar_t* buffer, int size) {
    if (buffer && size > 0) lstrcpynW(buffer, text.c_str(), size);
}

struct DropDeleter {
    void operator()(HDROP drop) const noexcept { DragFinish(drop); }
};

class QueueWindow : private rtl::MessageHandler {
public:
    explicit QueueWindow(const WindowOptions& options);
    QueueWindow(const QueueWindow&) = delete;
    QueueWindow& operator=(const QueueWindow&) = delete;

    HWND Handle() const noexcept { return window_.get(); }
    // The settings folder's change event first, then the outbox's; none
    // for a folder not watched.
    std::vector<HANDLE> WatchEvents() const {
        std::vector<HANDLE> events;
        for (const FolderWatch* watch : {&watch_, &outboxWatch_})
            if (watch->Event()) events.push_back(watch->Event());
        return events;
    }
    void OutboxChanged();
    HANDLE SettingsEvent() const noexcept { return watch_.Event(); }
    bool HasIdleWork() const noexcept { return nextUnchecked_ < preview_.entries.size(); }
    void DoIdleWork();
    void FolderChanged();

private:
    LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;
    void Failed(HWND window) noexcept override { rtl::ShowCurrentError(window, kErrorCaption); }
    void CreateControls();
    void Layout();
    void FitStateColumn();
    void FillUsers(const std::wstring& wanted);
    void TakeHanded();
    void ChooseUser(int index);
    void Reload();
    void EnsureChecked(int item);
    void ShowStatus();
    void ShowRows(std::vector<Row> rows);
    LRESULT Notify(LPARAM lParam);
    std::wstring RowText(int item, std::wstring WideRow::*text) const;
    void Command(WORD id, WORD code);
    void AddFiles(const std::vector<std::wstring>& files);
    void ShowBatch(const queuetool::BatchOutcome& outcome, const std::string& userName, int userIndex);
    void ReportBatch(const queuetool::BatchOutcome& outcome, const std::string& userName);
    void StartWork(std::wstring busyText, std::function<void()> work, std::function<void()> then);
    void WorkDone(LPARAM done);
    void ShowBusy();
    void RefreshCursor() const noexcept;
    void AskForFiles();
    void FillTargets(const std::wstring& shown);
    bool ChosenFolder(std::optional<std::string>& folder);
    void EditFolders();
    void RemoveSelected();
    std::vector<int> SelectedIndexes() const;
    void Select(const std::set<std::string>& keys, const std::string& focused);
    void UpdateButtons();
    void Remember() noexcept;
    HWND Control(Ctl row) const noexcept { return controls_[row]; }
    const queuetool::DesktopUser* User() const noexcept;
    const queuetool::DesktopUser* LookUpUser();
    const queuetool::DesktopUser* UserToChange();

    queuetool::PalmDesktop desktop_;
    rtl::TableControls controls_{kControls, kDesignedClient};
    rtl::UniqueHWnd window_;
    rtl::FocusKeeper focus_;
    std::vector<Handed> handed_;  // by later starts, taken once their message has returned
    FolderWatch watch_;
    FolderWatch outboxWatch_;  // a file saved into the outbox shows at once
    int userIndex_ = -1;
    queuetool::Preview preview_;
    queuetool::OutboxView outbox_;
    size_t nextUnchecked_ = 0;
    std::wstring lastAction_;
    bool queueProblem_ = false;  // the queue could not be read: the summary line says why  // what the last batch did, kept on the status line
    std::vector<Row> rows_;
    std::vector<WideRow> wideRows_;
    std::wstring settingsFolder_;
    // The work that runs, what the window does once it is done, and what it
    // says meanwhile.
    std::function<void()> whenDone_;
    std::wstring busyText_;
    std::atomic<size_t> judged_{0};  // files of the running batch judged so far
    size_t batchSize_ = 0;           // files of the running batch; 0 for other work
    bool busyShown_ = false;
    std::vector<std::wstring> pendingFiles_;  // dropped while a batch ran: queued next
    Worker worker_;  // last: it is gone, its thread ended, before the rest
};

const queuetool::DesktopUser* QueueWindow::User() const noexcept {
    const auto& users = desktop_.Users();
    return userIndex_ >= 0 && userIndex_ < static_cast<int>(users.size()) ? &users[userIndex_] : nullptr;
}

namespace {

// The program's own icon (its .rc names it 1) in the size the system uses
// for a metric pair; the generic one where the program has none.
HICON ProgramIcon(HINSTANCE instance, int widthMetric, int heightMetric) noexcept {
    constexpr int kProgramIconId = 1;
    const auto icon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(kProgramIconId), IMAGE_ICON,
                                                    GetSystemMetrics(widthMetric), GetSystemMetrics(heightMetric),
                                                    LR_SHARED));
    return icon ? icon : LoadIcon(nullptr, IDI_APPLICATION);
}

}  // namespace

QueueWindow::QueueWindow(const WindowOptions& options) {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    rtl::RegisterBoundClass(kWindowClass, ProgramIcon(instance, SM_CXICON, SM_CYICON),
                            ProgramIcon(instance, SM_CXSMICON, SM_CYSMICON));

    const Remembered remembered = LoadRemembered();
    // Kept at 96 DPI: the same size on any screen.
    const int dpi = rtl::DpiOf(nullptr);
    const auto kept = remembered.bounds ? std::optional<RECT>(rtl::Scaled(*remembered.bounds, dpi)) : std::nullopt;
    const auto bounds = VisibleBounds(kept).value_or(CentredBounds(dpi));
    const HWND window = CreateWindowExW(
        WS_EX_ACCEPTFILES | WS_EX_CONTROLPARENT, kWindowClass, kWindowCaption, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
        bounds.left, bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top, nullptr, nullptr,
        instance, static_cast<rtl::MessageHandler*>(this));
    if (!window) throw rtl::Exception("The queue window could not be created.");
    window_.reset(window);
    CreateControls();
    FillUsers(options.user.empty() ? remembered.lastUser : options.user);
    ShowWindow(window, remembered.maximized ? SW_SHOWMAXIMIZED : options.showCommand);
    UpdateWindow(window);
    if (!options.filesToAdd.empty()) AddFiles(options.filesToAdd);
}

void QueueWindow::CreateControls() {
    // On a monitor of its own DPI (per-monitor aware on Windows 10 and later).
    controls_.Create(window_.get(), rtl::DpiOf(window_.get()));
    const HWND list = Control(Ctl::lvQueue);
    ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT | LVS_EX_HEADERDRAGDROP | LVS_EX_INFOTIP);
    for (int i = 0; i < static_cast<int>(std::size(kColumns)); ++i)
        controls_.AddColumn(list, i, kColumns[i].title, kColumns[i].width, kColumns[i].format);
    Layout();
    SetFocus(list);
}

void QueueWindow::Layout() {
    RECT client{};
    GetClientRect(window_.get(), &client);
    const HWND status = Control(Ctl::sbStatus);
    SendMessageW(status, WM_SIZE, 0, 0);
    RECT statusBounds{};
    GetWindowRect(status, &statusBounds);
    // The designed bottom edge sits above the status line, whatever its height.
    const SIZE actual{client.right, client.bottom - (statusBounds.bottom - statusBounds.top)};
    controls_.Place(actual, SIZE{kDesignedClient.cx, kDesignedClient.cy - kDesignedStatusHeight});
    FitStateColumn();
}

// The state column takes the rest of the list's visible width, so that a
// warning can be read without scrolling; a tip shows what still does not
// fit, and the desktop file's column follows beyond it.
void QueueWindow::FitStateColumn() {
    const HWND list = Control(Ctl::lvQueue);
    RECT client{};
    GetClientRect(list, &client);
    int before = 0;
    for (int i = 0; i < kStateColumn; ++i) before += ListView_GetColumnWidth(list, i);
    const int designed = rtl::Scaled(kColumns[kStateColumn].width, controls_.Dpi());
    ListView_SetColumnWidth(list, kStateColumn, std::max(designed, static_cast<int>(client.right) - before));
}

void QueueWindow::FillUsers(const std::wstring& wanted) {
    const HWND combo = Control(Ctl::cbUser);
    const auto& users = desktop_.Users();
    int chosen = 0;
    for (int i = 0; i < static_cast<int>(users.size()); ++i) {
        const std::wstring name = Wide(users[i].name);
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
        if (!wanted.empty() && CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, name.c_str(), -1, wanted.c_str(),
                                              -1) == CSTR_EQUAL)
            chosen = i;
    }
    if (users.empty()) {
        SetWindowTextW(Control(Ctl::lSummary), L"The Palm Desktop has no HotSync users yet. Do a first HotSync, then "
                                          L"open this window again.");
        for (const Ctl row : {Ctl::bAdd, Ctl::bFolders, Ctl::bOutbox, Ctl::cbTarget}) EnableWindow(Control(row), FALSE);
        UpdateButtons();
        return;
    }
    SendMessageW(combo, CB_SETCURSEL, chosen, 0);
    ChooseUser(chosen);
}

// Another start's files: the window comes forward, shows the user it was
// asked for, if any, and queues them.
void QueueWindow::TakeHanded() {
    const HWND window = window_.get();
    if (IsIconic(window)) ShowWindow(window, SW_RESTORE);
    SetForegroundWindow(window);
    for (Handed handed : std::exchange(handed_, {})) {
        const auto& users = desktop_.Users();
        for (int i = 0; !handed.user.empty() && i < static_cast<int>(users.size()); ++i)
            if (CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, Wide(users[i].name).c_str(), -1,
                               handed.user.c_str(), -1) == CSTR_EQUAL &&
                i != userIndex_) {
                SendMessageW(Control(Ctl::cbUser), CB_SETCURSEL, i, 0);
                ChooseUser(i);
            }
        if (!handed.files.empty()) AddFiles(handed.files);
    }
}

void QueueWindow::ChooseUser(int index) {
    userIndex_ = index;
    const queuetool::DesktopUser* user = User();
    if (!user) return;
    settingsFolder_ = Wide(user->conduitFolder);
    watch_.Watch(settingsFolder_);
    lastAction_.clear();
    rows_.clear();
    Reload();
    FillTargets(kByType);
}

// The folders a user is likely to want for new files: the default's and
// each type's, after the choice of none; any other may be typed.
void QueueWindow::FillTargets(const std::wstring& shown) {
    const queuetool::DesktopUser* user = User();
    const HWND combo = Control(Ctl::cbTarget);
    SendMessageW(combo, CB_RESETCONTENT, 0, 0);
    std::vector<std::wstring> folders{kByType, Wide(preview_.cardDirectory)};
    if (user)
        for (const auto& rule : queuetool::QueueFile(queuetool::SettingsFileOf(*user)).TypeFolders())
            if (!rule.second.empty()) folders.push_back(Wide(rule.second));
    for (size_t i = 0; i < folders.size(); ++i)
        if (std::find(folders.begin(), folders.begin() + static_cast<std::ptrdiff_t>(i), folders[i]) ==
            folders.begin() + static_cast<std::ptrdiff_t>(i))
            SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(folders[i].c_str()));
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

// The rules are written only as changed in the dialog, so that a rule that
// another program wrote meanwhile stays.
void QueueWindow::EditFolders() {
    const queuetool::DesktopUser* user = UserToChange();
    if (!user) return;
    queuetool::QueueFile queue(queuetool::SettingsFileOf(*user));
    const auto changes = EditTypeFolders(window_.get(), queue.TypeFolders(), preview_.cardDirectory);
    if (!changes || changes->empty()) return;
    queue.CheckAccess(true);
    queue.SetTypeFolders(*changes, queuetool::NewSettings{user->firstSlotMediaType});
    Reload();
    FillTargets(rtl::TextOf(Control(Ctl::cbTarget)));
}

// The user's folder is asked for again each time: the Palm Desktop may have
// renamed or moved it since the window opened.
const queuetool::DesktopUser* QueueWindow::LookUpUser() {
    if (userIndex_ < 0) return nullptr;
    desktop_.LookUpAgain(static_cast<size_t>(userIndex_));
    const queuetool::DesktopUser* user = User();
    if (user && Wide(user->conduitFolder) != settingsFolder_) {
        settingsFolder_ = Wide(user->conduitFolder);
        watch_.Watch(settingsFolder_);
    }
    return user;
}

// The user whose settings are to change, looked up again; a user folder
// that is gone is said in the error box and, from now on, in place of the
// install's line, rather than "Cannot create the folder".
const queuetool::DesktopUser* QueueWindow::UserToChange() {
    const queuetool::DesktopUser* user = LookUpUser();
    if (user && !queuetool::MissingUserFolder(*user).empty()) {
        Reload();
        throw rtl::Exception(queuetool::MissingUserFolder(*user));
    }
    return user;
}

// Why the queue cannot be shown: the user's folder is missing, or the
// settings file is held, denied or too large; "" when it can.
std::string QueueProblem(const queuetool::DesktopUser& user, queuetool::QueueFile& queue) {
    if (std::string missing = queuetool::MissingUserFolder(user); !missing.empty() && !queue.Exists()) return missing;
    try {
        queue.CheckAccess(false);
    } catch (const rtl::Exception& e) {
        return e.Message();
    }
    return "";
}

void QueueWindow::Reload() {
    const queuetool::DesktopUser* user = LookUpUser();
    if (!user) return;
    queuetool::QueueFile queue(queuetool::SettingsFileOf(*user));
    queueProblem_ = false;
    if (const std::string problem = QueueProblem(*user, queue); !problem.empty()) {
        queueProblem_ = true;
        preview_ = {};
        outbox_ = {};
        outboxWatch_.Watch(L"");
        nextUnchecked_ = 0;
        SetWindowTextW(Control(Ctl::lSummary), Wide(problem).c_str());
        ShowRows({});
        return;
    }
    preview_ = queue.MakePreview(queuetool::QueueFile::FileChecks::Later);
    if (preview_.entries.size() <= kCheckedBeforeShowing)
        for (queuetool::PreviewEntry& entry : preview_.entries) queuetool::CheckQueuedFile(entry);
    nextUnchecked_ = preview_.entries.size() <= kCheckedBeforeShowing ? preview_.entries.size() : 0;
    outbox_ = queuetool::ViewOutbox(queue, *user, preview_);
    const std::wstring outboxFolder = outbox_.missing ? L"" : Wide(outbox_.folder);
    if (outboxWatch_.Folder() != outboxFolder) outboxWatch_.Watch(outboxFolder, true);
    SetWindowTextW(Control(Ctl::lSummary),
                   Wide(InstallSummary(preview_, app::GetSlots(user->id)) + " " + OutboxSummary(outbox_)).c_str());
    std::vector<Row> rows = MakeRows(preview_);
    for (Row& row : OutboxRows(outbox_, preview_.cardDirectory)) rows.push_back(std::move(row));
    ShowRows(std::move(rows));
}

void QueueWindow::EnsureChecked(int item) {
    if (item < 0 || item >= static_cast<int>(preview_.entries.size()) || preview_.entries[item].fileChecked) return;
    queuetool::CheckQueuedFile(preview_.entries[item]);
    rows_[item] = MakeRow(preview_.entries[item]);
    wideRows_[item] = WideOf(rows_[item]);
}

void QueueWindow::DoIdleWork() {
    for (size_t checked = 0; HasIdleWork() && checked < kCheckedPerChunk; ++nextUnchecked_) {
        if (preview_.entries[nextUnchecked_].fileChecked) continue;
        EnsureChecked(static_cast<int>(nextUnchecked_));
        ++checked;
    }
    if (HasIdleWork()) return;
    InvalidateRect(Control(Ctl::lvQueue), nullptr, FALSE);
    ShowStatus();
}

void QueueWindow::ShowStatus() {
    const std::wstring queue =
        queueProblem_ ? L"The queue cannot be shown: the line above says why." : Wide(StatusText(rows_));
    std::wstring status = queue + (lastAction_.empty() ? L"" : L" " + lastAction_);
    if (busyShown_) {
        const size_t judged = judged_;
        status = busyText_ + (batchSize_ == 0          ? L"..."
                              : judged < batchSize_ ? L": " + std::to_wstring(judged) + L" looked at..."
                                                    : L": all looked at, writing the queue...");
    }
    SetWindowTextW(Control(Ctl::sbStatus), status.c_str());
}

void QueueWindow::ShowRows(std::vector<Row> rows) {
    std::set<std::string> selected;
    for (int index : SelectedIndexes())
        if (!rows_[index].outbox) selected.insert(rows_[index].key);
    const int focusedIndex = ListView_GetNextItem(Control(Ctl::lvQueue), -1, LVNI_FOCUSED);
    const std::string focused =
        focusedIndex >= 0 && focusedIndex < static_cast<int>(rows_.size()) ? rows_[focusedIndex].key : "";
    rows_ = std::move(rows);
    wideRows_.clear();
    wideRows_.reserve(rows_.size());
    for (const Row& row : rows_) wideRows_.push_back(WideOf(row));
    const HWND list = Control(Ctl::lvQueue);
    SendMessageW(list, LVM_SETITEMCOUNT, rows_.size(), LVSICF_NOSCROLL);
    Select(selected, focused);
    InvalidateRect(list, nullptr, FALSE);
    ShowStatus();
    UpdateButtons();
}

std::vector<int> QueueWindow::SelectedIndexes() const {
    std::vector<int> indexes;
    const HWND list = Control(Ctl::lvQueue);
    for (int i = ListView_GetNextItem(list, -1, LVNI_SELECTED); i >= 0 && i < static_cast<int>(rows_.size());
         i = ListView_GetNextItem(list, i, LVNI_SELECTED))
        indexes.push_back(i);
    return indexes;
}

void QueueWindow::Select(const std::set<std::string>& keys, const std::string& focused) {
    const HWND list = Control(Ctl::lvQueue);
    ListView_SetItemState(list, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    for (int i = 0; i < static_cast<int>(rows_.size()); ++i) {
        UINT state = keys.count(rows_[i].key) ? LVIS_SELECTED : 0;
        if (!focused.empty() && rows_[i].key == focused) state |= LVIS_FOCUSED;
        if (state) ListView_SetItemState(list, i, state, LVIS_SELECTED | LVIS_FOCUSED);
    }
}

void QueueWindow::UpdateButtons() {
    EnableWindow(Control(Ctl::bRemove), ListView_GetSelectedCount(Control(Ctl::lvQueue)) > 0 && !worker_.Busy());
}

void QueueWindow::FolderChanged() {
    // Watch again first, so that a change made while we read is not missed.
    if (watch_.Folder() != settingsFolder_)
        watch_.Watch(settingsFolder_);
    else
        watch_.Rearm();
    SetTimer(window_.get(), kReloadTimer, kReloadDelayMs, nullptr);
}

void QueueWindow::OutboxChanged() {
    outboxWatch_.Rearm();
    SetTimer(window_.get(), kReloadTimer, kReloadDelayMs, nullptr);
}

// The files are judged and queued on the worker's thread: a thousand of
// them, or a queue that another program holds for a while, never keep the
// window from answering. Files dropped meanwhile are queued next.
void QueueWindow::AddFiles(const std::vector<std::wstring>& files) {
    if (worker_.Busy()) {
        pendingFiles_.insert(pendingFiles_.end(), files.begin(), files.end());
        return;
    }
    const queuetool::DesktopUser* user = UserToChange();
    if (!user || files.empty()) return;
    std::optional<std::string> folder;
    if (!ChosenFolder(folder)) return;
    const queuetool::DesktopUser who = *user;
    const int userIndex = userIndex_;
    const auto outcome = std::make_shared<queuetool::BatchOutcome>();
    judged_ = 0;
    batchSize_ = files.size();
    StartWork(
        L"Queuing " + std::to_wstring(files.size()) + L" files for " + Wide(who.name),
        [this, who, files, folder, outcome] {
            queuetool::QueueFile queue(queuetool::SettingsFileOf(who));
            *outcome = queuetool::AddFiles(queue, who, files, folder, [this](size_t judged) { judged_ = judged; });
        },
        [this, outcome, name = who.name, userIndex] { ShowBatch(*outcome, name, userIndex); });
}

// The new entries become the selection, unless another user was chosen
// while they were queued.
void QueueWindow::ShowBatch(const queuetool::BatchOutcome& outcome, const std::string& userName, int userIndex) {
    std::set<std::string> added;
    std::string first;
    for (const queuetool::FileOutcome& file : outcome.files)
        if (file.kind == queuetool::FileOutcome::Kind::kQueued) {
            added.insert(file.key);
            if (first.empty()) first = file.key;
        }
    if (userIndex == userIndex_) {
        rows_.clear();
        Reload();
        Select(added, first);
        for (int i = 0; i < static_cast<int>(rows_.size()); ++i)
            if (rows_[i].key == first) ListView_EnsureVisible(Control(Ctl::lvQueue), i, FALSE);
    }
    UpdateButtons();
    ReportBatch(outcome, userName);
}

// The one-line outcome stays on the status line; refusals and the reasons
// why queued files will wait are shown at once, each file by name.
void QueueWindow::ReportBatch(const queuetool::BatchOutcome& outcome, const std::string& userName) {
    lastAction_ = BatchLine(outcome, userName);
    ShowStatus();
    std::wstring details;
    size_t refused = 0;
    for (const queuetool::FileOutcome& file : outcome.files) {
        if (file.kind != queuetool::FileOutcome::Kind::kRefused) continue;
        if (++refused <= kRefusalsShown) details += L"\n" + file.text;
    }
    if (refused > kRefusalsShown) details += L"\n... and " + std::to_wstring(refused - kRefusalsShown) + L" more.";
    if (refused && refused == outcome.files.size()) details += L"\n\nNothing was queued.";
    for (const std::wstring& warning : outcome.warnings) details += L"\n\n" + warning;
    if (details.empty()) return;
    MessageBoxW(window_.get(), (lastAction_ + L"\n" + details).c_str(), refused ? kRefusedCaption : kWaitCaption,
                MB_OK | MB_ICONWARNING);
}

void QueueWindow::StartWork(std::wstring busyText, std::function<void()> work, std::function<void()> then) {
    worker_.Start(window_.get(), kWorkDone, std::move(work));
    whenDone_ = std::move(then);
    busyText_ = std::move(busyText);
    SetTimer(window_.get(), kBusyTimer, kBusyDelayMs, nullptr);
    UpdateButtons();
}

void QueueWindow::WorkDone(LPARAM done) {
    KillTimer(window_.get(), kBusyTimer);
    busyShown_ = false;
    batchSize_ = 0;
    RefreshCursor();
    std::function<void()> then = std::move(whenDone_);
    whenDone_ = nullptr;
    try {
        worker_.Finish(done);
    } catch (...) {
        ShowStatus();
        UpdateButtons();
        throw;  // the window's catch-all says what it was
    }
    then();
    ShowStatus();
    UpdateButtons();
    if (!pendingFiles_.empty()) AddFiles(std::exchange(pendingFiles_, {}));
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

void QueueWindow::AskForFiles() { AddFiles(PickFilesToQueue(window_.get())); }

void QueueWindow::RemoveSelected() {
    if (worker_.Busy()) return;
    const queuetool::DesktopUser* user = User();
    std::vector<int> selected = SelectedIndexes();
    // The outbox's files are not queued yet: nothing to take off.
    selected.erase(std::remove_if(selected.begin(), selected.end(), [&](int index) { return rows_[index].outbox; }),
                   selected.end());
    if (!user || selected.empty()) return;
    const Row& first = rows_[selected.front()];
    const std::string what = selected.size() == 1
                                 ? "the entry " + first.key + " (" + first.name + ")"
                                 : std::to_string(selected.size()) + " entries";
    const std::string question = "Remove " + what + " from the queue of " + user->name +
                                 "?\n\nThe files stay on this computer; the next HotSync will not copy them.";
    if (MessageBoxW(window_.get(), Wide(question).c_str(), kRemoveCaption, MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    std::vector<std::string> keys;
    for (int index : selected) keys.push_back(rows_[index].key);
    // One that a HotSync took meanwhile is simply gone.
    StartWork(L"Taking " + std::to_wstring(keys.size()) + L" entries off the queue of " + Wide(user->name),
              [keys, settings = queuetool::SettingsFileOf(*user)] { queuetool::QueueFile(settings).RemoveAll(keys); },
              [this] { Reload(); });
}

LRESULT QueueWindow::Notify(LPARAM lParam) {
    const auto header = Notification<NMHDR>(lParam);
    if (header.hwndFrom != Control(Ctl::lvQueue)) return 0;
    switch (header.code) {
        case LVN_GETDISPINFOW: {
            const LVITEMW item = Notification<NMLVDISPINFOW>(lParam).item;
            EnsureChecked(item.iItem);
            if ((item.mask & LVIF_TEXT) && item.iSubItem >= 0 && item.iSubItem < static_cast<int>(std::size(kColumns)))
                CopyText(RowText(item.iItem, kColumns[item.iSubItem].text), item.pszText, item.cchTextMax);
            return 0;
        }
        case LVN_GETINFOTIPW: {
            const auto tip = Notification<NMLVGETINFOTIPW>(lParam);
            EnsureChecked(tip.iItem);
            CopyText(RowText(tip.iItem, &WideRow::source) + L": " + RowText(tip.iItem, &WideRow::state), tip.pszText,
                     tip.cchTextMax);
            return 0;
        }
        case LVN_KEYDOWN:
            if (Notification<NMLVKEYDOWN>(lParam).wVKey == VK_DELETE) RemoveSelected();
            return 0;
        case LVN_ITEMCHANGED:
        case LVN_ODSTATECHANGED:
            UpdateButtons();
            return 0;
        default:
            return 0;
    }
}

std::wstring QueueWindow::RowText(int item, std::wstring WideRow::*text) const {
    return item >= 0 && item < static_cast<int>(wideRows_.size()) ? wideRows_[item].*text : std::wstring();
}

void QueueWindow::Command(WORD id, WORD code) {
    const auto row = controls_.RowOfId(id);
    if (!row) return;
    const Ctl control = static_cast<Ctl>(*row);
    if (control == Ctl::bAdd && code == BN_CLICKED) AskForFiles();
    if (control == Ctl::bRemove && code == BN_CLICKED) RemoveSelected();
    if (control == Ctl::bFolders && code == BN_CLICKED) EditFolders();
    if (control == Ctl::bOutbox && code == BN_CLICKED && User() &&
        OutboxMenu(window_.get(), Control(Ctl::bOutbox), *User(), outbox_))
        Reload();
    if (control == Ctl::cbUser && code == CBN_SELCHANGE) {
        ChooseUser(static_cast<int>(SendMessageW(Control(Ctl::cbUser), CB_GETCURSEL, 0, 0)));
        Remember();
    }
}

void QueueWindow::Remember() noexcept {
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    if (!GetWindowPlacement(window_.get(), &placement)) return;
    Remembered remembered;
    remembered.bounds = rtl::Unscaled(placement.rcNormalPosition, controls_.Dpi());
    remembered.maximized = placement.showCmd == SW_SHOWMAXIMIZED;
    if (const queuetool::DesktopUser* user = User()) remembered.lastUser = Wide(user->name);
    SaveRemembered(remembered);
}

LRESULT QueueWindow::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    // Until CreateWindowEx has returned, the window has no controls to handle.
    if (!window_) return DefWindowProcW(window, message, wParam, lParam);
    switch (message) {
        case WM_SIZE:
            Layout();
            return 0;
        case WM_GETMINMAXINFO:
            reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize = {rtl::Scaled(420, controls_.Dpi()),
                                                                     rtl::Scaled(300, controls_.Dpi())};
            return 0;
        case rtl::kWmDpiChanged:
            if (controls_.DpiChanged(wParam, lParam)) Layout();
            return 0;
        case WM_ACTIVATE:
            focus_.Activated(window, wParam, Control(Ctl::lvQueue));
            return 0;
        case WM_COPYDATA:
            if (auto handed = ReadHanded(*reinterpret_cast<const COPYDATASTRUCT*>(lParam))) {
                // Taken later: the sender waits until this returns, and
                // adding may ask the user.
                handed_.push_back(std::move(*handed));
                PostMessageW(window, kWmTakeHanded, 0, 0);
                return TRUE;
            }
            return FALSE;
        case kWmTakeHanded:
            TakeHanded();
            return 0;
        case WM_NOTIFY:
            return Notify(lParam);
        case WM_COMMAND:
            Command(LOWORD(wParam), HIWORD(wParam));
            return 0;
        case WM_DROPFILES: {
            const std::unique_ptr<HDROP__, DropDeleter> drop(reinterpret_cast<HDROP>(wParam));
            AddFiles(DroppedFiles(drop.get()));
            return 0;
        }
        case WM_TIMER:
            if (wParam == kReloadTimer) {
                KillTimer(window, kReloadTimer);
                Reload();
            }
            if (wParam == kBusyTimer && worker_.Busy()) ShowBusy();
            return 0;
        case kWorkDone:
            WorkDone(lParam);
            return 0;
        case WM_SETCURSOR:
            // Working, and still answering: the pointer of work in the background.
            if (busyShown_ && LOWORD(lParam) == HTCLIENT) {
                SetCursor(LoadCursor(nullptr, IDC_APPSTARTING));
                return TRUE;
            }
            return DefWindowProcW(window, message, wParam, lParam);
        case WM_CLOSE:
            Remember();
            window_.reset();
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

void RunLoop(QueueWindow& window) {
    for (;;) {
        const std::vector<HANDLE> events = window.WatchEvents();
        const DWORD count = static_cast<DWORD>(events.size());
        const DWORD timeout = window.HasIdleWork() ? 0 : INFINITE;
        const DWORD woke =
            MsgWaitForMultipleObjectsEx(count, events.data(), timeout, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        // The settings folder's event comes first when it is watched.
        if (woke < WAIT_OBJECT_0 + count)
            (events[woke - WAIT_OBJECT_0] == window.SettingsEvent() ? window.FolderChanged() : window.OutboxChanged());
        if (woke == WAIT_TIMEOUT) window.DoIdleWork();
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) return;
            if (window.Handle() && IsDialogMessageW(window.Handle(), &message)) continue;
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
}

}  // namespace

int RunQueueWindow(const WindowOptions& options) noexcept {
    try {
        const SessionLock lock;
        if (!lock.First() && HandToRunningWindow(Handed{options.user, options.filesToAdd})) return 0;
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES};
        InitCommonControlsEx(&controls);
        QueueWindow window(options);
        RunLoop(window);
        return 0;
    } catch (const rtl::Exception& e) {
        MessageBoxW(nullptr, Wide(e.Message()).c_str(), kErrorCaption, MB_OK | MB_ICONERROR);
    } catch (...) {
        MessageBoxW(nullptr, L"The queue window could not be shown.", kErrorCaption, MB_OK | MB_ICONERROR);
    }
    return kExitFailed;
}

}  // namespace queuewindow

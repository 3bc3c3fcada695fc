#include "tools/window/QueueWindow.h"

#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
#include <set>

#include "rtl/Forms.h"
#include "rtl/SysUtils.h"
#include "rtl/WinHandles.h"
#include "tools/queue/DesktopUsers.h"
#include "tools/window/ControlTable.h"
#include "tools/window/FolderWatch.h"
#include "tools/window/FoldersDialog.h"
#include "tools/queue/QueueBatch.h"
#include "tools/window/QueueRows.h"
#include "tools/window/Remembered.h"
#include "rtl/AnsiText.h"
#include "app/PathRules.h"

namespace queuewindow {

namespace {

constexpr const wchar_t* kClassName = L"TolvaneQueueWindow";
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
constexpr int kDefaultWidth = 920, kDefaultHeight = 520;

enum ControlId : int {
    kUserLabel = 100, kUserCombo, kSummary, kListLabel, kList, kAdd, kRemove, kFolders, kTargetLabel, kTarget, kStatus
};
// The first choice of "New files go to": no folder of their own.
constexpr const wchar_t* kByType = L"Their type's folder, else the default";
constexpr SIZE kDesignedClient{760, 470};
constexpr unsigned kAll = rtl::akLeft | rtl::akTop | rtl::akRight | rtl::akBottom;
constexpr unsigned kTopStretch = rtl::akLeft | rtl::akTop | rtl::akRight;
constexpr unsigned kBottomLeft = rtl::akLeft | rtl::akBottom;
const ControlRow kControls[] = {
    {kUserLabel, L"STATIC", L"HotSync &user:", SS_LEFT | SS_CENTERIMAGE, 0, {10, 10, 100, 33}, rtl::akTopLeft},
    {kUserCombo, WC_COMBOBOXW, L"", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, 0, {110, 10, 370, 310},
     rtl::akTopLeft},
    {kSummary, L"STATIC", L"", SS_LEFT | SS_NOPREFIX, 0, {10, 42, 750, 76}, kTopStretch},
    {kListLabel, L"STATIC", L"&Queued files:", SS_LEFT, 0, {10, 80, 300, 96}, rtl::akTopLeft},
    {kList, WC_LISTVIEWW, L"", LVS_REPORT | LVS_OWNERDATA | LVS_SHOWSELALWAYS | WS_TABSTOP, WS_EX_CLIENTEDGE,
     {10, 98, 750, 402}, kAll},
    {kAdd, L"BUTTON", L"&Add files...", BS_PUSHBUTTON | WS_TABSTOP, 0, {10, 410, 120, 436}, kBottomLeft},
    {kRemove, L"BUTTON", L"&Remove", BS_PUSHBUTTON | WS_TABSTOP, 0, {128, 410, 238, 436}, kBottomLeft},
    {kFolders, L"BUTTON", L"Card &folders...", BS_PUSHBUTTON | WS_TABSTOP, 0, {246, 410, 366, 436}, kBottomLeft},
    {kTargetLabel, L"STATIC", L"&New files go to:", SS_RIGHT | SS_CENTERIMAGE, 0, {376, 410, 486, 436}, kBottomLeft},
    {kTarget, WC_COMBOBOXW, L"", CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL | WS_TABSTOP, 0, {492, 412, 750, 612},
     kBottomLeft},
    {kStatus, STATUSCLASSNAMEW, L"", SBARS_SIZEGRIP, 0, {}, 0},
};

// The list's columns; the row texts are kept wide for the list view.
struct WideRow {
    std::wstring key, name, size, folder, cardPath, state;
};
struct ColumnRow {
    const wchar_t* title;
    int width;
    int format;
    std::wstring WideRow::*text;
};
const ColumnRow kColumns[] = {
    {L"Key", 60, LVCFMT_LEFT, &WideRow::key},
    {L"File name", 150, LVCFMT_LEFT, &WideRow::name},
    {L"Size", 75, LVCFMT_RIGHT, &WideRow::size},
    {L"Card folder", 150, LVCFMT_LEFT, &WideRow::folder},
    {L"Card path", 200, LVCFMT_LEFT, &WideRow::cardPath},
    {L"State", 200, LVCFMT_LEFT, &WideRow::state},
};

std::wstring Wide(std::string_view text) { return rtl::WideFromAnsi(text); }

WideRow WideOf(const Row& row) {
    return {Wide(row.key), Wide(row.name), Wide(row.size), Wide(row.folder), Wide(row.cardPath), Wide(row.state)};
}

// The files that an open dialog with several chosen returns: the folder,
// then each name; or one full path when only one was chosen.
std::vector<std::wstring> ChosenFiles(const std::vector<wchar_t>& buffer) {
    std::vector<std::wstring> parts;
    for (const wchar_t* part = buffer.data(); *part; part += wcslen(part) + 1) parts.emplace_back(part);
    if (parts.size() <= 1) return parts;
    std::wstring folder = parts.front();
    if (folder.back() != L'\\') folder += L'\\';
    std::vector<std::wstring> files;
    for (size_t i = 1; i < parts.size(); ++i) files.push_back(folder + parts[i]);
    return files;
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
RECT CentredBounds() {
    RECT area{0, 0, kDefaultWidth, kDefaultHeight};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    const int width = std::min<int>(kDefaultWidth, area.right - area.left);
    const int height = std::min<int>(kDefaultHeight, area.bottom - area.top);
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

class QueueWindow {
public:
    explicit QueueWindow(const WindowOptions& options);
    QueueWindow(const QueueWindow&) = delete;
    QueueWindow& operator=(const QueueWindow&) = delete;

    HWND Handle() const noexcept { return window_.get(); }
    HANDLE WatchEvent() const noexcept { return watch_.Event(); }
    bool HasIdleWork() const noexcept { return nextUnchecked_ < preview_.entries.size(); }
    void DoIdleWork();
    void FolderChanged();

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
    void CreateControls();
    void Layout();
    void FitStateColumn();
    void FillUsers(const std::wstring& wanted);
    void ChooseUser(int index);
    void Reload();
    void EnsureChecked(int item);
    void ShowStatus();
    void ShowRows(std::vector<Row> rows);
    LRESULT Notify(LPARAM lParam);
    std::wstring RowText(int item, std::wstring WideRow::*text) const;
    void Command(WORD id, WORD code);
    void AddFiles(const std::vector<std::wstring>& files);
    void ReportBatch(const queuetool::BatchOutcome& outcome);
    void AskForFiles();
    void FillTargets(const std::wstring& shown);
    bool ChosenFolder(std::optional<std::string>& folder);
    void EditFolders();
    void RemoveSelected();
    std::vector<int> SelectedIndexes() const;
    void Select(const std::set<std::string>& keys, const std::string& focused);
    void UpdateButtons();
    void Remember() noexcept;
    HWND Control(ControlId id) const noexcept { return GetDlgItem(window_.get(), id); }
    const queuetool::DesktopUser* User() const noexcept;

    queuetool::PalmDesktop desktop_;
    rtl::UniqueHWnd window_;
    rtl::UniqueGdiObject font_;
    FolderWatch watch_;
    int userIndex_ = -1;
    queuetool::Preview preview_;
    size_t nextUnchecked_ = 0;
    std::wstring lastAction_;  // what the last batch did, kept on the status line
    std::vector<Row> rows_;
    std::vector<WideRow> wideRows_;
    std::wstring settingsFolder_;
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

QueueWindow::QueueWindow(const WindowOptions& options) : font_(MessageFont()) {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = &WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hIcon = ProgramIcon(instance, SM_CXICON, SM_CYICON);
    windowClass.hIconSm = ProgramIcon(instance, SM_CXSMICON, SM_CYSMICON);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kClassName;
    RegisterClassExW(&windowClass);  // fails harmlessly when a second window registers it again

    const Remembered remembered = LoadRemembered();
    const auto bounds = VisibleBounds(remembered.bounds).value_or(CentredBounds());
    const HWND window = CreateWindowExW(
        WS_EX_ACCEPTFILES | WS_EX_CONTROLPARENT, kClassName, kWindowCaption, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
        bounds.left, bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top, nullptr, nullptr, instance,
        this);
    if (!window) throw rtl::Exception("The queue window could not be created.");
    window_.reset(window);
    CreateControls();
    FillUsers(options.user.empty() ? remembered.lastUser : options.user);
    ShowWindow(window, remembered.maximized ? SW_SHOWMAXIMIZED : options.showCommand);
    UpdateWindow(window);
    if (!options.filesToAdd.empty()) AddFiles(options.filesToAdd);
}

void QueueWindow::CreateControls() {
    queuewindow::CreateControls(window_.get(), kControls, font_.get());
    const HWND list = Control(kList);
    ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT | LVS_EX_HEADERDRAGDROP | LVS_EX_INFOTIP);
    for (int i = 0; i < static_cast<int>(std::size(kColumns)); ++i) {
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
        column.fmt = kColumns[i].format;
        column.cx = kColumns[i].width;
        column.pszText = const_cast<wchar_t*>(kColumns[i].title);
        SendMessageW(list, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
    }
    Layout();
    SetFocus(list);
}

void QueueWindow::Layout() {
    RECT client{};
    GetClientRect(window_.get(), &client);
    const HWND status = Control(kStatus);
    SendMessageW(status, WM_SIZE, 0, 0);
    RECT statusBounds{};
    GetWindowRect(status, &statusBounds);
    // The designed bottom edge sits above the status line, whatever its height.
    const SIZE actual{client.right, client.bottom - (statusBounds.bottom - statusBounds.top)};
    const SIZE designed{kDesignedClient.cx, kDesignedClient.cy - 24};
    PlaceControls(window_.get(), kControls, designed, actual);
    FitStateColumn();
}

// The state column takes the rest of the list's width, so that a warning
// can be read without scrolling; a tip shows what still does not fit.
void QueueWindow::FitStateColumn() {
    const HWND list = Control(kList);
    RECT client{};
    GetClientRect(list, &client);
    int others = 0;
    for (int i = 0; i + 1 < static_cast<int>(std::size(kColumns)); ++i) others += ListView_GetColumnWidth(list, i);
    const int last = static_cast<int>(std::size(kColumns)) - 1;
    ListView_SetColumnWidth(list, last, std::max(kColumns[last].width, static_cast<int>(client.right) - others));
}

void QueueWindow::FillUsers(const std::wstring& wanted) {
    const HWND combo = Control(kUserCombo);
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
        SetWindowTextW(Control(kSummary), L"The Palm Desktop has no HotSync users yet. Do a first HotSync, then "
                                          L"open this window again.");
        for (const ControlId id : {kAdd, kFolders, kTarget}) EnableWindow(Control(id), FALSE);
        UpdateButtons();
        return;
    }
    SendMessageW(combo, CB_SETCURSEL, chosen, 0);
    ChooseUser(chosen);
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
    const HWND combo = Control(kTarget);
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
    const HWND combo = Control(kTarget);
    const std::wstring typed = TextOf(combo);
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
    const queuetool::DesktopUser* user = User();
    if (!user) return;
    queuetool::QueueFile queue(queuetool::SettingsFileOf(*user));
    const auto changes = EditTypeFolders(window_.get(), queue.TypeFolders(), preview_.cardDirectory);
    if (!changes || changes->empty()) return;
    queue.CheckAccess(true);
    queue.SetTypeFolders(*changes, queuetool::NewSettings{user->firstSlotMediaType});
    Reload();
    FillTargets(TextOf(Control(kTarget)));
}

void QueueWindow::Reload() {
    const queuetool::DesktopUser* user = User();
    if (!user) return;
    queuetool::QueueFile queue(queuetool::SettingsFileOf(*user));
    preview_ = queue.MakePreview(queuetool::QueueFile::FileChecks::Later);
    if (preview_.entries.size() <= kCheckedBeforeShowing)
        for (queuetool::PreviewEntry& entry : preview_.entries) queuetool::CheckQueuedFile(entry);
    nextUnchecked_ = preview_.entries.size() <= kCheckedBeforeShowing ? preview_.entries.size() : 0;
    SetWindowTextW(Control(kSummary), Wide(InstallSummary(preview_, app::GetSlots(user->id))).c_str());
    ShowRows(MakeRows(preview_));
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
    InvalidateRect(Control(kList), nullptr, FALSE);
    ShowStatus();
}

void QueueWindow::ShowStatus() {
    const std::wstring status = Wide(StatusText(rows_)) + (lastAction_.empty() ? L"" : L" " + lastAction_);
    SetWindowTextW(Control(kStatus), status.c_str());
}

void QueueWindow::ShowRows(std::vector<Row> rows) {
    std::set<std::string> selected;
    for (int index : SelectedIndexes()) selected.insert(rows_[index].key);
    const int focusedIndex = ListView_GetNextItem(Control(kList), -1, LVNI_FOCUSED);
    const std::string focused =
        focusedIndex >= 0 && focusedIndex < static_cast<int>(rows_.size()) ? rows_[focusedIndex].key : "";
    rows_ = std::move(rows);
    wideRows_.clear();
    wideRows_.reserve(rows_.size());
    for (const Row& row : rows_) wideRows_.push_back(WideOf(row));
    const HWND list = Control(kList);
    SendMessageW(list, LVM_SETITEMCOUNT, rows_.size(), LVSICF_NOSCROLL);
    Select(selected, focused);
    InvalidateRect(list, nullptr, FALSE);
    ShowStatus();
    UpdateButtons();
}

std::vector<int> QueueWindow::SelectedIndexes() const {
    std::vector<int> indexes;
    const HWND list = Control(kList);
    for (int i = ListView_GetNextItem(list, -1, LVNI_SELECTED); i >= 0 && i < static_cast<int>(rows_.size());
         i = ListView_GetNextItem(list, i, LVNI_SELECTED))
        indexes.push_back(i);
    return indexes;
}

void QueueWindow::Select(const std::set<std::string>& keys, const std::string& focused) {
    const HWND list = Control(kList);
    ListView_SetItemState(list, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    for (int i = 0; i < static_cast<int>(rows_.size()); ++i) {
        UINT state = keys.count(rows_[i].key) ? LVIS_SELECTED : 0;
        if (!focused.empty() && rows_[i].key == focused) state |= LVIS_FOCUSED;
        if (state) ListView_SetItemState(list, i, state, LVIS_SELECTED | LVIS_FOCUSED);
    }
}

void QueueWindow::UpdateButtons() {
    EnableWindow(Control(kRemove), ListView_GetSelectedCount(Control(kList)) > 0);
}

void QueueWindow::FolderChanged() {
    // Watch again first, so that a change made while we read is not missed.
    if (watch_.Folder() != settingsFolder_)
        watch_.Watch(settingsFolder_);
    else
        watch_.Rearm();
    SetTimer(window_.get(), kReloadTimer, kReloadDelayMs, nullptr);
}

void QueueWindow::AddFiles(const std::vector<std::wstring>& files) {
    const queuetool::DesktopUser* user = User();
    if (!user || files.empty()) return;
    std::optional<std::string> folder;
    if (!ChosenFolder(folder)) return;
    queuetool::QueueFile queue(queuetool::SettingsFileOf(*user));
    const queuetool::BatchOutcome outcome = queuetool::AddFiles(queue, *user, files, folder);
    std::set<std::string> added;
    std::string first;
    for (const queuetool::FileOutcome& file : outcome.files)
        if (file.kind == queuetool::FileOutcome::Kind::kQueued) {
            added.insert(file.key);
            if (first.empty()) first = file.key;
        }
    rows_.clear();  // the new entries become the selection
    Reload();
    Select(added, first);
    for (int i = 0; i < static_cast<int>(rows_.size()); ++i)
        if (rows_[i].key == first) ListView_EnsureVisible(Control(kList), i, FALSE);
    UpdateButtons();
    ReportBatch(outcome);
}

// The one-line outcome stays on the status line; refusals and the reasons
// why queued files will wait are shown at once, each file by name.
void QueueWindow::ReportBatch(const queuetool::BatchOutcome& outcome) {
    lastAction_ = BatchLine(outcome, User()->name);
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

void QueueWindow::AskForFiles() {
    std::vector<wchar_t> buffer(64 * 1024, L'\0');
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = window_.get();
    dialog.lpstrFilter = L"Handheld files (*.prc;*.pdb;*.pqa)\0*.prc;*.pdb;*.pqa\0All files (*.*)\0*.*\0";
    dialog.nFilterIndex = 2;
    dialog.lpstrFile = buffer.data();
    dialog.nMaxFile = static_cast<DWORD>(buffer.size());
    dialog.lpstrTitle = L"Add files to the queue";
    dialog.Flags = OFN_ALLOWMULTISELECT | OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    if (GetOpenFileNameW(&dialog)) AddFiles(ChosenFiles(buffer));
}

void QueueWindow::RemoveSelected() {
    const queuetool::DesktopUser* user = User();
    const std::vector<int> selected = SelectedIndexes();
    if (!user || selected.empty()) return;
    const Row& first = rows_[selected.front()];
    const std::string what = selected.size() == 1
                                 ? "the entry " + first.key + " (" + first.name + ")"
                                 : std::to_string(selected.size()) + " entries";
    const std::string question = "Remove " + what + " from the queue of " + user->name +
                                 "?\n\nThe files stay on this computer; the next HotSync will not copy them.";
    if (MessageBoxW(window_.get(), Wide(question).c_str(), kRemoveCaption, MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    queuetool::QueueFile queue(queuetool::SettingsFileOf(*user));
    std::vector<std::string> keys;
    for (int index : selected) keys.push_back(rows_[index].key);
    queue.RemoveAll(keys);  // one that a HotSync took meanwhile is simply gone
    Reload();
}

LRESULT QueueWindow::Notify(LPARAM lParam) {
    const auto header = Notification<NMHDR>(lParam);
    if (header.idFrom != kList) return 0;
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
            CopyText(RowText(tip.iItem, &WideRow::name) + L": " + RowText(tip.iItem, &WideRow::state), tip.pszText,
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
    if (id == kAdd && code == BN_CLICKED) AskForFiles();
    if (id == kRemove && code == BN_CLICKED) RemoveSelected();
    if (id == kFolders && code == BN_CLICKED) EditFolders();
    if (id == kUserCombo && code == CBN_SELCHANGE) {
        ChooseUser(static_cast<int>(SendMessageW(Control(kUserCombo), CB_GETCURSEL, 0, 0)));
        Remember();
    }
}

void QueueWindow::Remember() noexcept {
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    if (!GetWindowPlacement(window_.get(), &placement)) return;
    Remembered remembered;
    remembered.bounds = placement.rcNormalPosition;
    remembered.maximized = placement.showCmd == SW_SHOWMAXIMIZED;
    if (const queuetool::DesktopUser* user = User()) remembered.lastUser = Wide(user->name);
    SaveRemembered(remembered);
}

LRESULT QueueWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    const HWND window = window_.get();
    switch (message) {
        case WM_SIZE:
            Layout();
            return 0;
        case WM_GETMINMAXINFO:
            reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize = {420, 300};
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
            return 0;
        case WM_CLOSE:
            Remember();
            window_.reset();
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

LRESULT CALLBACK QueueWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    auto* self = WindowObject<QueueWindow>(window, message, lParam);
    if (!self || !self->window_) return DefWindowProcW(window, message, wParam, lParam);
    try {
        return self->Handle(message, wParam, lParam);
    } catch (...) {
        ShowCurrentError(window, kErrorCaption);
    }
    return 0;
}

void RunLoop(QueueWindow& window) {
    for (;;) {
        HANDLE event = window.WatchEvent();
        const DWORD count = event ? 1 : 0;
        const DWORD timeout = window.HasIdleWork() ? 0 : INFINITE;
        const DWORD woke = MsgWaitForMultipleObjectsEx(count, &event, timeout, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (count && woke == WAIT_OBJECT_0) window.FolderChanged();
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

#include "tools/window/QueueWindow.h"

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <cstring>
#include <memory>
#include <utility>

#include "app/memorycard.h"
#include "rtl/AnsiText.h"
#include "rtl/SysUtils.h"
#include "tools/window/Placement.h"

namespace queuewindow {

namespace {

constexpr int kExitFailed = 3;
// A HotSync writes the file several times in a row; the list is read once
// they have settled.
constexpr UINT_PTR kReloadTimer = 1;
constexpr UINT kReloadDelayMs = 150;
// Posted to itself when another start handed the window files.
constexpr UINT kWmTakeHanded = WM_APP + 2;

std::wstring Wide(std::string_view text) { return rtl::WideFromAnsi(text); }

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

struct DropDeleter {
    void operator()(HDROP drop) const noexcept { DragFinish(drop); }
};

// The program's own icon (its .rc names it 1) in the size the system uses
// for a metric pair; the generic one where the program has none.
HICON ProgramIcon(HINSTANCE instance, int widthMetric, int heightMetric) noexcept {
    constexpr int kProgramIconId = 1;
    const auto icon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(kProgramIconId), IMAGE_ICON,
                                                    GetSystemMetrics(widthMetric), GetSystemMetrics(heightMetric),
                                                    LR_SHARED));
    return icon ? icon : LoadIcon(nullptr, IDI_APPLICATION);
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

}  // namespace

QueueWindow::QueueWindow(const WindowOptions& options) {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    rtl::RegisterBoundClass(kWindowClass, ProgramIcon(instance, SM_CXICON, SM_CYICON),
                            ProgramIcon(instance, SM_CXSMICON, SM_CYSMICON));

    const Remembered remembered = LoadRemembered();
    const auto bounds = OpeningBounds(remembered, rtl::DpiOf(nullptr));
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

std::vector<HANDLE> QueueWindow::WatchEvents() const {
    std::vector<HANDLE> events;
    for (const FolderWatch* watch : {&watch_, &outboxWatch_})
        if (watch->Event()) events.push_back(watch->Event());
    return events;
}

void QueueWindow::Failed(HWND window) noexcept { rtl::ShowCurrentError(window, kErrorCaption); }

const queuetool::DesktopUser* QueueWindow::User() const noexcept {
    const auto& users = desktop_.Users();
    return userIndex_ >= 0 && userIndex_ < static_cast<int>(users.size()) ? &users[userIndex_] : nullptr;
}

void QueueWindow::CreateControls() {
    // On a monitor of its own DPI (per-monitor aware on Windows 10 and later).
    controls_.Create(window_.get(), rtl::DpiOf(window_.get()));
    const HWND list = Control(Ctl::lvQueue);
    list_.Attach(list, controls_);
    Layout();
    SetFocus(list);
}

void QueueWindow::Layout() {
    PlaceControls(window_.get(), controls_);
    list_.FitStateColumn(controls_.Dpi());
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
    list_.Forget();
    Reload();
    FillTargets(kByType);
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

void QueueWindow::Reload() {
    const queuetool::DesktopUser* user = LookUpUser();
    if (!user) return;
    queuetool::QueueFile queue(queuetool::SettingsFileOf(*user));
    queueProblem_ = false;
    if (const std::string problem = QueueProblem(*user, queue); !problem.empty()) {
        queueProblem_ = true;
        outbox_ = {};
        outboxWatch_.Watch(L"");
        SetWindowTextW(Control(Ctl::lSummary), Wide(problem).c_str());
        ShowRows({}, {});
        return;
    }
    queuetool::Preview preview = queue.MakePreview(queuetool::QueueFile::FileChecks::Later);
    QueueList::CheckBeforeShowing(preview);
    outbox_ = queuetool::ViewOutbox(queue, *user, preview);
    const std::wstring outboxFolder = outbox_.missing ? L"" : Wide(outbox_.folder);
    if (outboxWatch_.Folder() != outboxFolder) outboxWatch_.Watch(outboxFolder, true);
    SetWindowTextW(Control(Ctl::lSummary),
                   Wide(InstallSummary(preview, app::GetSlots(user->id)) + " " + OutboxSummary(outbox_)).c_str());
    std::vector<Row> rows = MakeRows(preview);
    for (Row& row : OutboxRows(outbox_, preview.cardDirectory)) rows.push_back(std::move(row));
    ShowRows(std::move(preview), std::move(rows));
}

void QueueWindow::DoIdleWork() {
    if (list_.DoIdleWork()) ShowStatus();
}

void QueueWindow::ShowStatus() {
    const std::wstring queue =
        queueProblem_ ? L"The queue cannot be shown: the line above says why." : Wide(StatusText(list_.Rows()));
    std::wstring status = queue + (lastAction_.empty() ? L"" : L" " + lastAction_);
    if (busyShown_) {
        const size_t judged = judged_;
        status = busyText_ + (batchSize_ == 0          ? L"..."
                              : judged < batchSize_ ? L": " + std::to_wstring(judged) + L" looked at..."
                                                    : L": all looked at, writing the queue...");
    }
    SetWindowTextW(Control(Ctl::sbStatus), status.c_str());
}

void QueueWindow::ShowRows(queuetool::Preview preview, std::vector<Row> rows) {
    list_.Show(std::move(preview), std::move(rows));
    ShowStatus();
    UpdateButtons();
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

LRESULT QueueWindow::Notify(LPARAM lParam) {
    NMHDR header;
    std::memcpy(&header, reinterpret_cast<const void*>(lParam), sizeof header);
    if (header.hwndFrom != Control(Ctl::lvQueue) || list_.AnswerNotify(header, lParam)) return 0;
    switch (header.code) {
        case LVN_KEYDOWN: {
            NMLVKEYDOWN key;
            std::memcpy(&key, reinterpret_cast<const void*>(lParam), sizeof key);
            if (key.wVKey == VK_DELETE) RemoveSelected();
            return 0;
        }
        case LVN_ITEMCHANGED:
        case LVN_ODSTATECHANGED:
            UpdateButtons();
            return 0;
        default:
            return 0;
    }
}

void QueueWindow::Remember() noexcept {
    const queuetool::DesktopUser* user = User();
    KeepPlacement(window_.get(), controls_.Dpi(), user ? Wide(user->name) : std::wstring());
}

LRESULT QueueWindow::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    // Until CreateWindowEx has returned, the window has no controls to handle.
    if (!window_) return DefWindowProcW(window, message, wParam, lParam);
    switch (message) {
        case WM_SIZE:
            Layout();
            return 0;
        case WM_GETMINMAXINFO:
            reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize = MinimumSize(controls_.Dpi());
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

namespace {

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

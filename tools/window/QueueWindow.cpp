#include "tools/window/QueueWindow.h"

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <cstring>
#include <memory>
#include <utility>

#include "app/QueueLock.h"
#include "app/memorycard.h"
#include "rtl/AnsiText.h"
#include "rtl/SysUtils.h"
#include "tools/window/Placement.h"
#include "tools/window/Remembered.h"

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

std::vector<std::string> Keys(const std::vector<Row>& rows) {
    std::vector<std::string> keys;
    for (const Row& row : rows) keys.push_back(row.key);
    return keys;
}

}  // namespace

QueueWindow::QueueWindow(const WindowOptions& options) {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    rtl::RegisterBoundClass(kWindowClass, ProgramIcon(instance, SM_CXICON, SM_CYICON),
                            ProgramIcon(instance, SM_CXSMICON, SM_CYSMICON));

    const Remembered remembered = LoadRemembered();
    const RECT bounds = DefaultBounds(rtl::DpiOf(nullptr));
    const HWND window = CreateWindowExW(
        WS_EX_ACCEPTFILES | WS_EX_CONTROLPARENT, kWindowClass, kWindowCaption, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
        bounds.left, bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top, nullptr, nullptr,
        instance, static_cast<rtl::MessageHandler*>(this));
    if (!window) throw rtl::Exception("The queue window could not be created.");
    // Moved before the window takes its messages: on a monitor of another
    // DPI it is made for that DPI, not scaled once more.
    RestorePlace(window, remembered.place);
    window_.reset(window);
    worker_.Attach(window);
    CreateControls();
    FillUsers(options.user.empty() ? remembered.lastUser : options.user);
    ShowWindow(window, remembered.place && remembered.place->maximized ? SW_SHOWMAXIMIZED : options.showCommand);
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

void QueueWindow::CreateControls() {
    // On a monitor of its own DPI (per-monitor aware on Windows 10 and later).
    controls_.Create(window_.get(), rtl::DpiOf(window_.get()));
    const HWND list = Control(Ctl::lvQueue);
    list_.Attach(list, controls_);
    FollowUserColours(controls_);
    Layout();
    SetFocus(list);
}

void QueueWindow::Layout() {
    PlaceControls(window_.get(), controls_);
    list_.FitColumns(controls_.Dpi());
}

// The queue is read on the worker, after the work handed to it before;
// `then` runs once the window shows what was read.
void QueueWindow::Reload(std::function<void()> then) {
    const queuetool::DesktopUser* user = LookUpUser();
    if (!user) return;
    const auto snapshot = std::make_shared<QueueSnapshot>();
    StartWork(L"Reading the queue of " + Wide(user->name), [snapshot, who = *user] { *snapshot = ReadQueue(who); },
              [this, snapshot, id = user->id, then = std::move(then)] {
                  // Read for a user who is not shown any more: nothing to show.
                  if (!User() || User()->id != id) return;
                  ShowSnapshot(std::move(*snapshot));
                  if (then) then();
              });
}

void QueueWindow::ShowSnapshot(QueueSnapshot snapshot) {
    const queuetool::DesktopUser* user = User();
    ++snapshotsShown_;
    queueProblem_ = !snapshot.problem.empty();
    outbox_ = std::move(snapshot.outbox);
    typeFolders_ = std::move(snapshot.typeFolders);
    const std::wstring outboxFolder = outbox_.missing ? L"" : Wide(outbox_.folder);
    if (outboxWatch_.Folder() != outboxFolder) outboxWatch_.Watch(outboxFolder, true);
    const std::string summary = queueProblem_ ? snapshot.problem
                                              : InstallSummary(snapshot.preview, app::GetSlots(user->id)) + " " +
                                                    OutboxSummary(outbox_);
    SetWindowTextW(Control(Ctl::lSummary), Wide(summary).c_str());
    const bool allChecked = snapshot.AllChecked();
    ShowRows(std::move(snapshot.preview), std::move(snapshot.rows));
    if (allChecked) return;
    // A long queue shows at once; its files are looked at next, on the worker.
    const auto checked = std::make_shared<QueueSnapshot>();
    checked->preview = list_.Preview();
    checked->rows = list_.Rows();
    StartWork(L"Looking at the queued files", [checked] { CheckFiles(*checked); },
              [this, checked, shown = snapshotsShown_] {
                  if (shown != snapshotsShown_) return;  // a newer look at the queue is shown
                  ShowRows(std::move(checked->preview), std::move(checked->rows));
              });
}

void QueueWindow::ShowStatus() {
    const std::wstring queue =
        queueProblem_ ? L"The queue cannot be shown: the line above says why." : Wide(StatusText(list_.Rows()));
    std::wstring status = queue + (lastAction_.empty() ? L"" : L" " + lastAction_);
    if (busyShown_ || closing_) {
        const size_t judged = judged_;
        const InHand running = inHand_.empty() ? InHand{L"Reading the queue"} : inHand_.front();
        status = running.text + (running.batchSize == 0       ? L"..."
                                 : judged < running.batchSize ? L": " + std::to_wstring(judged) + L" looked at..."
                                                              : L": all looked at, writing the queue...");
        // Another program holds the queue: most often a HotSync that runs.
        if (app::QueueLock::Waiting()) status += L" Waiting for the HotSync to finish...";
        if (closing_) status = L"Closing when this is done. " + status;
    }
    SetWindowTextW(Control(Ctl::sbStatus), status.c_str());
}

void QueueWindow::ShowRows(queuetool::Preview preview, std::vector<Row> rows) {
    list_.Show(std::move(preview), std::move(rows));
    list_.FitColumns(controls_.Dpi());
    // A queue changed since (a HotSync, another program) is not the last
    // change's any more.
    if (!lastAction_.empty() && Keys(list_.Rows()) != keysAtAction_) lastAction_.clear();
    ShowStatus();
    UpdateButtons();
}

void QueueWindow::UpdateButtons() {
    // Only queued entries can be taken off; the outbox's files are not queued.
    EnableWindow(Control(Ctl::bRemove), list_.QueuedSelected());
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
    if (message == WM_SYSCOLORCHANGE) FollowUserColours(controls_);
    if (const auto answer = controls_.AnswerColours(window, message, wParam, lParam)) return *answer;
    switch (message) {
        case WM_SIZE:
            Layout();
            return 0;
        case WM_GETMINMAXINFO:
            reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize = MinimumSize(controls_.Dpi());
            return 0;
        case WM_ACTIVATEAPP:
            if (wParam) RefreshUsers();
            return 0;
        case rtl::kWmDpiChanged:
            if (controls_.DpiChanged(wParam, lParam)) Layout();
            return 0;
        case WM_ACTIVATE:
            focus_.Activated(window, wParam, Control(Ctl::lvQueue));
            return 0;
        case WM_COPYDATA:
            return KeepHanded(*reinterpret_cast<const COPYDATASTRUCT*>(lParam));
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
            Timer(wParam);
            return 0;
        case kWorkDone:
            try {
                WorkDone(wParam);
            } catch (...) {
                Failed(window);
            }
            if (closing_ && !worker_.Busy()) CloseNow();
            return 0;
        case WM_SETCURSOR:
            // Working, and still answering: the pointer of work in the background.
            if (busyShown_ && LOWORD(lParam) == HTCLIENT) {
                SetCursor(LoadCursor(nullptr, IDC_APPSTARTING));
                return TRUE;
            }
            return DefWindowProcW(window, message, wParam, lParam);
        case WM_CLOSE:
            AskedToClose();
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

void QueueWindow::Timer(UINT_PTR id) {
    if (id == kReloadTimer) {
        KillTimer(window_.get(), kReloadTimer);
        Reload();
    }
    if (id == kBusyTimer && worker_.Busy()) ShowBusy();
}

// Another start's files, taken later: the sender waits until this
// returns, and adding may ask the user.
BOOL QueueWindow::KeepHanded(const COPYDATASTRUCT& data) {
    auto handed = ReadHanded(data);
    if (!handed) return FALSE;
    handed_.push_back(std::move(*handed));
    PostMessageW(window_.get(), kWmTakeHanded, 0, 0);
    return TRUE;
}

void QueueWindow::AskedToClose() {
    // Work in hand is finished first, and its outcome said: files half
    // queued would be lost without a word.
    if (worker_.Busy()) {
        closing_ = true;
        ShowStatus();
        return;
    }
    CloseNow();
}

void QueueWindow::CloseNow() {
    if (const std::wstring report = std::exchange(closingReport_, {}); !report.empty())
        MessageBoxW(window_.get(), report.c_str(), kClosingCaption, MB_OK | MB_ICONINFORMATION);
    if (!window_) return;  // closed while the box was shown
    Remember();
    window_.reset();
    PostQuitMessage(0);
}

bool QueueWindow::TakeShortcut(const MSG& message) noexcept {
    if (message.message != WM_KEYDOWN || message.wParam != 'A' || message.hwnd != list_.Handle() ||
        GetKeyState(VK_CONTROL) >= 0)
        return false;
    list_.SelectAll();
    return true;
}

namespace {

void RunLoop(QueueWindow& window) {
    for (;;) {
        const std::vector<HANDLE> events = window.WatchEvents();
        const DWORD count = static_cast<DWORD>(events.size());
        const DWORD woke =
            MsgWaitForMultipleObjectsEx(count, events.data(), INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        // The settings folder's event comes first when it is watched.
        if (woke < WAIT_OBJECT_0 + count)
            (events[woke - WAIT_OBJECT_0] == window.SettingsEvent() ? window.FolderChanged() : window.OutboxChanged());
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) return;
            if (window.TakeShortcut(message)) continue;
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

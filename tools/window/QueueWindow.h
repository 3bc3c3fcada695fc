// The "Tolvane Queue" window: one HotSync user's queue at a time, with the
// user's card install in words, every queued file with its card path and
// state, and the ways to add files (open dialog, drop from Explorer) and to
// take entries off (Remove, the Delete key). It follows the settings file:
// when a HotSync or another program changes it, the list is read again and
// the selection kept.
//
// The window is built from a table of controls (QueueLayout.h); its window
// procedure lets no exception out (an error is shown in a message box and
// the window goes on). RunQueueWindow runs the window on the calling thread
// until it closes.
//
// The class is split along its seams: QueueWindow.cpp makes the window,
// answers its messages and follows the user's queue; QueueWindowCommands.cpp
// holds its commands and the work they hand to the worker; QueueList.h the
// list's rows, QueueLayout.h the controls' table and Placement.h where the
// window opens.
#pragma once
#include <windows.h>

#include <atomic>
#include <deque>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "ui/Controls.h"
#include "rtl/WinHandles.h"
#include "tools/queue/DesktopUsers.h"
#include "tools/queue/OutboxView.h"
#include "tools/queue/QueueBatch.h"
#include "tools/window/FolderWatch.h"
#include "tools/window/OneWindow.h"
#include "tools/window/QueueLayout.h"
#include "tools/window/QueueList.h"
#include "tools/window/QueueSnapshot.h"
#include "tools/window/Worker.h"

namespace queuewindow {

constexpr const wchar_t* kWindowCaption = L"Tolvane Queue";
constexpr const wchar_t* kWindowClass = L"TolvaneQueueWindow";
// The captions of its message boxes, each its own so that one is told from another.
constexpr const wchar_t* kRemoveCaption = L"Remove from the queue";
constexpr const wchar_t* kRefusedCaption = L"Files not queued";
constexpr const wchar_t* kWaitCaption = L"Queued files will wait";
constexpr const wchar_t* kErrorCaption = L"Tolvane Queue error";
constexpr const wchar_t* kClosingCaption = L"Tolvane Queue closes";

struct WindowOptions {
    std::wstring user;                    // a HotSync user to show; else the one shown last
    std::vector<std::wstring> filesToAdd; // queued for that user once the window is up
    int showCommand = 1;                  // SW_SHOWNORMAL
};

// Returns 0 when the window was closed, 3 when the Palm Desktop could not
// be asked (a message box says why).
int RunQueueWindow(const WindowOptions& options) noexcept;

class QueueWindow : private rtl::MessageHandler {
public:
    explicit QueueWindow(const WindowOptions& options);
    QueueWindow(const QueueWindow&) = delete;
    QueueWindow& operator=(const QueueWindow&) = delete;

    HWND Handle() const noexcept { return window_.get(); }
    // The settings folder's change event first, then the outbox's; none
    // for a folder not watched.
    std::vector<HANDLE> WatchEvents() const;
    HANDLE SettingsEvent() const noexcept { return watch_.Event(); }
    void FolderChanged();
    void OutboxChanged();
    // Ctrl+A in the list selects every row; true when it was that.
    bool TakeShortcut(const MSG& message) noexcept;

private:
    // QueueWindow.cpp: the window, its messages and the queue shown.
    LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;
    void Failed(HWND window) noexcept override;
    void CreateControls();
    void Layout();
    void Reload(std::function<void()> then = {});
    void ShowSnapshot(QueueSnapshot snapshot);
    void ShowStatus();
    void ShowRows(queuetool::Preview preview, std::vector<Row> rows);
    LRESULT Notify(LPARAM lParam);
    void UpdateButtons();
    void Remember() noexcept;
    void Timer(UINT_PTR id);
    BOOL KeepHanded(const COPYDATASTRUCT& data);
    void AskedToClose();
    void CloseNow();
    HWND Control(Ctl row) const noexcept { return controls_[row]; }

    // QueueWindowUsers.cpp: the HotSync users and the one shown.
    void FillUsers(const std::wstring& wanted);
    void RefreshUsers();
    void TakeHanded();
    void ChooseUser(int index);
    const queuetool::DesktopUser* User() const noexcept;
    const queuetool::DesktopUser* LookUpUser();
    const queuetool::DesktopUser* UserToChange();

    // QueueWindowCommands.cpp: what its buttons and keys do.
    void Command(WORD id, WORD code);
    void CheckInstallation();
    void AskForFiles();
    void AddFiles(const std::vector<std::wstring>& files);
    void ShowBatch(const queuetool::BatchOutcome& outcome, QueueSnapshot snapshot, const std::string& userName,
                   int userIndex);
    void ReportBatch(const queuetool::BatchOutcome& outcome, const std::string& userName);
    void Said(std::wstring action);
    void RemoveSelected();
    void EditFolders();
    void ChangeOutbox();
    void FillTargets(const std::wstring& shown);
    bool ChosenFolder(std::optional<std::string>& folder);
    void StartWork(std::wstring busyText, std::function<void()> work, std::function<void()> then,
                   size_t batchSize = 0);
    void WorkDone(WPARAM done);
    void EndWork();
    void ShowBusy();
    void RefreshCursor() const noexcept;

    // Posted by the worker when its work is done, with the work's number.
    static constexpr UINT kWorkDone = WM_APP + 1;
    // After half a second of work the status line says how far it is and
    // the pointer shows that the window is working.
    static constexpr UINT_PTR kBusyTimer = 2;
    // The first choice of "New files go to": no folder of their own.
    static constexpr const wchar_t* kByType = L"Their type's folder, else the default";

    queuetool::PalmDesktop desktop_;
    rtl::TableControls controls_{QueueControls(), kDesignedClient};
    rtl::UniqueHWnd window_;
    rtl::FocusKeeper focus_;
    std::vector<Handed> handed_;  // by later starts, taken once their message has returned
    FolderWatch watch_;
    FolderWatch outboxWatch_;  // a file saved into the outbox shows at once
    int userIndex_ = -1;
    QueueList list_;
    queuetool::OutboxView outbox_;
    std::vector<queuetool::TypeFolder> typeFolders_;  // [Folders] as last read
    size_t snapshotsShown_ = 0;  // a later look at the files is shown only on the snapshot it was made for
    std::wstring lastAction_;    // what the last change did, kept on the status line
    std::vector<std::string> keysAtAction_;  // the queue's keys as that change left them
    bool queueProblem_ = false;  // the queue could not be read: the summary line says why
    std::wstring settingsFolder_;
    // The work handed to the worker, first the one that runs, and what the
    // status line says of it.
    struct InHand {
        std::wstring text;
        size_t batchSize = 0;  // files of a batch; 0 for other work
    };
    std::deque<InHand> inHand_;
    std::atomic<size_t> judged_{0};  // files of the running batch judged so far
    bool busyShown_ = false;
    bool checking_ = false;       // the installation check is in hand: its report is still to come
    bool closing_ = false;        // asked to close while busy: closes once the work is done
    std::wstring closingReport_;  // what that work did, shown as the window goes
    Worker worker_{kWorkDone};    // last: it is gone, its thread ended, before the rest
};

}  // namespace queuewindow

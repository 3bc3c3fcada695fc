// The queue window's HotSync users: the list to choose from, kept up with
// the Palm Desktop's (a first HotSync of another handheld adds one), the
// user another start asked for, and the user's folder, looked up again
// before the user's settings change.
#include <windows.h>

#include <string>
#include <string_view>
#include <utility>

#include "rtl/AnsiText.h"
#include "rtl/SysUtils.h"
#include "tools/window/QueueWindow.h"

namespace queuewindow {

namespace {

std::wstring Wide(std::string_view text) { return rtl::WideFromAnsi(text); }

}  // namespace

const queuetool::DesktopUser* QueueWindow::User() const noexcept {
    const auto& users = desktop_.Users();
    return userIndex_ >= 0 && userIndex_ < static_cast<int>(users.size()) ? &users[userIndex_] : nullptr;
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
    rtl::FitDroppedWidth(combo);
    ChooseUser(chosen);
}

// A user added since (a first HotSync of another handheld) shows when the
// list is opened or the window comes to the front; the user shown stays.
void QueueWindow::RefreshUsers() {
    const queuetool::DesktopUser* shown = User();
    const unsigned long shownId = shown ? shown->id : 0;
    if (!desktop_.ReadUsersAgain()) return;
    const HWND combo = Control(Ctl::cbUser);
    SendMessageW(combo, CB_RESETCONTENT, 0, 0);
    const auto& users = desktop_.Users();
    for (const queuetool::DesktopUser& user : users)
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(user.name).c_str()));
    rtl::FitDroppedWidth(combo);
    for (int i = 0; shown && i < static_cast<int>(users.size()); ++i)
        if (users[i].id == shownId) {
            userIndex_ = i;
            SendMessageW(combo, CB_SETCURSEL, i, 0);
            return;
        }
    for (const Ctl row : {Ctl::bAdd, Ctl::bFolders, Ctl::bOutbox, Ctl::cbTarget}) EnableWindow(Control(row), TRUE);
    SendMessageW(combo, CB_SETCURSEL, 0, 0);
    ChooseUser(0);
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
    Reload([this] { FillTargets(kByType); });
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

}  // namespace queuewindow

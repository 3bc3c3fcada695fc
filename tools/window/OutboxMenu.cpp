#include "tools/window/OutboxMenu.h"

#include <shellapi.h>

#include <memory>
#include <optional>
#include <string>

#include "rtl/AnsiText.h"
#include "rtl/SysUtils.h"
#include "rtl/WinHandles.h"
#include "tools/queue/FolderAccess.h"
#include "tools/window/FilePicker.h"

namespace queuewindow {

namespace {

enum Choice : UINT { kChoose = 1, kOpen, kOff };
constexpr const wchar_t* kCaption = L"Tolvane outbox";

struct MenuDeleter {
    void operator()(HMENU menu) const noexcept { DestroyMenu(menu); }
};
std::optional<std::wstring> BrowseForFolder(HWND owner, const std::string& user) {
    return PickFolder(owner, L"Choose the outbox of " + rtl::WideFromAnsi(user) +
                                 L": files saved into it go to the card at the next HotSync.");
}

// Whether the dialog's "New folder" made the folder while it was open: made
// since then, and still empty.
bool MadeSince(const std::wstring& folder, const FILETIME& since) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    const auto ticks = [](const FILETIME& time) {
        return (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    };
    if (!GetFileAttributesExW(folder.c_str(), GetFileExInfoStandard, &data) ||
        ticks(data.ftCreationTime) < ticks(since))
        return false;
    WIN32_FIND_DATAW found{};
    const rtl::UniqueFindHandle entries(FindFirstFileW((folder + L"\\*").c_str(), &found));
    if (!entries) return false;
    do {
        const wchar_t* name = found.cFileName;
        const bool dots = name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0));
        if (!dots) return false;
    } while (FindNextFileW(entries.get(), &found));
    return true;
}

std::optional<std::string> Choose(HWND owner, const queuetool::DesktopUser& user) {
    FILETIME opened{};
    GetSystemTimeAsFileTime(&opened);
    const std::optional<std::wstring> folder = BrowseForFolder(owner, user.name);
    if (!folder) return std::nullopt;
    // A folder made for the outbox in the dialog becomes one that only its
    // user may use, as --create makes it; it inherited its parent's list.
    std::wstring notPrivate;
    if (MadeSince(*folder, opened) && !queuetool::MakeFolderPrivate(*folder))
        notPrivate = L"The new folder " + *folder + L" could not be made private to you (" +
                     rtl::WideFromAnsi(rtl::SystemMessage(GetLastError())) + L"), so it has its parent folder's "
                     L"permissions. ";
    const queuetool::OutboxChoice choice = queuetool::ChooseOutbox(*folder, false);
    if (!choice.folder)
        MessageBoxW(owner, (choice.refusal + L"\n\nThe outbox was not changed.").c_str(), kCaption,
                    MB_OK | MB_ICONWARNING);
    else if (!choice.warning.empty() || !notPrivate.empty())
        MessageBoxW(owner, (L"The outbox is set. " + notPrivate + choice.warning).c_str(), kCaption,
                    MB_OK | MB_ICONWARNING);
    return choice.folder;
}

// Explores the outbox only when it is a folder: the setting may name
// anything, and the shell's default verb would run a program or script.
void OpenFolder(HWND owner, const std::string& folder) {
    const std::wstring path = rtl::WideFromAnsi(folder);
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        MessageBoxW(owner, (L"The outbox " + path + L" is not a folder, so nothing was opened. Choose a folder for "
                            L"the outbox with \"Choose another folder...\".").c_str(),
                    kCaption, MB_OK | MB_ICONWARNING);
        return;
    }
    ShellExecuteW(owner, L"explore", path.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace

std::optional<std::string> OutboxMenu(HWND owner, HWND button, const queuetool::DesktopUser& user,
                                      const queuetool::OutboxView& view) {
    const std::unique_ptr<HMENU__, MenuDeleter> menu(CreatePopupMenu());
    if (!menu) return std::nullopt;
    const UINT usable = view.folder.empty() || view.missing ? MF_GRAYED : 0;
    AppendMenuW(menu.get(), MF_STRING, kChoose, view.folder.empty() ? L"&Choose a folder..." : L"&Choose another folder...");
    AppendMenuW(menu.get(), MF_STRING | usable, kOpen, L"&Open in Explorer");
    AppendMenuW(menu.get(), MF_STRING | (view.folder.empty() ? MF_GRAYED : 0), kOff, L"&Switch the outbox off");
    RECT bounds{};
    GetWindowRect(button, &bounds);
    const UINT picked = static_cast<UINT>(TrackPopupMenu(menu.get(), TPM_RETURNCMD | TPM_LEFTALIGN | TPM_TOPALIGN,
                                                         bounds.left, bounds.bottom, 0, owner, nullptr));
    switch (picked) {
        case kChoose:
            return Choose(owner, user);
        case kOpen:
            OpenFolder(owner, view.folder);
            return std::nullopt;
        case kOff:
            return std::string();
        default:
            return std::nullopt;
    }
}

}  // namespace queuewindow

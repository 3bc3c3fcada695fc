// Windows' headers declare the item dialog for Vista on. It is asked for at
// run time (CoCreateInstance), so the program imports nothing that Windows
// XP lacks (the shipped files' import check holds it to that).
#undef WINVER
#undef _WIN32_WINNT
#define WINVER 0x0600
#define _WIN32_WINNT 0x0600
#define NTDDI_VERSION 0x06000000

#include "tools/window/FilePicker.h"

#include <cderr.h>
#include <commdlg.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <algorithm>
#include <optional>

#include "rtl/AnsiText.h"
#include "rtl/SysUtils.h"
#include "rtl/WinHandles.h"
#include "tools/window/ComApartment.h"
#include "tools/window/QueueWindow.h"

namespace queuewindow {

namespace {

constexpr const wchar_t* kTitle = L"Add files to the queue";
constexpr COMDLG_FILTERSPEC kFilters[] = {
    {L"Handheld files (*.prc;*.pdb;*.pqa)", L"*.prc;*.pdb;*.pqa"},
    {L"All files (*.*)", L"*.*"},
};
constexpr UINT kAllFiles = 2;  // both dialogs count their filters from 1
// Room for a few hundred long names; the old dialog's buffer grows beyond.
constexpr size_t kFirstChars = 64 * 1024;
constexpr const wchar_t* kOtherWays =
    L"Drop the files on this window instead, or choose them in Explorer and send them to \"Tolvane card queue\" "
    L"(right-click, Send To).";

using rtl::ComPtr;
using CoTaskText = rtl::UniqueHandle<wchar_t*, rtl::NullInvalidTraits<wchar_t*, CoTaskMemFree>>;

// `reason` is the system's text for the code, where it has one.
[[noreturn]] void DialogFailed(const std::string& reason, unsigned long code) {
    throw rtl::Exception(rtl::Format("The open dialog failed%s%s (error 0x%08lX), so no file was queued.",
                                     reason.empty() ? "" : ": ", reason.c_str(), code));
}

void Check(HRESULT result) {
    if (FAILED(result)) DialogFailed(rtl::SystemMessage(static_cast<unsigned long>(result)), result);
}

std::wstring PathOf(IShellItem& item) {
    CoTaskText path;
    Check(item.GetDisplayName(SIGDN_FILESYSPATH, path.put()));
    return path.get();
}

std::vector<std::wstring> PathsOf(IShellItemArray& items) {
    DWORD count = 0;
    Check(items.GetCount(&count));
    std::vector<std::wstring> paths;
    paths.reserve(count);
    for (DWORD i = 0; i < count; ++i) {
        ComPtr<IShellItem> item;
        Check(items.GetItemAt(i, item.put()));
        paths.push_back(PathOf(*item.get()));
    }
    return paths;
}

// None where Windows has no item dialog (XP).
ComPtr<IFileOpenDialog> NewItemDialog() {
    ComPtr<IFileOpenDialog> dialog;
    if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_IFileOpenDialog,
                                reinterpret_cast<void**>(dialog.put()))))
        dialog.reset();
    return dialog;
}

// Nothing when Windows has no item dialog (XP).
std::optional<std::vector<std::wstring>> PickWithItemDialog(HWND owner) {
    const ComPtr<IFileOpenDialog> dialog = NewItemDialog();
    if (!dialog) return std::nullopt;
    IFileOpenDialog& shown = *dialog.get();
    FILEOPENDIALOGOPTIONS options = 0;
    Check(shown.GetOptions(&options));
    Check(shown.SetOptions(options | FOS_ALLOWMULTISELECT | FOS_FORCEFILESYSTEM | FOS_FILEMUSTEXIST |
                           FOS_NOCHANGEDIR));
    Check(shown.SetTitle(kTitle));
    Check(shown.SetFileTypes(static_cast<UINT>(std::size(kFilters)), kFilters));
    Check(shown.SetFileTypeIndex(kAllFiles));
    const HRESULT answer = shown.Show(owner);
    if (answer == HRESULT_FROM_WIN32(ERROR_CANCELLED)) return std::vector<std::wstring>{};
    Check(answer);
    ComPtr<IShellItemArray> items;
    Check(shown.GetResults(items.put()));
    return PathsOf(*items.get());
}

// The old dialog's filter: name and pattern pairs, each with its NUL, and
// one NUL more.
std::wstring OldFilter() {
    std::wstring filter;
    for (const COMDLG_FILTERSPEC& row : kFilters) {
        filter += row.pszName;
        filter += L'\0';
        filter += row.pszSpec;
        filter += L'\0';
    }
    return filter;
}

// The old dialog writes its answer into the caller's buffer only when the
// user presses Open; until then the buffer may grow, as long as the
// structure names the new one. The hook grows it whenever the choice does.
struct OldDialog {
    OPENFILENAMEW dialog{};
    std::vector<wchar_t> answer;
    size_t namesChosen = 0;  // at the last change of the choice
};

// "a.pdb" "b.pdb" holds two names, a.pdb one.
size_t NamesIn(const std::wstring& fileNameBox) {
    const size_t quotes = static_cast<size_t>(std::count(fileNameBox.begin(), fileNameBox.end(), L'"'));
    return quotes ? quotes / 2 : (fileNameBox.empty() ? 0 : 1);
}

// The answer (the folder and each name with their NULs, and a final NUL) is
// never longer than the folder and the file name box's text, whose names
// are quoted and spaced, with their NULs and one more: both lengths are
// asked of the dialog, whose answer to an empty buffer is the size it needs.
void MakeRoom(HWND dialog, OldDialog& state) {
    const LRESULT folderChars = SendMessageW(dialog, CDM_GETFOLDERPATH, 0, 0);
    const LRESULT boxChars = SendMessageW(dialog, CDM_GETSPEC, 0, 0);
    if (folderChars < 0 || boxChars <= 0) return;
    std::wstring box(static_cast<size_t>(boxChars), L'\0');
    SendMessageW(dialog, CDM_GETSPEC, box.size(), reinterpret_cast<LPARAM>(box.data()));
    box.resize(wcsnlen(box.c_str(), box.size()));
    state.namesChosen = NamesIn(box);
    const size_t needed = static_cast<size_t>(folderChars + boxChars) + 1;
    if (needed <= state.answer.size()) return;
    state.answer.resize(std::max(needed, state.answer.size() * 2), L'\0');
    state.dialog.lpstrFile = state.answer.data();
    state.dialog.nMaxFile = static_cast<DWORD>(state.answer.size());
}

UINT_PTR CALLBACK GrowingHook(HWND hook, UINT message, WPARAM, LPARAM lParam) noexcept {
    if (message != WM_NOTIFY) return 0;
    const auto* notice = reinterpret_cast<const OFNOTIFYW*>(lParam);
    if (notice->hdr.code != CDN_SELCHANGE) return 0;
    try {
        MakeRoom(GetParent(hook), *reinterpret_cast<OldDialog*>(notice->lpOFN->lCustData));
    } catch (...) {
        // Without the room the dialog says its buffer is too small, and the
        // user is told then.
    }
    return 0;
}

// The old dialog's answer: one full path, or a folder followed by the
// names chosen in it; each ends in a NUL, the list in a second one.
std::vector<std::wstring> SplitOldDialogAnswer(const std::vector<wchar_t>& answer) {
    std::vector<std::wstring> parts;
    for (auto part = answer.begin(); part != answer.end() && *part;) {
        const auto end = std::find(part, answer.end(), L'\0');
        parts.emplace_back(part, end);
        part = end == answer.end() ? end : end + 1;
    }
    if (parts.size() <= 1) return parts;
    std::wstring folder = parts.front();
    if (folder.back() != L'\\') folder += L'\\';
    std::vector<std::wstring> files;
    for (size_t i = 1; i < parts.size(); ++i) files.push_back(folder + parts[i]);
    return files;
}

std::vector<std::wstring> PickWithOldDialog(HWND owner, size_t firstChars) {
    OldDialog state;
    state.answer.assign(std::max<size_t>(firstChars, 2), L'\0');
    const std::wstring filter = OldFilter();
    OPENFILENAMEW& dialog = state.dialog;
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filter.c_str();
    dialog.nFilterIndex = kAllFiles;
    dialog.lpstrFile = state.answer.data();
    dialog.nMaxFile = static_cast<DWORD>(state.answer.size());
    dialog.lpstrTitle = kTitle;
    dialog.Flags = OFN_ALLOWMULTISELECT | OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR |
                   OFN_ENABLEHOOK | OFN_ENABLESIZING;
    dialog.lpfnHook = GrowingHook;
    dialog.lCustData = reinterpret_cast<LPARAM>(&state);
    if (GetOpenFileNameW(&dialog)) return SplitOldDialogAnswer(state.answer);
    const DWORD error = CommDlgExtendedError();
    if (error == 0) return {};  // cancelled
    if (error != FNERR_BUFFERTOOSMALL) DialogFailed("", error);
    const std::string chosen =
        state.namesChosen > 1 ? "the " + std::to_string(state.namesChosen) + " files" : "the files";
    throw rtl::Exception("The open dialog could not hand over " + chosen +
                         " chosen (Windows gave it too little room for so many names), so none of them was queued.");
}

// A folder with the item dialog, whose "New folder" button makes one; none
// when Windows has no item dialog (XP) or it fails, "" when cancelled.
std::optional<std::wstring> PickFolderWithItemDialog(HWND owner, const std::wstring& title) {
    const ComPtr<IFileOpenDialog> dialog = NewItemDialog();
    if (!dialog) return std::nullopt;
    IFileOpenDialog& shown = *dialog.get();
    FILEOPENDIALOGOPTIONS options = 0;
    if (FAILED(shown.GetOptions(&options)) ||
        FAILED(shown.SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST |
                                FOS_NOCHANGEDIR)) ||
        FAILED(shown.SetTitle(title.c_str())))
        return std::nullopt;
    const HRESULT answer = shown.Show(owner);
    if (answer == HRESULT_FROM_WIN32(ERROR_CANCELLED)) return std::wstring();
    ComPtr<IShellItem> item;
    CoTaskText path;
    if (FAILED(answer) || FAILED(shown.GetResult(item.put())) ||
        FAILED(item.get()->GetDisplayName(SIGDN_FILESYSPATH, path.put())))
        return std::nullopt;
    return std::wstring(path.get());
}

// The folder browser of Windows XP, with its "Make New Folder" button.
std::wstring PickFolderWithBrowser(HWND owner, const std::wstring& title) {
    BROWSEINFOW browse{};
    browse.hwndOwner = owner;
    browse.lpszTitle = title.c_str();
    browse.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    const rtl::UniqueHandle<ITEMIDLIST*, rtl::NullInvalidTraits<ITEMIDLIST*, CoTaskMemFree>> chosen(
        SHBrowseForFolderW(&browse));
    wchar_t path[MAX_PATH] = {};
    if (!chosen || !SHGetPathFromIDListW(chosen.get(), path)) return {};
    return path;
}

template <class Pick>
std::vector<std::wstring> Picked(HWND owner, Pick pick) {
    try {
        return pick();
    } catch (const rtl::Exception& e) {
        MessageBoxW(owner, (rtl::WideFromAnsi(e.Message()) + L"\n\n" + kOtherWays).c_str(), kRefusedCaption,
                    MB_OK | MB_ICONWARNING);
        return {};
    }
}

}  // namespace

std::vector<std::wstring> PickFilesToQueue(HWND owner) {
    return Picked(owner, [owner] {
        const ComApartment apartment;
        if (apartment.Usable())
            if (std::optional<std::vector<std::wstring>> files = PickWithItemDialog(owner)) return std::move(*files);
        return PickWithOldDialog(owner, kFirstChars);
    });
}

std::optional<std::wstring> PickFolder(HWND owner, const std::wstring& title) {
    const ComApartment apartment;
    std::optional<std::wstring> folder;
    if (apartment.Usable()) folder = PickFolderWithItemDialog(owner, title);
    if (!folder) folder = PickFolderWithBrowser(owner, title);
    if (folder->empty()) return std::nullopt;
    return folder;
}

std::vector<std::wstring> PickFilesWithOldDialog(HWND owner, size_t firstChars) {
    return Picked(owner, [owner, firstChars] { return PickWithOldDialog(owner, firstChars); });
}

}  // namespace queuewindow

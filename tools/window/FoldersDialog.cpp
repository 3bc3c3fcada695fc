#include "tools/window/FoldersDialog.h"

#include <commctrl.h>

#include <cstring>

#include "rtl/AnsiText.h"
#include "rtl/Forms.h"
#include "rtl/SysUtils.h"
#include "tools/window/ControlTable.h"
#include "tools/window/TypeRules.h"

namespace queuewindow {

namespace {

constexpr const wchar_t* kClassName = L"TolvaneFoldersDialog";
constexpr SIZE kClient{450, 318};

enum ControlId : int {
    kOk = IDOK, kCancel = IDCANCEL,
    kIntro = 200, kListLabel, kList, kTypeLabel, kType, kFolderLabel, kFolder, kSet, kRemove, kSuggested, kHint
};
const ControlRow kControls[] = {
    {kIntro, L"STATIC", L"", SS_LEFT | SS_NOPREFIX, 0, {10, 10, 440, 44}, rtl::akTopLeft},
    {kListLabel, L"STATIC", L"&Rules:", SS_LEFT, 0, {10, 48, 200, 64}, rtl::akTopLeft},
    {kList, WC_LISTVIEWW, L"", LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | WS_TABSTOP, WS_EX_CLIENTEDGE,
     {10, 66, 440, 196}, rtl::akTopLeft},
    {kTypeLabel, L"STATIC", L"File &type:", SS_LEFT | SS_CENTERIMAGE, 0, {10, 204, 70, 226}, rtl::akTopLeft},
    {kType, L"EDIT", L"", ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE, {72, 204, 142, 226}, rtl::akTopLeft},
    {kFolderLabel, L"STATIC", L"Card f&older:", SS_LEFT | SS_CENTERIMAGE, 0, {152, 204, 228, 226}, rtl::akTopLeft},
    {kFolder, L"EDIT", L"", ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE, {230, 204, 440, 226}, rtl::akTopLeft},
    {kSet, L"BUTTON", L"&Add or change", BS_PUSHBUTTON | WS_TABSTOP, 0, {10, 234, 120, 260}, rtl::akTopLeft},
    {kRemove, L"BUTTON", L"Re&move", BS_PUSHBUTTON | WS_TABSTOP, 0, {128, 234, 218, 260}, rtl::akTopLeft},
    {kSuggested, L"BUTTON", L"&Suggested", BS_PUSHBUTTON | WS_TABSTOP, 0, {226, 234, 316, 260}, rtl::akTopLeft},
    {kHint, L"STATIC", L"", SS_LEFT | SS_NOPREFIX, 0, {10, 268, 270, 310}, rtl::akTopLeft},
    {kOk, L"BUTTON", L"OK", BS_DEFPUSHBUTTON | WS_TABSTOP, 0, {280, 284, 355, 310}, rtl::akTopLeft},
    {kCancel, L"BUTTON", L"Cancel", BS_PUSHBUTTON | WS_TABSTOP, 0, {365, 284, 440, 310}, rtl::akTopLeft},
};
struct ColumnRow {
    const wchar_t* title;
    int width;
};
constexpr ColumnRow kColumns[] = {{L"File type", 100}, {L"Card folder", 300}};

std::wstring Wide(std::string_view text) { return rtl::WideFromAnsi(text); }

// The owner is disabled while the dialog is up and enabled again before
// the dialog goes, so that Windows activates the owner, not another program.
class OwnerDisabled {
public:
    explicit OwnerDisabled(HWND owner) : owner_(owner) { EnableWindow(owner_, FALSE); }
    ~OwnerDisabled() { EnableWindow(owner_, TRUE); }
    OwnerDisabled(const OwnerDisabled&) = delete;
    OwnerDisabled& operator=(const OwnerDisabled&) = delete;

private:
    HWND owner_;
};

class FoldersDialog {
public:
    FoldersDialog(HWND owner, const std::vector<queuetool::TypeFolder>& stored, const std::string& defaultDirectory);
    FoldersDialog(const FoldersDialog&) = delete;
    FoldersDialog& operator=(const FoldersDialog&) = delete;

    std::optional<std::vector<queuetool::TypeFolder>> Run();

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
    void Create();
    void Command(WORD id, WORD code);
    void ShowRules(std::optional<size_t> selected);
    std::optional<size_t> SelectedRow() const;
    void ShowSelected();
    bool SetFromFields();
    void RemoveSelected();
    void Suggest();
    void Confirm();
    void Refuse(const std::wstring& problem) const;
    void Hint(const std::string& text) const { SetWindowTextW(Control(kHint), Wide(text).c_str()); }
    std::optional<std::string> Field(ControlId id, const char* what) const;
    HWND Control(ControlId id) const noexcept { return GetDlgItem(window_.get(), id); }

    HWND owner_;
    TypeRules rules_;
    std::string defaultDirectory_;
    rtl::UniqueGdiObject font_;
    rtl::UniqueHWnd window_;
    bool done_ = false;
    bool accepted_ = false;
};

FoldersDialog::FoldersDialog(HWND owner, const std::vector<queuetool::TypeFolder>& stored,
                             const std::string& defaultDirectory)
    : owner_(owner), rules_(stored), defaultDirectory_(defaultDirectory), font_(MessageFont()) {}

void FoldersDialog::Create() {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = &WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kClassName;
    RegisterClassExW(&windowClass);  // fails harmlessly when the dialog was shown before

    const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU, exStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
    RECT frame{0, 0, kClient.cx, kClient.cy};
    AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    RECT owner{};
    GetWindowRect(owner_, &owner);
    const int width = frame.right - frame.left, height = frame.bottom - frame.top;
    const int left = owner.left + (owner.right - owner.left - width) / 2;
    const int top = owner.top + (owner.bottom - owner.top - height) / 2;
    const HWND window = CreateWindowExW(exStyle, kClassName, kFoldersCaption, style, left, top, width, height, owner_,
                                        nullptr, instance, this);
    if (!window) throw rtl::Exception("The card folders dialog could not be created.");
    window_.reset(window);
    CreateControls(window, kControls, font_.get());
    PlaceControls(window, kControls, kClient, kClient);
    SetWindowTextW(Control(kIntro),
                   Wide("Files of these types go into their own card folder. Other files go to " +
                        defaultDirectory_ + ", unless you choose a folder when you add them.")
                       .c_str());
    const HWND list = Control(kList);
    ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT);
    for (int i = 0; i < static_cast<int>(std::size(kColumns)); ++i) {
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.cx = kColumns[i].width;
        column.pszText = const_cast<wchar_t*>(kColumns[i].title);
        SendMessageW(list, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
    }
    SendMessageW(Control(kType), EM_LIMITTEXT, 32, 0);
    ShowRules(std::nullopt);
    Hint("Type a file type and its card folder, then Add or change.");
    ShowWindow(window, SW_SHOW);
    SetFocus(rules_.Rules().empty() ? Control(kType) : list);
}

std::optional<std::vector<queuetool::TypeFolder>> FoldersDialog::Run() {
    const OwnerDisabled disabled(owner_);
    Create();
    MSG message{};
    bool quit = false;
    while (!done_) {
        if (GetMessageW(&message, nullptr, 0, 0) <= 0) {
            quit = true;
            break;
        }
        if (IsDialogMessageW(window_.get(), &message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    // The program's own loop must still see a quit that ended ours.
    if (quit) PostQuitMessage(static_cast<int>(message.wParam));
    if (!accepted_) return std::nullopt;
    return rules_.Changes();
}

void FoldersDialog::ShowRules(std::optional<size_t> selected) {
    const HWND list = Control(kList);
    SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
    const auto& rules = rules_.Rules();
    for (size_t i = 0; i < rules.size(); ++i) {
        const std::wstring type = Wide(rules[i].first), folder = Wide(rules[i].second);
        LVITEMW item{};
        item.mask = LVIF_TEXT;
        item.iItem = static_cast<int>(i);
        item.pszText = const_cast<wchar_t*>(type.c_str());
        SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
        item.iSubItem = 1;
        item.pszText = const_cast<wchar_t*>(folder.c_str());
        SendMessageW(list, LVM_SETITEMTEXTW, i, reinterpret_cast<LPARAM>(&item));
    }
    if (selected) {
        const int row = static_cast<int>(*selected);
        ListView_SetItemState(list, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        ListView_EnsureVisible(list, row, FALSE);
    }
    EnableWindow(Control(kRemove), selected.has_value());
}

std::optional<size_t> FoldersDialog::SelectedRow() const {
    const int row = ListView_GetNextItem(Control(kList), -1, LVNI_SELECTED);
    if (row < 0 || static_cast<size_t>(row) >= rules_.Rules().size()) return std::nullopt;
    return static_cast<size_t>(row);
}

// A chosen rule is shown in the fields, ready to be changed.
void FoldersDialog::ShowSelected() {
    const auto row = SelectedRow();
    EnableWindow(Control(kRemove), row.has_value());
    if (!row) return;
    SetWindowTextW(Control(kType), Wide(rules_.Rules()[*row].first).c_str());
    SetWindowTextW(Control(kFolder), Wide(rules_.Rules()[*row].second).c_str());
}

// The field's ANSI text, as the settings file holds it; none (and the
// reason shown) when the code page cannot spell what was typed.
std::optional<std::string> FoldersDialog::Field(ControlId id, const char* what) const {
    std::wstring problem;
    std::optional<std::string> text = queuetool::TypedAnsi(TextOf(Control(id)), what, problem);
    if (!text) Refuse(problem);
    return text;
}

bool FoldersDialog::SetFromFields() {
    const std::optional<std::string> type = Field(kType, "file type");
    if (!type) return false;
    const std::optional<std::string> folder = Field(kFolder, "card directory");
    if (!folder) return false;
    if (const std::string problem = rules_.Set(*type, *folder); !problem.empty()) {
        Refuse(Wide(problem));
        return false;
    }
    ShowRules(rules_.Find(*type));
    Hint("Press OK to keep the rules, or Cancel to leave them as they were.");
    return true;
}

void FoldersDialog::RemoveSelected() {
    const auto row = SelectedRow();
    if (!row) return;
    rules_.Remove(*row);
    ShowRules(std::nullopt);
    SetWindowTextW(Control(kType), L"");
    SetWindowTextW(Control(kFolder), L"");
    Hint("Press OK to keep the rules, or Cancel to leave them as they were.");
}

void FoldersDialog::Suggest() {
    const size_t added = rules_.AddSuggested();
    ShowRules(std::nullopt);
    Hint(added ? "Added " + std::to_string(added) +
                     " suggested folders. Change or remove any you do not want, then press OK to keep them."
               : "Every suggested file type has a folder already.");
}

// Typed but not yet added: OK takes the fields as the user would expect.
void FoldersDialog::Confirm() {
    const std::wstring typedType = TextOf(Control(kType));
    const std::optional<std::string> type = rtl::AnsiFromWide(typedType);
    const std::optional<std::string> folder = rtl::AnsiFromWide(TextOf(Control(kFolder)));
    const auto row = type ? rules_.Find(*type) : std::nullopt;
    const bool pending = !typedType.empty() && (!folder || !row || rules_.Rules()[*row].second != *folder);
    if (pending && !SetFromFields()) return;
    if (const std::string problem = rules_.Problem(); !problem.empty()) {
        Refuse(Wide(problem));
        return;
    }
    accepted_ = true;
    done_ = true;
}

void FoldersDialog::Refuse(const std::wstring& problem) const {
    const std::wstring text = problem + L"\n\nCorrect the folder or remove the rule; nothing is saved before OK.";
    MessageBoxW(window_.get(), text.c_str(), kFolderRefusedCaption, MB_OK | MB_ICONWARNING);
}

void FoldersDialog::Command(WORD id, WORD code) {
    if (code != BN_CLICKED) return;
    switch (id) {
        case kSet: SetFromFields(); break;
        case kRemove: RemoveSelected(); break;
        case kSuggested: Suggest(); break;
        case kOk: Confirm(); break;
        case kCancel: done_ = true; break;
        default: break;
    }
}

LRESULT FoldersDialog::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            Command(LOWORD(wParam), HIWORD(wParam));
            return 0;
        case WM_NOTIFY: {
            NMHDR header;
            std::memcpy(&header, reinterpret_cast<const void*>(lParam), sizeof header);
            if (header.idFrom == kList && header.code == LVN_ITEMCHANGED) ShowSelected();
            return 0;
        }
        case WM_CLOSE:
            done_ = true;
            return 0;
        case WM_DESTROY:
            done_ = true;
            return 0;
        default:
            return DefWindowProcW(window_.get(), message, wParam, lParam);
    }
}

LRESULT CALLBACK FoldersDialog::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    auto* self = WindowObject<FoldersDialog>(window, message, lParam);
    if (!self || !self->window_) return DefWindowProcW(window, message, wParam, lParam);
    try {
        return self->Handle(message, wParam, lParam);
    } catch (...) {
        ShowCurrentError(window, kFoldersCaption);
    }
    return 0;
}

}  // namespace

std::optional<std::vector<queuetool::TypeFolder>> EditTypeFolders(HWND owner,
                                                                   const std::vector<queuetool::TypeFolder>& stored,
                                                                   const std::string& defaultDirectory) {
    FoldersDialog dialog(owner, stored, defaultDirectory);
    return dialog.Run();
}

}  // namespace queuewindow

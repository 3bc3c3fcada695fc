#include "tools/window/FoldersDialog.h"

#include <commctrl.h>

#include <cstring>
#include <iterator>

#include "rtl/AnsiText.h"
#include "ui/Controls.h"
#include "rtl/SysUtils.h"
#include "tools/window/TypeRules.h"

namespace queuewindow {

namespace {

constexpr const wchar_t* kClassName = L"TolvaneFoldersDialog";
constexpr SIZE kClient{450, 318};

using enum rtl::ControlKind;
enum class Ctl : size_t {
    lIntro, lRules, lvRules, lType, eType, lFolder, eFolder, bSet, bRemove, bSuggested, lHint, bOK, bCancel, Count
};
constexpr rtl::ControlDesign kControls[] = {
    {.kind = Label, .name = "lIntro", .bounds = {10, 10, 430, 34}, .flags = rtl::cfWrap, .style = SS_NOPREFIX},
    {.kind = Label, .name = "lRules", .bounds = {10, 48, 190, 16}, .caption = "&Rules:"},
    {.kind = ListView, .name = "lvRules", .bounds = {10, 66, 430, 130}, .style = LVS_SINGLESEL},
    {.kind = Label, .name = "lType", .bounds = {10, 204, 60, 22}, .caption = "File &type:", .style = SS_CENTERIMAGE},
    {.kind = Edit, .name = "eType", .bounds = {72, 204, 70, 22}},
    {.kind = Label, .name = "lFolder", .bounds = {152, 204, 76, 22}, .caption = "Card f&older:",
     .style = SS_CENTERIMAGE},
    {.kind = Edit, .name = "eFolder", .bounds = {230, 204, 210, 22}},
    {.kind = Button, .name = "bSet", .bounds = {10, 234, 110, 26}, .caption = "&Add or change"},
    {.kind = Button, .name = "bRemove", .bounds = {128, 234, 90, 26}, .caption = "Re&move"},
    {.kind = Button, .name = "bSuggested", .bounds = {226, 234, 90, 26}, .caption = "&Suggested"},
    {.kind = Label, .name = "lHint", .bounds = {10, 268, 260, 42}, .flags = rtl::cfWrap, .style = SS_NOPREFIX},
    {.kind = Button, .name = "bOK", .bounds = {280, 284, 75, 26}, .caption = "OK", .flags = rtl::cfDefault},
    {.kind = Button, .name = "bCancel", .bounds = {365, 284, 75, 26}, .caption = "Cancel", .flags = rtl::cfCancel},
};
static_assert(std::size(kControls) == static_cast<size_t>(Ctl::Count), "one row per control");
static_assert(rtl::FitsToolWindow(kControls));
struct ColumnRow {
    const wchar_t* title;
    int width;
};
constexpr ColumnRow kColumns[] = {{L"File type", 100}, {L"Card folder", 300}};

std::wstring Wide(std::string_view text) { return rtl::WideFromAnsi(text); }

class FoldersDialog : private rtl::MessageHandler {
public:
    FoldersDialog(HWND owner, const std::vector<queuetool::TypeFolder>& stored, const std::string& defaultDirectory);
    FoldersDialog(const FoldersDialog&) = delete;
    FoldersDialog& operator=(const FoldersDialog&) = delete;

    std::optional<std::vector<queuetool::TypeFolder>> Run();

private:
    LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;
    void Failed(HWND window) noexcept override { rtl::ShowCurrentError(window, kFoldersCaption); }
    void Create();
    void Finish() noexcept {
        done_ = true;
        rtl::EndModal(window_.get());
    }
    void Command(WORD id, WORD code);
    void ShowRules(std::optional<size_t> selected);
    std::optional<size_t> SelectedRow() const;
    void ShowSelected();
    bool SetFromFields();
    void RemoveSelected();
    void Suggest();
    void Confirm();
    void Refuse(const std::wstring& problem) const;
    void Hint(const std::string& text) const { SetWindowTextW(Control(Ctl::lHint), Wide(text).c_str()); }
    std::optional<std::string> Field(Ctl row, const char* what) const;
    HWND Control(Ctl row) const noexcept { return controls_[row]; }

    HWND owner_;
    TypeRules rules_;
    std::string defaultDirectory_;
    rtl::TableControls controls_{kControls, kClient};
    rtl::UniqueHWnd window_;
    bool done_ = false;
    bool accepted_ = false;
};

FoldersDialog::FoldersDialog(HWND owner, const std::vector<queuetool::TypeFolder>& stored,
                             const std::string& defaultDirectory)
    : owner_(owner),
      rules_(stored),
      defaultDirectory_(defaultDirectory) {}

void FoldersDialog::Create() {
    window_ = controls_.CreateDialogWindow(owner_, kClassName, kFoldersCaption, *this);
    SetWindowTextW(Control(Ctl::lIntro),
                   Wide("Files of these types go into their own card folder. Other files go to " +
                        defaultDirectory_ + ", unless you choose a folder when you add them.")
                       .c_str());
    const HWND list = Control(Ctl::lvRules);
    ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT);
    for (int i = 0; i < static_cast<int>(std::size(kColumns)); ++i)
        controls_.AddColumn(list, i, kColumns[i].title, kColumns[i].width);
    SendMessageW(Control(Ctl::eType), EM_LIMITTEXT, 32, 0);
    ShowRules(std::nullopt);
    Hint("Type a file type and its card folder, then Add or change.");
    ShowWindow(window_.get(), SW_SHOW);
    SetFocus(rules_.Rules().empty() ? Control(Ctl::eType) : list);
}

std::optional<std::vector<queuetool::TypeFolder>> FoldersDialog::Run() {
    Create();
    rtl::RunModal(window_.get(), owner_, [this] { return done_; });
    if (!accepted_) return std::nullopt;
    return rules_.Changes();
}

void FoldersDialog::ShowRules(std::optional<size_t> selected) {
    const HWND list = Control(Ctl::lvRules);
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
    EnableWindow(Control(Ctl::bRemove), selected.has_value());
}

std::optional<size_t> FoldersDialog::SelectedRow() const {
    const int row = ListView_GetNextItem(Control(Ctl::lvRules), -1, LVNI_SELECTED);
    if (row < 0 || static_cast<size_t>(row) >= rules_.Rules().size()) return std::nullopt;
    return static_cast<size_t>(row);
}

// A chosen rule is shown in the fields, ready to be changed.
void FoldersDialog::ShowSelected() {
    const auto row = SelectedRow();
    EnableWindow(Control(Ctl::bRemove), row.has_value());
    if (!row) return;
    SetWindowTextW(Control(Ctl::eType), Wide(rules_.Rules()[*row].first).c_str());
    SetWindowTextW(Control(Ctl::eFolder), Wide(rules_.Rules()[*row].second).c_str());
}

// The field's ANSI text, as the settings file holds it; none (and the
// reason shown) when the code page cannot spell what was typed.
std::optional<std::string> FoldersDialog::Field(Ctl row, const char* what) const {
    std::wstring problem;
    std::optional<std::string> text = queuetool::TypedAnsi(rtl::TextOf(Control(row)), what, problem);
    if (!text) Refuse(problem);
    return text;
}

bool FoldersDialog::SetFromFields() {
    const std::optional<std::string> type = Field(Ctl::eType, "file type");
    if (!type) return false;
    const std::optional<std::string> folder = Field(Ctl::eFolder, "card directory");
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
    SetWindowTextW(Control(Ctl::eType), L"");
    SetWindowTextW(Control(Ctl::eFolder), L"");
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
    const std::wstring typedType = rtl::TextOf(Control(Ctl::eType));
    const std::optional<std::string> type = rtl::AnsiFromWide(typedType);
    const std::optional<std::string> folder = rtl::AnsiFromWide(rtl::TextOf(Control(Ctl::eFolder)));
    const auto row = type ? rules_.Find(*type) : std::nullopt;
    const bool pending = !typedType.empty() && (!folder || !row || rules_.Rules()[*row].second != *folder);
    if (pending && !SetFromFields()) return;
    if (const std::string problem = rules_.Problem(); !problem.empty()) {
        Refuse(Wide(problem));
        return;
    }
    accepted_ = true;
    Finish();
}

void FoldersDialog::Refuse(const std::wstring& problem) const {
    const std::wstring text = problem + L"\n\nCorrect the folder or remove the rule; nothing is saved before OK.";
    MessageBoxW(window_.get(), text.c_str(), kFolderRefusedCaption, MB_OK | MB_ICONWARNING);
}

void FoldersDialog::Command(WORD id, WORD code) {
    const auto row = controls_.RowOfId(id);
    if (code != BN_CLICKED || !row) return;
    switch (static_cast<Ctl>(*row)) {
        case Ctl::bSet: SetFromFields(); break;
        case Ctl::bRemove: RemoveSelected(); break;
        case Ctl::bSuggested: Suggest(); break;
        case Ctl::bOK: Confirm(); break;
        case Ctl::bCancel: Finish(); break;
        default: break;
    }
}

LRESULT FoldersDialog::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!window_) return DefWindowProcW(window, message, wParam, lParam);
    const HWND first = Control(Ctl::lvRules);
    if (const auto answer = controls_.AnswerToolWindowMessage(window, message, wParam, lParam, first, [this] { Finish(); }))
        return *answer;
    switch (message) {
        case WM_COMMAND:
            Command(LOWORD(wParam), HIWORD(wParam));
            return 0;
        case WM_NOTIFY: {
            NMHDR header;
            std::memcpy(&header, reinterpret_cast<const void*>(lParam), sizeof header);
            if (header.hwndFrom == Control(Ctl::lvRules) && header.code == LVN_ITEMCHANGED) ShowSelected();
            return 0;
        }
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

}  // namespace

std::optional<std::vector<queuetool::TypeFolder>> EditTypeFolders(HWND owner,
                                                                   const std::vector<queuetool::TypeFolder>& stored,
                                                                   const std::string& defaultDirectory) {
    FoldersDialog dialog(owner, stored, defaultDirectory);
    return dialog.Run();
}

}  // namespace queuewindow

#include "tools/window/QueueList.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <iterator>

#include "rtl/AnsiText.h"

namespace queuewindow {

namespace {

using WideRow = QueueList::WideRow;
struct ColumnRow {
    const wchar_t* title;
    int width;
    int format;
    std::wstring WideRow::*text;
    bool fitted;  // widened to its widest text: few texts, each short and read whole
};
constexpr ColumnRow kColumns[] = {
    {L"Key", 60, LVCFMT_LEFT, &WideRow::key, true},
    {L"File name", 150, LVCFMT_LEFT, &WideRow::name, false},
    {L"Size", 75, LVCFMT_RIGHT, &WideRow::size, true},
    {L"Card folder", 150, LVCFMT_LEFT, &WideRow::folder, true},
    {L"Card path", 200, LVCFMT_LEFT, &WideRow::cardPath, false},
    {L"State", 200, LVCFMT_LEFT, &WideRow::state, false},
    // Two rows of one name are told apart by where their files are (the
    // row's tip shows it too).
    {L"Desktop file", 260, LVCFMT_LEFT, &WideRow::source, false},
};
// A fitted column never takes more than this share of the list's width.
constexpr int kFittedShare = 3;
// The room a list view leaves on both sides of a cell's text.
constexpr int kTextMargin = 14;
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

}  // namespace

// What keeps a row selected across a reload: a queued entry's key, an
// outbox file's path (it has no key; a newline never starts a key).
std::string QueueList::Identity(const Row& row) { return row.outbox ? "\n" + row.source : row.key; }

void QueueList::Attach(HWND list, const rtl::TableControls& controls) {
    list_ = list;
    ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT | LVS_EX_HEADERDRAGDROP | LVS_EX_INFOTIP);
    for (int i = 0; i < static_cast<int>(std::size(kColumns)); ++i)
        controls.AddColumn(list, i, kColumns[i].title, kColumns[i].width, kColumns[i].format);
}

void QueueList::Show(queuetool::Preview preview, std::vector<Row> rows) {
    std::set<std::string> selected;
    for (int index : SelectedIndexes()) selected.insert(Identity(rows_[index]));
    const int focusedIndex = ListView_GetNextItem(list_, -1, LVNI_FOCUSED);
    const std::string focused =
        focusedIndex >= 0 && focusedIndex < static_cast<int>(rows_.size()) ? Identity(rows_[focusedIndex]) : "";
    preview_ = std::move(preview);
    rows_ = std::move(rows);
    wideRows_.clear();
    wideRows_.reserve(rows_.size());
    for (const Row& row : rows_) wideRows_.push_back(WideOf(row));
    SendMessageW(list_, LVM_SETITEMCOUNT, rows_.size(), LVSICF_NOSCROLL);
    Select(selected, focused);
    InvalidateRect(list_, nullptr, FALSE);
}

std::vector<int> QueueList::SelectedIndexes() const {
    std::vector<int> indexes;
    for (int i = ListView_GetNextItem(list_, -1, LVNI_SELECTED); i >= 0 && i < static_cast<int>(rows_.size());
         i = ListView_GetNextItem(list_, i, LVNI_SELECTED))
        indexes.push_back(i);
    return indexes;
}

bool QueueList::QueuedSelected() const {
    for (int i = ListView_GetNextItem(list_, -1, LVNI_SELECTED); i >= 0 && i < static_cast<int>(rows_.size());
         i = ListView_GetNextItem(list_, i, LVNI_SELECTED))
        if (!rows_[i].outbox) return true;
    return false;
}

void QueueList::SelectAll() const noexcept { ListView_SetItemState(list_, -1, LVIS_SELECTED, LVIS_SELECTED); }

void QueueList::Select(const std::set<std::string>& keys, const std::string& focused) {
    ListView_SetItemState(list_, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    for (int i = 0; i < static_cast<int>(rows_.size()); ++i) {
        const std::string identity = Identity(rows_[i]);
        UINT state = keys.count(identity) ? LVIS_SELECTED : 0;
        if (!focused.empty() && identity == focused) state |= LVIS_FOCUSED;
        if (state) ListView_SetItemState(list_, i, state, LVIS_SELECTED | LVIS_FOCUSED);
    }
}

void QueueList::Reveal(const std::string& key) {
    for (int i = 0; i < static_cast<int>(rows_.size()); ++i)
        if (rows_[i].key == key) ListView_EnsureVisible(list_, i, FALSE);
}

// "/Palm/Launcher (by type)" is read whole; a warning can be read without
// scrolling, a tip shows what still does not fit, and the desktop file's
// column follows beyond it. A column the user widened stays as wide.
void QueueList::FitColumns(int dpi) {
    RECT client{};
    GetClientRect(list_, &client);
    for (int i = 0; i < static_cast<int>(std::size(kColumns)); ++i) {
        if (!kColumns[i].fitted) continue;
        std::set<std::wstring> texts{kColumns[i].title};
        for (const WideRow& row : wideRows_) texts.insert(row.*kColumns[i].text);
        int widest = rtl::Scaled(kColumns[i].width, dpi);
        for (const std::wstring& text : texts)
            widest = std::max(widest, ListView_GetStringWidth(list_, text.c_str()) + rtl::Scaled(kTextMargin, dpi));
        widest = std::min<int>(widest, std::max<int>(rtl::Scaled(kColumns[i].width, dpi), client.right / kFittedShare));
        if (ListView_GetColumnWidth(list_, i) < widest) ListView_SetColumnWidth(list_, i, widest);
    }
    int before = 0;
    for (int i = 0; i < kStateColumn; ++i) before += ListView_GetColumnWidth(list_, i);
    const int designed = rtl::Scaled(kColumns[kStateColumn].width, dpi);
    ListView_SetColumnWidth(list_, kStateColumn, std::max(designed, static_cast<int>(client.right) - before));
}

bool QueueList::AnswerNotify(const NMHDR& header, LPARAM lParam) {
    if (header.hwndFrom != list_) return false;
    switch (header.code) {
        case LVN_GETDISPINFOW: {
            const LVITEMW item = Notification<NMLVDISPINFOW>(lParam).item;
            if ((item.mask & LVIF_TEXT) && item.iSubItem >= 0 && item.iSubItem < static_cast<int>(std::size(kColumns)))
                CopyText(RowText(item.iItem, kColumns[item.iSubItem].text), item.pszText, item.cchTextMax);
            return true;
        }
        case LVN_GETINFOTIPW: {
            const auto tip = Notification<NMLVGETINFOTIPW>(lParam);
            CopyText(RowText(tip.iItem, &WideRow::source) + L": " + RowText(tip.iItem, &WideRow::state), tip.pszText,
                     tip.cchTextMax);
            return true;
        }
        default:
            return false;
    }
}

std::wstring QueueList::RowText(int item, std::wstring WideRow::*text) const {
    return item >= 0 && item < static_cast<int>(wideRows_.size()) ? wideRows_[item].*text : std::wstring();
}

}  // namespace queuewindow

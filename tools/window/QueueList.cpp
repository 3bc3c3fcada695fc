#include "tools/window/QueueList.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <iterator>

#include "rtl/AnsiText.h"

namespace queuewindow {

namespace {

constexpr size_t kCheckedBeforeShowing = 500;
constexpr size_t kCheckedPerChunk = 100;

using WideRow = QueueList::WideRow;
struct ColumnRow {
    const wchar_t* title;
    int width;
    int format;
    std::wstring WideRow::*text;
};
constexpr ColumnRow kColumns[] = {
    {L"Key", 60, LVCFMT_LEFT, &WideRow::key},
    {L"File name", 150, LVCFMT_LEFT, &WideRow::name},
    {L"Size", 75, LVCFMT_RIGHT, &WideRow::size},
    {L"Card folder", 150, LVCFMT_LEFT, &WideRow::folder},
    {L"Card path", 200, LVCFMT_LEFT, &WideRow::cardPath},
    {L"State", 200, LVCFMT_LEFT, &WideRow::state},
    // Two rows of one name are told apart by where their files are (the
    // row's tip shows it too).
    {L"Desktop file", 260, LVCFMT_LEFT, &WideRow::source},
};
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

void QueueList::Attach(HWND list, const rtl::TableControls& controls) {
    list_ = list;
    ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT | LVS_EX_HEADERDRAGDROP | LVS_EX_INFOTIP);
    for (int i = 0; i < static_cast<int>(std::size(kColumns)); ++i)
        controls.AddColumn(list, i, kColumns[i].title, kColumns[i].width, kColumns[i].format);
}

void QueueList::CheckBeforeShowing(queuetool::Preview& preview) {
    if (preview.entries.size() <= kCheckedBeforeShowing)
        for (queuetool::PreviewEntry& entry : preview.entries) queuetool::CheckQueuedFile(entry);
}

void QueueList::Show(queuetool::Preview preview, std::vector<Row> rows) {
    std::set<std::string> selected;
    for (int index : SelectedIndexes())
        if (!rows_[index].outbox) selected.insert(rows_[index].key);
    const int focusedIndex = ListView_GetNextItem(list_, -1, LVNI_FOCUSED);
    const std::string focused =
        focusedIndex >= 0 && focusedIndex < static_cast<int>(rows_.size()) ? rows_[focusedIndex].key : "";
    preview_ = std::move(preview);
    const bool allChecked = std::all_of(preview_.entries.begin(), preview_.entries.end(),
                                        [](const queuetool::PreviewEntry& entry) { return entry.fileChecked; });
    nextUnchecked_ = allChecked ? preview_.entries.size() : 0;
    rows_ = std::move(rows);
    wideRows_.clear();
    wideRows_.reserve(rows_.size());
    for (const Row& row : rows_) wideRows_.push_back(WideOf(row));
    SendMessageW(list_, LVM_SETITEMCOUNT, rows_.size(), LVSICF_NOSCROLL);
    Select(selected, focused);
    InvalidateRect(list_, nullptr, FALSE);
}

void QueueList::EnsureChecked(int item) {
    if (item < 0 || item >= static_cast<int>(preview_.entries.size()) || preview_.entries[item].fileChecked) return;
    queuetool::CheckQueuedFile(preview_.entries[item]);
    rows_[item] = MakeRow(preview_.entries[item]);
    wideRows_[item] = WideOf(rows_[item]);
}

bool QueueList::DoIdleWork() {
    for (size_t checked = 0; HasIdleWork() && checked < kCheckedPerChunk; ++nextUnchecked_) {
        if (preview_.entries[nextUnchecked_].fileChecked) continue;
        EnsureChecked(static_cast<int>(nextUnchecked_));
        ++checked;
    }
    if (HasIdleWork()) return false;
    InvalidateRect(list_, nullptr, FALSE);
    return true;
}

std::vector<int> QueueList::SelectedIndexes() const {
    std::vector<int> indexes;
    for (int i = ListView_GetNextItem(list_, -1, LVNI_SELECTED); i >= 0 && i < static_cast<int>(rows_.size());
         i = ListView_GetNextItem(list_, i, LVNI_SELECTED))
        indexes.push_back(i);
    return indexes;
}

void QueueList::Select(const std::set<std::string>& keys, const std::string& focused) {
    ListView_SetItemState(list_, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    for (int i = 0; i < static_cast<int>(rows_.size()); ++i) {
        UINT state = keys.count(rows_[i].key) ? LVIS_SELECTED : 0;
        if (!focused.empty() && rows_[i].key == focused) state |= LVIS_FOCUSED;
        if (state) ListView_SetItemState(list_, i, state, LVIS_SELECTED | LVIS_FOCUSED);
    }
}

void QueueList::Reveal(const std::string& key) {
    for (int i = 0; i < static_cast<int>(rows_.size()); ++i)
        if (rows_[i].key == key) ListView_EnsureVisible(list_, i, FALSE);
}

// A warning can be read without scrolling; a tip shows what still does not
// fit, and the desktop file's column follows beyond it.
void QueueList::FitStateColumn(int dpi) {
    RECT client{};
    GetClientRect(list_, &client);
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
            EnsureChecked(item.iItem);
            if ((item.mask & LVIF_TEXT) && item.iSubItem >= 0 && item.iSubItem < static_cast<int>(std::size(kColumns)))
                CopyText(RowText(item.iItem, kColumns[item.iSubItem].text), item.pszText, item.cchTextMax);
            return true;
        }
        case LVN_GETINFOTIPW: {
            const auto tip = Notification<NMLVGETINFOTIPW>(lParam);
            EnsureChecked(tip.iItem);
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

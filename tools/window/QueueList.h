// The queue window's list: the rows of one user's queue and outbox, shown
// by a virtual list view that asks for each text as it draws. The rows come
// ready from the worker (QueueSnapshot.h); nothing here reads a file. The
// selection follows the entries' keys when the rows are read again.
#pragma once
#include <windows.h>

#include <set>
#include <string>
#include <vector>

#include "ui/Controls.h"
#include "tools/queue/QueueFile.h"
#include "tools/window/QueueRows.h"

namespace queuewindow {

class QueueList {
public:
    // The list view of `controls`, given its columns.
    void Attach(HWND list, const rtl::TableControls& controls);
    HWND Handle() const noexcept { return list_; }

    // The queue as read and every row to show (the queue's, then the
    // outbox's); the selected and focused entries stay so.
    void Show(queuetool::Preview preview, std::vector<Row> rows);
    // The next Show keeps no selection.
    void Forget() noexcept { rows_.clear(); }
    const queuetool::Preview& Preview() const noexcept { return preview_; }
    const std::vector<Row>& Rows() const noexcept { return rows_; }

    std::vector<int> SelectedIndexes() const;
    // Whether a queued entry (not an outbox file) is among the selected rows.
    bool QueuedSelected() const;
    void SelectAll() const noexcept;
    // Selects the rows of these identities (queued entries' keys, see Identity).
    void Select(const std::set<std::string>& keys, const std::string& focused);
    void Reveal(const std::string& key);
    // The narrow columns as wide as their widest text; the state column
    // takes the rest of the list's visible width.
    void FitColumns(int dpi);
    // The list view's questions for texts and tips; true when it was one.
    bool AnswerNotify(const NMHDR& header, LPARAM lParam);

    // The row texts kept wide for the list view.
    struct WideRow {
        std::wstring key, name, size, folder, cardPath, source, state;
    };

private:
    static std::string Identity(const Row& row);
    std::wstring RowText(int item, std::wstring WideRow::*text) const;

    HWND list_ = nullptr;
    queuetool::Preview preview_;
    std::vector<Row> rows_;
    std::vector<WideRow> wideRows_;
};

}  // namespace queuewindow

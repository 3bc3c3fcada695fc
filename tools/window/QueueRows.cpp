#include "tools/window/QueueRows.h"

#include <algorithm>
#include <cstdio>

#include <windows.h>

#include "rtl/AnsiText.h"
#include "rtl/Paths.h"

namespace queuewindow {

namespace {

constexpr const char* kReady = "Ready";
constexpr const char* kChecking = "Looking at the file...";

struct Unit {
    uint64_t size;
    const char* name;
};
constexpr Unit kUnits[] = {{1ull << 30, "GB"}, {1ull << 20, "MB"}, {1ull << 10, "KB"}};

std::string Plural(size_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

std::string FileNameOf(const std::string& path) {
    return path.substr(rtl::NameStart(path));
}

std::string Joined(const std::vector<std::string>& texts) {
    std::string all;
    for (const std::string& text : texts) all += (all.empty() ? "" : " ") + text;
    return all;
}

std::string QueueStatus(const std::vector<Row>& rows) {
    if (rows.empty()) return "The queue is empty: the next HotSync installs nothing.";
    const bool checking = std::any_of(rows.begin(), rows.end(), [](const Row& row) { return !row.checked; });
    if (checking) return Plural(rows.size(), "file", "files") + " queued; looking at the files...";
    uint64_t total = 0;
    size_t warned = 0;
    for (const Row& row : rows) {
        total += row.bytes;
        warned += row.warned ? 1 : 0;
    }
    std::string text = Plural(rows.size(), "file", "files") + " queued, " + SizeText(total);
    if (warned) text += "; " + std::to_string(warned) + (warned == 1 ? " needs" : " need") + " attention";
    return text + ".";
}

std::string CardWords(const queuetool::Preview& preview, const app::TSlots& slots) {
    if (preview.mediaType == 0) return "no card chosen";
    for (const app::TSlot& slot : slots)
        if (slot.MediaType == static_cast<uint32_t>(preview.mediaType) && !slot.DisplayName.empty())
            return "the " + slot.DisplayName;
    const uint32_t code = static_cast<uint32_t>(preview.mediaType);
    std::string fourCC;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const char c = static_cast<char>((code >> shift) & 0xFF);
        fourCC += (c >= 0x20 && c < 0x7F) ? c : '?';
    }
    return "a card of kind '" + fourCC + "', which this handheld has not reported";
}

}  // namespace

std::string SizeText(uint64_t bytes) {
    for (const Unit& unit : kUnits)
        if (bytes >= unit.size) {
            char text[32];
            std::snprintf(text, sizeof text, "%.1f %s", static_cast<double>(bytes) / unit.size, unit.name);
            return text;
        }
    return Plural(bytes, "byte", "bytes");
}

Row MakeRow(const queuetool::PreviewEntry& entry) {
    Row row;
    row.key = entry.entry.key;
    row.source = entry.entry.source;
    row.name = FileNameOf(entry.entry.source);
    row.folder = entry.cardDirectory + " (" + app::rules::FolderSourceName(entry.folderSource) + ")";
    row.cardPath = entry.cardPath;
    row.checked = entry.fileChecked;
    row.bytes = entry.size.value_or(0);
    row.size = entry.size ? SizeText(*entry.size) : row.checked ? "-" : "";
    row.warned = !entry.warnings.empty();
    row.state = row.warned ? Joined(entry.warnings) : row.checked ? kReady : kChecking;
    return row;
}

std::vector<Row> MakeRows(const queuetool::Preview& preview) {
    std::vector<Row> rows;
    rows.reserve(preview.entries.size());
    for (const queuetool::PreviewEntry& entry : preview.entries) rows.push_back(MakeRow(entry));
    return rows;
}

std::vector<Row> OutboxRows(const queuetool::OutboxView& view, const std::string& defaultDirectory) {
    std::vector<Row> rows;
    for (const app::outbox::OutboxFile& file : view.files) {
        if (file.queued) continue;
        Row row;
        row.outbox = true;
        row.source = file.path.empty() ? file.shown : file.path;
        row.name = FileNameOf(file.shown);
        const std::wstring wide = rtl::WideFromAnsi(view.folder) + L"\\" + file.relative;
        row.wideSource = wide;
        WIN32_FILE_ATTRIBUTE_DATA data{};
        if (GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &data)) {
            row.bytes = (uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
            row.size = SizeText(row.bytes);
        }
        row.cardPath = file.cardPath;
        row.folder = file.cardPath.empty() ? "" : file.cardPath.substr(0, file.cardPath.find_last_of('/'));
        if (row.folder.empty() && !file.cardPath.empty()) row.folder = "/";
        if (!row.folder.empty())
            row.folder += file.cardFolder              ? " (outbox folder)"
                          : row.folder == defaultDirectory ? " (default)"
                                                           : " (by type)";
        row.warned = !file.problem.empty();
        row.state = row.warned ? "In the outbox, stays: " + file.problem + "." : "In the outbox";
        rows.push_back(std::move(row));
    }
    return rows;
}

std::string OutboxSummary(const queuetool::OutboxView& view) {
    if (view.folder.empty()) return "No outbox.";
    if (view.missing) return "The outbox " + view.folder + " is missing.";
    if (!view.refusal.empty()) return "The outbox " + view.folder + " is refused: " + view.refusal + ".";
    return "Outbox: " + view.folder + ".";
}

std::string StatusText(const std::vector<Row>& all) {
    std::vector<Row> rows;
    for (const Row& row : all)
        if (!row.outbox) rows.push_back(row);
    const size_t waiting = all.size() - rows.size();
    if (!waiting) return QueueStatus(rows);
    const std::string outbox = " " + Plural(waiting, "file", "files") + " in the outbox.";
    return (rows.empty() ? std::string("The queue is empty.") : QueueStatus(rows)) + outbox;
}


std::string InstallSummary(const queuetool::Preview& preview, const app::TSlots& slots) {
    if (!preview.settingsFileExists)
        return "Tolvane is not set up for this user yet. The first file you add sets it up: install on, "
               "card folder " + preview.cardDirectory + ".";
    // "Default": files of a type or with a folder of their own may go elsewhere.
    const std::string card =
        "Card: " + CardWords(preview, slots) + ". Default card folder: " + preview.cardDirectory + ".";
    if (!preview.enabled)
        return "Install to card is off: the next HotSync installs nothing. " + card;
    return "Install to card is on. " + card;
}

std::wstring BatchLine(const queuetool::BatchOutcome& outcome, const std::string& user, size_t maxLength) {
    using Kind = queuetool::FileOutcome::Kind;
    const size_t refused = outcome.Count(Kind::kRefused), already = outcome.Count(Kind::kQueuedAlready);
    std::wstring line = rtl::WideFromAnsi("Queued " + Plural(outcome.Count(Kind::kQueued), "file", "files") + " for ") +
                        rtl::WideFromAnsi(user);
    if (already) line += L" (" + std::to_wstring(already) + L" already queued)";
    if (!refused) return line + L".";
    line += L"; " + std::to_wstring(refused) + L" refused:";
    size_t shown = 0;
    for (const queuetool::FileOutcome& file : outcome.files) {
        if (file.kind != Kind::kRefused) continue;
        std::wstring item = L" " + file.text;
        if (item.back() != L'.') item += L'.';
        const std::wstring rest = L" ... and " + std::to_wstring(refused - shown) + L" more.";
        if (line.size() + item.size() + rest.size() > maxLength)
            return shown ? line + rest : line.substr(0, line.size() - 1) + L".";
        line += item;
        ++shown;
    }
    return line;
}

}  // namespace queuewindow

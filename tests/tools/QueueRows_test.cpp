// What the queue window says about a queue, in words.
#include <gtest/gtest.h>

#include <algorithm>

#include "tools/window/QueueRows.h"
#include "tools/window/TypeRules.h"

using namespace queuewindow;

namespace {

queuetool::PreviewEntry Entry(const std::string& key, const std::string& source, std::optional<uint64_t> size,
                              std::vector<std::string> warnings = {}) {
    queuetool::PreviewEntry entry;
    entry.entry.key = key;
    entry.entry.source = source;
    entry.cardDirectory = "/Palm/Launcher";
    entry.cardPath = "/Palm/Launcher/" + source.substr(source.find_last_of("\\/:") + 1);
    entry.size = size;
    entry.warnings = std::move(warnings);
    return entry;
}

}  // namespace

TEST(QueueRows, SizesReadAsExplorerShowsThem) {
    const struct {
        uint64_t bytes;
        const char* text;
    } cases[] = {{0, "0 bytes"},          {1, "1 byte"},          {1023, "1023 bytes"},
                 {1024, "1.0 KB"},        {1536, "1.5 KB"},       {1048575, "1024.0 KB"},
                 {1048576, "1.0 MB"},     {uint64_t(5) << 30, "5.0 GB"},   {uint64_t(3) << 40, "3072.0 GB"}};
    for (const auto& c : cases) EXPECT_EQ(SizeText(c.bytes), c.text) << c.bytes;
}

// A missing file has no size and counts nothing towards the total; each of
// its warnings shows in the state.
TEST(QueueRows, RowsAndStatusCountTheFilesThatWillBeCopied) {
    queuetool::Preview preview;
    preview.entries.push_back(Entry("DB1", "C:\\Books\\a.pdb", 2048));
    preview.entries.push_back(Entry("db7", "C:\\Books\\gone.pdb", std::nullopt, {"The file is missing.", "And more."}));
    preview.entries.push_back(Entry("DB9", "D:/b.prc", 1));
    preview.entries.back().cardDirectory = "/Apps";
    preview.entries.back().folderSource = app::rules::FolderSource::ByType;
    const std::vector<Row> rows = MakeRows(preview);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].name, "a.pdb");
    EXPECT_EQ(rows[0].folder, "/Palm/Launcher (default)");
    EXPECT_EQ(rows[2].folder, "/Apps (by type)");
    EXPECT_EQ(rows[0].state, "Ready");
    EXPECT_EQ(rows[0].size, "2.0 KB");
    EXPECT_EQ(rows[1].key, "db7");
    EXPECT_EQ(rows[1].size, "-");
    EXPECT_EQ(rows[1].state, "The file is missing. And more.");
    EXPECT_EQ(rows[2].name, "b.prc");
    EXPECT_EQ(StatusText(rows), "3 files queued, 2.0 KB; 1 needs attention.");
    EXPECT_EQ(StatusText({rows[2]}), "1 file queued, 1 byte.");
    EXPECT_EQ(StatusText({rows[1], rows[1]}), "2 files queued, 0 bytes; 2 need attention.");
    EXPECT_EQ(StatusText({}), "The queue is empty: the next HotSync installs nothing.");

    // A file not looked at yet is neither ready nor missing, and no total is given.
    queuetool::PreviewEntry unchecked = Entry("DB10", "C:\\Books\\c.pdb", std::nullopt);
    unchecked.fileChecked = false;
    const Row pending = MakeRow(unchecked);
    EXPECT_EQ(pending.size, "");
    EXPECT_EQ(pending.state, "Looking at the file...");
    EXPECT_FALSE(pending.warned);
    EXPECT_EQ(StatusText({rows[0], pending}), "2 files queued; looking at the files...");
}

TEST(QueueRows, TheInstallSummarySaysWhatTheNextHotSyncDoes) {
    queuetool::Preview preview;
    preview.cardDirectory = "/Palm/Books";
    const app::TSlots slots = {{1, 0x6D737469, "Memory Stick slot"}, {2, 0x73646967, "SD slot"}};
    const struct {
        bool exists, enabled;
        int32_t mediaType;
        const char* expected;
    } cases[] = {
        {false, true, 0, "not set up for this user yet"},
        {true, true, 0x73646967, "Install to card is on. Card: the SD slot. Default card folder: /Palm/Books."},
        {true, false, 0x73646967, "Install to card is off: the next HotSync installs nothing. Card: the SD slot."},
        {true, true, 0, "Card: no card chosen."},
        {true, true, 0x63667368, "Card: a card of kind 'cfsh', which this handheld has not reported."},
        {true, true, 0x01020304, "kind '\?\?\?\?'"},
    };
    for (const auto& c : cases) {
        preview.settingsFileExists = c.exists;
        preview.enabled = c.enabled;
        preview.mediaType = c.mediaType;
        const std::string summary = InstallSummary(preview, slots);
        EXPECT_NE(summary.find(c.expected), std::string::npos) << summary;
    }
}

namespace {

queuetool::BatchOutcome Outcome(size_t queued, size_t already, const std::vector<std::wstring>& refusals) {
    using Kind = queuetool::FileOutcome::Kind;
    queuetool::BatchOutcome outcome;
    for (size_t i = 0; i < queued; ++i) outcome.files.push_back({L"f", Kind::kQueued, "DB1", L"Queued"});
    for (size_t i = 0; i < already; ++i) outcome.files.push_back({L"f", Kind::kQueuedAlready, "DB1", L"Already"});
    for (const std::wstring& text : refusals) outcome.files.push_back({L"f", Kind::kRefused, "", text});
    return outcome;
}

}  // namespace

// Send To's report stays one short line however many files were refused,
// and counts the refusals it leaves out.
TEST(QueueRows, TheBatchLineStaysShortAndCountsWhatItLeavesOut) {
    EXPECT_EQ(BatchLine(Outcome(80, 0, {}), "Alice"), L"Queued 80 files for Alice.");
    EXPECT_EQ(BatchLine(Outcome(1, 2, {}), "Bob"), L"Queued 1 file for Bob (2 already queued).");
    EXPECT_EQ(BatchLine(Outcome(0, 0, {L"No such file: C:\\x.pdb"}), "Bob"),
              L"Queued 0 files for Bob; 1 refused: No such file: C:\\x.pdb.");

    std::vector<std::wstring> many;
    for (int i = 0; i < 500; ++i) many.push_back(L"No such file: C:\\Some folder\\book " + std::to_wstring(i) + L".pdb");
    for (size_t limit : {60u, 120u, 240u, 1000u}) {
        const std::wstring line = BatchLine(Outcome(3, 0, many), "Carol", limit);
        EXPECT_LE(line.size(), limit);
        EXPECT_EQ(line.find(L'\n'), std::wstring::npos);
        EXPECT_EQ(line.rfind(L"Queued 3 files for Carol; 500 refused", 0), 0u);
        size_t named = 0;
        for (size_t at = line.find(L"No such file"); at != std::wstring::npos; at = line.find(L"No such file", at + 1))
            ++named;
        const std::wstring rest = named ? L" ... and " + std::to_wstring(500 - named) + L" more." : L" refused.";
        EXPECT_EQ(line.substr(line.size() - std::min(line.size(), rest.size())), rest) << limit;
    }
    // Not even one refusal fits: the count alone.
    EXPECT_EQ(BatchLine(Outcome(0, 0, many), "Carol", 40), L"Queued 0 files for Carol; 500 refused.");
}

// The folder dialog's rules: a refused type or folder changes nothing, a
// type matches in any letter case, suggestions never replace the user's
// own rules, and only what changed is written.
TEST(TypeRules, EditsKeepTheUsersRulesAndWriteOnlyTheChanges) {
    using Rules = std::vector<queuetool::TypeFolder>;
    TypeRules rules(Rules{{"MP3", "/Music"}, {"prc", ""}, {"txt", "/Notes"}, {"mp3", "/Twice"}});
    EXPECT_EQ(rules.Rules(), (Rules{{"MP3", "/Music"}, {"txt", "/Notes"}}));
    EXPECT_TRUE(rules.Changes().empty());

    const struct {
        const char* type;
        const char* folder;
        const char* named;
    } refused[] = {
        {"", "/A", "missing"},        {"m.p3", "/A", "no file type"}, {"a b", "/A", "no file type"},
        {"ogg", "", "empty"},         {"ogg", "Music", "\"/\""},      {"ogg", "/a/../b", ".."},
        {"ogg", "//", "empty folder name"},
    };
    for (const auto& r : refused) {
        const std::string problem = rules.Set(r.type, r.folder);
        EXPECT_NE(problem.find(r.named), std::string::npos) << r.type << "=" << r.folder << ": " << problem;
    }
    EXPECT_EQ(rules.Rules().size(), 2u);

    EXPECT_EQ(rules.Set("mp3", "/AUDIO/"), "");
    EXPECT_EQ(rules.Rules()[0], (queuetool::TypeFolder{"MP3", "/AUDIO"}));
    const size_t suggested = rules.AddSuggested();
    EXPECT_GT(suggested, 10u);
    EXPECT_EQ(rules.AddSuggested(), 0u);
    EXPECT_EQ(rules.Rules()[rules.Find("txt").value()].second, "/Notes");
    EXPECT_EQ(rules.Rules()[rules.Find("JPG").value()].second, "/DCIM");
    for (const char* type : {"prc", "pdb", "pqa"}) EXPECT_FALSE(rules.Find(type)) << type;
    EXPECT_EQ(rules.Problem(), "");

    rules.Remove(rules.Find("txt").value());
    rules.Remove(rules.Rules().size());  // no such row
    const Rules changes = rules.Changes();
    ASSERT_EQ(changes.size(), 2u + suggested);
    EXPECT_EQ(changes[0], (queuetool::TypeFolder{"txt", ""}));
    EXPECT_EQ(changes[1], (queuetool::TypeFolder{"MP3", "/AUDIO"}));

    // A stored rule that no card can take is named until it is mended.
    TypeRules stored(Rules{{"gif", "/Pics/../x"}});
    EXPECT_NE(stored.Problem().find("gif"), std::string::npos) << stored.Problem();
    EXPECT_EQ(stored.Set("GIF", "/Pics"), "");
    EXPECT_EQ(stored.Problem(), "");
    EXPECT_EQ(stored.Changes(), (Rules{{"gif", "/Pics"}}));
}

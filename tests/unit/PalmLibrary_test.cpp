// The binding layer: every list line becomes the entry whose line an assertion
// failure names; the loader looks up and verifies as a binding's description
// says; a release forgets the whole state; a scope releases what it loaded.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <span>
#include <string>
#include <vector>

#include "app/memorycard.h"
#include "palm/kivCondMgre.h"
#include "palm/kivHSAPI.h"
#include "palm/kivHslog.h"
#include "palm/kivPalmInstall.h"
#include "palm/kivSyncMgr.h"
#include "palm/kivUserData.h"
#include "rtl/SysUtils.h"

namespace {

// A file of the source tree, as Wine shows the host's root; the unit tests
// know the tree by the corpus folder in it.
std::string SourceFile(const std::string& relative) {
    const std::string corpus = TOLVANE_FUZZ_CORPUS;
    return "Z:" + corpus.substr(0, corpus.rfind("fuzz/corpus")) + relative;
}

std::vector<std::string> Lines(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

struct ListCase {
    const char* file;
    std::span<const palm::EntryName> names;
};

TEST(EntryLists, EachEntryIsNamedByTheLineAnAssertionFailureGives) {
    const ListCase cases[] = {
        {"palm/kivUserData.inc", palm::userdata::kEntryNames}, {"app/memorycard.inc", palm::vfs::kEntryNames},
        {"palm/kivHslog.inc", palm::hslog::kEntryNames},       {"palm/kivSyncMgr.inc", palm::syncmgr::kEntryNames},
        {"palm/kivPalmInstall.inc", palm::install::kEntryNames}, {"palm/kivCondMgre.inc", palm::condmgr::kEntryNames},
        {"palm/kivHSAPI.inc", palm::hsapi::kEntryNames},
    };
    for (const ListCase& c : cases) {
        SCOPED_TRACE(c.file);
        const std::vector<std::string> lines = Lines(SourceFile(c.file));
        size_t entryLines = 0;
        for (const std::string& line : lines)
            entryLines += line.rfind("PALM_LOOKUP(", 0) == 0 || line.rfind("PALM_CALL(", 0) == 0;
        ASSERT_EQ(entryLines, c.names.size());
        for (const palm::EntryName& entry : c.names) {
            ASSERT_GE(entry.line, 1);
            ASSERT_LE(static_cast<size_t>(entry.line), lines.size()) << entry.name;
            const std::string& line = lines[entry.line - 1];
            const bool named = line.find("(" + std::string(entry.name) + ")") != std::string::npos ||
                               line.find(" " + std::string(entry.name) + ",") != std::string::npos;
            EXPECT_TRUE(named) << entry.name << " is not on line " << entry.line << ": " << line;
        }
    }
}

// A binding of our own over a system library: entries that exist, and one
// that does not, at the list lines given here.
constexpr palm::EntryName kProbeNames[] = {
    {"GetTickCount", 3}, {"NoSuchEntryAnywhere", 4}, {"GetVersion", 5}};

constexpr palm::BindingInfo Probe(palm::Verify verify, const char* file = "kernel32.dll") {
    return {.fileName = file, .unit = "tests\\probe", .locate = palm::Locate::BareNameFromDesktopDir,
            .verify = verify, .failMessage = "", .stopsStart = true, .entries = kProbeNames};
}

void ExpectEntries(palm::BindingState<3>& state, bool first, bool second, bool third) {
    EXPECT_EQ(state.Entry(0) != nullptr, first);
    EXPECT_EQ(state.Entry(1) != nullptr, second);
    EXPECT_EQ(state.Entry(2) != nullptr, third);
}

TEST(BindingLoader, EachEntryStopsAtTheFirstMissingOneAndNamesItsLine) {
    palm::BindingState<3> state;
    try {
        palm::LoadBinding(Probe(palm::Verify::EachEntry), state);
        ADD_FAILURE() << "no assertion failure";
    } catch (const rtl::EAssertionFailed& e) {
        EXPECT_EQ(e.Message(), "Assertion failure (tests\\probe, line 4)");
    }
    EXPECT_TRUE(state.Loaded());
    ExpectEntries(state, true, false, false);
    state.Release();
    EXPECT_FALSE(state.Loaded());
    ExpectEntries(state, false, false, false);
}

TEST(BindingLoader, AfterAllLooksUpEveryEntryBeforeVerifying) {
    palm::BindingState<3> state;
    EXPECT_THROW(palm::LoadBinding(Probe(palm::Verify::AfterAll), state), rtl::EAssertionFailed);
    ExpectEntries(state, true, false, true);
    state.Release();
}

TEST(BindingLoader, WithoutVerificationAMissingEntryJustStaysEmpty) {
    palm::BindingState<3> state;
    palm::LoadBinding(Probe(palm::Verify::None), state);
    ASSERT_TRUE(state.Loaded());
    ExpectEntries(state, true, false, true);
    const HMODULE module = state.Module().get();
    palm::LoadBinding(Probe(palm::Verify::None), state);  // loaded already: nothing happens
    EXPECT_EQ(state.Module().get(), module);
    state.Release();
    ExpectEntries(state, false, false, false);
}

TEST(BindingLoader, AFileThatCannotBeLoadedLeavesEverythingEmpty) {
    palm::BindingState<3> state;
    palm::LoadBinding(Probe(palm::Verify::EachEntry, "no-such-library.dll"), state);
    EXPECT_FALSE(state.Loaded());
    ExpectEntries(state, false, false, false);
}

// Bindings as a tool's scope sees them, each with the probe description.
template <palm::Verify verify>
struct ProbeBinding {
    static inline palm::BindingState<3> state;
    static constexpr palm::BindingInfo info = Probe(verify);
    static void Load() { palm::LoadBinding(info, state); }
    static inline const palm::Binding binding{info, &Load, [] () noexcept { return state.Loaded(); },
                                              [] () noexcept { state.Release(); }};
};
using Quiet = ProbeBinding<palm::Verify::None>;
using Strict = ProbeBinding<palm::Verify::EachEntry>;

TEST(BindingScope, ReleasesWhatItLoadedAlsoWhenALoaderThrows) {
    {
        palm::BindingScope scope;
        EXPECT_TRUE(scope.Load(Quiet::binding));
        EXPECT_THROW(scope.Load(Strict::binding), rtl::EAssertionFailed);
        EXPECT_TRUE(Strict::state.Loaded());
    }
    EXPECT_FALSE(Quiet::state.Loaded());
    EXPECT_FALSE(Strict::state.Loaded());
    EXPECT_EQ(Quiet::state.Entry(0), nullptr);
}

TEST(BindingScope, LeavesABindingLoadedBeforeItToWhoeverLoadedIt) {
    Quiet::Load();
    {
        palm::BindingScope scope;
        EXPECT_TRUE(scope.Load(Quiet::binding));
    }
    EXPECT_TRUE(Quiet::state.Loaded());
    Quiet::state.Release();
}

}  // namespace

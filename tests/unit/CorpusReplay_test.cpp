// The native fuzzers' corpus (fuzz/corpus), fed to the Windows build of the
// same reader and path rules: what held under the sanitizers must hold in
// the code that ships.
#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/Checks.h"

namespace {

// The corpus folder of the source tree, as Wine shows the host's root.
std::string CorpusFolder(const char* name) { return std::string("Z:") + TOLVANE_FUZZ_CORPUS + "/" + name + "/"; }

std::vector<std::string> CorpusFiles(const std::string& folder) {
    std::vector<std::string> files;
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA((folder + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return files;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) files.push_back(folder + found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return files;
}

std::string Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

struct CorpusCase {
    const char* folder;
    std::string (*check)(const uint8_t*, size_t);
};

class CorpusReplay : public testing::TestWithParam<CorpusCase> {};

TEST_P(CorpusReplay, EveryInputHoldsInTheWindowsBuild) {
    const auto files = CorpusFiles(CorpusFolder(GetParam().folder));
    // The seeds are committed with the tree; an empty list means a wrong path.
    ASSERT_GE(files.size(), 3u) << CorpusFolder(GetParam().folder);
    for (const std::string& file : files) {
        SCOPED_TRACE(file);
        const std::string data = Contents(file);
        EXPECT_EQ(GetParam().check(reinterpret_cast<const uint8_t*>(data.data()), data.size()), "");
    }
}

INSTANTIATE_TEST_SUITE_P(Fuzzers, CorpusReplay,
                         testing::Values(CorpusCase{"ini", &fuzzcheck::CheckSettingsText},
                                         CorpusCase{"paths", &fuzzcheck::CheckPathRules}),
                         [](const testing::TestParamInfo<CorpusCase>& info) { return info.param.folder; });

}  // namespace

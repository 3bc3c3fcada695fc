// The VFS stand-in must refuse every card path that could reach outside the
// card's folder, and copy, create and delete only inside it.
#include <fstream>

#include "StandInFixture.h"
#include "desktop/CardPath.h"
#include "desktop/Files.h"

using namespace standin_test;
using desktop::FileExists;
using desktop::FourCC;

namespace {

struct PathCase {
    const char* path;
    bool accepted;
};

const PathCase kPathCases[] = {
    {"/Palm/Launcher/book.pdb", true},
    {"/Palm//Launcher/", true},          // repeated and trailing separators count once
    {"/a b/c.d.e", true},
    {"/", true},
    {"", false},
    {"Palm/Launcher", false},            // card paths start at the root
    {"/Palm/../../outside.pdb", false},
    {"/..", false},
    {"/./book.pdb", false},
    {"/Palm\\..\\..\\x", false},
    {"/C:/Windows/x", false},
    {"/Palm/x:stream", false},
    {"/Palm/NUL", false},
    {"/Palm/com1.txt", false},
    {"/Palm/lpt9", false},
    {"/Palm/book.", false},              // Windows would drop the dot
    {"/Palm/book ", false},
    {"/Palm/a*b", false},
    {"/Palm/a\tb", false},
};

}  // namespace

TEST(CardPathRules, AcceptOnlyPathsThatStayOnTheCard) {
    for (const auto& c : kPathCases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(desktop::SplitCardPath(c.path).has_value(), c.accepted);
    }
    const std::string longest = "/" + std::string(desktop::kMaxCardPath - 1, 'a');
    EXPECT_TRUE(desktop::SplitCardPath(longest).has_value());
    EXPECT_FALSE(desktop::SplitCardPath(longest + "a").has_value());
    EXPECT_EQ(desktop::CardPathOnDisk("C:\\card", "/Palm//Launcher/b.pdb").value(), "C:\\card\\Palm\\Launcher\\b.pdb");
}

class VfsTest : public StandInTest {
protected:
    void SetUp() override {
        StandInTest::SetUp();
        card = Desktop().AddVolume(3, FourCC("sdig"));
        source = desktop::JoinPath(Desktop().Folder(), "book.pdb");
        std::ofstream(source, std::ios::binary) << "0123456789";
        put = Get<VFSFilePutFn>("VFSAPI.dll", "VFSFilePut");
        mkdir = Get<VFSPathFn>("VFSAPI.dll", "VFSDirCreate");
        del = Get<VFSPathFn>("VFSAPI.dll", "VFSFileDelete");
    }
    std::string card, source;
    VFSFilePutFn put = nullptr;
    VFSPathFn mkdir = nullptr, del = nullptr;
};

TEST_F(VfsTest, RefusedPathsChangeNothingOutsideTheCard) {
    for (const auto& c : kPathCases) {
        if (c.accepted) continue;
        SCOPED_TRACE(c.path);
        const long putResult = put(3, c.path, source.c_str());
        EXPECT_EQ(putResult, 0x2A0E);
        const long dirResult = mkdir(3, c.path);
        EXPECT_EQ(dirResult, 0x2A0E);
        const long deleteResult = del(3, c.path);
        EXPECT_EQ(deleteResult, 0x2A0E);
    }
    // The source beside the card folder is still there, and the desktop
    // folder gained nothing.
    EXPECT_TRUE(FileExists(source));
    EXPECT_FALSE(FileExists(desktop::JoinPath(Desktop().Folder(), "outside.pdb")));
}

TEST_F(VfsTest, DirCreateMakesParentsAndPutCopiesIntoIt) {
    const long created = mkdir(3, "/Palm/Launcher");
    EXPECT_EQ(created, 0);
    const long again = mkdir(3, "/Palm/Launcher");
    EXPECT_EQ(again, 0x2A06);
    const long copied = put(3, "/Palm/Launcher/book.pdb", source.c_str());
    ASSERT_EQ(copied, 0);
    EXPECT_EQ(desktop::ReadWholeFile(Desktop().CardFile(3, "/Palm/Launcher/book.pdb")).value_or(""), "0123456789");
    // A file in the way of a directory is reported, not replaced.
    const long blocked = mkdir(3, "/Palm/Launcher/book.pdb/sub");
    EXPECT_EQ(blocked, 0x2A11);
}

TEST_F(VfsTest, PutReportsEachFailureWithItsOwnCode) {
    ASSERT_EQ(mkdir(3, "/Palm"), 0);
    const std::string missing = desktop::JoinPath(Desktop().Folder(), "missing.pdb");
    EXPECT_EQ(put(3, "/Palm/missing.pdb", missing.c_str()), 0x2A08);
    EXPECT_EQ(put(3, "/Palm/folder", Desktop().Folder().c_str()), 0x2A12);
    EXPECT_EQ(put(3, "/NoSuchDir/book.pdb", source.c_str()), 0x2A13);
    EXPECT_EQ(put(4, "/Palm/book.pdb", source.c_str()), 0x2A09);
    EXPECT_EQ(put(3, "/Palm/book.pdb", nullptr), 0x0502);
    ASSERT_EQ(put(3, "/Palm/book.pdb", source.c_str()), 0);
    // The card keeps its copy until the caller deletes it.
    EXPECT_EQ(put(3, "/Palm/book.pdb", source.c_str()), 0x2A06);
    EXPECT_EQ(del(3, "/Palm/book.pdb"), 0);
    EXPECT_EQ(del(3, "/Palm/book.pdb"), 0x2A08);
    EXPECT_EQ(put(3, "/Palm/book.pdb", source.c_str()), 0);
    for (const char* p : {"/Palm/missing.pdb", "/Palm/folder", "/NoSuchDir/book.pdb"}) {
        SCOPED_TRACE(p);
        EXPECT_FALSE(FileExists(Desktop().CardFile(3, p)));
    }
}

TEST_F(VfsTest, UnreadableSourceIsRefused) {
    desktop::UniqueFile lock(CreateFileA(source.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                                         nullptr));
    ASSERT_TRUE(lock);
    const long result = put(3, "/book.pdb", source.c_str());
    EXPECT_EQ(result, 0x2A05);
    EXPECT_FALSE(FileExists(Desktop().CardFile(3, "/book.pdb")));
}

TEST_F(VfsTest, FullCardTakesNothing) {
    const std::string small = Desktop().AddVolume(5, FourCC("mmcd"), 15);
    std::ofstream(desktop::JoinPath(small, "old.prc"), std::ios::binary) << "12345";
    const long fits = put(5, "/fits.pdb", source.c_str());  // 5 + 10 = 15
    EXPECT_EQ(fits, 0);
    const long full = put(5, "/full.pdb", source.c_str());
    EXPECT_EQ(full, 0x2A0F);
    EXPECT_FALSE(FileExists(Desktop().CardFile(5, "/full.pdb")));
}

TEST_F(VfsTest, CopySwitchFailsOneSourceByNameOrPath) {
    Desktop().FailCopy("BOOK.pdb", 0x2A0F);
    const long byName = put(3, "/book.pdb", source.c_str());
    EXPECT_EQ(byName, 0x2A0F);
    Desktop().ClearSwitches();
    Desktop().FailCopy(source, -7);
    EXPECT_EQ(put(3, "/book.pdb", source.c_str()), -7);
    const std::string other = desktop::JoinPath(Desktop().Folder(), "other.pdb");
    std::ofstream(other) << "x";
    EXPECT_EQ(put(3, "/other.pdb", other.c_str()), 0);
    EXPECT_FALSE(FileExists(Desktop().CardFile(3, "/book.pdb")));
}

TEST_F(VfsTest, DeleteRemovesOnlyEmptyDirectories) {
    ASSERT_EQ(mkdir(3, "/a/b"), 0);
    ASSERT_EQ(put(3, "/a/b/book.pdb", source.c_str()), 0);
    EXPECT_EQ(del(3, "/a/b"), 0x2A0D);
    EXPECT_EQ(del(3, "/a/b/book.pdb"), 0);
    EXPECT_EQ(del(3, "/a/b"), 0);
    EXPECT_FALSE(desktop::DirectoryExists(Desktop().CardFile(3, "/a/b")));
    EXPECT_EQ(del(3, "/"), 0x2A0E);
    EXPECT_TRUE(desktop::DirectoryExists(card));
}

TEST_F(VfsTest, VolumesAreEnumeratedAndDescribed) {
    Desktop().AddVolume(9, FourCC("mmcd"));
    auto enumerate = Get<VFSVolumeEnumerateFn>("VFSAPI.dll", "VFSVolumeEnumerate");
    auto info = Get<VFSVolumeInfoFn>("VFSAPI.dll", "VFSVolumeInfo");
    unsigned short count = 0;
    ASSERT_EQ(enumerate(&count, nullptr), 0);
    ASSERT_EQ(count, 2);
    unsigned short refs[3] = {0xEEEE, 0xEEEE, 0xEEEE};
    count = 1;  // room for one only
    ASSERT_EQ(enumerate(&count, refs), 0);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(refs[0], 3);
    EXPECT_EQ(refs[1], 0xEEEE);

    unsigned char record[40];
    std::memset(record, 0xCC, sizeof record);
    ASSERT_EQ(info(9, record), 0);
    std::uint32_t mediaType = 0;
    std::memcpy(&mediaType, record + 20, 4);
    EXPECT_EQ(mediaType, FourCC("mmcd"));
    EXPECT_EQ(record[27], 0);
    EXPECT_EQ(record[28], 0xCC) << "wrote past the 28-byte record";
    std::memset(record, 0xCC, sizeof record);
    EXPECT_EQ(info(7, record), 0x2A09);
    EXPECT_EQ(record[0], 0xCC);
}

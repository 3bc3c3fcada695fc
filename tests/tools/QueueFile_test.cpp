// The queue in a settings file as the tool changes and previews it, on a
// folder of its own: no Palm Desktop involved.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>

#include "rtl/IniFiles.h"
#include "tools/queue/QueueFile.h"

using namespace queuetool;
namespace fs = std::filesystem;

namespace {

std::string Read(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void Write(const fs::path& file, const std::string& text) { std::ofstream(file, std::ios::binary) << text; }

class QueueFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        char temp[MAX_PATH] = {};
        GetTempPathA(sizeof temp, temp);
        root = fs::path(temp) / ("tolvane-queue-" + std::to_string(GetCurrentProcessId()) + "-" +
                                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root);
        fs::create_directories(root / "user");
        settings = (root / "user" / "Tolvane" / "Tolvane.ini").string();
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }
    std::string Source(const std::string& name, const std::string& content = "data") {
        Write(root / name, content);
        return (root / name).string();
    }

    fs::path root;
    std::string settings;
};

}  // namespace

TEST_F(QueueFileTest, TheFirstAddCreatesFolderAndSettingsWithTheUsersCard) {
    QueueFile queue(settings);
    const auto added = queue.Add(Source("a.pdb"), NewSettings{0x73646967});
    EXPECT_EQ(added.key, "DB1");
    EXPECT_TRUE(added.isNew);
    rtl::TIniFile ini(settings);
    EXPECT_EQ(ini.ReadInteger("Setup", "MediaType", 0), 0x73646967);
    EXPECT_EQ(ini.ReadString("Setup", "Directory", ""), "/Palm/Launcher");
    EXPECT_TRUE(ini.ReadBool("Setup", "Conduit_Enabled", false));
    EXPECT_EQ(ini.ReadString("InstallToSlot", "DB1", ""), (root / "a.pdb").string());
}

TEST_F(QueueFileTest, AddGoesAfterTheHighestPositionAndKeepsEverythingElse) {
    fs::create_directories(root / "user" / "Tolvane");
    Write(settings, "[Setup]\r\nDirectory=/Books\r\nMediaType=7\r\n[InstallToSlot]\r\ndb7=C:\\x\\seven.pdb\r\n"
                    "DB2=C:\\x\\two.pdb\r\nDB01=C:\\x\\odd.pdb\r\nNote=keep me\r\n");
    QueueFile queue(settings);
    EXPECT_EQ(queue.Add(Source("new.pdb"), {}).key, "DB8");
    EXPECT_EQ(queue.Add(Source("newer.pdb"), {}).key, "DB9");
    rtl::TIniFile ini(settings);
    EXPECT_EQ(ini.ReadString("Setup", "Directory", ""), "/Books");  // an existing setup is not touched
    EXPECT_EQ(ini.ReadInteger("Setup", "MediaType", 0), 7);
    EXPECT_EQ(ini.ReadString("InstallToSlot", "DB7", ""), "C:\\x\\seven.pdb");
    EXPECT_EQ(ini.ReadString("InstallToSlot", "DB2", ""), "C:\\x\\two.pdb");
    EXPECT_EQ(ini.ReadString("InstallToSlot", "DB01", ""), "C:\\x\\odd.pdb");
    EXPECT_EQ(ini.ReadString("InstallToSlot", "Note", ""), "keep me");
    const auto entries = queue.Entries();
    ASSERT_EQ(entries.size(), 4u);  // DB01 and Note are no queue positions
    EXPECT_EQ(entries[0].key, "DB2");
    EXPECT_EQ(entries[1].key, "db7");
    EXPECT_EQ(entries[3].key, "DB9");
}

TEST_F(QueueFileTest, AFileQueuedAlreadyIsNotQueuedTwice) {
    QueueFile queue(settings);
    const std::string source = Source("a.pdb");
    queue.Add(source, {});
    queue.Add(Source("b.pdb"), {});
    std::string upper = source;
    for (char& c : upper) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    const auto again = queue.Add(upper, {});
    EXPECT_EQ(again.key, "DB1");
    EXPECT_FALSE(again.isNew);
    EXPECT_EQ(queue.Entries().size(), 2u);
}

TEST_F(QueueFileTest, PreviewShowsCardPathsSizesAndWhatWillGoWrong) {
    fs::create_directories(root / "user" / "Tolvane");
    fs::create_directories(root / "folder.pdb");
    const std::string a = Source("a.pdb", "12345");
    const std::string other = (root / "folder.pdb").string();
    Write(settings, "[Setup]\r\nDirectory=/Palm/eBooks\r\n[InstallToSlot]\r\nDB1=" + a + "\r\nDB2=" +
                        (root / "gone.pdb").string() + "\r\nDB3=" + other + "\r\nDB4=C:\\elsewhere\\A.PDB\r\n" +
                        "DB5=C:\\trailing\\\r\n");
    const Preview preview = QueueFile(settings).MakePreview();
    EXPECT_EQ(preview.cardDirectory, "/Palm/eBooks");
    ASSERT_EQ(preview.entries.size(), 5u);
    const auto& e = preview.entries;
    EXPECT_EQ(e[0].cardPath, "/Palm/eBooks/a.pdb");
    EXPECT_EQ(e[0].size, std::optional<uint64_t>(5));
    ASSERT_EQ(e[0].warnings.size(), 1u);  // DB4 goes to the same card path in other letter case
    EXPECT_NE(e[0].warnings[0].find("DB4"), std::string::npos);
    ASSERT_EQ(e[1].warnings.size(), 1u);
    EXPECT_NE(e[1].warnings[0].find("missing"), std::string::npos);
    EXPECT_FALSE(e[1].size);
    ASSERT_EQ(e[2].warnings.size(), 1u);
    EXPECT_NE(e[2].warnings[0].find("folder"), std::string::npos);
    EXPECT_NE(e[3].warnings.back().find("DB1"), std::string::npos);
    EXPECT_EQ(e[4].cardPath, "/Palm/eBooks/");
    ASSERT_FALSE(e[4].warnings.empty());
    EXPECT_NE(e[4].warnings[0].find("no file name"), std::string::npos);
}

TEST_F(QueueFileTest, RemoveTakesOnlyTheKeyAndTidiesTheFile) {
    QueueFile queue(settings);
    queue.Add(Source("a.pdb"), {});
    queue.Add(Source("b.pdb"), {});
    EXPECT_TRUE(queue.Remove("db1"));
    EXPECT_FALSE(queue.Remove("DB1"));
    EXPECT_FALSE(queue.Remove("DB3"));
    const auto entries = queue.Entries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].key, "DB2");
    EXPECT_EQ(Read(settings).find("  "), std::string::npos) << Read(settings);
}

TEST_F(QueueFileTest, AReadOnlySettingsFileIsAnErrorNotASilentLoss) {
    QueueFile queue(settings);
    queue.Add(Source("a.pdb"), {});
    SetFileAttributesA(settings.c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_THROW(queue.Add(Source("b.pdb"), {}), rtl::Exception);
    EXPECT_THROW(queue.Remove("DB1"), rtl::Exception);
    SetFileAttributesA(settings.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(queue.Entries().size(), 1u);
}

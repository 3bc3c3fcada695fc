// Users, slots and the HotSync log, as the description sets them up.
#include "StandInFixture.h"
#include "desktop/Files.h"

using namespace standin_test;
using desktop::FourCC;

class UserDataTest : public StandInTest {
protected:
    void SetUp() override {
        StandInTest::SetUp();
        Desktop().SetCorePath("Users");
        Desktop().AddUser(1001, "Alice Smith", "SmithA", 1);
        Desktop().AddSlot(1001, 7, FourCC("sdig"), "SD card");
        Desktop().AddSlot(1001, 9, FourCC("mmcd"), "MultiMedia");
        Desktop().AddUser(1002, "Bob", "Bob", 0);
    }
};

TEST_F(UserDataTest, UsersByIndexAndTheirFolders) {
    EXPECT_EQ(Get<UmGetUserCountFn>("userdata.dll", "UmGetUserCount")(), 2);
    auto getId = Get<UmGetUserIDFn>("userdata.dll", "UmGetUserID");
    unsigned long id = 0;
    ASSERT_EQ(getId(1, &id), 0);
    EXPECT_EQ(id, 1002u);
    id = 77;
    EXPECT_EQ(getId(2, &id), -501);
    EXPECT_EQ(getId(-1, &id), -501);
    EXPECT_EQ(id, 77u);

    auto directory = Get<UmTextFn>("userdata.dll", "UmGetUserDirectory");
    char buffer[256] = {};
    short size = 255;
    ASSERT_EQ(directory(1001, buffer, &size), 0);
    EXPECT_EQ(std::string(buffer), "SmithA");
    size = 255;
    EXPECT_EQ(directory(4711, buffer, &size), -551);
    auto name = Get<UmTextFn>("userdata.dll", "UmGetUserName");
    std::memset(buffer, 'x', sizeof buffer);
    size = 11;  // "Alice Smith" needs 12
    EXPECT_EQ(name(1001, buffer, &size), -502);
    EXPECT_EQ(size, 12);
    EXPECT_EQ(buffer[0], 'x');

    char root[260] = {};
    short rootSize = 260;
    Get<UmGetRootDirectoryFn>("userdata.dll", "UmGetRootDirectory")(root, &rootSize);
    EXPECT_EQ(std::string(root), Desktop().Folder());
}

TEST_F(UserDataTest, ACopyInASubfolderServesTheDesktopAboveItWithoutTheRegistry) {
    const std::string beside = desktop::JoinPath(Desktop().Folder(), "conduit");
    ASSERT_TRUE(desktop::CreateDirectories(beside));
    ASSERT_TRUE(desktop::CopyOneFile(Desktop().LibraryPath("userdata.dll"), desktop::JoinPath(beside, "userdata.dll")));
    desktop::DesktopLayout::RemoveRegisteredHost();
    desktop::UniqueModule copy(LoadLibraryA(desktop::JoinPath(beside, "userdata.dll").c_str()));
    ASSERT_TRUE(copy);
    auto root = reinterpret_cast<UmGetRootDirectoryFn>(
        reinterpret_cast<void*>(GetProcAddress(copy.get(), "UmGetRootDirectory")));
    char buffer[260] = {};
    short size = 260;
    ASSERT_EQ(root(buffer, &size), 0);
    EXPECT_EQ(std::string(buffer), Desktop().Folder());
}

TEST_F(UserDataTest, SlotsOfAUserWithAnExpansionManager) {
    unsigned long version = 0;
    ASSERT_EQ(Get<UmSlotGetExpMgrVersionFn>("userdata.dll", "UmSlotGetExpMgrVersion")(1001, &version), 0);
    EXPECT_EQ(version, 1u);
    version = 5;
    ASSERT_EQ(Get<UmSlotGetExpMgrVersionFn>("userdata.dll", "UmSlotGetExpMgrVersion")(1002, &version), 0);
    EXPECT_EQ(version, 0u);

    unsigned short count = 0;
    ASSERT_EQ(Get<UmSlotGetSlotCountFn>("userdata.dll", "UmSlotGetSlotCount")(1001, &count), 0);
    EXPECT_EQ(count, 2);
    long refs[3] = {-1, -1, -1};
    count = 2;
    ASSERT_EQ(Get<UmSlotGetInfoFn>("userdata.dll", "UmSlotGetInfo")(1001, refs, &count), 0);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(refs[0], 7);
    EXPECT_EQ(refs[1], 9);
    EXPECT_EQ(refs[2], -1);

    unsigned long mediaType = 0;
    ASSERT_EQ(Get<UmSlotGetMediaTypeFn>("userdata.dll", "UmSlotGetMediaType")(1001, 9, &mediaType), 0);
    EXPECT_EQ(mediaType, FourCC("mmcd"));
    char name[256] = {};
    unsigned long length = 255;
    auto displayName = Get<UmSlotGetDisplayNameFn>("userdata.dll", "UmSlotGetDisplayName");
    ASSERT_EQ(displayName(1001, 7, name, &length), 0);
    EXPECT_EQ(std::string(name), "SD card");
    length = 255;
    EXPECT_NE(displayName(1001, 8, name, &length), 0) << "no slot 8";
}

TEST_F(UserDataTest, LogEntriesGoToTheSyncUsersLogOneLineEach) {
    auto log = Get<LogAddEntryFn>("hslog20.dll", "LogAddEntry");
    Desktop().SetSyncUser(1002);
    EXPECT_EQ(log("first.pdb installed to /Palm/Launcher", -1, 0), 0);
    EXPECT_EQ(log("two\r\nlines", 22, -1), 0);
    EXPECT_EQ(log("\x1F\xBA\tname", -1, 0), 0);
    Desktop().SetSyncUser(std::nullopt);
    EXPECT_EQ(log("no HotSync running", 19, 0), 0);
    const std::vector<std::string> bob = {"[-1 text] first.pdb installed to /Palm/Launcher",
                                          "[22 warning timestamp] two^M^Jlines", "[-1 text] \x1F\xBA\tname"};
    EXPECT_EQ(Desktop().HotSyncLog(1002), bob);
    EXPECT_TRUE(Desktop().HotSyncLog(1001).empty());
    EXPECT_EQ(Desktop().DesktopLog(), std::vector<std::string>{"[19 start] no HotSync running"});
}

// The rules the queue tool shares with the HotSync walk: which keys are
// queue positions, where a user's settings file lies, which user a command
// names.
#include <gtest/gtest.h>

#include "tools/queue/DesktopUsers.h"
#include "tools/queue/QueueFile.h"

using namespace queuetool;

TEST(QueuePosition, KeysTheWalkVisitsAndNoOthers) {
    const struct {
        const char* key;
        std::optional<uint32_t> position;
    } cases[] = {
        {"DB1", 1u},          {"db1", 1u},        {"Db42", 42u},          {"DB2147483647", 2147483647u},
        {"DB2147483648", {}}, {"DB4294967297", {}}, {"DB01", {}},          {"DB0", {}},
        {"DB", {}},           {"DB-1", {}},       {"DB+1", {}},           {"DB1 ", {}},
        {"DB1x", {}},         {"XDB1", {}},       {"D1", {}},             {"", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        EXPECT_EQ(QueuePosition(c.key), c.position);
    }
}

TEST(ConduitFolder, FollowsTheFolderTheHostNamesForTheUser) {
    const struct {
        const char* userPath;
        const char* conduitFolder;
    } cases[] = {
        {"C:\\Palm\\User1\\", "C:\\Palm\\User1\\Tolvane\\"},
        {"C:\\Palm\\User1", "C:\\Palm\\User1\\Tolvane\\"},
        {"C:\\Palm\\User1\\Dir\\", "C:\\Palm\\User1\\Tolvane\\"},
        {"C:\\Palm\\User1\\DIR", "C:\\Palm\\User1\\Tolvane\\"},
        {"C:\\Palm\\Nadir\\", "C:\\Palm\\Nadir\\Tolvane\\"},
        {"dir\\", "Tolvane\\"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.userPath);
        EXPECT_EQ(ConduitFolderOf(c.userPath), c.conduitFolder);
    }
}

class ChooseUserTest : public ::testing::Test {
protected:
    std::vector<DesktopUser> users{{1001, "Alice", "AliceFolder", "", "", 0}, {1002, "Bob", "Alice", "", "", 0}};
};

TEST_F(ChooseUserTest, NamesComeBeforeFoldersAndIgnoreCase) {
    EXPECT_EQ(ChooseUser(users, "bob").user, &users[1]);
    EXPECT_EQ(ChooseUser(users, "ALICEFOLDER").user, &users[0]);
    // "Alice" is one user's name and the other's folder: the name wins.
    EXPECT_EQ(ChooseUser(users, "Alice").user, &users[0]);
    EXPECT_TRUE(ChooseUser(users, "Bob").note.empty());
}

TEST_F(ChooseUserTest, TheDefaultIsTheFirstUserAndTheToolSaysSo) {
    for (const char* text : {"", "-"}) {
        SCOPED_TRACE(text);
        const ChosenUser chosen = ChooseUser(users, text);
        EXPECT_EQ(chosen.user, &users[0]);
        EXPECT_NE(chosen.note.find("Alice (the first of 2"), std::string::npos) << chosen.note;
    }
    users.pop_back();
    EXPECT_NE(ChooseUser(users, "-").note.find("Alice (the only HotSync user)"), std::string::npos);
}

TEST_F(ChooseUserTest, AnUnknownUserIsRefusedWithTheKnownOnes) {
    const ChosenUser chosen = ChooseUser(users, "Carol");
    EXPECT_EQ(chosen.user, nullptr);
    EXPECT_NE(chosen.note.find("\"Carol\""), std::string::npos) << chosen.note;
    EXPECT_NE(chosen.note.find("Alice, Bob"), std::string::npos) << chosen.note;
    users.clear();
    EXPECT_EQ(ChooseUser(users, "-").user, nullptr);
    EXPECT_EQ(ChooseUser(users, "Alice").user, nullptr);
}

// Which user a command names.
#include <gtest/gtest.h>

#include "rtl/Classes.h"
#include "tools/queue/DesktopUsers.h"

using namespace queuetool;

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

// Accented letters fold as the ANSI code page folds them (1252 here): the
// framework's A-Z folding would miss these users.
TEST_F(ChooseUserTest, AccentedNamesAreFoundInAnyLetterCase) {
    users.push_back({1003, "\xC9lodie \xD8stergaard", "\xC9LO", "", "", 0});
    EXPECT_EQ(ChooseUser(users, "\xE9LODIE \xF8STERGAARD").user, &users[2]);
    EXPECT_EQ(ChooseUser(users, "\xE9lo").user, &users[2]);
    EXPECT_EQ(ChooseUser(users, "Elodie \xD8stergaard").user, nullptr);  // an E is no \xC9
    EXPECT_TRUE(rtl::SameTextInCodePage("\xC0\xDE\xFE", "\xE0\xFE\xDE"));
    EXPECT_FALSE(rtl::SameTextInCodePage("\xC0", "A"));
    EXPECT_FALSE(rtl::SameTextInCodePage("ab", "abc"));
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

// The shared text and path helpers: each rule once, with the cases its
// callers rely on (buffers a library filled to the last byte, paths with
// either separator, names that differ only in case).
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <memory>
#include <string>

#include "app/PathRules.h"
#include "rtl/Paths.h"
#include "rtl/SysUtils.h"
#include "rtl/Text.h"
#include "tests/support/TestFiles.h"

namespace {

TEST(BufferText, StopsAtTheFirstNulAndNeverPassesTheBuffer) {
    // The bytes are copied without a terminator after them, so that reading on would be caught.
    const auto read = [](const std::string& bytes) {
        const std::unique_ptr<char[]> buffer(new char[bytes.size() + 1]);
        std::memcpy(buffer.get(), bytes.data(), bytes.size());
        buffer[bytes.size()] = 'X';
        return rtl::BufferText(buffer.get(), bytes.size());
    };
    EXPECT_EQ(read(std::string("abc\0xyz", 7)), "abc");
    EXPECT_EQ(read("abcdefg"), "abcdefg");  // filled to the last byte
    EXPECT_EQ(read(std::string("\0abc", 4)), "");
    EXPECT_EQ(read(""), "");  // no room at all
    char fixed[4] = {'a', 'b', 'c', 'd'};
    EXPECT_EQ(rtl::BufferText(fixed), "abcd");
}

TEST(AsciiCase, FoldsOnlyTheAsciiLetters) {
    EXPECT_TRUE(rtl::SameTextAscii("InstallToSlot", "INSTALLTOSLOT"));
    EXPECT_TRUE(rtl::SameTextAscii("", ""));
    EXPECT_FALSE(rtl::SameTextAscii("DB1", "DB12"));
    EXPECT_FALSE(rtl::SameTextAscii("@[`{", "`{@["));     // the neighbours of the letters stay apart
    EXPECT_FALSE(rtl::SameTextAscii("\xC4", "\xE4"));      // code-page letters are not folded here
    EXPECT_EQ(rtl::FoldAscii("Conduit_Enabled \xC4Z"), "conduit_enabled \xC4z");
    EXPECT_TRUE(rtl::EndsWithTextAscii("C:\\Palm\\User\\DIR\\", "\\dir\\"));
    EXPECT_FALSE(rtl::EndsWithTextAscii("ir\\", "\\dir\\"));
    EXPECT_TRUE(rtl::EndsWithTextAscii("anything", ""));
}

TEST(PathText, TrailingSeparatorAndFolderPart) {
    const auto check = [](const char* path, const char* withSeparator, const char* folder) {
        SCOPED_TRACE(path);
        EXPECT_EQ(rtl::IncludeTrailingBackslash(path), withSeparator);
        EXPECT_EQ(rtl::ExtractFilePath(path), folder);
    };
    check("", "", "");
    check("C:\\Palm", "C:\\Palm\\", "C:\\");
    check("C:\\Palm\\", "C:\\Palm\\", "C:\\Palm\\");
    check("C:/Palm/HotSync.exe", "C:/Palm/HotSync.exe\\", "C:/Palm/");
    check("C:/Palm/", "C:/Palm/", "C:/Palm/");
    check("C:HotSync.exe", "C:HotSync.exe\\", "C:");
    check("C:", "C:\\", "C:");
    check("HotSync.exe", "HotSync.exe\\", "");
    check("\\\\server\\share\\a.pdb", "\\\\server\\share\\a.pdb\\", "\\\\server\\share\\");
}

// In code page 932 the second byte of a character may be the byte of "\"
// ("\x95\x5C" is U+8868): it is part of its character, never a separator.
// Runs in a Japanese locale (tests/CMakeLists.txt).
TEST(PathText, InCodePage932ASecondByte5CIsNoSeparator) {
    ASSERT_EQ(GetACP(), 932u) << "the test's locale did not give code page 932";
    const std::string hyo = "\x95\x5C";
    EXPECT_EQ(rtl::IncludeTrailingBackslash("C:\\" + hyo), "C:\\" + hyo + "\\");
    EXPECT_EQ(rtl::ExtractFilePath("C:\\" + hyo + "\\" + hyo + ".pdb"), "C:\\" + hyo + "\\");
    EXPECT_EQ(rtl::ExtractFilePath("C:\\" + hyo + ".pdb"), "C:\\");
    EXPECT_EQ(app::rules::CardName("C:\\Books\\" + hyo + ".pdb"), hyo + ".pdb");
    EXPECT_EQ(app::rules::CardName("C:\\" + hyo + "\\" + hyo), hyo);
    EXPECT_EQ(app::rules::ConduitFolder("C:\\Palm\\" + hyo + "dir", "Tolvane"), "C:\\Palm\\" + hyo + "dir\\Tolvane\\");
    EXPECT_EQ(app::rules::ConduitFolder("C:\\" + hyo + "\\dir", "Tolvane"), "C:\\" + hyo + "\\Tolvane\\");
    // A lead byte at the very end has no second byte to take.
    EXPECT_EQ(app::rules::CardName("C:\\a\\\x95"), "\x95");
}

TEST(FileSystemPaths, FilesExistFoldersDoNot) {
    const testsupport::TempFolder temp;
    const std::string file = temp.File("a.pdb");
    testsupport::WriteText(file, "x");
    EXPECT_TRUE(rtl::FileExists(file));
    EXPECT_FALSE(rtl::FileExists(temp.Folder("sub")));
    EXPECT_FALSE(rtl::FileExists(temp.File("missing.pdb")));
    EXPECT_FALSE(rtl::FileExists(""));
}

TEST(FileSystemPaths, FullPathNameResolvesAgainstTheCurrentFolder) {
    const testsupport::TempFolder temp;
    char old[MAX_PATH] = {};
    ASSERT_NE(GetCurrentDirectoryA(sizeof old, old), 0u);
    ASSERT_TRUE(SetCurrentDirectoryA(temp.Path().c_str()));
    const std::string relative = rtl::FullPathName("book.pdb");
    const std::string up = rtl::FullPathName("sub\\..\\book.pdb");
    SetCurrentDirectoryA(old);
    EXPECT_TRUE(rtl::SameTextAscii(relative, temp.File("book.pdb"))) << relative;
    EXPECT_TRUE(rtl::SameTextAscii(up, temp.File("book.pdb"))) << up;
    EXPECT_EQ(rtl::FullPathName("C:\\Palm\\book.pdb"), "C:\\Palm\\book.pdb");
}

TEST(SystemMessage, APhraseWithoutFullStopOrLineBreak) {
    const std::string text = rtl::SystemMessage(ERROR_ACCESS_DENIED);
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos) << text;
    EXPECT_NE(text.back(), '.') << text;
    EXPECT_NE(text.back(), ' ') << text;
    EXPECT_EQ(rtl::SystemMessage(0xDEADBEEFul), "");
}

}  // namespace

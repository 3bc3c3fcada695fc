// The description and the Conduit Manager's file are edited by people and
// by programs: a program's write must keep a person's notes and values.
#include <gtest/gtest.h>

#include "desktop/Description.h"
#include "desktop/IniDocument.h"
#include "desktop/Strings.h"

using desktop::IniDocument;

TEST(IniDocument, WritingAValueKeepsCommentsAndOtherLines) {
    const char* text =
        "; notes of a person\r\n"
        "[HotSync]\r\n"
        "# why this user\r\n"
        "User = 1001\r\n"
        "\r\n"
        "[tVan]\r\n"
        "Title=\"  spaced  \"\r\n";
    IniDocument ini = IniDocument::Parse(text);
    EXPECT_EQ(ini.Get("hotsync", "USER"), "1001");
    EXPECT_EQ(ini.Get("tVan", "Title"), "  spaced  ");
    ini.Set("HotSync", "Extra", "x");
    ini.Set("TVAN", "Title", "upper", true);
    const std::string written = ini.Serialize();
    EXPECT_NE(written.find("; notes of a person"), std::string::npos);
    EXPECT_NE(written.find("# why this user"), std::string::npos);
    EXPECT_NE(written.find("User=1001\r\nExtra=x\r\n\r\n[tVan]"), std::string::npos) << written;
    const IniDocument again = IniDocument::Parse(written);
    EXPECT_EQ(again.Find("tVan", true)->Get("Title"), "  spaced  ");
    EXPECT_EQ(again.Find("TVAN", true)->Get("Title"), "upper");
    EXPECT_TRUE(ini.RemoveKey("hotsync", "user"));
    EXPECT_FALSE(ini.Get("HotSync", "User"));
}

TEST(Description, RoundTripKeepsUsersSlotsVolumesAndSwitches) {
    desktop::Description d;
    d.corePath = "C:\\Palm";
    d.users.push_back({1001, "Alice", "SmithA", 2, {{1, desktop::FourCC("sdig"), "SD card"}, {-2, 0x12345678, ""}}});
    d.volumes.push_back({3, desktop::FourCC("mmcd"), "Cards\\3", 4096});
    d.volumes.push_back({4, 1234, "D:\\card", std::nullopt});
    d.syncUser = 1001;
    d.switches = {"calls.log", {{"VFSFilePut", -5}}, {{"C:\\x\\a.pdb", 0x2A0F}}, {{"LogAddEntry", 2, desktop::ExitKind::Exit}}};
    const desktop::Description back = desktop::Description::FromIni(IniDocument::Parse(d.ToIni().Serialize()));
    EXPECT_EQ(back.corePath, "C:\\Palm");
    ASSERT_EQ(back.users.size(), 1u);
    ASSERT_EQ(back.users[0].slots.size(), 2u);
    EXPECT_EQ(back.users[0].slots[0].mediaType, desktop::FourCC("sdig"));
    EXPECT_EQ(back.users[0].slots[1].ref, -2);
    EXPECT_EQ(back.users[0].slots[1].mediaType, 0x12345678u);
    ASSERT_EQ(back.volumes.size(), 2u);
    EXPECT_EQ(back.volumes[0].capacity, 4096u);
    EXPECT_EQ(back.volumes[1].mediaType, 1234u) << "a number that looks like four digits stays a number";
    EXPECT_FALSE(back.volumes[1].capacity);
    EXPECT_EQ(back.syncUser, 1001u);
    EXPECT_EQ(back.FailCode("VFSFilePut"), -5);
    EXPECT_FALSE(back.FailCode("vfsfileput")) << "entry names are exact";
    EXPECT_EQ(back.FailCopyCode("c:\\X\\A.PDB"), 0x2A0F);
    EXPECT_EQ(back.FailCopyCode("a.pdb"), std::nullopt) << "a full path switch matches the full path only";
    ASSERT_EQ(back.switches.exitAt.size(), 1u);
    EXPECT_EQ(back.switches.exitAt[0].call, 2u);
    EXPECT_EQ(back.switches.exitAt[0].kind, desktop::ExitKind::Exit);
}

TEST(Numbers, AsPeopleWriteThemInTheDescription) {
    EXPECT_EQ(desktop::ParseLong("0x2A0F"), 0x2A0F);
    EXPECT_EQ(desktop::ParseLong("-2147483648"), -2147483647L - 1);
    EXPECT_EQ(desktop::ParseLong("0xFFFFFFFF"), -1);
    EXPECT_FALSE(desktop::ParseLong("2147483648"));
    EXPECT_FALSE(desktop::ParseLong("12a"));
    EXPECT_EQ(desktop::ParseFourCC("sdig"), 0x73646967u);
    EXPECT_EQ(desktop::FormatFourCC(0x73646967), "sdig");
    EXPECT_EQ(desktop::FormatFourCC(0x31323334), std::to_string(0x31323334)) << "\"1234\" would read back as 1234";
}

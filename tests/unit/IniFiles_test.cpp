// The settings file: what it reads (checked against the system's own
// private-profile reader), what it writes, and how deletions touch the file.
#include <gtest/gtest.h>

#include <windows.h>

#include <random>
#include <string>
#include <thread>
#include <vector>

#include "rtl/IniEncoding.h"
#include "rtl/IniFiles.h"
#include "rtl/IniText.h"
#include "tests/support/TestFiles.h"

namespace {

using rtl::TIniFile;
using testsupport::ReadText;
using testsupport::TempFolder;
using testsupport::WriteText;

constexpr const char* kDefault = "<default>";

// The ways a Windows editor saves a settings file: the UTF-8 text (which
// is the ANSI text when it is plain ASCII) with the encoding's mark.
const rtl::IniEncoding kEncodings[] = {rtl::IniEncoding::Ansi, rtl::IniEncoding::Utf8, rtl::IniEncoding::Utf16Le};
const char* const kEncodingNames[] = {"ANSI", "UTF-8", "UTF-16LE"};

std::string Encoded(const std::string& utf8, rtl::IniEncoding encoding) {
    return rtl::IniBytesOfText(utf8, encoding);
}

// A character's ANSI form, or "" when the ANSI code page lacks it.
std::string AnsiForm(const wchar_t* wide) {
    char ansi[8] = {};
    BOOL lost = FALSE;
    const int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, 1, ansi, sizeof ansi, nullptr, &lost);
    return lost || n <= 0 ? "" : std::string(ansi, static_cast<size_t>(n));
}

// What the system's reader makes of a file. It caches files by name, so it
// always gets a copy under a name it has never seen.
class SystemReader {
public:
    explicit SystemReader(const TempFolder& folder) : folder_(folder) {}
    void Load(const std::string& text) {
        path_ = folder_.File("sys" + std::to_string(next_++) + ".ini");
        WriteText(path_, text);
    }
    std::string Read(const char* section, const char* key) const {
        std::string buffer(2048, '\0');
        const DWORD length = GetPrivateProfileStringA(section, key, kDefault, buffer.data(), 2048, path_.c_str());
        return buffer.substr(0, length);
    }
    std::vector<std::string> Keys(const char* section) const {
        std::string buffer(1 << 16, '\0');
        GetPrivateProfileStringA(section, nullptr, "", buffer.data(), static_cast<DWORD>(buffer.size()), path_.c_str());
        std::vector<std::string> keys;
        for (size_t at = 0; buffer[at] != '\0'; at += keys.back().size() + 1) keys.emplace_back(buffer.c_str() + at);
        return keys;
    }

private:
    const TempFolder& folder_;
    std::string path_;
    int next_ = 0;
};

class IniFileTest : public testing::Test {
protected:
    std::string FileWith(const std::string& text) {
        const std::string path = folder_.File("t" + std::to_string(next_++) + ".ini");
        WriteText(path, text);
        return path;
    }
    std::string ReadThroughSystem(const std::string& text, const char* section, const char* key) {
        system_.Load(text);
        return system_.Read(section, key);
    }
    TempFolder folder_;
    SystemReader system_{folder_};
    int next_ = 0;
};

// --- Reading ----------------------------------------------------------------

struct ReadCase {
    const char* text;
    const char* section;
    const char* key;
    const char* expected;  // kDefault when the key reads as missing
};

const ReadCase kReadCases[] = {
    {"[Setup]\r\nDirectory=/Palm/Launcher\r\n", "Setup", "Directory", "/Palm/Launcher"},
    {"[setup]\nDIRECTORY=/x\n", "SETUP", "directory", "/x"},
    {"  [Setup]  \n\t Directory \t=\t /x y \t\n", "Setup", "Directory", "/x y"},
    {"[Setup]\nDirectory=/x", "Setup", "Directory", "/x"},                       // no final line break
    {"[Setup]\n; Directory=/x\nDirectory=/y\n", "Setup", "Directory", "/y"},   // comment line
    {"[Setup]\nDirectory=\"/x \"\n", "Setup", "Directory", "/x "},             // quotes go
    {"[Setup]\nDirectory='/x'\n", "Setup", "Directory", "/x"},
    {"[Setup]\nDirectory=\"/x'\n", "Setup", "Directory", "\"/x'"},             // unmatched quotes stay
    {"[Setup]\nDirectory=\"\n", "Setup", "Directory", "\""},
    {"[Setup]\nDirectory=\"\"\n", "Setup", "Directory", ""},
    {"[Setup]\nDirectory=\n", "Setup", "Directory", ""},
    {"[Setup]\nDirectory\n", "Setup", "Directory", kDefault},                  // no "=": no value
    {"[Setup]\nDirectory=/a\nDirectory=/b\n", "Setup", "Directory", "/a"},     // first key wins
    {"[Setup]\nA=1\n[Other]\n[SETUP]\nDirectory=/b\n", "Setup", "Directory", kDefault},  // first section only
    {"Directory=/a\n[Setup]\n", "Setup", "Directory", kDefault},               // before any section
    {"[ Setup\t]x\nDirectory=/a\n", "Setup", "Directory", "/a"},               // name inside brackets trimmed
    {"[Setup\nDirectory=/a\n", "Setup", "Directory", kDefault},                // no "]": not a header
    {"[Set]up]\nDirectory=/a\n", "Set]up", "Directory", "/a"},                 // to the last "]"
    {"[Setup]\nA=1\rDirectory=/a\n", "Setup", "Directory", "/a"},              // a lone CR ends a line too
    {"[Setup]\r\r\nA=\x1a 1 \x1a\r\r\n", "Setup", "A", "1"},
    {"[Setup]\n;c=1\n", "Setup", ";c", "1"},                                     // a comment is a key to lookups
    {"[Setup]\r\n\r\n  \t\r\nDirectory = a = b\r\n", "Setup", "Directory", "a = b"},
};

TEST_F(IniFileTest, ReadsLikeTheSystemReader) {
    for (const ReadCase& c : kReadCases) {
        SCOPED_TRACE(c.text);
        TIniFile ini(FileWith(c.text));
        const std::string ours = ini.ReadString(c.section, c.key, kDefault);
        EXPECT_EQ(ours, c.expected);
        EXPECT_EQ(ours, ReadThroughSystem(c.text, c.section, c.key));
    }
}

TEST_F(IniFileTest, MissingFileReadsAsDefaults) {
    TIniFile ini(folder_.File("none.ini"));
    EXPECT_EQ(ini.ReadString("Setup", "Directory", "/Palm/Launcher"), "/Palm/Launcher");
    EXPECT_EQ(ini.ReadInteger("Setup", "MediaType", 7), 7);
    EXPECT_TRUE(ini.ReadBool("Setup", "Conduit_Enabled", true));
    EXPECT_TRUE(ini.ReadSection("InstallToSlot").empty());
    EXPECT_FALSE(ini.ValueExists("InstallToSlot", "DB1"));
}

TEST_F(IniFileTest, LongValuesAreCutAsA2048CharacterBufferCutsThem) {
    for (const size_t length : {2046u, 2047u, 2048u, 2049u, 3000u}) {
        for (const bool quoted : {false, true}) {
            const std::string body(length, 'v');
            const std::string text = "[S]\nK=" + (quoted ? "\"" + body + "\"" : body) + "\n";
            SCOPED_TRACE(std::to_string(length) + (quoted ? " quoted" : ""));
            const std::string ours = TIniFile(FileWith(text)).ReadString("S", "K", "");
            EXPECT_LE(ours.size(), 2047u);
            EXPECT_EQ(ours, ReadThroughSystem(text, "S", "K"));
        }
    }
}

TEST(IniInteger, ReadingRules) {
    const struct {
        const char* text;
        std::optional<int32_t> value;
    } cases[] = {
        {"1935960423", 1935960423}, {"0x73646967", 1935960423}, {"0X73646967", 1935960423}, {"0x6d6d6364", 1835885412},
        {"-5", -5},  {"+5", 5},  {"007", 7},  {"0", 0},  {"2147483647", 2147483647},
        {"-2147483648", INT32_MIN}, {"0xFFFFFFFF", -1}, {"0x", std::nullopt}, {"0x1G", std::nullopt},
        {"0x100000000", std::nullopt}, {"2147483648", std::nullopt}, {"12abc", std::nullopt}, {"yes", std::nullopt},
        {"", std::nullopt}, {"+-5", std::nullopt}, {"- 5", std::nullopt}, {"1.0", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(rtl::ParseIniInteger(c.text), c.value);
    }
}

TEST_F(IniFileTest, BooleansAreIntegersThatAreOnWhenNotZero) {
    TIniFile ini(FileWith("[S]\nzero=0\ntwo=2\nyes=yes\nempty=\nhex=0x0\n"));
    EXPECT_FALSE(ini.ReadBool("S", "zero", true));
    EXPECT_TRUE(ini.ReadBool("S", "two", false));
    EXPECT_TRUE(ini.ReadBool("S", "yes", true));
    EXPECT_FALSE(ini.ReadBool("S", "yes", false));
    EXPECT_TRUE(ini.ReadBool("S", "empty", true));
    EXPECT_FALSE(ini.ReadBool("S", "hex", true));
    EXPECT_TRUE(ini.ReadBool("S", "missing", true));
}

TEST_F(IniFileTest, SectionListingShowsKeysWithValuesInFileOrder) {
    const std::string text = "[Q]\nDB2=b\n;DB9=c\nDB1=a\nnovalue\ndb2=again\n[R]\nDB3=z\n[q]\nDB4=y\n";
    TIniFile ini(FileWith(text));
    const std::vector<std::string> expected{"DB2", "DB1", "db2"};
    EXPECT_EQ(ini.ReadSection("q"), expected);
    system_.Load(text);
    EXPECT_EQ(system_.Keys("q"), expected);
    EXPECT_TRUE(ini.ValueExists("Q", "db1"));
    EXPECT_FALSE(ini.ValueExists("Q", "novalue"));
    EXPECT_FALSE(ini.ValueExists("Q", "DB4"));
    EXPECT_FALSE(ini.ValueExists("Q", ";DB9"));
    EXPECT_EQ(ini.ReadValue("q", "DB1"), "a");
    EXPECT_EQ(ini.ReadValue("Q", "DB2"), "b");
    EXPECT_EQ(ini.ReadValue("Q", "novalue"), std::nullopt);
    EXPECT_EQ(ini.ReadValue("Q", ";DB9"), std::nullopt);
}

// Generated files of printable ASCII, built from the pieces that trip
// readers up, read by both readers for every name of the pool.
class GeneratedFiles {
public:
    explicit GeneratedFiles(unsigned seed) : random_(seed) {}

    std::string Next() {
        std::string text;
        const int lines = Pick(1, 14);
        for (int i = 0; i < lines; ++i) {
            text += Line();
            if (i + 1 < lines || Pick(0, 3) != 0) text += kBreaks[Pick(0, 2)];
        }
        return text;
    }

    static constexpr const char* kSections[] = {"Setup", "InstallToSlot", "a b"};
    static constexpr const char* kKeys[] = {"DB1", "db2", "Directory", "k", "a b", ";c", "[x"};

private:
    static constexpr const char* kBreaks[] = {"\r\n", "\n", "\r\r\n"};
    int Pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }
    std::string Blanks() { return std::string(static_cast<size_t>(Pick(0, 2)), Pick(0, 1) ? ' ' : '\t'); }
    std::string Cased(std::string name) {
        for (char& c : name)
            if (Pick(0, 1)) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return name;
    }
    std::string Printable(int length) {
        std::string text;
        for (int i = 0; i < length; ++i) text += static_cast<char>(Pick(0x20, 0x7E));
        return text;
    }
    std::string Value() {
        switch (Pick(0, 5)) {
        case 0: return "";
        case 1: return "\"" + Printable(Pick(0, 6)) + "\"";
        case 2: return "'" + Printable(Pick(0, 6)) + (Pick(0, 1) ? "'" : "\"");
        case 3: return std::string(static_cast<size_t>(Pick(2040, 2056)), 'L') + (Pick(0, 1) ? "\"" : "");
        default: return Printable(Pick(1, 20));
        }
    }
    std::string Line() {
        const std::string section = Cased(kSections[Pick(0, 2)]);
        const std::string key = Cased(kKeys[Pick(0, 6)]);
        switch (Pick(0, 9)) {
        case 0: return Blanks() + "[" + section + "]" + Blanks();
        case 1: return "[" + Blanks() + section + Blanks() + "]";
        case 2: return "[" + section + (Pick(0, 1) ? "" : "]x]");
        case 3: return Blanks();
        case 4: return key;
        case 5: {
            // The system lists a key with an empty name as an empty text,
            // which ends its list; such lines are left to the table above.
            std::string line = Printable(Pick(0, 30));
            const size_t first = line.find_first_not_of(' ');
            if (first != std::string::npos && line[first] == '=') line[first] = '_';
            return line;
        }
        default: return Blanks() + key + Blanks() + "=" + Blanks() + Value() + Blanks();
        }
    }
    std::mt19937 random_;
};

// Each file also goes through both readers as UTF-8 and as UTF-16 with its
// mark, with "~" and "^" turned into a character of the ANSI code page and
// one that it lacks, so that the conversions are compared too.
TEST_F(IniFileTest, DifferentialAgainstTheSystemReaderOnGeneratedFiles) {
    GeneratedFiles files(20261207);
    for (int n = 0; n < 150; ++n) {
        const std::string ascii = files.Next();
        for (size_t e = 0; e < std::size(kEncodings); ++e) {
            std::string text = ascii;
            if (kEncodings[e] != rtl::IniEncoding::Ansi) {
                for (size_t at; (at = text.find('~')) != std::string::npos;) text.replace(at, 1, "\xC3\xA9");
                for (size_t at; (at = text.find('^')) != std::string::npos;) text.replace(at, 1, "\xD0\x96");
            }
            const std::string bytes = Encoded(text, kEncodings[e]);
            SCOPED_TRACE(std::string(kEncodingNames[e]) + ": " + text);
            TIniFile ini(FileWith(bytes));
            system_.Load(bytes);
            for (const char* section : GeneratedFiles::kSections) {
                SCOPED_TRACE(section);
                const std::vector<std::string> keys = ini.ReadSection(section);
                EXPECT_EQ(keys, system_.Keys(section));
                // The section read in one go pairs the same keys with the values read one by one.
                const auto values = ini.ReadSectionValues(section);
                ASSERT_EQ(values.size(), keys.size());
                for (size_t i = 0; i < keys.size(); ++i) {
                    EXPECT_EQ(values[i].first, keys[i]);
                    EXPECT_EQ(values[i].second, ini.ReadString(section, keys[i], ""));
                }
                for (const char* key : GeneratedFiles::kKeys) {
                    SCOPED_TRACE(key);
                    ASSERT_EQ(ini.ReadString(section, key, kDefault), system_.Read(section, key));
                }
            }
        }
    }
}

// UTF-16 of any units comes back unit for unit, lone surrogates included;
// a line's place in the file follows the units before it.
TEST(IniEncoding, Utf16TextRoundTripsAndPlacesLines) {
    const std::string units("\xFF\xFE" "a\0=\0" "\xE9\0" "\x16\x04" "\x3D\xD8\x00\xDE" "\x00\xD8" "\r\0\n\0" "b\0", 22);
    ASSERT_EQ(rtl::DetectIniEncoding(units), rtl::IniEncoding::Utf16Le);
    const std::string text = rtl::IniTextOfBytes(units, rtl::IniEncoding::Utf16Le);
    EXPECT_EQ(text, "a=\xC3\xA9\xD0\x96\xF0\x9F\x98\x80\xED\xA0\x80\r\nb");
    EXPECT_EQ(rtl::IniBytesOfText(text, rtl::IniEncoding::Utf16Le), units);
    EXPECT_EQ(rtl::IniFileOffset(text, text.find('b'), rtl::IniEncoding::Utf16Le), units.size() - 2);
    EXPECT_EQ(rtl::IniFileOffset("x\nb", 2, rtl::IniEncoding::Utf8), 5u);
    EXPECT_EQ(rtl::IniFileOffset("x\nb", 2, rtl::IniEncoding::Ansi), 2u);
    EXPECT_EQ(rtl::DetectIniEncoding("\xEF\xBB\xBF[S]"), rtl::IniEncoding::Utf8);
    EXPECT_EQ(rtl::DetectIniEncoding("\xEF\xBB[S]"), rtl::IniEncoding::Ansi);
}

TEST(IniText, GarbageNeverBreaksTheReader) {
    std::mt19937 random(7);
    for (int n = 0; n < 2000; ++n) {
        std::string bytes(static_cast<size_t>(random() % 200), '\0');
        for (char& c : bytes) c = "[]=;\"'\r\n \t\x1a\0aB"[random() % 14];
        rtl::IniText text(bytes);
        for (const char* section : {"", "a", "B", "]"}) {
            text.Keys(section);
            text.Value(section, "a");
            text.WithValue(section, "a", "v");
            text.WithChanges({{section, "a", std::nullopt}, {section, "B", "v"}, {"new", "a", "w"}});
            text.BlankKeyLine(section, "B");
        }
        text.Tidied();
    }
}

// --- Writing ------------------------------------------------------------------

TEST_F(IniFileTest, WritesReadBackThroughTheSystemReaderAndKeepTheRest) {
    const std::string path = FileWith("; kept\r\n[Setup]\r\nDirectory=/old\r\n\r\n[InstallToSlot]\r\nDB1=C:\\a.pdb");
    TIniFile ini(path);
    ini.WriteString("setup", "directory", "/Palm/eBooks");
    ini.WriteInteger("Setup", "MediaType", 1935960423);
    ini.WriteBool("Setup", "Conduit_Enabled", false);
    ini.WriteString("Extra", "Key", "v");
    const std::string text = ReadText(path);
    EXPECT_EQ(text,
              "; kept\r\n[Setup]\r\nDirectory=/Palm/eBooks\r\nMediaType=1935960423\r\nConduit_Enabled=0\r\n\r\n"
              "[InstallToSlot]\r\nDB1=C:\\a.pdb\r\n\r\n[Extra]\r\nKey=v\r\n");
    system_.Load(text);
    EXPECT_EQ(system_.Read("Setup", "Directory"), "/Palm/eBooks");
    EXPECT_EQ(system_.Read("Setup", "MediaType"), "1935960423");
    EXPECT_EQ(system_.Read("InstallToSlot", "DB1"), "C:\\a.pdb");
    EXPECT_EQ(system_.Read("Extra", "Key"), "v");
    EXPECT_EQ(TIniFile(path).ReadInteger("Setup", "MediaType", 0), 1935960423);
    EXPECT_EQ(GetFileAttributesA((path + ".tmp").c_str()), INVALID_FILE_ATTRIBUTES);
}

// Writing, deleting in place and tidying up keep a Unicode file's encoding
// and mark, and the system's reader reads every change.
TEST_F(IniFileTest, UnicodeFilesKeepTheirEncodingThroughEveryChange) {
    const std::string e = AnsiForm(L"\u00E9");
    if (e.empty()) GTEST_SKIP() << "the ANSI code page has no e acute";
    const std::string start = "[Setup]\r\nDirectory=/\xC3\xA9t\xC3\xA9\r\n[InstallToSlot]\r\nDB1=C:\\\xD0\x96.pdb\r\n"
                              "DB2=C:\\b\xC3\xA9.pdb\r\nDB3=C:\\c.pdb\r\n";
    for (const auto encoding : {rtl::IniEncoding::Utf8, rtl::IniEncoding::Utf16Le}) {
        SCOPED_TRACE(static_cast<int>(encoding));
        const std::string path = FileWith(Encoded(start, encoding));
        TIniFile ini(path);
        EXPECT_EQ(ini.ReadString("Setup", "Directory", ""), "/" + e + "t" + e);
        bool exact = true;
        const auto zhe = ini.ReadValue("InstallToSlot", "DB1", exact);
        EXPECT_FALSE(exact);  // no ANSI form: the system's stand-in character instead
        system_.Load(ReadText(path));
        EXPECT_EQ(zhe, system_.Read("InstallToSlot", "DB1"));
        EXPECT_EQ(ini.ReadValue("InstallToSlot", "DB2", exact), "C:\\b" + e + ".pdb");
        EXPECT_TRUE(exact);

        EXPECT_TRUE(ini.DeleteKeyIfValue("InstallToSlot", "DB2", "C:\\b" + e + ".pdb"));
        ini.DeleteKey("InstallToSlot", "DB3");
        std::string blanked = start;
        blanked.replace(blanked.find("DB2"), 14, std::string(encoding == rtl::IniEncoding::Utf8 ? 14 : 13, ' '));
        blanked.replace(blanked.find("DB3"), 12, std::string(12, ' '));
        EXPECT_EQ(ReadText(path), Encoded(blanked, encoding));
        ini.WriteString("Setup", "Directory", "/x" + e);
        ini.UpdateFile();
        const std::string end = "[Setup]\r\nDirectory=/x\xC3\xA9\r\n[InstallToSlot]\r\nDB1=C:\\\xD0\x96.pdb\r\n";
        EXPECT_EQ(ReadText(path), Encoded(end, encoding));
        system_.Load(ReadText(path));
        EXPECT_EQ(system_.Read("Setup", "Directory"), "/x" + e);
        EXPECT_EQ(system_.Keys("InstallToSlot"), (std::vector<std::string>{"DB1"}));
        EXPECT_EQ(TIniFile(path).ReadSection("InstallToSlot"), (std::vector<std::string>{"DB1"}));
    }
}

// A batch is one write that reads, for the system's reader too, as its
// changes made one at a time; a batch that changes nothing leaves the file
// as it is.
TEST_F(IniFileTest, ABatchOfChangesIsOneWriteThatReadsAsItsChangesInTurn) {
    const std::string start = "[Setup]\r\nDirectory=/old\r\n[InstallToSlot]\r\nDB1=C:\\a.pdb\r\nDB2=C:\\b.pdb\r\n"
                              "db2=C:\\again.pdb\r\nDB3=C:\\c.pdb\r\n[InstallToSlot]\r\nDB9=hidden\r\n";
    const std::string path = FileWith(start);
    TIniFile ini(path);
    ini.WriteChanges({{"InstallToSlot", "DB2", std::nullopt},
                      {"installtoslot", "DB4", "C:\\d.pdb"},
                      {"InstallToSlot", "DB1", "C:\\one.pdb"},
                      {"InstallToDirectory", "DB4", "/AUDIO"},
                      {"InstallToSlot", "DB5", "C:\\e.pdb"},
                      {"InstallToSlot", "DB5", std::nullopt},
                      {"InstallToSlot", "DB3", std::nullopt},
                      {"InstallToSlot", "DB3", "C:\\c2.pdb"},
                      {"Setup", "Directory", "/new"}});
    const std::string text = ReadText(path);
    EXPECT_EQ(text, "[Setup]\r\nDirectory=/new\r\n[InstallToSlot]\r\nDB1=C:\\one.pdb\r\nDB4=C:\\d.pdb\r\n"
                    "DB3=C:\\c2.pdb\r\n[InstallToSlot]\r\nDB9=hidden\r\n\r\n[InstallToDirectory]\r\nDB4=/AUDIO\r\n");
    system_.Load(text);
    EXPECT_EQ(system_.Keys("InstallToSlot"), (std::vector<std::string>{"DB1", "DB4", "DB3"}));
    EXPECT_EQ(system_.Read("InstallToSlot", "DB2"), kDefault);  // both of its lines went
    EXPECT_EQ(system_.Read("InstallToDirectory", "DB4"), "/AUDIO");
    EXPECT_EQ(GetFileAttributesA((path + ".tmp").c_str()), INVALID_FILE_ATTRIBUTES);

    // Erasing what is not there and setting what is already so writes nothing.
    WriteText(path, start + "   \r\n");
    TIniFile(path).WriteChanges({{"InstallToSlot", "DB7", std::nullopt}, {"Setup", "Directory", "/old"}});
    EXPECT_EQ(ReadText(path), start + "   \r\n");
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_THROW(TIniFile(path).WriteChanges({{"Setup", "Directory", "/x"}}), rtl::EIniFileException);
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_THROW(TIniFile(path).WriteChanges({{"Setup", "Directory", "/x"}, {"S", "K", "a\r\nb"}}),
                 rtl::EIniFileException);
    EXPECT_EQ(ReadText(path), start + "   \r\n");  // a refused batch writes none of its changes
}

TEST_F(IniFileTest, WritingCreatesTheFile) {
    const std::string path = folder_.File("new.ini");
    TIniFile(path).WriteBool("Setup", "Conduit_Enabled", true);
    EXPECT_EQ(ReadText(path), "[Setup]\r\nConduit_Enabled=1\r\n");
}

TEST_F(IniFileTest, FailedWritesRaiseWithTheFullPath) {
    const std::string readOnly = FileWith("[Setup]\r\nDirectory=/a\r\n");
    SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_READONLY);
    const std::string noFolder = folder_.File("missing\\Tolvane.ini");
    for (const std::string& path : {readOnly, noFolder}) {
        SCOPED_TRACE(path);
        try {
            TIniFile(path).WriteString("Setup", "Directory", "/b");
            ADD_FAILURE() << "no exception";
        } catch (const rtl::EIniFileException& e) {
            EXPECT_EQ(e.Message(), "Unable to write to " + path);
        }
    }
    EXPECT_EQ(ReadText(readOnly), "[Setup]\r\nDirectory=/a\r\n");
    // A value that would start a new line cannot be read back as written.
    EXPECT_THROW(TIniFile(folder_.File("x.ini")).WriteString("S", "K", "a\r\nDB1=b"), rtl::EIniFileException);
}

// --- Deleting -----------------------------------------------------------------

const char kQueue[] = "[Setup]\r\nConduit_Enabled=1\r\n[InstallToSlot]\r\nDB1=C:\\a.pdb\r\nDB2=C:\\b.prc\r\nDB3=C:\\c.pdb\r\n";

TEST_F(IniFileTest, DeletionBlanksOnlyTheKeysLineAndTheTidyUpDropsIt) {
    const std::string path = FileWith(kQueue);
    TIniFile ini(path);
    ini.DeleteKey("installtoslot", "db2");
    std::string expected = kQueue;
    expected.replace(expected.find("DB2"), 12, std::string(12, ' '));
    EXPECT_EQ(ReadText(path), expected);  // the deletion is in the file at once
    system_.Load(ReadText(path));
    EXPECT_EQ(system_.Read("InstallToSlot", "DB2"), kDefault);
    EXPECT_EQ(system_.Keys("InstallToSlot"), (std::vector<std::string>{"DB1", "DB3"}));
    EXPECT_EQ(ini.ReadSection("InstallToSlot"), (std::vector<std::string>{"DB1", "DB3"}));
    ini.UpdateFile();
    EXPECT_EQ(ReadText(path),
              "[Setup]\r\nConduit_Enabled=1\r\n[InstallToSlot]\r\nDB1=C:\\a.pdb\r\nDB3=C:\\c.pdb\r\n");
}

TEST_F(IniFileTest, DeletingARepeatedKeyUncoversItsNextLine) {
    const std::string path = FileWith("[Q]\nDB1=first\nDB1=second\n");
    TIniFile ini(path);
    ini.DeleteKey("Q", "DB1");
    EXPECT_EQ(ini.ReadString("Q", "DB1", ""), "second");
    system_.Load(ReadText(path));
    EXPECT_EQ(system_.Read("Q", "DB1"), "second");
}

TEST_F(IniFileTest, KeysOthersAddBetweenReadAndDeletionSurvive) {
    const std::string path = FileWith(kQueue);
    TIniFile ini(path);
    ASSERT_EQ(ini.ReadSection("InstallToSlot").size(), 3u);
    // Another program rewrites the file with one key more, in front.
    std::string other = kQueue;
    other.insert(other.find("DB1"), "DB7=C:\\new.pdb\r\n");
    WriteText(path, other);
    ini.DeleteKey("InstallToSlot", "DB1");
    ini.UpdateFile();
    TIniFile fresh(path);
    EXPECT_EQ(fresh.ReadSection("InstallToSlot"), (std::vector<std::string>{"DB7", "DB2", "DB3"}));
    EXPECT_EQ(fresh.ReadString("InstallToSlot", "DB7", ""), "C:\\new.pdb");
}

// Values read under one look come from one moment of the file, whatever
// another program writes in between; the next read after it sees the change,
// and a deletion under the look still works on the file as it is now.
TEST_F(IniFileTest, ReadsUnderOneLookShareOneMomentOfTheFile) {
    const std::string path = FileWith(kQueue);
    TIniFile ini(path);
    std::string other = kQueue;
    other.replace(other.find("C:\\b.prc"), 8, "C:\\z.prc");
    other.insert(other.find("DB1"), "DB7=C:\\new.pdb\r\n");
    {
        const TIniFile::OneLook look(ini);
        EXPECT_EQ(ini.ReadValue("InstallToSlot", "DB1"), "C:\\a.pdb");
        WriteText(path, other);
        EXPECT_EQ(ini.ReadValue("InstallToSlot", "DB2"), "C:\\b.prc");
        EXPECT_FALSE(ini.ValueExists("InstallToSlot", "DB7"));
        EXPECT_FALSE(ini.DeleteKeyIfValue("InstallToSlot", "DB2", "C:\\b.prc"));
        EXPECT_TRUE(ini.DeleteKeyIfValue("InstallToSlot", "DB1", "C:\\a.pdb"));
    }
    EXPECT_EQ(ini.ReadValue("InstallToSlot", "DB2"), "C:\\z.prc");
    EXPECT_EQ(ini.ReadSection("InstallToSlot"), (std::vector<std::string>{"DB7", "DB2", "DB3"}));
}

TEST_F(IniFileTest, AChangeThatKeepsSizeAndTimesIsStillNoticed) {
    const std::string path = FileWith(kQueue);
    TIniFile ini(path);
    ASSERT_TRUE(ini.ValueExists("InstallToSlot", "DB2"));
    FILETIME created, written;
    {
        const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        GetFileTime(file, &created, nullptr, &written);
        CloseHandle(file);
    }
    // Same length, same times: DB1 and DB2 swap places.
    std::string other = kQueue;
    other.replace(other.find("DB1=C:\\a.pdb\r\nDB2=C:\\b.prc"), 26, "DB2=C:\\b.prc\r\nDB1=C:\\a.pdb");
    WriteText(path, other);
    {
        const HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                                        nullptr);
        SetFileTime(file, &created, nullptr, &written);
        CloseHandle(file);
    }
    ini.DeleteKey("InstallToSlot", "DB2");
    system_.Load(ReadText(path));
    EXPECT_EQ(system_.Keys("InstallToSlot"), (std::vector<std::string>{"DB1", "DB3"}));
}

TEST_F(IniFileTest, ConditionalDeletionKeepsAKeyGivenANewValue) {
    const std::string path = FileWith(kQueue);
    TIniFile ini(path);
    EXPECT_FALSE(ini.DeleteKeyIfValue("InstallToSlot", "DB1", "C:\\other.pdb"));
    EXPECT_TRUE(ini.ValueExists("InstallToSlot", "DB1"));
    EXPECT_TRUE(ini.DeleteKeyIfValue("InstallToSlot", "DB1", "C:\\a.pdb"));
    EXPECT_FALSE(ini.ValueExists("InstallToSlot", "DB1"));
    EXPECT_FALSE(ini.DeleteKeyIfValue("InstallToSlot", "DB9", ""));
}

TEST_F(IniFileTest, ReadOnlyFilesAndMissingFilesAreLeftAlone) {
    const std::string path = FileWith(kQueue);
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY);
    TIniFile ini(path);
    ini.DeleteKey("InstallToSlot", "DB1");
    ini.UpdateFile();
    EXPECT_EQ(ReadText(path), kQueue);
    TIniFile missing(folder_.File("gone.ini"));
    missing.DeleteKey("InstallToSlot", "DB1");
    missing.UpdateFile();
    EXPECT_EQ(GetFileAttributesA(folder_.File("gone.ini").c_str()), INVALID_FILE_ATTRIBUTES);
}

// A file of 4 GiB and a little more once read as its first few bytes, and
// a change wrote those back as the whole file.
TEST_F(IniFileTest, AFileTooLargeToBeASettingsFileIsNeitherReadNorWritten) {
    const uint64_t sizes[] = {(4ull << 30) + 16, rtl::kLargestSettingsFile + 1};
    for (const uint64_t size : sizes) {
        SCOPED_TRACE(size);
        const std::string path = folder_.File("large" + std::to_string(size) + ".ini");
        testsupport::WriteSparse(path, kQueue, size);
        ASSERT_EQ(testsupport::FileSize(path), size);
        TIniFile ini(path);
        EXPECT_TRUE(ini.TooLarge());
        EXPECT_FALSE(ini.Readable());
        EXPECT_TRUE(ini.ReadSection("InstallToSlot").empty());
        EXPECT_EQ(ini.ReadString("Setup", "Conduit_Enabled", kDefault), kDefault);
        EXPECT_THROW(ini.WriteString("InstallToSlot", "DB4", "C:\\d.pdb"), rtl::EIniFileException);
        ini.DeleteKey("InstallToSlot", "DB1");
        EXPECT_FALSE(ini.DeleteKeyIfValue("InstallToSlot", "DB2", "C:\\b.prc"));
        ini.UpdateFile();
        EXPECT_EQ(testsupport::FileSize(path), size);
        EXPECT_EQ(testsupport::ReadHead(path, sizeof kQueue - 1), kQueue);
    }
    // A file read before it grew is not written from that copy either.
    const std::string path = FileWith(kQueue);
    TIniFile ini(path);
    ASSERT_EQ(ini.ReadSection("InstallToSlot").size(), 3u);
    testsupport::WriteSparse(path, kQueue, (4ull << 30) + 4);
    EXPECT_THROW(ini.WriteString("Setup", "Directory", "/b"), rtl::EIniFileException);
    ini.DeleteKey("InstallToSlot", "DB1");
    EXPECT_EQ(testsupport::FileSize(path), (4ull << 30) + 4);
    EXPECT_EQ(testsupport::ReadHead(path, sizeof kQueue - 1), kQueue);
}

TEST_F(IniFileTest, DeletionWaitsForAnotherProgramsExclusiveOpen) {
    const std::string path = FileWith(kQueue);
    TIniFile ini(path);
    ini.ReadSection("InstallToSlot");
    const HANDLE held = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    std::thread releaser([held] {
        Sleep(100);
        CloseHandle(held);
    });
    ini.DeleteKey("InstallToSlot", "DB3");
    releaser.join();
    EXPECT_FALSE(TIniFile(path).ValueExists("InstallToSlot", "DB3"));
}

}  // namespace

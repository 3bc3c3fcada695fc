// The text of a settings file read the way the Windows private-profile
// functions read it, and the edits our writer makes to that text. Knows no
// files: rtl/IniFiles.h brings the text in and out.
//
// Reading rules, as Wine's GetPrivateProfileStringA applies them:
// - a CR, an LF or CR LF ends a line; blanks (space, tab, VT, FF, ^Z)
//   around a line, a section name, a key name and a value do not count;
// - "[" opens a section whose name runs to the line's last "]"; a "[" line
//   without "]" is an ordinary line;
// - "name=value" lines are keys; a line without "=" is a key without a value,
//   which reads as missing; lines before the first section belong to no one;
// - names compare without regard to ASCII case; of repeated sections only the
//   first counts, of repeated keys only the first;
// - a value in matching single or double quotes loses them.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace rtl {

// The longest text value that is read, as a 2048-character buffer holds it.
constexpr size_t kIniValueMax = 2047;

// One change of a batch: a key set to a value, or, without a value, erased:
// every line of it goes, so that no repeat of it comes to light.
struct IniChange {
    std::string section;
    std::string key;
    std::optional<std::string> value;
};

class IniText {
public:
    IniText() = default;
    explicit IniText(std::string text);

    const std::string& Text() const noexcept { return text_; }

    // The value as written after "=" (blanks removed, quotes kept), or none
    // for a missing key and for a key line without "=".
    std::optional<std::string_view> RawValue(std::string_view section, std::string_view key) const;
    // The value as a reader gets it: quotes removed, cut to kIniValueMax.
    std::optional<std::string> Value(std::string_view section, std::string_view key) const;
    // The key names of the section that have a value, in file order
    // (repeats included); comment lines (";") and empty names left out.
    std::vector<std::string> Keys(std::string_view section) const;
    // Whether the section lists the key (same rule as Keys).
    bool Lists(std::string_view section, std::string_view key) const;

    // Where the line that a reader finds for the key lies in the text:
    // from its first byte to its line break.
    struct Span {
        size_t offset = 0;
        size_t length = 0;
    };
    std::optional<Span> KeyLine(std::string_view section, std::string_view key) const;

    // Overwrites that line with blanks, which every reader passes over, and
    // updates what the text knows: a later repeat of the key becomes visible.
    void BlankKeyLine(std::string_view section, std::string_view key);

    // The whole text with the key set to the value: its line replaced, or a
    // new line at the end of the section, or a new section at the end.
    // Lines of nothing but spaces (left by BlankKeyLine) are dropped.
    std::string WithValue(std::string_view section, std::string_view key, std::string_view value) const;
    // The whole text with the changes made in their order, in one pass over
    // the text: what WithValue (and an erasure) would make one at a time,
    // for a reader key for key, however many changes there are.
    std::string WithChanges(const std::vector<IniChange>& changes) const;
    // The text without lines of nothing but spaces.
    std::string Tidied() const;
    bool HasBlankedLines() const noexcept;

private:
    struct Line {
        size_t offset = 0;  // first byte of the line
        size_t length = 0;  // up to the line break
        size_t keyEnd = 0;  // key lines: name within [nameStart, keyEnd)
        size_t nameStart = 0;
        std::optional<size_t> valueStart;  // key lines with "=": value is [valueStart, contentEnd)
        size_t contentEnd = 0;
        bool blank = false;
        bool key = false;
    };
    struct Section {
        std::string name;
        std::vector<size_t> lines;  // key lines, in order (a blanked one stays, marked blank)
        std::unordered_map<std::string, std::vector<size_t>> byName;  // folded name -> key lines in order
        size_t header = 0;           // the line that opens the section
        size_t lastContentLine = 0;  // the header or the last non-blank line within the section
    };

    void Parse();
    void ParseLine(size_t start, size_t end);
    const Section* FindSection(std::string_view name) const;
    std::optional<size_t> FindKeyLine(std::string_view section, std::string_view key) const;
    std::string_view Name(const Line& line) const;
    std::string_view ValueOf(const Line& line) const;

    std::string text_;
    std::vector<Line> lines_;
    std::vector<Section> sections_;
    std::unordered_map<std::string, size_t> firstSection_;  // folded name -> index
    size_t blanked_ = 0;
};

// Blank characters as the reader counts them.
bool IsIniBlank(char c) noexcept;

// Reading rule for integers: signed 32-bit decimal, or hexadecimal after
// "0x" (read as the code's bits); anything else is none.
std::optional<int32_t> ParseIniInteger(std::string_view text);

// A value's quotes removed and the text cut as a 2048-character buffer cuts
// it: when the value without its opening quote needs the whole buffer, the
// reader drops the buffer's last character in place of the closing quote.
std::string ReaderValue(std::string_view raw);

}  // namespace rtl

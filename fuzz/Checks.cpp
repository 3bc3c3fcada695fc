#include "fuzz/Checks.h"

#include <algorithm>
#include <optional>
#include <string_view>
#include <vector>

#include "app/CardFolders.h"
#include "app/PathRules.h"
#include "rtl/IniEncoding.h"
#include "rtl/IniText.h"
#include "rtl/Paths.h"
#include "rtl/Text.h"

#ifndef _WIN32
// Native builds have no ANSI code page to ask: code page 932's lead bytes,
// so that the paths the fuzzer makes split as on a Japanese Windows, where
// the second byte of a character may be the byte of "\".
bool rtl::IsAnsiLeadByte(char c) noexcept {
    const auto byte = static_cast<unsigned char>(c);
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}
#endif

namespace fuzzcheck {

namespace {

using rtl::IniText;
using rtl::IniEncoding;
using rtl::IniBytesOfText;
using rtl::IniFileOffset;
using rtl::IniTextOfBytes;

// Section names as the text spells them: what stands between a line's
// leading "[" and its last "]". A few more than any check needs.
std::vector<std::string> SectionNames(std::string_view text) {
    std::vector<std::string> names{"Setup", "InstallToSlot"};
    size_t start = 0;
    while (start < text.size() && names.size() < 16) {
        size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view line = text.substr(start, end - start);
        const size_t open = line.find('['), close = line.rfind(']');
        if (open != std::string_view::npos && close != std::string_view::npos && close > open)
            names.emplace_back(line.substr(open + 1, close - open - 1));
        start = end + 1;
    }
    return names;
}

// A value that the writer accepts and a reader gets back unchanged: no line
// breaks, no blanks at its ends, no quotes around it.
std::string PlainValue(std::string_view text) {
    std::string value;
    for (const char c : text.substr(0, 64))
        if (c > ' ' && c < 0x7f && c != '"' && c != '\'') value += c;
    return value;
}

// Names as a reader compares them: blanks around them do not count, nor
// does the case of ASCII letters.
std::string_view Trimmed(std::string_view name) {
    while (!name.empty() && rtl::IsIniBlank(name.front())) name.remove_prefix(1);
    while (!name.empty() && rtl::IsIniBlank(name.back())) name.remove_suffix(1);
    return name;
}

bool SameName(std::string_view a, std::string_view b) { return rtl::SameTextAscii(Trimmed(a), Trimmed(b)); }

struct Snapshot {
    std::vector<std::pair<std::string, std::vector<std::string>>> keys;  // section -> listed keys
    std::vector<std::optional<std::string>> values;                      // in the same order
};

Snapshot Take(const IniText& ini, const std::vector<std::string>& sections) {
    Snapshot shot;
    for (const std::string& section : sections) {
        auto keys = ini.Keys(section);
        for (const std::string& key : keys) shot.values.push_back(ini.Value(section, key));
        shot.keys.emplace_back(section, std::move(keys));
    }
    return shot;
}

std::string CheckReads(const IniText& ini, const std::vector<std::string>& sections) {
    for (const std::string& section : sections)
        for (const std::string& key : ini.Keys(section)) {
            const auto value = ini.Value(section, key);
            if (value && value->size() > rtl::kIniValueMax) return "a value longer than the reader's buffer";
            const auto line = ini.KeyLine(section, key);
            if (!line || line->offset + line->length > ini.Text().size()) return "a listed key without its line";
        }
    return "";
}

// Blanking a key's line in place must read like the file read afresh.
std::string CheckDelete(const IniText& ini, const std::vector<std::string>& sections) {
    for (const std::string& section : sections) {
        const auto keys = ini.Keys(section);
        if (keys.empty()) continue;
        IniText edited = ini;
        edited.BlankKeyLine(section, keys.front());
        if (edited.Text().size() != ini.Text().size()) return "a deletion changed the file's size";
        const IniText reread(edited.Text());
        if (Take(edited, sections).values != Take(reread, sections).values ||
            edited.Keys(section) != reread.Keys(section))
            return "a deletion reads differently once the file is read again";
        if (IniText(edited.Tidied()).Keys(section) != reread.Keys(section))
            return "tidying the blank lines changed the keys";
    }
    return "";
}

// Writing one value must read back, and must leave every other key alone.
std::string CheckWrite(const IniText& ini, const std::vector<std::string>& sections, std::string_view tail) {
    const std::string value = PlainValue(tail);
    for (const char* key : {"DB1", "Directory"}) {
        const IniText written(ini.WithValue("InstallToSlot", key, value));
        if (written.Value("InstallToSlot", key) != value) return std::string("a written value does not read back: ") + key;
        const Snapshot before = Take(ini, sections), after = Take(written, sections);
        for (size_t s = 0; s < before.keys.size(); ++s) {
            const std::string& section = before.keys[s].first;
            for (const std::string& other : before.keys[s].second) {
                if (SameName(section, "InstallToSlot") && SameName(other, key)) continue;
                if (ini.Value(section, other) != written.Value(section, other))
                    return "a write changed another key: [" + section + "] " + other;
            }
        }
    }
    return "";
}

// A batch of changes made in one pass must read as the same changes made
// one at a time: sets of present, repeated and new keys (in a new section
// too), erasures, and keys set again after their erasure. Which change
// each key gets follows the input's bytes.
std::string CheckBatch(const IniText& ini, const std::vector<std::string>& sections, std::string_view tail) {
    const std::string value = PlainValue(tail);
    std::vector<rtl::IniChange> changes;
    size_t pick = tail.empty() ? 0 : static_cast<unsigned char>(tail.front());
    for (size_t s = 0; s < sections.size() && s < 4; ++s) {
        if (Trimmed(sections[s]).empty()) continue;  // the writer takes no such names
        std::vector<std::string> keys = ini.Keys(sections[s]);
        keys.insert(keys.end(), {"DB1", "Directory"});
        for (const std::string& key : keys) {
            if (key.front() == '[') continue;
            switch (pick++ % 4) {
                case 0: changes.push_back({sections[s], key, value + std::to_string(changes.size())}); break;
                case 1: changes.push_back({sections[s], key, std::nullopt}); break;
                case 2:
                    changes.push_back({sections[s], key, std::nullopt});
                    changes.push_back({sections[s], key, value}); break;
                default: break;
            }
        }
    }
    changes.push_back({"Batch new", "DB1", value});
    changes.push_back({"Batch new", "DB2", std::nullopt});
    IniText oneByOne = ini;
    for (const rtl::IniChange& change : changes) {
        if (change.value) {
            oneByOne = IniText(oneByOne.WithValue(change.section, change.key, *change.value));
            continue;
        }
        for (int guard = 0; guard < 1000 && oneByOne.KeyLine(change.section, change.key); ++guard)
            oneByOne.BlankKeyLine(change.section, change.key);
    }
    std::vector<std::string> read = sections;
    read.push_back("Batch new");
    const IniText batch(ini.WithChanges(changes));
    const Snapshot expected = Take(IniText(oneByOne.Tidied()), read), got = Take(batch, read);
    if (got.keys != expected.keys) return "a batch lists other keys than its changes made one at a time";
    if (got.values != expected.values) return "a batch reads other values than its changes made one at a time";
    return "";
}

// The same bytes as the body of a UTF-16 file: its text written back is
// the file, unit for unit, and every line's place in the file lies inside it.
std::string CheckUtf16(std::string_view body) {
    const std::string bytes = "\xFF\xFE" + std::string(body.substr(0, body.size() & ~size_t(1)));
    const std::string text = IniTextOfBytes(bytes, IniEncoding::Utf16Le);
    if (IniBytesOfText(text, IniEncoding::Utf16Le) != bytes) return "UTF-16 does not come back as it was";
    for (size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 1))
        if (IniFileOffset(text, at, IniEncoding::Utf16Le) >= bytes.size()) return "a line lies beyond its file";
    return "";
}

std::string CheckInteger(std::string_view text) {
    const auto parsed = rtl::ParseIniInteger(text);
    if (parsed && rtl::ParseIniInteger(std::to_string(*parsed)) != parsed) return "an integer does not read back";
    return "";
}

}  // namespace

std::string CheckSettingsText(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const IniText ini(text);
    const auto sections = SectionNames(text);
    for (const auto& check : {CheckReads(ini, sections), CheckDelete(ini, sections),
                              CheckWrite(ini, sections, std::string_view(text).substr(size > 64 ? size - 64 : 0)),
                              CheckBatch(ini, sections, std::string_view(text).substr(size > 32 ? size - 32 : 0)),
                              CheckInteger(std::string_view(text).substr(0, 24)), CheckUtf16(text)})
        if (!check.empty()) return check;
    return "";
}

namespace {

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string LowerText(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) c = Lower(c);
    return lower;
}

std::string CheckCardName(std::string_view source) {
    const std::string name = app::rules::CardName(source);
    if (rtl::NameStart(name) != 0) return "a card name holds a separator";
    if (name.size() > source.size() || source.substr(source.size() - name.size()) != name)
        return "a card name is not the end of its path";
    if (app::rules::InstallableName(name) && (name == "." || name == ".."))
        return "a card name may climb out of the card directory";
    return "";
}

// A usable card directory is the text, or the text without its final "/",
// and every folder name in it is one a card can take; a refused one says why.
std::string CheckCardDirectory(std::string_view typed) {
    const auto check = app::rules::CheckCardDirectory(typed);
    if (!check.Usable()) return check.directory.empty() ? "" : "a refused card directory still names a directory";
    const std::string& dir = check.directory;
    if (dir != typed && dir + "/" != typed) return "a card directory changed more than its final \"/\"";
    if (dir == app::rules::kCardRoot) return typed == dir ? "" : "only \"/\" itself is the card's root";
    if (dir.size() < 2 || dir.front() != '/' || dir.back() == '/') return "a card directory is not \"/\" and folders";
    if (dir.find("//") != std::string::npos) return "a card directory holds an empty folder name";
    for (const unsigned char c : dir)
        if (c < 0x20 || std::string_view("\\:*?\"<>|").find(static_cast<char>(c)) != std::string_view::npos)
            return "a card directory holds a character that a card name refuses";
    const std::string padded = dir + "/";
    if (padded.find("/./") != std::string::npos || padded.find("/../") != std::string::npos)
        return "a card directory may climb out of the card";
    if (app::rules::CheckCardDirectory(dir).directory != dir) return "a usable card directory is not its own result";
    return "";
}

// A type is what follows the name's last dot; a usable card folder is made
// one level at a time, each level a usable directory inside the one before,
// the last the folder itself.
std::string CheckCardFolder(std::string_view text) {
    const std::string type = app::rules::FileType(text);
    if (type.find('.') != std::string::npos) return "a file type holds a dot";
    if (!type.empty() && (text.size() <= type.size() || text.substr(text.size() - type.size() - 1) != "." + type))
        return "a file type is not the end of its name after a dot";
    const auto check = app::rules::CheckCardDirectory(text);
    if (!check.Usable()) return "";
    if (check.directory == app::rules::kCardRoot)
        return app::rules::DirectoryLevels(check.directory).empty() ? "" : "the card's root is made as a level";
    const std::vector<std::string> levels = app::rules::DirectoryLevels(check.directory);
    if (levels.empty() || levels.back() != check.directory) return "the last level is not the card folder";
    for (size_t i = 0; i < levels.size(); ++i) {
        if (app::rules::CheckCardDirectory(levels[i]).directory != levels[i]) return "a level is no usable directory";
        if (i > 0 && levels[i].rfind(levels[i - 1] + "/", 0) != 0) return "a level is not inside the one before";
    }
    if (levels.size() != static_cast<size_t>(std::count(check.directory.begin(), check.directory.end(), '/')))
        return "a level was skipped or made twice";
    return "";
}

std::string CheckConduitFolder(std::string_view path) {
    const std::string folder = app::rules::ConduitFolder(path, "Tolvane");
    const std::string_view tail = "Tolvane\\";
    if (folder.size() < tail.size() || std::string_view(folder).substr(folder.size() - tail.size()) != tail)
        return "a conduit folder does not end in Tolvane\\";
    std::string user(path);
    if (!user.empty() && !rtl::EndsWithSeparator(user)) user += '\\';
    const std::string_view kept = std::string_view(folder).substr(0, folder.size() - tail.size());
    if (kept == user) {
        // The user's last folder, found as a character of its own.
        const size_t last = rtl::NameStart(std::string_view(user).substr(0, user.empty() ? 0 : user.size() - 1), "\\/");
        if (LowerText(std::string_view(user).substr(last)) == "dir\\" && (last == 0 || user[last - 1] == '\\'))
            return "a final dir folder was kept";
        return "";
    }
    if (kept.size() + 4 != user.size() || user.compare(0, kept.size(), kept) != 0 ||
        LowerText(std::string_view(user).substr(kept.size())) != "dir\\")
        return "the conduit folder lost more than a final dir folder";
    if (!kept.empty() && rtl::NameStart(kept, "\\") != kept.size()) return "a folder merely ending in dir was cut";
    return "";
}

std::string CheckQueueKey(std::string_view key, uint32_t number) {
    if (const auto n = app::rules::QueuePosition(key)) {
        if (*n < 1 || *n > 2147483647u) return "a queue position out of range";
        if ("db" + std::to_string(*n) != LowerText(key)) return "a queue key is not DB and its number";
    }
    const uint32_t n = number % 2147483647u + 1;
    if (app::rules::QueuePosition("DB" + std::to_string(n)) != n) return "DB<n> does not give n";
    return "";
}

}  // namespace

std::string CheckPathRules(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    uint32_t number = 0;
    for (size_t i = 0; i < size && i < 4; ++i) number = (number << 8) | data[i];
    for (const auto& check : {CheckCardName(text), CheckCardDirectory(text), CheckCardFolder(text),
                              CheckConduitFolder(text), CheckQueueKey(text, number)})
        if (!check.empty()) return check;
    return "";
}

}  // namespace fuzzcheck

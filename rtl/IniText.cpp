#include "rtl/IniText.h"

#include <algorithm>
#include <charconv>

#include "rtl/Text.h"

namespace rtl {

namespace {

// A name as the reader's lookups take it: blanks around it do not count.
std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && IsIniBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsIniBlank(text.back())) text.remove_suffix(1);
    return text;
}

bool IsSpaceOnly(std::string_view line) {
    return !line.empty() && line.find_first_not_of(' ') == std::string_view::npos;
}

// Calls fn(start, end, next) for each line: its text is [start, end), the
// next line starts at `next`. A CR, an LF or a CR LF ends a line.
template <class Fn>
void ForEachLine(std::string_view text, Fn&& fn) {
    size_t start = 0;
    while (start < text.size()) {
        const size_t found = text.find_first_of("\r\n", start);
        const size_t end = found == std::string_view::npos ? text.size() : found;
        size_t next = end;
        if (next < text.size() && text[next] == '\r') ++next;
        if (next < text.size() && text[next] == '\n') ++next;
        fn(start, end, next);
        start = next;
    }
}

std::string DropSpaceOnlyLines(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    ForEachLine(text, [&](size_t start, size_t end, size_t next) {
        if (!IsSpaceOnly(text.substr(start, end - start))) out.append(text.substr(start, next - start));
    });
    return out;
}

}  // namespace

bool IsIniBlank(char c) noexcept {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f' || c == '\x1a';
}

std::string ReaderValue(std::string_view raw) {
    bool quoted = false;
    if (raw.size() >= 2 && (raw.front() == '"' || raw.front() == '\'') && raw.back() == raw.front()) {
        quoted = true;
        raw.remove_prefix(1);
    }
    std::string value(raw.substr(0, kIniValueMax));
    if (quoted && raw.size() <= kIniValueMax + 1 && !value.empty()) value.pop_back();
    return value;
}

std::optional<int32_t> ParseIniInteger(std::string_view text) {
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        uint64_t value = 0;
        const char* end = text.data() + text.size();
        const auto [stop, error] = std::from_chars(text.data() + 2, end, value, 16);
        if (error != std::errc() || stop != end || value > 0xFFFFFFFFull) return std::nullopt;
        return static_cast<int32_t>(static_cast<uint32_t>(value));  // written as the code's bits
    }
    const bool plus = !text.empty() && text.front() == '+';
    if (plus) text.remove_prefix(1);
    if (text.empty() || (plus && text.front() == '-')) return std::nullopt;
    int32_t value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value, 10);
    if (error != std::errc() || stop != end) return std::nullopt;
    return value;
}

IniText::IniText(std::string text) : text_(std::move(text)) { Parse(); }

void IniText::Parse() {
    // Lines before the first header belong to a section that no name finds.
    sections_.push_back(Section{});
    ForEachLine(text_, [&](size_t start, size_t end, size_t) { ParseLine(start, end); });
}

void IniText::ParseLine(size_t start, size_t end) {
    Line line;
    line.offset = start;
    line.length = end - start;
    size_t first = start, last = end;
    while (first < last && IsIniBlank(text_[first])) ++first;
    while (last > first && IsIniBlank(text_[last - 1])) --last;
    const size_t index = lines_.size();
    if (first == last) {
        line.blank = true;
        lines_.push_back(line);
        return;
    }
    if (text_[first] == '[') {
        const size_t close = std::string_view(text_).substr(first, last - first).rfind(']');
        if (close != std::string_view::npos) {
            Section section;
            section.name = TrimBlanks(std::string_view(text_).substr(first + 1, close - 1));
            section.header = section.lastContentLine = index;
            if (!section.name.empty()) firstSection_.try_emplace(FoldAscii(section.name), sections_.size());
            sections_.push_back(std::move(section));
            lines_.push_back(line);
            return;
        }
    }
    line.key = true;
    line.nameStart = first;
    line.contentEnd = last;
    line.keyEnd = last;
    const size_t equals = std::string_view(text_).substr(first, last - first).find('=');
    if (equals != std::string_view::npos) {
        size_t nameEnd = first + equals;
        while (nameEnd > first && IsIniBlank(text_[nameEnd - 1])) --nameEnd;
        line.keyEnd = nameEnd;
        size_t value = first + equals + 1;
        while (value < last && IsIniBlank(text_[value])) ++value;
        line.valueStart = value;
    }
    lines_.push_back(line);
    Section& section = sections_.back();
    section.lastContentLine = index;
    section.lines.push_back(index);
    section.byName[FoldAscii(Name(line))].push_back(index);
}

std::string_view IniText::Name(const Line& line) const {
    return std::string_view(text_).substr(line.nameStart, line.keyEnd - line.nameStart);
}

std::string_view IniText::ValueOf(const Line& line) const {
    return std::string_view(text_).substr(*line.valueStart, line.contentEnd - *line.valueStart);
}

const IniText::Section* IniText::FindSection(std::string_view name) const {
    const std::string_view trimmed = TrimBlanks(name);
    if (trimmed.empty()) return nullptr;
    const auto found = firstSection_.find(FoldAscii(trimmed));
    return found == firstSection_.end() ? nullptr : &sections_[found->second];
}

std::optional<size_t> IniText::FindKeyLine(std::string_view section, std::string_view key) const {
    const Section* found = FindSection(section);
    const std::string_view trimmed = TrimBlanks(key);
    if (!found || trimmed.empty()) return std::nullopt;
    const auto lines = found->byName.find(FoldAscii(trimmed));
    if (lines == found->byName.end() || lines->second.empty()) return std::nullopt;
    return lines->second.front();
}

std::optional<std::string_view> IniText::RawValue(std::string_view section, std::string_view key) const {
    const auto index = FindKeyLine(section, key);
    if (!index || !lines_[*index].valueStart) return std::nullopt;
    return ValueOf(lines_[*index]);
}

std::optional<std::string> IniText::Value(std::string_view section, std::string_view key) const {
    const auto raw = RawValue(section, key);
    if (!raw) return std::nullopt;
    return ReaderValue(*raw);
}

std::vector<std::string> IniText::Keys(std::string_view section) const {
    std::vector<std::string> keys;
    const Section* found = FindSection(section);
    if (!found) return keys;
    for (const size_t index : found->lines) {
        const Line& line = lines_[index];
        if (line.blank || !line.valueStart) continue;
        const std::string_view name = Name(line);
        if (name.empty() || name.front() == ';') continue;
        keys.emplace_back(name);
    }
    return keys;
}

bool IniText::Lists(std::string_view section, std::string_view key) const {
    const auto index = FindKeyLine(section, key);
    if (!index) return false;
    // Only the first line of a name counts for a reader; the listing shows
    // it when it has a value and is no comment.
    const Line& line = lines_[*index];
    return line.valueStart && Name(line).front() != ';';
}

std::optional<IniText::Span> IniText::KeyLine(std::string_view section, std::string_view key) const {
    const auto index = FindKeyLine(section, key);
    if (!index) return std::nullopt;
    return Span{lines_[*index].offset, lines_[*index].length};
}

void IniText::BlankKeyLine(std::string_view section, std::string_view key) {
    const auto index = FindKeyLine(section, key);
    if (!index) return;
    Line& line = lines_[*index];
    std::fill_n(text_.begin() + static_cast<std::ptrdiff_t>(line.offset), line.length, ' ');
    auto& byName = sections_[firstSection_.at(FoldAscii(TrimBlanks(section)))].byName;
    auto& named = byName.at(FoldAscii(TrimBlanks(key)));
    named.erase(named.begin());
    line.blank = true;
    line.key = false;
    line.valueStart.reset();
    ++blanked_;
}

bool IniText::HasBlankedLines() const noexcept {
    if (blanked_ > 0) return true;
    return std::any_of(lines_.begin(), lines_.end(), [&](const Line& line) {
        return line.blank && IsSpaceOnly(std::string_view(text_).substr(line.offset, line.length));
    });
}

std::string IniText::Tidied() const { return DropSpaceOnlyLines(text_); }

std::string IniText::WithValue(std::string_view section, std::string_view key, std::string_view value) const {
    std::string text = text_;
    if (const auto index = FindKeyLine(section, key)) {
        const Line& line = lines_[*index];
        const std::string replacement = std::string(Name(line)) + "=" + std::string(value);
        text.replace(line.offset, line.length, replacement);
        return DropSpaceOnlyLines(text);
    }
    const std::string entry = std::string(TrimBlanks(key)) + "=" + std::string(value) + "\r\n";
    if (const Section* found = FindSection(section)) {
        const Line& last = lines_[found->lastContentLine];
        size_t at = last.offset + last.length;
        if (at < text.size() && text[at] == '\r') ++at;
        if (at < text.size() && text[at] == '\n') ++at;
        if (at == last.offset + last.length) {  // the file's last line, without a break
            text.insert(at, "\r\n");
            at += 2;
        }
        text.insert(at, entry);
        return DropSpaceOnlyLines(text);
    }
    if (!text.empty() && text.back() != '\n') text.append("\r\n");
    if (!text.empty()) text.append("\r\n");
    text.append("[").append(TrimBlanks(section)).append("]\r\n").append(entry);
    return DropSpaceOnlyLines(text);
}

namespace {

// The lines a batch adds to one section, in the order they were first set.
struct AddedLines {
    struct Entry {
        std::string key, value;
        bool erased = false;
    };
    std::vector<Entry> entries;
    std::unordered_map<std::string, size_t> live;  // folded name -> its entry that is not erased

    void Set(std::string_view key, const std::string& folded, const std::string& value) {
        if (const auto found = live.find(folded); found != live.end()) {
            entries[found->second].value = value;
            return;
        }
        live.emplace(folded, entries.size());
        entries.push_back({std::string(key), value});
    }
    void Erase(const std::string& folded) {
        if (const auto found = live.find(folded); found != live.end()) {
            entries[found->second].erased = true;
            live.erase(found);
        }
    }
    void AppendTo(std::string& out) const {
        for (const Entry& entry : entries)
            if (!entry.erased) out.append(entry.key).append("=").append(entry.value).append("\r\n");
    }
};

}  // namespace

// The changes are noted first (each line of the text kept, replaced or
// gone; the new lines of each section), then the text is written out once.
std::string IniText::WithChanges(const std::vector<IniChange>& changes) const {
    std::vector<bool> gone(lines_.size(), false);
    std::unordered_map<size_t, std::string> replaced;  // line -> its new text
    std::vector<AddedLines> added(sections_.size());
    std::vector<std::pair<std::string, AddedLines>> newSections;
    std::unordered_map<std::string, size_t> newSectionIndex;  // folded name -> index in newSections
    for (const IniChange& change : changes) {
        const std::string_view sectionName = TrimBlanks(change.section), keyName = TrimBlanks(change.key);
        if (sectionName.empty() || keyName.empty()) continue;
        const std::string foldedSection = FoldAscii(sectionName), folded = FoldAscii(keyName);
        const std::vector<size_t>* lines = nullptr;
        AddedLines* section = nullptr;
        if (const auto found = firstSection_.find(foldedSection); found != firstSection_.end()) {
            const auto named = sections_[found->second].byName.find(folded);
            if (named != sections_[found->second].byName.end()) lines = &named->second;
            section = &added[found->second];
        } else {
            auto index = newSectionIndex.find(foldedSection);
            if (index == newSectionIndex.end()) {
                if (!change.value) continue;
                index = newSectionIndex.emplace(foldedSection, newSections.size()).first;
                newSections.emplace_back(std::string(sectionName), AddedLines{});
            }
            section = &newSections[index->second].second;
        }
        if (!change.value) {
            if (lines)
                for (const size_t line : *lines) gone[line] = true;
            section->Erase(folded);
            continue;
        }
        // The line a reader finds: the first of the key's lines that stays.
        std::optional<size_t> visible;
        for (size_t i = 0; lines && !visible && i < lines->size(); ++i)
            if (!gone[(*lines)[i]]) visible = (*lines)[i];
        if (visible)
            replaced[*visible] = std::string(Name(lines_[*visible])) + "=" + *change.value;
        else
            section->Set(keyName, folded, *change.value);
    }

    // New lines go after the last line of their section that stays.
    std::unordered_map<size_t, size_t> insertAfter;  // line -> section
    for (size_t s = 0; s < sections_.size(); ++s) {
        if (added[s].live.empty()) continue;
        size_t at = sections_[s].header;
        for (const size_t line : sections_[s].lines)
            if (!gone[line] && !lines_[line].blank) at = line;
        insertAfter.emplace(at, s);
    }
    std::string out;
    out.reserve(text_.size() + text_.size() / 4);
    for (size_t i = 0; i < lines_.size(); ++i) {
        const Line& line = lines_[i];
        const size_t next = i + 1 < lines_.size() ? lines_[i + 1].offset : text_.size();
        const std::string_view lineBreak = std::string_view(text_).substr(line.offset + line.length,
                                                                          next - line.offset - line.length);
        if (!gone[i]) {
            const auto newText = replaced.find(i);
            const std::string_view content = newText != replaced.end()
                                                 ? std::string_view(newText->second)
                                                 : std::string_view(text_).substr(line.offset, line.length);
            if (!IsSpaceOnly(content)) out.append(content).append(lineBreak);
        }
        if (const auto section = insertAfter.find(i); section != insertAfter.end()) {
            if (lineBreak.empty()) out.append("\r\n");
            added[section->second].AppendTo(out);
        }
    }
    for (const auto& [name, lines] : newSections) {
        if (lines.live.empty()) continue;
        if (!out.empty() && out.back() != '\n') out.append("\r\n");
        if (!out.empty()) out.append("\r\n");
        out.append("[").append(name).append("]\r\n");
        lines.AppendTo(out);
    }
    return out;
}

}  // namespace rtl

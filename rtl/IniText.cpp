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
            section.lastContentLine = index;
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

}  // namespace rtl

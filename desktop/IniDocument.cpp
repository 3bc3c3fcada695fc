#include "desktop/IniDocument.h"

#include <algorithm>

#include "desktop/Files.h"
#include "desktop/Strings.h"

namespace desktop {
namespace {

bool SameName(std::string_view a, std::string_view b, bool exactCase) {
    return exactCase ? a == b : EqualsNoCase(a, b);
}

// Values keep inner blanks; surrounding blanks or quotes only survive a
// round trip inside quotes, as the Windows profile functions read them.
std::string Unquote(std::string_view value) {
    value = Trim(value);
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
    return std::string(value);
}

std::string Quote(std::string_view value) {
    const bool needs = !value.empty() && (value.front() == ' ' || value.back() == ' ' || value.front() == '\t' ||
                                          value.back() == '\t' || value.front() == '"');
    std::string result;
    if (needs) result += '"';
    result.append(value);
    if (needs) result += '"';
    return result;
}

}  // namespace

std::optional<std::string> IniDocument::Section::Get(std::string_view key) const {
    for (const Line& line : lines)
        if (!line.key.empty() && EqualsNoCase(line.key, key)) return line.value;
    return std::nullopt;
}

IniDocument IniDocument::Parse(std::string_view text) {
    IniDocument document;
    document.sections_.push_back(Section{});
    while (!text.empty()) {
        const auto end = text.find('\n');
        std::string_view raw = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
        const std::string_view line = Trim(raw);
        if (!line.empty() && line.front() == '[' && line.find(']') != std::string_view::npos) {
            document.sections_.push_back(Section{std::string(line.substr(1, line.find(']') - 1)), {}});
            continue;
        }
        const auto equals = line.find('=');
        if (line.empty() || line.front() == ';' || line.front() == '#' || equals == std::string_view::npos ||
            Trim(line.substr(0, equals)).empty()) {
            document.sections_.back().lines.push_back(Line{{}, {}, std::string(raw)});
            continue;
        }
        document.sections_.back().lines.push_back(
            Line{std::string(Trim(line.substr(0, equals))), Unquote(line.substr(equals + 1)), {}});
    }
    return document;
}

IniDocument IniDocument::Load(const std::string& path) {
    const auto text = ReadWholeFile(path);
    return Parse(text ? *text : std::string());
}

std::string IniDocument::Serialize() const {
    std::string text;
    for (const Section& section : sections_) {
        if (!section.name.empty() || &section != &sections_.front()) text += "[" + section.name + "]\r\n";
        for (const Line& line : section.lines)
            text += (line.key.empty() ? line.raw : line.key + "=" + Quote(line.value)) + "\r\n";
    }
    return text;
}

bool IniDocument::Save(const std::string& path) const { return WriteWholeFile(path, Serialize()); }

const IniDocument::Section* IniDocument::Find(std::string_view section, bool exactCase) const {
    for (const Section& candidate : sections_)
        if (&candidate != &sections_.front() && SameName(candidate.name, section, exactCase)) return &candidate;
    return nullptr;
}

std::optional<std::string> IniDocument::Get(std::string_view section, std::string_view key) const {
    const Section* found = Find(section);
    return found ? found->Get(key) : std::nullopt;
}

IniDocument::Section& IniDocument::Ensure(std::string_view section, bool exactCase) {
    if (sections_.empty()) sections_.push_back(Section{});
    for (std::size_t i = 1; i < sections_.size(); ++i)
        if (SameName(sections_[i].name, section, exactCase)) return sections_[i];
    // A blank line keeps sections apart for the person who reads the file.
    auto& previous = sections_.back().lines;
    if (!previous.empty() && !(previous.back().key.empty() && Trim(previous.back().raw).empty()))
        previous.push_back(Line{});
    sections_.push_back(Section{std::string(section), {}});
    return sections_.back();
}

void IniDocument::Set(std::string_view section, std::string_view key, std::string_view value, bool exactCase) {
    Section& target = Ensure(section, exactCase);
    for (Line& line : target.lines) {
        if (!line.key.empty() && EqualsNoCase(line.key, key)) {
            line.value = std::string(value);
            return;
        }
    }
    // New keys go after the last key, so that a trailing blank line stays
    // between this section and the next.
    auto at = target.lines.end();
    while (at != target.lines.begin() && std::prev(at)->key.empty() && Trim(std::prev(at)->raw).empty()) --at;
    target.lines.insert(at, Line{std::string(key), std::string(value), {}});
}

bool IniDocument::RemoveKey(std::string_view section, std::string_view key) {
    for (std::size_t i = 1; i < sections_.size(); ++i) {
        if (!EqualsNoCase(sections_[i].name, section)) continue;
        auto& lines = sections_[i].lines;
        const auto before = lines.size();
        std::erase_if(lines, [&](const Line& line) { return !line.key.empty() && EqualsNoCase(line.key, key); });
        return lines.size() != before;
    }
    return false;
}

bool IniDocument::RemoveSection(std::string_view section, bool exactCase) {
    if (sections_.empty()) return false;
    const auto before = sections_.size();
    sections_.erase(std::remove_if(sections_.begin() + 1, sections_.end(),
                                   [&](const Section& s) { return SameName(s.name, section, exactCase); }),
                    sections_.end());
    return sections_.size() != before;
}

void IniDocument::AddComment(std::string_view section, std::string_view comment) {
    if (sections_.empty()) sections_.push_back(Section{});
    Section& target = section.empty() ? sections_.front() : Ensure(section, false);
    target.lines.push_back(Line{{}, {}, comment.empty() ? std::string() : "; " + std::string(comment)});
}

}  // namespace desktop

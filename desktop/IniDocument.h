// A small INI document: sections in file order, "key=value" lines, comment
// lines (";" or "#") kept as they were so that a person's notes survive when
// the host or the Conduit Manager stand-in writes the file back. Section and
// key names match without regard to case unless a caller asks for exact case
// (creator IDs: "tVan" and "TVAN" are two conduits).
#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace desktop {

class IniDocument {
public:
    struct Line {
        std::string key;    // empty: a comment or blank line, kept in raw
        std::string value;
        std::string raw;
    };
    struct Section {
        std::string name;   // empty for the lines before the first section
        std::vector<Line> lines;
        std::optional<std::string> Get(std::string_view key) const;
    };

    static IniDocument Parse(std::string_view text);
    static IniDocument Load(const std::string& path);  // a missing file is empty
    std::string Serialize() const;
    bool Save(const std::string& path) const;

    const std::vector<Section>& Sections() const noexcept { return sections_; }
    const Section* Find(std::string_view section, bool exactCase = false) const;
    std::optional<std::string> Get(std::string_view section, std::string_view key) const;
    void Set(std::string_view section, std::string_view key, std::string_view value, bool exactCase = false);
    bool RemoveKey(std::string_view section, std::string_view key);
    bool RemoveSection(std::string_view section, bool exactCase = false);
    void AddComment(std::string_view section, std::string_view comment);

private:
    Section& Ensure(std::string_view section, bool exactCase);
    std::vector<Section> sections_;
};

}  // namespace desktop

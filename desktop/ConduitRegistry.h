// The Conduit Manager's records, kept in "conduits.ini" in the desktop
// folder: one section per creator ID (exact case), with the values that the
// setters stored. The Conduit Manager stand-in, the host and the layout
// helper all read it through this unit.
#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "desktop/IniDocument.h"

namespace desktop {

enum class ConduitField { Name, Title, Directory, File, Remote, Info };
const char* ConduitFieldKey(ConduitField field) noexcept;

struct ConduitEntry {
    std::string creator;
    long type = 0;
    std::string name;  // the conduit library's file
    std::string title;
    std::string directory;
    std::string file;
    std::string remote;
    std::string info;
    std::optional<long> priority;
};

// Four printable characters; brackets are refused, they would end the section name.
bool IsValidCreator(const char* creator) noexcept;

class ConduitRegistry {
public:
    explicit ConduitRegistry(std::string path);

    std::vector<ConduitEntry> Entries() const;  // in installation order
    std::optional<ConduitEntry> Find(std::string_view creator) const;

    // Palm error codes, 0 for success.
    long Install(const char* creator, long type);
    long SetText(const char* creator, ConduitField field, const char* value);
    long SetPriority(const char* creator, long priority);
    long GetText(const char* creator, ConduitField field, std::string& value) const;
    // Above 0 when the entry was removed, as the Conduit Manager answers.
    long Remove(const char* creator);
    bool Save() const;

private:
    long Check(const char* creator) const;
    std::string path_;
    IniDocument ini_;
};

}  // namespace desktop

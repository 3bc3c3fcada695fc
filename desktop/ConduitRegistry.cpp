#include "desktop/ConduitRegistry.h"

#include "desktop/Codes.h"
#include "desktop/Strings.h"

namespace desktop {
namespace {

ConduitEntry EntryOf(const IniDocument::Section& section) {
    ConduitEntry entry;
    entry.creator = section.name;
    entry.type = ParseLong(section.Get("Type").value_or("0")).value_or(0);
    entry.name = section.Get("Name").value_or("");
    entry.title = section.Get("Title").value_or("");
    entry.directory = section.Get("Directory").value_or("");
    entry.file = section.Get("File").value_or("");
    entry.remote = section.Get("Remote").value_or("");
    entry.info = section.Get("Info").value_or("");
    if (const auto priority = section.Get("Priority")) entry.priority = ParseLong(*priority);
    return entry;
}

}  // namespace

const char* ConduitFieldKey(ConduitField field) noexcept {
    switch (field) {
        case ConduitField::Name: return "Name";
        case ConduitField::Title: return "Title";
        case ConduitField::Directory: return "Directory";
        case ConduitField::File: return "File";
        case ConduitField::Remote: return "Remote";
        case ConduitField::Info: return "Info";
    }
    return "";
}

bool IsValidCreator(const char* creator) noexcept {
    if (!creator) return false;
    std::size_t length = 0;
    for (; creator[length] && length < 5; ++length) {
        const char c = creator[length];
        if (c < 0x20 || c > 0x7E || c == '[' || c == ']') return false;
    }
    return length == 4;
}

ConduitRegistry::ConduitRegistry(std::string path) : path_(std::move(path)), ini_(IniDocument::Load(path_)) {}

std::vector<ConduitEntry> ConduitRegistry::Entries() const {
    std::vector<ConduitEntry> entries;
    for (const auto& section : ini_.Sections())
        if (IsValidCreator(section.name.c_str())) entries.push_back(EntryOf(section));
    return entries;
}

std::optional<ConduitEntry> ConduitRegistry::Find(std::string_view creator) const {
    const auto* section = ini_.Find(creator, true);
    if (!section) return std::nullopt;
    return EntryOf(*section);
}

long ConduitRegistry::Check(const char* creator) const {
    if (!creator) return codes::kCmBadPointer;
    if (!IsValidCreator(creator)) return codes::kCmBadCreator;
    return ini_.Find(creator, true) ? codes::kOk : codes::kCmNotFound;
}

long ConduitRegistry::Install(const char* creator, long type) {
    const long found = Check(creator);
    if (found == codes::kOk) return codes::kCmAlreadyInUse;
    if (found != codes::kCmNotFound) return found;
    if (type < 0) return codes::kCmBadType;
    ini_.Set(creator, "Type", std::to_string(type), true);
    return codes::kOk;
}

long ConduitRegistry::SetText(const char* creator, ConduitField field, const char* value) {
    if (const long error = Check(creator)) return error;
    if (!value) return codes::kCmBadPointer;
    // A line break would end the value early in the file.
    for (const char* p = value; *p; ++p)
        if (*p == '\r' || *p == '\n') return codes::kCmCannotSet;
    ini_.Set(creator, ConduitFieldKey(field), value, true);
    return codes::kOk;
}

long ConduitRegistry::SetPriority(const char* creator, long priority) {
    if (const long error = Check(creator)) return error;
    ini_.Set(creator, "Priority", std::to_string(priority), true);
    return codes::kOk;
}

long ConduitRegistry::GetText(const char* creator, ConduitField field, std::string& value) const {
    if (const long error = Check(creator)) return error;
    const auto found = ini_.Find(creator, true)->Get(ConduitFieldKey(field));
    if (!found) return codes::kCmValueNotFound;
    value = *found;
    return codes::kOk;
}

long ConduitRegistry::Remove(const char* creator) {
    if (const long error = Check(creator)) return error;
    ini_.RemoveSection(creator, true);
    return 1;
}

bool ConduitRegistry::Save() const { return ini_.Save(path_); }

}  // namespace desktop

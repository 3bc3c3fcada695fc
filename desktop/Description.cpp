#include "desktop/Description.h"

#include "desktop/Strings.h"

namespace desktop {
namespace {

template <class T>
T Number(const IniDocument::Section& section, const char* key, T fallback) {
    const auto text = section.Get(key);
    if (!text) return fallback;
    const auto value = ParseLong(*text);
    return value ? T(*value) : fallback;
}

std::uint32_t Code(const IniDocument::Section& section, const char* key) {
    const auto text = section.Get(key);
    const auto value = text ? ParseFourCC(*text) : std::nullopt;
    return value ? *value : 0;
}

std::vector<CodeSwitch> CodeSwitches(const IniDocument& ini, const char* name) {
    std::vector<CodeSwitch> result;
    if (const auto* section = ini.Find(name))
        for (const auto& line : section->lines)
            if (!line.key.empty())
                if (const auto code = ParseLong(line.value)) result.push_back({line.key, *code});
    return result;
}

std::optional<ExitSwitch> ParseExit(const std::string& entry, std::string_view value) {
    ExitSwitch exit{entry, 0, ExitKind::Terminate};
    const auto comma = value.find(',');
    const auto call = ParseLong(value.substr(0, comma));
    if (!call || *call < 1) return std::nullopt;
    exit.call = unsigned(*call);
    if (comma != std::string_view::npos) {
        const auto kind = Trim(value.substr(comma + 1));
        if (EqualsNoCase(kind, "exit")) exit.kind = ExitKind::Exit;
        else if (!EqualsNoCase(kind, "terminate")) return std::nullopt;
    }
    return exit;
}

}  // namespace

Description Description::FromIni(const IniDocument& ini) {
    Description d;
    if (const auto core = ini.Get("Desktop", "CorePath")) d.corePath = *core;
    if (const auto* hotsync = ini.Find("HotSync"))
        if (const auto user = hotsync->Get("User"))
            if (const auto id = ParseLong(*user)) d.syncUser = std::uint32_t(*id);
    for (int u = 1;; ++u) {
        const std::string name = "User" + std::to_string(u);
        const auto* section = ini.Find(name);
        if (!section) break;
        User user;
        user.id = Number<std::uint32_t>(*section, "ID", 0);
        user.name = section->Get("Name").value_or("");
        user.folder = section->Get("Folder").value_or("");
        user.expansionManager = Number<std::uint32_t>(*section, "ExpansionManager", 0);
        for (int s = 1;; ++s) {
            const auto* slot = ini.Find(name + ".Slot" + std::to_string(s));
            if (!slot) break;
            user.slots.push_back({Number<long>(*slot, "Ref", 0), Code(*slot, "MediaType"),
                                  slot->Get("DisplayName").value_or("")});
        }
        d.users.push_back(std::move(user));
    }
    for (int v = 1;; ++v) {
        const auto* section = ini.Find("Volume" + std::to_string(v));
        if (!section) break;
        Volume volume;
        volume.ref = Number<std::uint16_t>(*section, "Ref", 0);
        volume.mediaType = Code(*section, "MediaType");
        volume.folder = section->Get("Folder").value_or("");
        if (const auto capacity = section->Get("Capacity")) volume.capacity = ParseUnsigned64(*capacity);
        d.volumes.push_back(std::move(volume));
    }
    d.switches.callLog = ini.Get("CallLog", "File").value_or("");
    d.switches.failEntry = CodeSwitches(ini, "FailEntry");
    d.switches.failCopy = CodeSwitches(ini, "FailCopy");
    if (const auto* section = ini.Find("VolumeEnumerate"))
        d.switches.extraVolumes = Number<unsigned>(*section, "Extra", 0);
    if (const auto* section = ini.Find("ExitAt"))
        for (const auto& line : section->lines)
            if (!line.key.empty())
                if (auto exit = ParseExit(line.key, line.value)) d.switches.exitAt.push_back(std::move(*exit));
    return d;
}

std::string ExitSwitchText(const ExitSwitch& exit) {
    return std::to_string(exit.call) + (exit.kind == ExitKind::Exit ? ",exit" : ",terminate");
}

IniDocument Description::ToIni() const {
    IniDocument ini;
    ini.AddComment("", "The simulated desktop and handheld of the stand-in Palm Desktop; see desktop/README.md.");
    ini.Set("Desktop", "CorePath", corePath);
    if (syncUser) ini.Set("HotSync", "User", std::to_string(*syncUser));
    for (std::size_t u = 0; u < users.size(); ++u) {
        const User& user = users[u];
        const std::string name = "User" + std::to_string(u + 1);
        ini.Set(name, "ID", std::to_string(user.id));
        ini.Set(name, "Name", user.name);
        ini.Set(name, "Folder", user.folder);
        ini.Set(name, "ExpansionManager", std::to_string(user.expansionManager));
        for (std::size_t s = 0; s < user.slots.size(); ++s) {
            const std::string slot = name + ".Slot" + std::to_string(s + 1);
            ini.Set(slot, "Ref", std::to_string(user.slots[s].ref));
            ini.Set(slot, "MediaType", FormatFourCC(user.slots[s].mediaType));
            ini.Set(slot, "DisplayName", user.slots[s].displayName);
        }
    }
    for (std::size_t v = 0; v < volumes.size(); ++v) {
        const std::string name = "Volume" + std::to_string(v + 1);
        ini.Set(name, "Ref", std::to_string(volumes[v].ref));
        ini.Set(name, "MediaType", FormatFourCC(volumes[v].mediaType));
        ini.Set(name, "Folder", volumes[v].folder);
        if (volumes[v].capacity) ini.Set(name, "Capacity", std::to_string(*volumes[v].capacity));
    }
    if (!switches.callLog.empty()) ini.Set("CallLog", "File", switches.callLog);
    for (const auto& s : switches.failEntry) ini.Set("FailEntry", s.name, std::to_string(s.code));
    for (const auto& s : switches.failCopy) ini.Set("FailCopy", s.name, std::to_string(s.code));
    for (const auto& s : switches.exitAt) ini.Set("ExitAt", s.entry, ExitSwitchText(s));
    if (switches.extraVolumes) ini.Set("VolumeEnumerate", "Extra", std::to_string(switches.extraVolumes));
    return ini;
}

const User* Description::FindUser(std::uint32_t id) const {
    for (const User& user : users)
        if (user.id == id) return &user;
    return nullptr;
}

const Volume* Description::FindVolume(std::uint16_t ref) const {
    for (const Volume& volume : volumes)
        if (volume.ref == ref) return &volume;
    return nullptr;
}

std::optional<long> Description::FailCode(const std::string& entry) const {
    // Entry names are exact, as GetProcAddress matches them.
    for (const auto& s : switches.failEntry)
        if (s.name == entry) return s.code;
    return std::nullopt;
}

std::optional<long> Description::FailCopyCode(const std::string& sourcePath) const {
    for (const auto& s : switches.failCopy)
        if (EqualsNoCase(s.name, sourcePath) || EqualsNoCase(s.name, FileNameOf(sourcePath))) return s.code;
    return std::nullopt;
}

Desktop Desktop::Load(const std::string& folder) {
    return Desktop{folder, Description::FromIni(IniDocument::Load(JoinPath(folder, kDescriptionFile)))};
}

std::string Desktop::InFolder(const std::string& name) const {
    return IsAbsolutePath(name) ? name : JoinPath(folder, name);
}

std::string Desktop::CorePath() const {
    const std::string& core = description.corePath;
    return WithoutTrailingSlash(core.empty() || core == "." ? folder : InFolder(core));
}

std::string Desktop::UserFolder(const User& user) const { return JoinPath(CorePath(), user.folder); }

std::string Desktop::VolumeFolder(const Volume& volume) const { return InFolder(volume.folder); }

std::string Desktop::CallLogPath() const {
    return description.switches.callLog.empty() ? std::string() : InFolder(description.switches.callLog);
}

std::string Desktop::HotSyncLogPath(const User* user) const {
    return JoinPath(user ? UserFolder(*user) : folder, kHotSyncLogFile);
}

}  // namespace desktop

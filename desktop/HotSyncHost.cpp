// hotsync.exe, the stand-in HotSync Manager. It lives in the desktop folder
// (the folder of the description and the stand-in libraries) and runs the
// conduits registered there, the way the HotSync Manager drives a conduit:
//
//   hotsync list                       the registered conduits
//   hotsync users                      the HotSync users
//   hotsync sync USER [--creator C]    a HotSync of USER (name or ID)
//   hotsync configure USER [--creator C] [--pref] [--action N] [--temporary N]
//
// `sync` loads each registered conduit (priority order) from its registered
// file, asks its name, version and information, calls OpenConduit with the
// user's folder and prints every progress text as "progress: TEXT", the
// result and the lines that the HotSync added to the user's log. During the
// call the description names the user ([HotSync] User), which is how the log
// stand-in knows whose log to write. `configure` calls CfgConduit, or with
// --pref ConfigureConduit, and prints the action and preference that come
// back. Exit code: 0 when every conduit call returned 0, 1 for a usage error,
// 2 when a conduit failed, could not be loaded or wrote outside its record.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <iostream>

#include "desktop/ConduitRegistry.h"
#include "desktop/Description.h"
#include "desktop/Files.h"
#include "desktop/HostConduit.h"
#include "desktop/HostRecords.h"
#include "desktop/Strings.h"

using namespace desktop;
using namespace desktop::host;

namespace {

struct Options {
    std::string command;
    std::string user;
    std::string creator;
    bool preference = false;
    long action = kActionSync;
    std::optional<long> temporary;
};

void __cdecl Progress(const char* text) {
    std::cout << "progress: " << (text ? OneLine(text) : std::string("(null)")) << std::endl;
}

void CopyField(char* field, std::size_t size, const std::string& text) {
    std::memset(field, 0, size);
    text.copy(field, size - 1);
}

std::optional<Options> ParseOptions(int argc, char** argv) {
    Options options;
    std::vector<std::string> words;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> std::optional<std::string> {
            if (i + 1 >= argc) return std::nullopt;
            return std::string(argv[++i]);
        };
        if (arg == "--pref") {
            options.preference = true;
        } else if (arg == "--creator" || arg == "--action" || arg == "--temporary") {
            const auto text = value();
            if (!text) return std::nullopt;
            if (arg == "--creator") {
                options.creator = *text;
                continue;
            }
            const auto number = ParseLong(*text);
            if (!number) return std::nullopt;
            if (arg == "--action") options.action = *number;
            else options.temporary = *number;
        } else {
            words.push_back(arg);
        }
    }
    if (words.empty()) return std::nullopt;
    options.command = words[0];
    const bool needsUser = options.command == "sync" || options.command == "configure";
    if (words.size() != (needsUser ? 2u : 1u)) return std::nullopt;
    if (needsUser) options.user = words[1];
    return options;
}

const User* FindUser(const Description& description, const std::string& text) {
    for (const User& user : description.users)
        if (EqualsNoCase(user.name, text) || (ParseLong(text) && std::uint32_t(*ParseLong(text)) == user.id))
            return &user;
    return nullptr;
}

std::vector<ConduitEntry> Conduits(const Desktop& desktop, const std::string& creator) {
    auto entries = ConduitRegistry(desktop.InFolder(kConduitFile)).Entries();
    std::erase_if(entries, [&](const ConduitEntry& e) { return !creator.empty() && e.creator != creator; });
    std::stable_sort(entries.begin(), entries.end(), [](const ConduitEntry& a, const ConduitEntry& b) {
        return a.priority.value_or(2) < b.priority.value_or(2);
    });
    return entries;
}

// The user of the HotSync in progress, named in the description for the
// stand-in log library, and taken out again afterwards.
class SyncUserScope {
public:
    SyncUserScope(std::string path, std::uint32_t id) : path_(std::move(path)) {
        IniDocument ini = IniDocument::Load(path_);
        ini.Set("HotSync", "User", std::to_string(id));
        ini.Save(path_);
    }
    ~SyncUserScope() {
        IniDocument ini = IniDocument::Load(path_);
        ini.RemoveKey("HotSync", "User");
        ini.Save(path_);
    }
    SyncUserScope(const SyncUserScope&) = delete;
    SyncUserScope& operator=(const SyncUserScope&) = delete;

private:
    std::string path_;
};

int Sync(const Desktop& desktop, const User& user, const Options& options) {
    const auto conduits = Conduits(desktop, options.creator);
    if (conduits.empty()) {
        std::cout << "no conduit registered" << std::endl;
        return 2;
    }
    const std::string log = desktop.HotSyncLogPath(&user);
    const std::size_t logBefore = ReadLines(log).size();
    int status = 0;
    {
        SyncUserScope scope(JoinPath(desktop.folder, kDescriptionFile), user.id);
        std::cout << "HotSync of " << user.name << " (" << user.id << ")" << std::endl;
        for (const ConduitEntry& entry : conduits) {
            LoadedConduit conduit(entry);
            if (!conduit) {
                status = 2;
                continue;
            }
            conduit.Describe();
            auto open = conduit.Entry<OpenConduitFn>("OpenConduit");
            if (!open) {
                status = 2;
                continue;
            }
            auto props = MakeGuarded<SyncProperties>();
            props.record.syncType = kActionSync;
            CopyField(props.record.pathName, sizeof props.record.pathName, JoinPath(desktop.UserFolder(user), ""));
            std::memset(props.record.hostPrivate, kPattern, sizeof props.record.hostPrivate);
            const auto before = props;
            const long result = open(&Progress, &props.record);
            std::cout << "  OpenConduit returned " << result << std::endl;
            if (std::memcmp(&before, &props, sizeof props) != 0) {
                std::cout << "  the conduit wrote into the sync properties" << std::endl;
                status = 2;
            }
            if (result != 0) status = 2;
        }
    }
    std::cout << "HotSync log of " << user.name << ":" << std::endl;
    const auto lines = ReadLines(log);
    for (std::size_t i = logBefore; i < lines.size(); ++i) std::cout << "  " << lines[i] << std::endl;
    return status;
}

int ConfigureOne(const LoadedConduit& conduit, const ConduitEntry& entry, const Desktop& desktop, const User& user,
                 const Options& options) {
    const long temporary = options.temporary.value_or(options.action);
    if (options.preference) {
        auto configure = conduit.Entry<ConfigureConduitFn>("ConfigureConduit");
        if (!configure) return 2;
        auto pref = MakeGuarded<SyncPreference>();
        CopyField(pref.record.pathName, sizeof pref.record.pathName, desktop.UserFolder(user));
        std::memset(pref.record.hostPrivate, kPattern, sizeof pref.record.hostPrivate);
        pref.record.syncPref = kPrefPermanent;
        pref.record.syncType = std::int32_t(temporary);
        const long result = configure(&pref.record);
        std::cout << "  ConfigureConduit returned " << result << "; action " << pref.record.syncType << " ("
                  << ActionName(pref.record.syncType) << "), preference " << pref.record.syncPref << " ("
                  << PreferenceName(pref.record.syncPref) << ")" << std::endl;
        if (!GuardIntact(pref)) std::cout << "  the conduit wrote past the preference record" << std::endl;
        return result == 0 && GuardIntact(pref) ? 0 : 2;
    }
    auto cfg = conduit.Entry<CfgConduitFn>("CfgConduit");
    if (!cfg) return 2;
    auto info = MakeGuarded<CfgConduitInfo>();
    info.record.infoVersion = 1;
    info.record.infoSize = sizeof info.record;
    // The creator ID as a four-character code, first character highest.
    for (char c : entry.creator) info.record.creatorCode = (info.record.creatorCode << 8) | std::uint8_t(c);
    info.record.userId = user.id;
    CopyField(info.record.userName, sizeof info.record.userName, user.name);
    CopyField(info.record.pathName, sizeof info.record.pathName, desktop.UserFolder(user));
    info.record.syncPermanent = std::int32_t(options.action);
    info.record.syncTemporary = std::int32_t(temporary);
    info.record.syncNew = std::int32_t(temporary);
    info.record.syncPref = 0;
    unsigned long size = sizeof info.record;
    const long result = cfg(0, &info.record, &size);
    std::cout << "  CfgConduit returned " << result << "; action " << info.record.syncNew << " ("
              << ActionName(info.record.syncNew) << "), preference " << info.record.syncPref << " ("
              << PreferenceName(info.record.syncPref) << ")" << std::endl;
    if (size != sizeof info.record) std::cout << "  the conduit changed the size to " << size << std::endl;
    if (!GuardIntact(info)) std::cout << "  the conduit wrote past the configuration record" << std::endl;
    return result == 0 && GuardIntact(info) && size == sizeof info.record ? 0 : 2;
}

int Configure(const Desktop& desktop, const User& user, const Options& options) {
    const auto conduits = Conduits(desktop, options.creator);
    if (conduits.empty()) {
        std::cout << "no conduit registered" << std::endl;
        return 2;
    }
    int status = 0;
    for (const ConduitEntry& entry : conduits) {
        LoadedConduit conduit(entry);
        if (!conduit || ConfigureOne(conduit, entry, desktop, user, options) != 0) status = 2;
    }
    return status;
}

int List(const Desktop& desktop) {
    const auto conduits = Conduits(desktop, "");
    if (conduits.empty()) std::cout << "no conduit registered" << std::endl;
    for (const ConduitEntry& e : conduits) {
        std::cout << e.creator << "  type " << e.type << "  priority "
                  << (e.priority ? std::to_string(*e.priority) : std::string("-")) << "  title \"" << e.title
                  << "\"  directory \"" << e.directory << "\"" << std::endl
                  << "      name " << e.name << std::endl;
        if (!e.info.empty()) std::cout << "      info \"" << e.info << "\"" << std::endl;
        if (!e.file.empty()) std::cout << "      file \"" << e.file << "\"" << std::endl;
        if (!e.remote.empty()) std::cout << "      remote \"" << e.remote << "\"" << std::endl;
    }
    return 0;
}

int Users(const Desktop& desktop) {
    for (const User& user : desktop.description.users) {
        std::cout << user.id << "  " << user.name << "  " << desktop.UserFolder(user) << "  expansion manager "
                  << user.expansionManager << std::endl;
        for (const Slot& slot : user.slots)
            std::cout << "      slot " << slot.ref << "  " << FormatFourCC(slot.mediaType) << "  \""
                      << slot.displayName << "\"" << std::endl;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const auto options = ParseOptions(argc, argv);
    if (!options) {
        std::cerr << "usage: hotsync list | users | sync USER [--creator ID]\n"
                     "       hotsync configure USER [--creator ID] [--pref] [--action N] [--temporary N]\n";
        return 1;
    }
    try {
        const Desktop desktop = Desktop::Load(ParentOf(ModulePath(nullptr)));
        if (options->command == "list") return List(desktop);
        if (options->command == "users") return Users(desktop);
        const User* user = FindUser(desktop.description, options->user);
        if (!user) {
            std::cerr << "no HotSync user " << options->user << std::endl;
            return 1;
        }
        if (options->command == "sync") return Sync(desktop, *user, *options);
        if (options->command == "configure") return Configure(desktop, *user, *options);
        std::cerr << "unknown command " << options->command << std::endl;
        return 1;
    } catch (const std::exception& e) {
        std::cerr << "hotsync: " << e.what() << std::endl;
        return 2;
    }
}

// tolvane-queue.exe: puts files in a HotSync user's Tolvane queue, shows
// what the next HotSync will install, and takes entries off the queue.
//
//   tolvane-queue add USER FILE...      queue files (full paths are stored)
//   tolvane-queue list [USER]           preview the next HotSync
//   tolvane-queue remove USER KEY...    take entries (DB<n>) off the queue
//
// USER is a HotSync user name or folder; "-" (or none, for list) is the only
// user or the first. --notify also shows the outcome in a message box (for
// the Explorer "Send To" entry, whose console window closes at once).
// Exit codes: 0 done, 1 usage, 2 refused input (unknown user, missing
// file, folder, unknown key: nothing is changed), 3 the Palm Desktop or
// the settings file failed.
#include <windows.h>

#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "rtl/Classes.h"
#include "rtl/SysUtils.h"
#include "tools/queue/DesktopUsers.h"
#include "tools/queue/QueueFile.h"

using namespace queuetool;

namespace {

enum ExitCode : int { kOk = 0, kUsage = 1, kRefused = 2, kFailed = 3 };

constexpr const char* kUsageText =
    "usage: tolvane-queue add USER FILE...     queue files for the user's next HotSync\n"
    "       tolvane-queue list [USER]          show what the next HotSync will install\n"
    "       tolvane-queue remove USER KEY...   take entries (DB1, DB2, ...) off the queue\n"
    "USER is a HotSync user name or folder; \"-\" means the only (or first) user.\n"
    "Option --notify also shows the outcome in a message box.\n";

// What a command has to say; shown on the console and, with --notify, in a box.
struct Report {
    std::ostringstream out;
    std::ostringstream err;
};

struct Invocation {
    std::string command;
    std::vector<std::string> args;
    bool notify = false;
};

Invocation Parse(int argc, char** argv) {
    Invocation call;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--notify")
            call.notify = true;
        else if (call.command.empty())
            call.command = arg;
        else
            call.args.push_back(arg);
    }
    return call;
}

std::string FullPath(const std::string& path) {
    char buffer[MAX_PATH * 2] = {};
    const DWORD length = GetFullPathNameA(path.c_str(), sizeof buffer, buffer, nullptr);
    return (length == 0 || length >= sizeof buffer) ? path : std::string(buffer, length);
}

// Why a path cannot be queued, or "" when it can.
std::string RefusalOf(const std::string& fullPath) {
    switch (ProblemOf(fullPath)) {
        case FileProblem::Missing: return "No such file: " + fullPath;
        case FileProblem::Folder: return fullPath + " is a folder; queue the files in it instead.";
        case FileProblem::None: break;
    }
    return {};
}

const DesktopUser* User(const PalmDesktop& desktop, const std::string& name, Report& report) {
    const ChosenUser chosen = ChooseUser(desktop.Users(), name);
    if (!chosen.user) {
        report.err << chosen.note << "\n";
        return nullptr;
    }
    if (!chosen.note.empty()) report.out << chosen.note << "\n";
    return chosen.user;
}

int Add(const Invocation& call, Report& report) {
    if (call.args.size() < 2) return kUsage;
    std::vector<std::string> files;
    bool refused = false;
    for (size_t i = 1; i < call.args.size(); ++i) {
        files.push_back(FullPath(call.args[i]));
        if (const std::string refusal = RefusalOf(files.back()); !refusal.empty()) {
            report.err << refusal << "\n";
            refused = true;
        }
    }
    const PalmDesktop desktop;
    const DesktopUser* user = User(desktop, call.args[0], report);
    if (!user || refused) {
        report.err << "Nothing was queued.\n";
        return kRefused;
    }
    QueueFile queue(SettingsFileOf(*user));
    for (const std::string& file : files) {
        const QueueFile::Added added = queue.Add(file, NewSettings{user->firstSlotMediaType});
        report.out << (added.isNew ? "Queued " : "Already queued ") << file << " as " << added.key << " for "
                   << user->name << "\n";
    }
    return kOk;
}

std::string SizeText(const std::optional<uint64_t>& size) {
    return size ? std::to_string(*size) + " bytes" : std::string("-");
}

void PrintStateNotes(const Preview& preview, const DesktopUser& user, Report& report) {
    if (!preview.settingsFileExists) {
        report.out << "Tolvane is not set up for " << user.name << " yet: the HotSync will log \""
                   << SettingsFileOf(user) << " not found\". Queue a file or configure the conduit.\n";
        return;
    }
    if (!preview.enabled)
        report.out << "The card install is switched off for " << user.name
                   << ": the HotSync will install nothing. Switch it on in the conduit's settings.\n";
    else if (preview.mediaType == 0)
        report.out << "No card is chosen for " << user.name << ": the HotSync will log \"found no VFS volume\". "
                      "Choose the card in the conduit's settings.\n";
}

int List(const Invocation& call, Report& report) {
    if (call.args.size() > 1) return kUsage;
    const PalmDesktop desktop;
    const DesktopUser* user = User(desktop, call.args.empty() ? std::string() : call.args[0], report);
    if (!user) return kRefused;
    QueueFile queue(SettingsFileOf(*user));
    const Preview preview = queue.MakePreview();
    report.out << "Queue of " << user->name << " in " << queue.FileName() << "\n";
    PrintStateNotes(preview, *user, report);
    if (preview.entries.empty()) {
        report.out << "The queue is empty: the next HotSync installs nothing.\n";
        return kOk;
    }
    report.out << "The next HotSync copies to the card folder " << preview.cardDirectory << ":\n";
    uint64_t total = 0;
    size_t warned = 0;
    for (const PreviewEntry& line : preview.entries) {
        report.out << "  " << line.entry.key << "  " << line.cardPath << "  (" << SizeText(line.size) << ")  from "
                   << line.entry.source << "\n";
        for (const std::string& warning : line.warnings) report.out << "      warning: " << warning << "\n";
        if (line.size) total += *line.size;
        if (!line.warnings.empty()) ++warned;
    }
    report.out << preview.entries.size() << " queued, " << total << " bytes";
    if (warned) report.out << "; " << warned << " with warnings";
    report.out << ".\n";
    return kOk;
}

int Remove(const Invocation& call, Report& report) {
    if (call.args.size() < 2) return kUsage;
    const PalmDesktop desktop;
    const DesktopUser* user = User(desktop, call.args[0], report);
    if (!user) return kRefused;
    QueueFile queue(SettingsFileOf(*user));
    const std::vector<QueueEntry> entries = queue.Entries();
    const auto find = [&](const std::string& key) -> const QueueEntry* {
        for (const QueueEntry& entry : entries)
            if (rtl::SameText(entry.key, key)) return &entry;
        return nullptr;
    };
    bool refused = false;
    for (size_t i = 1; i < call.args.size(); ++i)
        if (!find(call.args[i])) {
            report.err << "No entry " << call.args[i] << " in the queue of " << user->name
                       << " (see tolvane-queue list).\n";
            refused = true;
        }
    if (refused) {
        report.err << "Nothing was removed.\n";
        return kRefused;
    }
    for (size_t i = 1; i < call.args.size(); ++i) {
        const QueueEntry& entry = *find(call.args[i]);
        if (queue.Remove(entry.key))
            report.out << "Removed " << entry.key << " (" << entry.source << ")\n";
        else
            report.out << entry.key << " had left the queue already (installed by a HotSync?)\n";
    }
    return kOk;
}

struct Command {
    const char* name;
    int (*run)(const Invocation&, Report&);
};
constexpr Command kCommands[] = {{"add", &Add}, {"list", &List}, {"remove", &Remove}};

int Run(const Invocation& call, Report& report) {
    for (const Command& command : kCommands)
        if (call.command == command.name) {
            try {
                const int code = command.run(call, report);
                if (code == kUsage) report.err << kUsageText;
                return code;
            } catch (const rtl::Exception& e) {
                report.err << e.Message() << "\n";
                return kFailed;
            } catch (const std::exception& e) {
                report.err << "tolvane-queue: " << e.what() << "\n";
                return kFailed;
            }
        }
    if (call.command == "help" || call.command == "--help" || call.command == "/?") {
        report.out << kUsageText;
        return kOk;
    }
    if (!call.command.empty()) report.err << "Unknown command \"" << call.command << "\".\n";
    report.err << kUsageText;
    return kUsage;
}

}  // namespace

int main(int argc, char** argv) {
    const Invocation call = Parse(argc, argv);
    Report report;
    const int code = Run(call, report);
    std::cout << report.out.str() << std::flush;
    std::cerr << report.err.str() << std::flush;
    if (call.notify) {
        const std::string text = report.out.str() + report.err.str();
        MessageBoxA(nullptr, text.c_str(), "Tolvane queue", MB_OK | (code == kOk ? MB_ICONINFORMATION : MB_ICONERROR));
    }
    return code;
}

// tolvane-queue.exe: puts files in a HotSync user's Tolvane queue, shows
// what the next HotSync will install, and takes entries off the queue.
//
//   tolvane-queue add [--to DIR] USER FILE...   queue files (full paths are stored)
//   tolvane-queue list [USER]                   preview the next HotSync
//   tolvane-queue remove USER KEY...            take entries (DB<n>) off the queue
//   tolvane-queue folders USER [TYPE=DIR]...    show or change the card folders by type
//   tolvane-queue outbox USER [FOLDER | --create FOLDER | --off]   show, set or switch off the outbox
//   tolvane-queue check [USER] [--save FILE]    check the whole installation; changes nothing
//
// USER is a HotSync user name or folder; "-" (or none, for list) is the only
// user or the first. --notify also shows the outcome in a message box (for
// the Explorer "Send To" entry, whose console window closes at once).
// Exit codes: 0 done, 1 usage, 2 refused input (unknown user or key:
// nothing is changed; a file that cannot be queued: every other file is),
// 3 the Palm Desktop or the settings file failed. check: 0 every point ok,
// 1 warnings only, 2 a problem (3 when --save could not write the report).
//
// The command line is read as Unicode, so that a file whose name the Palm
// Desktop cannot take is refused by its own name rather than not found
// under a garbled one; the output goes to a console as Unicode.
#include <windows.h>

#include <sstream>
#include <unordered_map>
#include <string>
#include <vector>

#include "app/CardFolders.h"
#include "app/PathRules.h"
#include "rtl/AnsiText.h"
#include "rtl/Classes.h"
#include "rtl/SysUtils.h"
#include "rtl/Text.h"
#include "tools/queue/DesktopUsers.h"
#include "tools/queue/InstallCheck.h"
#include "tools/queue/OutboxView.h"
#include "tools/queue/QueueBatch.h"
#include "tools/queue/QueueFile.h"
#include "tools/queue/Wildcards.h"
#include "tools/start/DllSearch.h"

using namespace queuetool;

namespace {

enum ExitCode : int { kOk = 0, kUsage = 1, kRefused = 2, kFailed = 3 };

constexpr const wchar_t* kUsageText =
    L"usage: tolvane-queue add [--to DIR] USER FILE...  queue files for the user's next HotSync\n"
    L"       tolvane-queue list [USER]                  show what the next HotSync will install\n"
    L"       tolvane-queue remove USER KEY...           take entries (DB1, DB2, ...) off the queue\n"
    L"       tolvane-queue folders USER [TYPE=DIR]...   show or set the card folder of a file type\n"
    L"                                                  (mp3=/AUDIO; mp3= removes the rule)\n"
    L"       tolvane-queue outbox USER [FOLDER | --create FOLDER | --off]\n"
    L"                                                  show, set or switch off the user's outbox: files\n"
    L"                                                  saved there go to the card at the next HotSync\n"
    L"       tolvane-queue check [USER] [--save FILE]   check the installation and say what to do;\n"
    L"                                                  --save writes the report as UTF-8 text\n"
    L"--to DIR puts the files into the card folder DIR instead of their type's or the default.\n"
    L"FILE may name several files with * and ?, such as C:\\Books\\*.pdb.\n"
    L"USER is a HotSync user name or folder; \"-\" means the only (or first) user.\n"
    L"Option --notify also shows the outcome in a message box.\n";

// What a command has to say; shown on the console and, with --notify, in a box.
struct Report {
    std::wostringstream out;
    std::wostringstream err;
};

struct Invocation {
    std::wstring command;
    std::vector<std::wstring> args;
    std::optional<std::wstring> to;  // add --to DIR
    std::optional<std::wstring> save;  // check --save FILE
    bool notify = false;
    bool create = false;  // outbox --create
    bool off = false;     // outbox --off
    bool usage = false;  // an option without its value
};

std::wstring W(const std::string& ansi) { return rtl::WideFromAnsi(ansi); }

Invocation Parse(int argc, wchar_t** argv) {
    Invocation call;
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        if (arg == L"--notify")
            call.notify = true;
        else if (arg == L"--to" && i + 1 < argc)
            call.to = argv[++i];
        else if (arg == L"--save" && i + 1 < argc)
            call.save = argv[++i];
        else if (arg == L"--to" || arg == L"--save")
            call.usage = true;
        else if (arg == L"--create")
            call.create = true;
        else if (arg == L"--off")
            call.off = true;
        else if (call.command.empty())
            call.command = arg;
        else
            call.args.push_back(arg);
    }
    return call;
}

// A name with no ANSI form names no HotSync user: their names are ANSI.
const DesktopUser* User(const PalmDesktop& desktop, const std::wstring& name, Report& report) {
    const std::optional<std::string> ansi = rtl::AnsiFromWide(name);
    if (!ansi) {
        report.err << L"No HotSync user is named \"" << name << L"\". " << W(KnownUsers(desktop.Users())) << L"\n";
        return nullptr;
    }
    const ChosenUser chosen = ChooseUser(desktop.Users(), *ansi);
    if (!chosen.user) {
        report.err << W(chosen.note) << L"\n";
        return nullptr;
    }
    if (!chosen.note.empty()) report.out << W(chosen.note) << L"\n";
    return chosen.user;
}

// A card directory as the user typed it, checked with the setup dialog's
// rule; none (and the reason on the error stream) when no card can take it.
std::optional<std::string> CardDirectory(const std::wstring& typed, Report& report) {
    std::wstring problem;
    const std::optional<std::string> ansi = TypedAnsi(typed, "card directory", problem);
    if (!ansi) {
        report.err << problem << L"\n";
        return std::nullopt;
    }
    const app::rules::CardDirectoryCheck check = app::rules::CheckCardDirectory(*ansi);
    if (check.Usable()) return check.directory;
    report.err << W(check.problem) << L"\n";
    return std::nullopt;
}

int Add(const Invocation& call, Report& report) {
    if (call.args.size() < 2) return kUsage;
    std::optional<std::string> to;
    if (call.to && !(to = CardDirectory(*call.to, report))) {
        report.err << L"Nothing was queued.\n";
        return kRefused;
    }
    const PalmDesktop desktop;
    const DesktopUser* user = User(desktop, call.args[0], report);
    if (!user) {
        report.err << L"Nothing was queued.\n";
        return kRefused;
    }
    QueueFile queue(SettingsFileOf(*user));
    const ExpandedNames names = ExpandWildcards({call.args.begin() + 1, call.args.end()});
    for (const std::wstring& pattern : names.unmatched) report.err << L"No file matches " << pattern << L".\n";
    const BatchOutcome outcome = names.files.empty() ? BatchOutcome{} : AddFiles(queue, *user, names.files, to);
    for (const FileOutcome& file : outcome.files)
        (file.kind == FileOutcome::Kind::kRefused ? report.err : report.out) << file.text << L"\n";
    for (const std::wstring& warning : outcome.warnings) report.out << L"warning: " << warning << L"\n";
    if (outcome.failed) return kFailed;
    const size_t refused = outcome.Count(FileOutcome::Kind::kRefused) + names.unmatched.size();
    const size_t named = outcome.files.size() + names.unmatched.size();
    if (refused == 0) return kOk;
    report.err << (refused == named ? std::wstring(L"Nothing was queued.")
                                    : std::to_wstring(refused) + L" of " + std::to_wstring(named) +
                                          L" files were not queued; the others were.")
               << L"\n";
    return kRefused;
}

std::wstring SizeText(const std::optional<uint64_t>& size) {
    return size ? std::to_wstring(*size) + L" bytes" : std::wstring(L"-");
}

void PrintStateNotes(const Preview& preview, const DesktopUser& user, Report& report) {
    if (const std::string missing = MissingUserFolder(user); !preview.settingsFileExists && !missing.empty()) {
        report.out << L"warning: " << W(missing) << L"\n";
        return;
    }
    if (!preview.settingsFileExists) {
        report.out << L"Tolvane is not set up for " << W(user.name) << L" yet: the HotSync will log \""
                   << W(SettingsFileOf(user)) << L" not found\". Queue a file or configure the conduit.\n";
        return;
    }
    if (!preview.enabled)
        report.out << L"The card install is switched off for " << W(user.name)
                   << L": the HotSync will install nothing. Switch it on in the conduit's settings.\n";
    else if (!preview.cardDirectoryProblem.empty())
        report.out << L"warning: " << W(preview.cardDirectoryProblem) << L" The HotSync will install nothing; "
                   << L"choose another card folder in the conduit's settings.\n";
    else if (preview.mediaType == 0)
        report.out << L"No card is chosen for " << W(user.name) << L": the HotSync will log \"found no VFS volume\". "
                      L"Choose the card in the conduit's settings.\n";
}

// The outbox's files that the next HotSync will queue, and those that stay.
void PrintOutbox(const OutboxView& view, Report& report) {
    if (view.folder.empty()) return;
    if (view.missing) {
        report.out << L"warning: The outbox " << W(view.folder) << L" is missing: the HotSync takes no file from it.\n";
        return;
    }
    if (!view.refusal.empty()) {
        report.out << L"warning: The outbox " << W(view.folder) << L" is refused, and the HotSync takes no file from it: "
                   << W(view.refusal) << L". Choose a folder of its own with: tolvane-queue outbox USER FOLDER\n";
        return;
    }
    std::wostringstream going, staying;
    size_t goes = 0;
    for (const app::outbox::OutboxFile& file : view.files) {
        if (file.queued) continue;
        if (!file.problem.empty()) {
            staying << L"  " << file.relative << L": " << W(file.problem) << L".\n";
            continue;
        }
        WIN32_FILE_ATTRIBUTE_DATA data{};
        const std::wstring path = rtl::WideFromAnsi(file.path);
        const bool sized = GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data);
        going << L"  outbox  " << W(file.cardPath) << L"  ("
              << (sized ? std::to_wstring((uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow) + L" bytes" : L"-")
              << L")  from " << path << L"\n";
        ++goes;
    }
    report.out << L"Outbox " << W(view.folder) << L": ";
    if (goes == 0) report.out << L"no new file for the next HotSync.\n";
    else report.out << L"the next HotSync queues and copies " << goes << (goes == 1 ? L" file" : L" files")
                    << L", then moves each into its Sent folder:\n" << going.str();
    if (!staying.str().empty()) report.out << L"Staying in the outbox for now:\n" << staying.str();
}

int List(const Invocation& call, Report& report) {
    if (call.args.size() > 1) return kUsage;
    const PalmDesktop desktop;
    const DesktopUser* user = User(desktop, call.args.empty() ? std::wstring() : call.args[0], report);
    if (!user) return kRefused;
    QueueFile queue(SettingsFileOf(*user));
    queue.CheckAccess(false);
    const Preview preview = queue.MakePreview();
    const OutboxView outbox = ViewOutbox(queue, *user, preview);
    report.out << L"Queue of " << W(user->name) << L" in " << W(queue.FileName()) << L"\n";
    PrintStateNotes(preview, *user, report);
    if (preview.entries.empty()) {
        report.out << L"The queue is empty" << (outbox.folder.empty() ? L": the next HotSync installs nothing." : L".")
                   << L"\n";
        PrintOutbox(outbox, report);
        return kOk;
    }
    // A HotSync that installs nothing copies nothing: the note above said why.
    if (preview.settingsFileExists && preview.enabled && preview.cardDirectoryProblem.empty() &&
        preview.mediaType != 0)
        report.out << L"The next HotSync copies these files to the card (default folder " << W(preview.cardDirectory)
                   << L"):\n";
    else
        report.out << L"Queued:\n";
    uint64_t total = 0;
    size_t warned = 0;
    for (const PreviewEntry& line : preview.entries) {
        report.out << L"  " << W(line.entry.key) << L"  " << W(line.cardPath) << L"  (" << SizeText(line.size)
                   << L")  in " << W(line.cardDirectory) << L" (" << app::rules::FolderSourceName(line.folderSource)
                   << L")  from " << W(line.entry.source) << (FromOutbox(outbox, line.entry.source) ? L"  (outbox)" : L"")
                   << L"\n";
        for (const std::string& warning : line.warnings) report.out << L"      warning: " << W(warning) << L"\n";
        if (line.size) total += *line.size;
        if (!line.warnings.empty()) ++warned;
    }
    report.out << preview.entries.size() << L" queued, " << total << L" bytes";
    if (warned) report.out << L"; " << warned << L" with warnings";
    report.out << L".\n";
    PrintOutbox(outbox, report);
    return kOk;
}

// Shows, sets or switches off the user's outbox.
int Outbox(const Invocation& call, Report& report) {
    if (call.args.empty() || call.args.size() > 2 || (call.off && (call.create || call.args.size() > 1)) ||
        (call.create && call.args.size() < 2))
        return kUsage;
    const PalmDesktop desktop;
    const DesktopUser* user = User(desktop, call.args[0], report);
    if (!user) return kRefused;
    QueueFile queue(SettingsFileOf(*user));
    queue.CheckAccess(call.off || call.args.size() > 1);
    const std::wstring name = W(user->name);
    if (call.off) {
        const OutboxView before = ViewOutbox(queue, *user, queue.MakePreview(QueueFile::FileChecks::Later));
        SetOutbox(queue, *user, "");
        report.out << name << L" has no outbox now";
        if (!before.folder.empty()) report.out << L"; the files in " << W(before.folder) << L" stay where they are";
        report.out << L".\n";
        return kOk;
    }
    if (call.args.size() > 1) {
        const OutboxChoice choice = ChooseOutbox(call.args[1], call.create);
        if (!choice.folder) {
            report.err << choice.refusal << L"\nThe outbox was not changed.\n";
            return kRefused;
        }
        SetOutbox(queue, *user, *choice.folder);
        report.out << L"The outbox of " << name << L" is now " << W(*choice.folder) << L": files saved there go to "
                   << L"the card at the next HotSync, then move into " << W(*choice.folder) << L"\\Sent.\n";
        if (!choice.warning.empty()) report.out << L"warning: " << choice.warning << L"\n";
    }
    const OutboxView view = ViewOutbox(queue, *user, queue.MakePreview(QueueFile::FileChecks::Later));
    if (view.folder.empty()) {
        report.out << name << L" has no outbox. Set one with: tolvane-queue outbox " << name << L" FOLDER\n";
        return kOk;
    }
    if (call.args.size() == 1) report.out << L"The outbox of " << name << L" is " << W(view.folder) << L".\n";
    PrintOutbox(view, report);
    return kOk;
}

// Every key is looked up first: one that is not queued removes nothing.
// The entries then go in one pass.
int Remove(const Invocation& call, Report& report) {
    if (call.args.size() < 2) return kUsage;
    const PalmDesktop desktop;
    const DesktopUser* user = User(desktop, call.args[0], report);
    if (!user) return kRefused;
    QueueFile queue(SettingsFileOf(*user));
    queue.CheckAccess(true);
    std::unordered_map<std::string, QueueEntry> byKey;
    for (QueueEntry& entry : queue.Entries()) byKey.emplace(rtl::FoldAscii(entry.key), std::move(entry));
    std::vector<QueueEntry> named;
    bool refused = false;
    for (size_t i = 1; i < call.args.size(); ++i) {
        const auto found = byKey.find(rtl::FoldAscii(rtl::AnsiFromWide(call.args[i]).value_or(std::string())));
        if (found == byKey.end()) {
            report.err << L"No entry " << call.args[i] << L" in the queue of " << W(user->name)
                       << L" (see tolvane-queue list).\n";
            refused = true;
        } else {
            named.push_back(found->second);
        }
    }
    if (refused) {
        report.err << L"Nothing was removed.\n";
        return kRefused;
    }
    std::vector<std::string> keys;
    for (const QueueEntry& entry : named) keys.push_back(entry.key);
    const std::vector<bool> removed = queue.RemoveAll(keys);
    for (size_t i = 0; i < named.size(); ++i) {
        if (removed[i])
            report.out << L"Removed " << W(named[i].key) << L" (" << W(named[i].source) << L")\n";
        else
            report.out << W(named[i].key) << L" had left the queue already (installed by a HotSync?)\n";
    }
    return kOk;
}

// "type=dir" pairs; none (and every reason on the error stream) when one
// of them names no type or a directory that no card can take.
std::optional<std::vector<TypeFolder>> TypeFolderChanges(const std::vector<std::wstring>& args, Report& report) {
    std::vector<TypeFolder> changes;
    bool refused = false;
    for (size_t i = 1; i < args.size(); ++i) {
        const size_t equals = args[i].find(L'=');
        std::wstring problem;
        const std::optional<std::string> ansi = TypedAnsi(args[i].substr(0, equals), "file type", problem);
        const std::string type = ansi.value_or("");
        if (ansi && equals == std::wstring::npos)
            problem = W("\"" + type + "\" has no \"=\": write TYPE=DIR, such as mp3=/AUDIO.");
        else if (ansi)
            problem = W(TypeProblem(type));
        if (!problem.empty()) {
            report.err << problem << L"\n";
            refused = true;
            continue;
        }
        const std::wstring typed = args[i].substr(equals + 1);
        const std::optional<std::string> directory =
            typed.empty() ? std::optional<std::string>("") : CardDirectory(typed, report);
        if (directory) changes.emplace_back(type, *directory);
        else refused = true;
    }
    if (refused) return std::nullopt;
    return changes;
}

int Folders(const Invocation& call, Report& report) {
    if (call.args.empty()) return kUsage;
    const auto changes = TypeFolderChanges(call.args, report);
    if (!changes) {
        report.err << L"No card folder was changed.\n";
        return kRefused;
    }
    const PalmDesktop desktop;
    const DesktopUser* user = User(desktop, call.args[0], report);
    if (!user) return kRefused;
    if (const std::string missing = MissingUserFolder(*user); !changes->empty() && !missing.empty())
        throw rtl::Exception(missing);
    QueueFile queue(SettingsFileOf(*user));
    queue.CheckAccess(!changes->empty());
    if (!changes->empty()) queue.SetTypeFolders(*changes, NewSettings{user->firstSlotMediaType});
    const std::vector<TypeFolder> rules = queue.TypeFolders();
    const std::string setup = queue.Setup().cardDirectory;
    report.out << L"Card folders by file type for " << W(user->name) << L" (other files go to " << W(setup)
               << L"):\n";
    if (rules.empty()) report.out << L"  none\n";
    for (const auto& [type, directory] : rules) report.out << L"  " << W(type) << L"=" << W(directory) << L"\n";
    return kOk;
}

// Reads only: see InstallCheck.h. An unknown user is named on the error stream.
int Check(const Invocation& call, Report& report) {
    if (call.args.size() > 1) return kUsage;
    const CheckReport check = CheckInstallation(call.args.empty() ? std::wstring() : call.args[0]);
    report.out << check.Text();
    if (call.save) {
        if (const std::wstring failure = SaveReport(check, *call.save); !failure.empty()) {
            report.err << failure << L"\n";
            return kFailed;
        }
        report.out << L"The report is saved as " << *call.save << L".\n";
    }
    return check.ExitCode();
}

struct Command {
    const wchar_t* name;
    int (*run)(const Invocation&, Report&);
};
constexpr Command kCommands[] = {
    {L"add", &Add}, {L"list", &List}, {L"remove", &Remove}, {L"folders", &Folders}, {L"outbox", &Outbox}, {L"check", &Check}};

int Run(const Invocation& call, Report& report) {
    if (call.usage) {
        report.err << kUsageText;
        return kUsage;
    }
    for (const Command& command : kCommands)
        if (call.command == command.name) {
            try {
                const int code = command.run(call, report);
                if (code == kUsage) report.err << kUsageText;
                return code;
            } catch (const rtl::Exception& e) {
                report.err << W(e.Message()) << L"\n";
                return kFailed;
            } catch (const std::exception& e) {
                report.err << L"tolvane-queue: " << W(e.what()) << L"\n";
                return kFailed;
            }
        }
    if (call.command == L"help" || call.command == L"--help" || call.command == L"/?") {
        report.out << kUsageText;
        return kOk;
    }
    if (!call.command.empty()) report.err << L"Unknown command \"" << call.command << L"\".\n";
    report.err << kUsageText;
    return kUsage;
}

// A console takes Unicode as it is; a pipe or a file gets the text in the
// console's output code page, with the line ends Windows programs expect.
void Print(DWORD which, const std::wstring& text) {
    const HANDLE handle = GetStdHandle(which);
    if (text.empty() || handle == nullptr || handle == INVALID_HANDLE_VALUE) return;
    DWORD mode = 0, written = 0;
    if (GetConsoleMode(handle, &mode)) {
        WriteConsoleW(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        return;
    }
    std::wstring lines;
    for (const wchar_t c : text) {
        if (c == L'\n') lines += L'\r';
        lines += c;
    }
    const UINT codePage = GetConsoleOutputCP();
    const std::string bytes = rtl::LossyFromWide(lines, codePage ? codePage : GetACP());
    WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

// A message box taller than the screen hides its OK button: a long report
// keeps its first lines and its last (where the outcome is summed up), and
// says how many lines it left out between them.
std::wstring Screenful(const std::wstring& text) {
    constexpr size_t kHead = 10, kTail = 18;
    std::vector<std::wstring> lines;
    std::wistringstream in(text);
    for (std::wstring line; std::getline(in, line);) lines.push_back(line);
    if (lines.size() <= kHead + kTail + 1) return text;
    std::wstring shown;
    for (size_t i = 0; i < kHead; ++i) shown += lines[i] + L"\n";
    shown += L"... " + std::to_wstring(lines.size() - kHead - kTail) +
             L" more lines, which a console window shows (run tolvane-queue there) ...\n";
    for (size_t i = lines.size() - kTail; i < lines.size(); ++i) shown += lines[i] + L"\n";
    return shown;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    toolstart::LimitDllSearch();
    const Invocation call = Parse(argc, argv);
    Report report;
    const int code = Run(call, report);
    Print(STD_OUTPUT_HANDLE, report.out.str());
    Print(STD_ERROR_HANDLE, report.err.str());
    if (call.notify) {
        const std::wstring text = Screenful(report.out.str() + report.err.str());
        MessageBoxW(nullptr, text.c_str(), L"Tolvane queue", MB_OK | (code == kOk ? MB_ICONINFORMATION : MB_ICONERROR));
    }
    return code;
}

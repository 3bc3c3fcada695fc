// kill_test run|outbox [--files N] [--points P] [--random R] [--seed S] [--budget SECONDS]
//   HotSyncs of N queued files (default 1000) in hotsync.exe, ended first at
//   about P chosen points (default 40: the stand-in VFS library ends the
//   process at its k-th call of an entry, for k across the queue; the first
//   three runs end at the first calls), then at R seeded random
//   moments (default 20; TerminateProcess after a random delay), until the
//   queue is empty or the time budget (default 600 s) is spent. After every
//   run, each key that was queued is either still queued with its file, or
//   gone with its card file complete and identical to the source; the
//   settings file reads correctly. A last clean run installs the rest.
//   The queue mixes card folders: a third are .mp3 files that go by type
//   into /AUDIO, a third .jpg files each with its own folder below /DCIM,
//   the rest .pdb files into the setup directory; a file found in any
//   folder but its own counts as lost.
//   With "outbox" the N files (default 200) are not queued but saved into
//   the user's outbox, in its top and in two levels of folders: after every
//   run each file lies either in the outbox or in its Sent folder, never in
//   both or neither; one in Sent is complete in its card folder; every
//   queued key names a file that is still in the outbox.
//   Exit code 0 when no queued file was lost and no run crashed.
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "desktop/Handles.h"
#include "tests/integration/ConduitHost.h"
#include "tests/integration/SyncHarness.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestPaths.h"

namespace {

using namespace testsupport;
using Queue = std::map<std::string, std::string>;
using Clock = std::chrono::steady_clock;

constexpr DWORD kExitAtCode = 99;      // the stand-ins' [ExitAt]
constexpr UINT kTerminatedCode = 77;   // ours, for a random moment

struct Options {
    unsigned files = 1000;
    unsigned points = 40;
    unsigned randomRuns = 20;
    unsigned seed = 1;
    unsigned budgetSeconds = 600;
    bool outbox = false;
};

struct Tally {
    unsigned runs = 0, killedAtPoints = 0, killedAtRandom = 0, lost = 0, crashes = 0, badReads = 0;
};

class KillTest {
public:
    explicit KillTest(const Options& options)
        : options_(options), harness_("kill", Layout()), random_(options.seed), start_(Clock::now()) {}

    int Run();
    int RunOutbox();

private:
    static desktop::LayoutOptions Layout() {
        desktop::LayoutOptions layout;
        layout.callLog = false;  // a thousand files' calls only slow the stand-ins down
        return layout;
    }
    bool OverBudget() const { return Clock::now() - start_ > std::chrono::seconds(options_.budgetSeconds); }
    void Register();
    void Prepare();
    void QueueAll();
    DWORD Sync(std::optional<DWORD> killAfterMs);
    void Check(const Queue& before, const char* what);
    bool OnlyInItsFolder(const std::string& key, const std::string& source);
    void PrepareOutbox();
    void CheckOutbox(const char* what);
    DWORD KilledRun(unsigned round, unsigned k);

    Options options_;
    SyncHarness harness_;
    std::mt19937 random_;
    Clock::time_point start_;
    Queue all_;
    std::map<std::string, std::string> folders_;  // each key's card folder
    std::map<std::string, std::string> own_;      // [InstallToDirectory]
    testsupport::TempFolder outside_{"killbox"};  // an outbox may not lie in the Palm Desktop folder
    std::string outbox_;
    std::map<std::string, std::string> outboxFiles_;  // path inside the outbox -> card path
    Tally tally_;
    double msPerFile_ = 20;
    double msStart_ = 1500;
};

void KillTest::Register() {
    const HMODULE conduit = LoadLibraryA(harness_.ConduitPath().c_str());
    if (!conduit) throw std::runtime_error("the conduit does not load");
    const auto reg = reinterpret_cast<RegistrationFn>(reinterpret_cast<void*>(GetProcAddress(conduit, "DllRegisterServer")));
    const HRESULT registered = reg();
    FreeLibrary(conduit);
    if (registered != S_OK) throw std::runtime_error("the conduit does not register");
}

void KillTest::Prepare() {
    Register();
    std::uniform_int_distribution<int> size(1, 48 * 1024), byte(0, 255);
    for (unsigned i = 1; i <= options_.files; ++i) {
        std::string contents(static_cast<size_t>(size(random_)), '\0');
        for (char& c : contents) c = static_cast<char>(byte(random_));
        const std::string key = "DB" + std::to_string(i);
        const char* type = i % 3 == 0 ? ".pdb" : i % 3 == 1 ? ".mp3" : ".jpg";
        all_[key] = harness_.Source("k" + std::to_string(i) + type, contents);
        folders_[key] = i % 3 == 0 ? "/Palm/Launcher" : i % 3 == 1 ? "/AUDIO" : "/DCIM/K" + std::to_string(i % 4);
        if (i % 3 == 2) own_[key] = folders_[key];
    }
}

void KillTest::QueueAll() {
    std::string text = SyncHarness::Setup() + "[Folders]\r\nMP3=/AUDIO\r\n[InstallToDirectory]\r\n";
    for (const auto& [key, folder] : own_) text += key + "=" + folder + "\r\n";
    text += "[InstallToSlot]\r\n";
    for (const auto& [key, source] : all_) text += key + "=" + source + "\r\n";
    harness_.Settings(text);
}

DWORD KillTest::Sync(std::optional<DWORD> killAfterMs) {
    std::string command = "\"" + harness_.Desktop().HostPath() + "\" sync 1001";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                        harness_.Desktop().Folder().c_str(), &startup, &info))
        throw std::runtime_error("hotsync.exe does not start");
    const desktop::UniqueFile process(info.hProcess), thread(info.hThread);
    ++tally_.runs;
    if (killAfterMs && WaitForSingleObject(process.get(), *killAfterMs) == WAIT_TIMEOUT)
        TerminateProcess(process.get(), kTerminatedCode);
    if (WaitForSingleObject(process.get(), 600000) != WAIT_OBJECT_0) {
        TerminateProcess(process.get(), kTerminatedCode);
        WaitForSingleObject(process.get(), 10000);
    }
    DWORD code = 0;
    GetExitCodeProcess(process.get(), &code);
    return code;
}

// The invariant after any run, killed or not.
void KillTest::Check(const Queue& before, const char* what) {
    const Queue after = harness_.Queue();
    for (const auto& [key, source] : before) {
        const auto kept = after.find(key);
        if (kept != after.end()) {
            if (kept->second != source) {
                ++tally_.badReads;
                std::printf("  %s: %s reads %s\n", what, key.c_str(), kept->second.c_str());
            }
            continue;
        }
        if (!OnlyInItsFolder(key, source)) {
            ++tally_.lost;
            std::printf("  %s: %s left the queue without its card file\n", what, key.c_str());
        }
    }
    for (const auto& [key, source] : after)
        if (!before.count(key)) ++tally_.badReads;
    // The rest of the settings file reads as it was written.
    const std::string file = harness_.SettingsFile();
    char value[256] = {};
    GetPrivateProfileStringA("Setup", "MediaType", "", value, sizeof value, file.c_str());
    if (std::string(value) != "1935960423") {
        ++tally_.badReads;
        std::printf("  %s: [Setup] MediaType reads '%s'\n", what, value);
    }
}

// Whether the key's file is complete in its own card folder and in none of
// the others that the queue uses.
bool KillTest::OnlyInItsFolder(const std::string& key, const std::string& source) {
    const std::string name = source.substr(source.find_last_of('\\') + 1);
    const std::string& own = folders_.at(key);
    const std::string card = harness_.Desktop().CardFile(1, own + "/" + name);
    if (!PathExists(card) || ReadText(card) != ReadText(source)) return false;
    const char* others[] = {"/Palm/Launcher", "/AUDIO", "/DCIM/K0", "/DCIM/K1", "/DCIM/K2", "/DCIM/K3"};
    for (const char* other : others)
        if (own != other && PathExists(harness_.Desktop().CardFile(1, std::string(other) + "/" + name))) {
            std::printf("  %s also reached %s\n", key.c_str(), other);
            return false;
        }
    return true;
}

int KillTest::Run() {
    Prepare();
    QueueAll();
    std::printf("kill test: %u queued files, seed %u\n", options_.files, options_.seed);

    // Chosen points: the k-th call of each VFS entry in turn, k spread across
    // what is left of the queue, until it is empty.
    const char* entries[] = {"VFSFilePut", "VFSFileDelete", "VFSDirCreate", "VFSFilePut"};
    const unsigned step = std::max(2u, options_.files / std::max(1u, options_.points));
    unsigned k = 1, round = 0;
    while (!harness_.Queue().empty() && !OverBudget()) {
        const Queue before = harness_.Queue();
        harness_.Desktop().ClearSwitches();
        harness_.Desktop().ExitAt(entries[round % 4], k);
        const auto started = Clock::now();
        const DWORD code = Sync(std::nullopt);
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - started).count();
        const size_t done = before.size() - harness_.Queue().size();
        // The first run ends before its first copy: what starting costs.
        if (round == 0) msStart_ = ms;
        else if (done > 0) msPerFile_ = std::max(1.0, (ms - msStart_) / static_cast<double>(done));
        if (code == kExitAtCode) ++tally_.killedAtPoints;
        else if (code != 0) {
            ++tally_.crashes;
            std::printf("  a run ended with %lu\n", code);
        }
        Check(before, "chosen point");
        ++round;
        // The first calls one by one, then about `step` files further each
        // run, so that the ends fall across the whole queue.
        k = round < 3 ? k + 1 : step / 2 + 2 + static_cast<unsigned>(random_() % step);
    }
    std::printf("kill test: %u runs ended at chosen VFS calls\n", tally_.killedAtPoints);

    // Random moments over a full queue again.
    harness_.Desktop().ClearSwitches();
    QueueAll();
    unsigned randomDone = 0;
    for (; randomDone < options_.randomRuns && !OverBudget(); ++randomDone) {
        const Queue before = harness_.Queue();
        if (before.empty()) QueueAll();
        const Queue queued = harness_.Queue();
        const double span = msStart_ + msPerFile_ * static_cast<double>(queued.size());
        const DWORD delay = static_cast<DWORD>(std::uniform_real_distribution<double>(0, span)(random_));
        const DWORD code = Sync(delay);
        if (code == kTerminatedCode) ++tally_.killedAtRandom;
        else if (code != 0) {
            ++tally_.crashes;
            std::printf("  a run ended with %lu\n", code);
        }
        Check(queued, "random moment");
    }
    std::printf("kill test: %u of %u runs ended at random moments (N = %u, seed %u)\n", tally_.killedAtRandom,
                randomDone, randomDone, options_.seed);

    // One clean run installs whatever is left; nothing may be missing.
    const Queue rest = harness_.Queue();
    if (Sync(std::nullopt) != 0) ++tally_.crashes;
    Check(rest, "clean run");
    if (!harness_.Queue().empty()) ++tally_.lost;
    for (const auto& [key, source] : all_) {
        if (!OnlyInItsFolder(key, source)) {
            ++tally_.lost;
            std::printf("  %s never reached the card whole\n", key.c_str());
        }
    }
    std::printf("kill test: %u runs, %u killed, %u queued files lost, %u crashes, %u bad reads, %.0f s\n",
                tally_.runs, tally_.killedAtPoints + tally_.killedAtRandom, tally_.lost, tally_.crashes,
                tally_.badReads, std::chrono::duration<double>(Clock::now() - start_).count());
    return tally_.lost == 0 && tally_.crashes == 0 && tally_.badReads == 0 ? 0 : 1;
}

// The outbox's files: a third at its top (to the setup directory), a third
// in AUDIO, a third two levels down in Docs\Trip<n>.
void KillTest::PrepareOutbox() {
    Register();
    outbox_ = outside_.Path() + "Outbox";
    CreateDirectoryA((harness_.Desktop().Folder() + "\\Books").c_str(), nullptr);
    for (const char* folder : {"", "\\AUDIO", "\\Docs", "\\Docs\\Trip0", "\\Docs\\Trip1"})
        CreateDirectoryA((outbox_ + folder).c_str(), nullptr);
    std::uniform_int_distribution<int> size(1, 48 * 1024), byte(0, 255);
    for (unsigned i = 1; i <= options_.files; ++i) {
        std::string contents(static_cast<size_t>(size(random_)), '\0');
        for (char& c : contents) c = static_cast<char>(byte(random_));
        const std::string n = std::to_string(i);
        const std::string relative = i % 3 == 0 ? "o" + n + ".pdb"
                                     : i % 3 == 1 ? "AUDIO\\o" + n + ".mp3"
                                                  : "Docs\\Trip" + std::to_string(i % 2) + "\\o" + n + ".txt";
        std::string card = "/" + relative;
        for (char& c : card)
            if (c == '\\') c = '/';
        outboxFiles_[relative] = i % 3 == 0 ? "/Palm/Launcher" + card : card;
        WriteText(outbox_ + "\\" + relative, contents);
        // Saved a minute ago: a file written just now waits.
        namespace fs = std::filesystem;
        fs::last_write_time(fs::path(outbox_ + "\\" + relative), fs::file_time_type::clock::now() - std::chrono::minutes(1));
        WriteText(harness_.Desktop().Folder() + "\\Books\\" + n, contents);  // what the file must hold
    }
    harness_.Settings(SyncHarness::Setup() + "[Outbox]\r\nFolder=" + outbox_ + "\r\n");
}

void KillTest::CheckOutbox(const char* what) {
    std::map<std::string, std::string> queued;  // folded source paths
    for (const auto& [key, source] : harness_.Queue()) {
        std::string folded = source;
        for (char& c : folded) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        queued[folded] = key;
    }
    for (const auto& [relative, cardPath] : outboxFiles_) {
        const std::string name = relative.substr(relative.find_last_of('\\') + 1);
        const std::string number = name.substr(1, name.find('.') - 1);
        const std::string contents = ReadText(harness_.Desktop().Folder() + "\\Books\\" + number);
        const std::string inOutbox = outbox_ + "\\" + relative, inSent = outbox_ + "\\Sent\\" + relative;
        const bool waiting = PathExists(inOutbox), sent = PathExists(inSent);
        if (waiting == sent) {
            ++tally_.lost;
            std::printf("  %s: %s is %s\n", what, relative.c_str(), sent ? "in Sent and in the outbox" : "gone");
            continue;
        }
        if (ReadText(sent ? inSent : inOutbox) != contents) {
            ++tally_.lost;
            std::printf("  %s: %s changed\n", what, relative.c_str());
        }
        const std::string card = harness_.Desktop().CardFile(1, cardPath);
        if (sent && (!PathExists(card) || ReadText(card) != contents)) {
            ++tally_.lost;
            std::printf("  %s: %s is in Sent but not whole on the card\n", what, relative.c_str());
        }
    }
    // A key whose file moved on would fail at every HotSync.
    for (const auto& [source, key] : queued)
        if (!PathExists(source)) {
            ++tally_.badReads;
            std::printf("  %s: %s names %s, which is not in the outbox\n", what, key.c_str(), source.c_str());
        }
    char value[256] = {};
    GetPrivateProfileStringA("Setup", "MediaType", "", value, sizeof value, harness_.SettingsFile().c_str());
    if (std::string(value) != "1935960423") ++tally_.badReads;
}

int KillTest::RunOutbox() {
    PrepareOutbox();
    std::printf("kill test: %u files in the outbox, seed %u\n", options_.files, options_.seed);
    const char* entries[] = {"VFSFilePut", "VFSFileDelete", "VFSDirCreate", "VFSFilePut"};
    const unsigned step = std::max(2u, options_.files / std::max(1u, options_.points));
    const auto left = [&] {
        unsigned count = 0;
        for (const auto& [relative, card] : outboxFiles_) count += PathExists(outbox_ + "\\" + relative) ? 1 : 0;
        return count;
    };
    unsigned k = 1, round = 0;
    for (; left() > 0 && round < options_.points && !OverBudget(); ++round) {
        harness_.Desktop().ClearSwitches();
        harness_.Desktop().ExitAt(entries[round % 4], k);
        const auto started = Clock::now();
        const DWORD code = Sync(std::nullopt);
        // The first run ends at the first copy: what starting costs.
        if (round == 0) msStart_ = std::chrono::duration<double, std::milli>(Clock::now() - started).count();
        if (code == kExitAtCode) ++tally_.killedAtPoints;
        else if (code != 0) {
            ++tally_.crashes;
            std::printf("  a run ended with %lu\n", code);
        }
        CheckOutbox("chosen point");
        k = round < 3 ? k + 1 : step / 2 + 2 + static_cast<unsigned>(random_() % step);
    }
    // Random moments over a full outbox again: what reached Sent goes back.
    const auto refill = [&] {
        for (const auto& [relative, card] : outboxFiles_)
            MoveFileA((outbox_ + "\\Sent\\" + relative).c_str(), (outbox_ + "\\" + relative).c_str());
    };
    harness_.Desktop().ClearSwitches();
    refill();
    unsigned randomDone = 0;
    for (; randomDone < options_.randomRuns && !OverBudget(); ++randomDone) {
        if (left() == 0) refill();
        const double span = msStart_ + msPerFile_ * static_cast<double>(left()) * 1.2;
        const DWORD code = Sync(static_cast<DWORD>(std::uniform_real_distribution<double>(0, span)(random_)));
        if (code == kTerminatedCode) ++tally_.killedAtRandom;
        else if (code != 0) {
            ++tally_.crashes;
            std::printf("  a run ended with %lu\n", code);
        }
        CheckOutbox("random moment");
    }
    std::printf("kill test: %u runs ended at chosen VFS calls, %u of %u at random moments\n", tally_.killedAtPoints,
                tally_.killedAtRandom, randomDone);
    if (Sync(std::nullopt) != 0) ++tally_.crashes;
    CheckOutbox("clean run");
    if (left() > 0 || !harness_.Queue().empty()) {
        ++tally_.lost;
        std::printf("  %u files stayed in the outbox after a clean run\n", left());
    }
    std::printf("kill test: %u runs, %u killed, %u outbox files lost, %u crashes, %u bad reads, %.0f s\n",
                tally_.runs, tally_.killedAtPoints + tally_.killedAtRandom, tally_.lost, tally_.crashes,
                tally_.badReads, std::chrono::duration<double>(Clock::now() - start_).count());
    return tally_.lost == 0 && tally_.crashes == 0 && tally_.badReads == 0 ? 0 : 1;
}

unsigned Number(const char* text) { return static_cast<unsigned>(std::strtoul(text, nullptr, 10)); }

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || (std::strcmp(argv[1], "run") != 0 && std::strcmp(argv[1], "outbox") != 0)) {
        std::fprintf(stderr, "usage: kill_test run|outbox [--files N] [--points P] [--random R] [--seed S] [--budget SECONDS]\n");
        return 2;
    }
    Options options;
    if (std::strcmp(argv[1], "outbox") == 0) {
        options.outbox = true;
        options.files = 200;
    }
    for (int i = 2; i + 1 < argc; i += 2) {
        const std::string flag = argv[i];
        if (flag == "--files") options.files = std::max(1u, Number(argv[i + 1]));
        else if (flag == "--points") options.points = Number(argv[i + 1]);
        else if (flag == "--random") options.randomRuns = Number(argv[i + 1]);
        else if (flag == "--seed") options.seed = Number(argv[i + 1]);
        else if (flag == "--budget") options.budgetSeconds = Number(argv[i + 1]);
    }
    try {
        KillTest test(options);
        const int code = options.outbox ? test.RunOutbox() : test.Run();
        std::fflush(stdout);
        return code;
    } catch (const std::exception& e) {
        std::printf("kill test: %s\n", e.what());
        return 3;
    }
}

// How long a HotSync run takes over a queue of N files of 4 KB, with an empty
// outbox set, through the shipped conduit, side by side with
//   floor: the same stand-in calls made directly in a loop, no conduit;
//   pp:    the same walk done the straightforward way, with the private-
//          profile functions for every read and every key deletion;
//   ini:   the conduit's settings-file work alone (reads, the queue walk's
//          deletions and the tidy-up), without any stand-in call.
// Each kind runs in every round, in a rotating order, and the medians of the
// rounds are compared. A HotSync of an empty queue is also timed with the
// empty outbox and without [Outbox], in turns, several times a round:
//   outbox_cost_ms          what an empty outbox (its rule by identity and
//                           the look into it) adds to one HotSync, in ms
// The last three lines are the ratios that matter:
//   run_vs_floor_10000      run / floor at N = 10,000
//   per_file_10000_vs_1000  the run's cost per file at 10,000 over that at 1,000
//   ini_speedup_10000       (pp - floor) / ini at N = 10,000
//
// Usage: tolvane_bench [ROUNDS]  (default 5)
#include <windows.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "desktop/DesktopLayout.h"
#include "desktop/HostRecords.h"
#include "rtl/IniFiles.h"

namespace {

using desktop::DesktopLayout;

constexpr int kSizes[] = {100, 1000, 10000};
constexpr int kEmptyTurns = 15;  // HotSyncs of an empty queue, with and without the outbox, a round
constexpr size_t kFileSize = 4096;
constexpr const char* kQueue = "InstallToSlot";
constexpr const char* kCardDir = "/Palm/Launcher";

double Now() {
    static const double frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return double(f.QuadPart);
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return double(t.QuadPart) / frequency;
}

void WriteText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

void Fail(const std::string& what) {
    std::fprintf(stderr, "bench: %s\n", what.c_str());
    std::exit(1);
}

unsigned g_progressCalls = 0;
void __cdecl CountProgress(const char*) { ++g_progressCalls; }

using OpenConduitFn = long(__cdecl*)(void(__cdecl*)(const char*), const void*);
using LogAddEntryFn = long(__cdecl*)(const char*, long, long);
using YieldFn = long(__cdecl*)(unsigned short);
using EnumerateFn = long(__cdecl*)(unsigned short*, unsigned short*);
using VolumeInfoFn = long(__cdecl*)(unsigned short, void*);
using DirCreateFn = long(__cdecl*)(unsigned short, const char*);
using FileDeleteFn = long(__cdecl*)(unsigned short, const char*);
using FilePutFn = long(__cdecl*)(unsigned short, const char*, const char*);

template <class Fn>
Fn Entry(const std::string& library, const char* name) {
    const HMODULE module = GetModuleHandleA(library.c_str());
    const auto entry = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    if (!entry) Fail(std::string("no entry ") + name + " in " + library);
    return entry;
}

// The stand-in entries that a run calls, taken from the libraries the
// conduit loaded, so that the floor calls the very same code.
struct StandIns {
    StandIns()
        : log(Entry<LogAddEntryFn>("hslog20.dll", "LogAddEntry")),
          yield(Entry<YieldFn>("sync20.dll", "SyncYieldCycles")),
          enumerate(Entry<EnumerateFn>("VFSAPI.dll", "VFSVolumeEnumerate")),
          info(Entry<VolumeInfoFn>("VFSAPI.dll", "VFSVolumeInfo")),
          dirCreate(Entry<DirCreateFn>("VFSAPI.dll", "VFSDirCreate")),
          fileDelete(Entry<FileDeleteFn>("VFSAPI.dll", "VFSFileDelete")),
          filePut(Entry<FilePutFn>("VFSAPI.dll", "VFSFilePut")) {}

    unsigned short FindVolume() const {
        unsigned short count = 0, refs[8] = {};
        enumerate(&count, nullptr);
        count = std::min<unsigned short>(count, 8);
        enumerate(&count, refs);
        unsigned char record[64] = {};
        info(refs[0], record);
        return refs[0];
    }
    // What the conduit's InstallFile asks of the stand-ins for one file.
    void Install(unsigned short volume, const std::string& source) const {
        const std::string name = source.substr(source.find_last_of('\\') + 1);
        const std::string status = "Installing " + name + " to " + kCardDir;
        CountProgress(status.c_str());
        yield(1);
        dirCreate(volume, kCardDir);
        const std::string target = std::string(kCardDir) + "/" + name;
        fileDelete(volume, target.c_str());
        const long result = filePut(volume, target.c_str(), source.c_str());
        log(result == 0 ? (name + " installed to " + kCardDir).c_str() : ("Error installing " + name).c_str(), -1, 0);
    }

    LogAddEntryFn log;
    YieldFn yield;
    EnumerateFn enumerate;
    VolumeInfoFn info;
    DirCreateFn dirCreate;
    FileDeleteFn fileDelete;
    FilePutFn filePut;
};

bool QueueKey(const std::string& key, unsigned& n) {
    if (key.size() < 3 || (key[0] != 'D' && key[0] != 'd') || (key[1] != 'B' && key[1] != 'b') || key[2] == '0')
        return false;
    const auto [end, error] = std::from_chars(key.data() + 2, key.data() + key.size(), n);
    return error == std::errc() && end == key.data() + key.size();
}

class Bench {
public:
    Bench() : desktop_(DesktopLayout::TempFolder("bench"), Options()) {
        user_ = desktop_.AddUser(1001, "Bench", "Bench") + "\\";
        desktop_.AddVolume(1, desktop::FourCC("sdig"));
        desktop_.SetSyncUser(1001);
        const std::string bin = DesktopLayout::ProgramFolder();
        if (!CopyFileA((bin + "\\bench\\VFSAPI.dll").c_str(), desktop_.LibraryPath("VFSAPI.dll").c_str(), FALSE))
            Fail("cannot place the no-write VFS library");
        const std::string conduitFolder = desktop_.Folder() + "\\Conduit\\";
        CreateDirectoryA(conduitFolder.c_str(), nullptr);
        const std::string conduit = conduitFolder + "Tolvane.dll";
        if (!CopyFileA((bin + "\\Tolvane.dll").c_str(), conduit.c_str(), FALSE)) Fail("cannot place Tolvane.dll");
        settingsFolder_ = user_ + "Tolvane\\";
        CreateDirectoryA(settingsFolder_.c_str(), nullptr);
        MakeSources();
        module_ = LoadLibraryA(conduit.c_str());
        if (!module_) Fail("Tolvane.dll does not load: " + std::to_string(GetLastError()));
        open_ = reinterpret_cast<OpenConduitFn>(reinterpret_cast<void*>(GetProcAddress(module_, "OpenConduit")));
        standIns_ = new StandIns();
    }
    ~Bench() {
        delete standIns_;
        FreeLibrary(module_);
        RemoveDirectoryA(outbox_.c_str());
    }

    double Run(int n, bool withOutbox = true) {
        WriteText(settingsFolder_ + "Tolvane.ini", Settings(n, withOutbox));
        desktop::host::SyncProperties props{};
        std::strncpy(props.pathName, user_.c_str(), sizeof props.pathName - 1);
        g_progressCalls = 0;
        const double start = Now();
        const long result = open_(&CountProgress, &props);
        const double seconds = Now() - start;
        if (result != 0 || g_progressCalls != unsigned(n)) Fail("the run failed");
        if (!rtl::TIniFile(settingsFolder_ + "Tolvane.ini").ReadSection(kQueue).empty()) Fail("the run left keys");
        return seconds;
    }

    double Floor(int n) {
        const double start = Now();
        const unsigned short volume = standIns_->FindVolume();
        for (int i = 1; i <= n; ++i) standIns_->Install(volume, sources_[size_t(i - 1)]);
        return Now() - start;
    }

    // The straightforward walk: a private-profile call for every read and
    // every deletion. The system caches files by name: a fresh one per run.
    double PrivateProfile(int n) {
        const std::string file = settingsFolder_ + "pp" + std::to_string(fresh_++) + ".ini";
        WriteText(file, Settings(n));
        char value[2048];
        const double start = Now();
        GetPrivateProfileStringA("Setup", "Conduit_Enabled", "1", value, sizeof value, file.c_str());
        GetPrivateProfileStringA("Setup", "Directory", kCardDir, value, sizeof value, file.c_str());
        GetPrivateProfileStringA("Setup", "MediaType", "0", value, sizeof value, file.c_str());
        const unsigned short volume = standIns_->FindVolume();
        for (int i = 1;; ++i) {
            const std::string key = "DB" + std::to_string(i);
            if (GetPrivateProfileStringA(kQueue, key.c_str(), "", value, sizeof value, file.c_str()) == 0) break;
            standIns_->Install(volume, value);
            WritePrivateProfileStringA(kQueue, key.c_str(), nullptr, file.c_str());
        }
        const double seconds = Now() - start;
        DeleteFileA(file.c_str());
        return seconds;
    }

    // The conduit's settings-file work of a run, nothing else.
    double Ini(int n) {
        const std::string file = settingsFolder_ + "ini" + std::to_string(fresh_++) + ".ini";
        WriteText(file, Settings(n));
        const double start = Now();
        {
            rtl::TIniFile setup(file);
            setup.ReadBool("Setup", "Conduit_Enabled", true);
            setup.ReadString("Setup", "Directory", kCardDir);
            setup.ReadInteger("Setup", "MediaType", 0);
            rtl::TIniFile ini(file);
            std::vector<unsigned> queued;
            for (const std::string& key : ini.ReadSection(kQueue)) {
                unsigned number = 0;
                if (QueueKey(key, number)) queued.push_back(number);
            }
            std::sort(queued.begin(), queued.end());
            for (const unsigned number : queued) {
                const std::string key = "DB" + std::to_string(number);
                const auto source = ini.ReadValue(kQueue, key);
                if (source) ini.DeleteKeyIfValue(kQueue, key, *source);
            }
            ini.UpdateFile();
        }
        const double seconds = Now() - start;
        DeleteFileA(file.c_str());
        return seconds;
    }

private:
    static desktop::LayoutOptions Options() {
        desktop::LayoutOptions options;
        options.callLog = false;
        return options;
    }
    void MakeSources() {
        const std::string folder = desktop_.Folder() + "\\Books\\";
        CreateDirectoryA(folder.c_str(), nullptr);
        const std::string content(kFileSize, 'b');
        const int most = *std::max_element(std::begin(kSizes), std::end(kSizes));
        for (int i = 1; i <= most; ++i) {
            sources_.push_back(folder + "book" + std::to_string(i) + ".pdb");
            WriteText(sources_.back(), content);
        }
        // Beside the Palm Desktop folder: no outbox may lie in it.
        outbox_ = desktop_.Folder() + "-outbox";
        CreateDirectoryA(outbox_.c_str(), nullptr);
    }
    std::string Settings(int n, bool withOutbox = true) const {
        // An outbox is set, and empty: what it costs a HotSync that finds nothing in it.
        std::string text = "[Setup]\r\nDirectory=/Palm/Launcher\r\nMediaType=1935960423\r\nConduit_Enabled=1\r\n";
        if (withOutbox) text += "[Outbox]\r\nFolder=" + outbox_ + "\r\n";
        text += "[InstallToSlot]\r\n";
        for (int i = 1; i <= n; ++i) text += "DB" + std::to_string(i) + "=" + sources_[size_t(i - 1)] + "\r\n";
        return text;
    }

    DesktopLayout desktop_;
    std::string user_, settingsFolder_;
    std::vector<std::string> sources_;
    std::string outbox_;
    HMODULE module_ = nullptr;
    OpenConduitFn open_ = nullptr;
    StandIns* standIns_ = nullptr;
    int fresh_ = 0;
};

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const char* kinds[] = {"run", "floor", "pp", "ini"};
    std::map<std::string, std::map<int, std::vector<double>>> times;
    try {
        Bench bench;
        for (int round = 0; round < rounds; ++round) {
            for (const int n : kSizes) {
                for (int k = 0; k < 4; ++k) {
                    const std::string kind = kinds[(k + round) % 4];
                    double seconds = 0;
                    if (kind == "run") seconds = bench.Run(n);
                    else if (kind == "floor") seconds = bench.Floor(n);
                    else if (kind == "pp") seconds = bench.PrivateProfile(n);
                    else seconds = bench.Ini(n);
                    times[kind][n].push_back(seconds);
                    std::printf("round %d  N=%-6d %-6s %9.3f s\n", round + 1, n, kind.c_str(), seconds);
                    std::fflush(stdout);
                }
            }
            for (int turn = 0; turn < kEmptyTurns; ++turn) {
                times["outbox"][0].push_back(bench.Run(0, true));
                times["nobox"][0].push_back(bench.Run(0, false));
            }
        }
    } catch (const std::exception& e) {
        Fail(e.what());
    }
    std::printf("\nmedians of %d rounds (ms per file)\n", rounds);
    std::printf("%8s %10s %10s %10s %10s %12s\n", "N", "run", "floor", "pp", "ini", "run-floor");
    std::map<std::string, std::map<int, double>> median;
    for (const auto& [kind, bySize] : times)
        for (const auto& [n, values] : bySize) median[kind][n] = Median(values);
    for (const int n : kSizes) {
        const auto perFile = [&](double seconds) { return seconds * 1000 / n; };
        std::printf("%8d %10.4f %10.4f %10.4f %10.4f %12.4f\n", n, perFile(median["run"][n]),
                    perFile(median["floor"][n]), perFile(median["pp"][n]), perFile(median["ini"][n]),
                    perFile(median["run"][n] - median["floor"][n]));
    }
    const double runVsFloor = median["run"][10000] / median["floor"][10000];
    const double perFileRatio = (median["run"][10000] / 10000) / (median["run"][1000] / 1000);
    const double iniSpeedup = (median["pp"][10000] - median["floor"][10000]) / median["ini"][10000];
    std::printf("\nempty queue: %.2f ms a HotSync with the empty outbox, %.2f ms without one\n",
                median["outbox"][0] * 1000, median["nobox"][0] * 1000);
    std::printf("outbox_cost_ms %.2f\n", (median["outbox"][0] - median["nobox"][0]) * 1000);
    std::printf("run_vs_floor_10000 %.2f\n", runVsFloor);
    std::printf("per_file_10000_vs_1000 %.2f\n", perFileRatio);
    std::printf("ini_speedup_10000 %.1f\n", iniSpeedup);
    return 0;
}

// soak_test [--cycles N] [--warmup W] [--alone A] [--register-every R] [--fault-every F]
//           [--self-test | --self-test-give-back]
//   One long-lived host process on a stand-in desktop: N cycles (default
//   SOAK_CYCLES, else 1000) of loading the shipped Tolvane.dll, asking its
//   name, version and information, a HotSync of four queued files (one of
//   them missing), the setup dialog and the HotSync action dialog closed
//   with OK, Cancel, Esc and the close box in turn, a registration and
//   unregistration every R-th cycle (default 100), and the unload. Every
//   F-th cycle (default 10) one stand-in call fails: a copy, a volume query
//   or a Conduit Manager call in turn. After each HotSync no queued file may
//   be lost.
//   The host holds the Palm Desktop libraries, as a HotSync Manager does,
//   except for the last A cycles (default a tenth of the measured ones, 1
//   to 20): there no Palm Desktop library may stay loaded after the
//   conduit's unload (a load the conduit never freed), as before them every
//   library must still be loaded (a free without its load).
//   The process's handles, GDI and USER objects, private memory, heap bytes
//   in use, modules and TLS slots are sampled after W warm-up cycles
//   (default N/5, at most 50) and before the last A cycles; the last line is
//   their growth in between and the Palm Desktop libraries' count:
//     soak_growth handles=H gdi=G user=U private_kb=P heap_kb=K modules=M tls=T palm_loads=L
//   Exit code 0 when every cycle held and every figure is 0 in either
//   direction (private and heap memory within 64 KiB either way). The
//   figures of the last A cycles, whose library loads bring the stand-ins'
//   own leftovers, are shown apart and not judged.
//   With --self-test every cycle also leaks one object of each kind (and a
//   Palm Desktop library in the last A cycles); with --self-test-give-back
//   objects of each kind taken before the measured cycles are given back
//   during them (and the host lets go of a Palm Desktop library it held).
//   Either exit code is 0 only when every counter shows that change and
//   the verdict fails on it.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <optional>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "conduit/kivHotSyncAction.h"
#include "desktop/HostConduit.h"
#include "tests/integration/ConduitHost.h"
#include "tests/integration/SyncHarness.h"
#include "tests/soak/Counters.h"
#include "tests/soak/GdiCalls.h"
#include "tests/soak/Leaks.h"
#include "tests/support/TestPaths.h"
#include "tests/support/WindowDriver.h"

namespace {

namespace drv = testsupport;
using Queue = std::map<std::string, std::string>;

constexpr char kSetupCaption[] = "Tolvane Conduit";
constexpr char kActionCaption[] = "Change HotSync Action";
constexpr char kRegistrationCaption[] = "Tolvane";
constexpr drv::Millis kDialogWait{60000};
constexpr long kMemoryKbTarget = 64;  // private and heap, either way

struct Options {
    unsigned cycles = 1000;
    unsigned warmup = 0;  // 0: N/5, at most 50
    unsigned alone = 0;   // 0: a tenth of the measured cycles, 1 to 20
    unsigned registerEvery = 100;
    unsigned faultEvery = 10;
    bool selfTest = false;
    bool giveBack = false;

    unsigned FirstAlone() const { return cycles - alone; }
    unsigned Measured() const { return FirstAlone() - warmup; }
};

// One figure of the verdict: its growth and how far it may go either way.
struct Judged {
    const char* counter;
    long growth;
    long tolerance;
    bool Within() const { return growth >= -tolerance && growth <= tolerance; }
};

enum class Fault { None, Copy, VolumeQuery, ConduitManager };
enum class CloseWay { Ok, Cancel, Escape, CloseBox };

const char* const kFaultNames[] = {"none", "a copy", "a volume query", "a Conduit Manager call"};
const char* const kCloseNames[] = {"OK", "Cancel", "Esc", "the close box"};

// The Conduit Manager's turn comes first, so that a warm-up of one fault
// period has shown its message box once: the first box of a process makes
// what every later one reuses.
const Fault kFaultTurns[] = {Fault::ConduitManager, Fault::Copy, Fault::VolumeQuery};

struct CyclePlan {
    Fault fault = Fault::None;
    CloseWay close = CloseWay::Ok;
    bool registers = false;
};

CyclePlan Plan(unsigned cycle, const Options& options) {
    CyclePlan plan;
    plan.close = static_cast<CloseWay>(cycle % 4);
    if (options.faultEvery && cycle % options.faultEvery == options.faultEvery - 1)
        plan.fault = kFaultTurns[(cycle / options.faultEvery) % 3];
    // A failing Conduit Manager call needs a registration to fail in.
    plan.registers = (options.registerEvery && cycle % options.registerEvery == options.registerEvery - 1) ||
                     plan.fault == Fault::ConduitManager;
    return plan;
}

// The conduit's own files, and the one the HotSync must fail on.
const char* const kBooks[] = {"first.pdb", "second.pdb", "third.pdb"};
constexpr char kFailingCopy[] = "second.pdb";

class CapturedOutput {
public:
    CapturedOutput() : previous_(std::cout.rdbuf(text_.rdbuf())) {}
    ~CapturedOutput() { std::cout.rdbuf(previous_); }
    CapturedOutput(const CapturedOutput&) = delete;
    CapturedOutput& operator=(const CapturedOutput&) = delete;
    std::string Text() const { return text_.str(); }

private:
    std::ostringstream text_;
    std::streambuf* previous_;
};

void CloseDialog(const char* caption, CloseWay way) {
    const HWND window = drv::WaitForWindow(caption, kDialogWait);
    switch (way) {
        case CloseWay::Ok: drv::Click(drv::Child(window, "Button", "OK")); break;
        case CloseWay::Cancel: drv::Click(drv::Child(window, "Button", "Cancel")); break;
        case CloseWay::Escape: drv::PressEscape(window); break;
        case CloseWay::CloseBox: drv::PressCloseBox(window); break;
    }
    drv::WaitUntilGone(window, kDialogWait);
}

class Soak {
public:
    explicit Soak(const Options& options);
    int Run();

private:
    static desktop::LayoutOptions Layout();
    void LaySettings();
    void ApplyFault(Fault fault);
    void Cycle(unsigned cycle);
    void Sync(unsigned cycle, const CyclePlan& plan);
    void Configure(unsigned cycle, const desktop::host::LoadedConduit& conduit);
    void Register(unsigned cycle, const CyclePlan& plan, const desktop::host::LoadedConduit& conduit);
    void ShowActionDialog(unsigned cycle, const CyclePlan& plan);
    void Fail(unsigned cycle, const std::string& what);
    void SelfTestStep(unsigned cycle);
    void CountPalmLibraries(unsigned cycle);
    soak::Sample Sample() const { return soak::TakeSample(instances_); }
    std::vector<Judged> Judge(const soak::Sample& growth) const;
    int Verdict(const soak::Sample& growth) const;
    int SelfTestVerdict(const std::vector<Judged>& judged) const;

    Options options_;
    drv::SyncHarness harness_;
    std::vector<std::string> books_;
    std::string missing_, leaks_;
    std::set<HINSTANCE> instances_;
    std::vector<desktop::UniqueModule> palmLibraries_;  // released before the desktop goes
    std::optional<soak::GiveBack> giveBack_;
    long palmLoads_ = 0;  // measured cycles: libraries left loaded (+) or gone while held (-)
    unsigned failures_ = 0;
};

Soak::Soak(const Options& options) : options_(options), harness_("soak", Layout()) {
    harness_.Desktop().AddSlot(1001, 1, desktop::FourCC("sdig"), "SD card");
    for (const char* book : kBooks) books_.push_back(harness_.Source(book));
    missing_ = harness_.Desktop().Folder() + "\\Books\\missing.pdb";
    leaks_ = harness_.Desktop().Folder() + "\\Leaks";
    CreateDirectoryA(leaks_.c_str(), nullptr);
    instances_ = {nullptr, GetModuleHandleA(nullptr)};
    // A HotSync Manager holds the Palm Desktop libraries for as long as it
    // runs, so the conduit's loads only count them up and down: what stays
    // behind is the conduit's. (Each load of a stand-in would leave its own
    // runtime's leftovers.)
    for (const char* file : drv::kPalmLibraryFiles) {
        palmLibraries_.emplace_back(LoadLibraryA(harness_.Desktop().LibraryPath(file).c_str()));
        if (!palmLibraries_.back()) throw std::runtime_error(std::string("cannot load the stand-in ") + file);
    }
}

desktop::LayoutOptions Soak::Layout() {
    desktop::LayoutOptions layout;
    layout.callLog = false;  // a thousand cycles' calls only slow the stand-ins down
    return layout;
}

// The user's settings and a queue of the three books and one missing file.
void Soak::LaySettings() {
    std::string text = drv::SyncHarness::Setup() + "[InstallToSlot]\r\n";
    for (size_t i = 0; i < books_.size(); ++i) text += "DB" + std::to_string(i + 1) + "=" + books_[i] + "\r\n";
    text += "DB" + std::to_string(books_.size() + 1) + "=" + missing_ + "\r\n";
    harness_.Settings(text);
}

void Soak::ApplyFault(Fault fault) {
    desktop::DesktopLayout& desktop = harness_.Desktop();
    desktop.ClearSwitches();
    if (fault == Fault::Copy) desktop.FailCopy(kFailingCopy, 0x2A0F);
    if (fault == Fault::VolumeQuery) desktop.FailEntry("VFSVolumeInfo", 0x2A09);
    if (fault == Fault::ConduitManager) desktop.FailEntry("CmInstallCreator", -1006);
}

void Soak::Fail(unsigned cycle, const std::string& what) {
    if (++failures_ <= 20) std::printf("soak: cycle %u: %s\n", cycle + 1, what.c_str());
}

void Soak::Cycle(unsigned cycle) {
    const CyclePlan plan = Plan(cycle, options_);
    // From here on every load of a library is the conduit's own.
    if (cycle == options_.FirstAlone()) palmLibraries_.clear();
    LaySettings();
    ApplyFault(plan.fault);
    // Started before the load, as a host's user is there before the dialog.
    drv::ModalWatcher watcher([way = plan.close, refused = plan.fault == Fault::ConduitManager] {
        CloseDialog(kSetupCaption, way);
        // A registration that the Conduit Manager refuses says so in a box.
        if (refused) drv::AnswerMessageBox(kRegistrationCaption, "OK", kDialogWait);
        CloseDialog(kActionCaption, way);
    });
    {
        CapturedOutput output;
        desktop::ConduitEntry entry;
        entry.creator = "tVan";
        entry.name = harness_.ConduitPath();
        const desktop::host::LoadedConduit conduit(entry);
        const HMODULE module = GetModuleHandleA(entry.name.c_str());
        if (!conduit || !module) {
            Fail(cycle, "the conduit does not load");
        } else {
            instances_.insert(module);
            for (const std::string& name : soak::CountGdiCalls(module)) Fail(cycle, "uncounted GDI creator " + name);
            conduit.Describe();
            if (output.Text().find("GetConduitName: \"Tolvane\" (0)") == std::string::npos)
                Fail(cycle, "the conduit did not name itself: " + output.Text());
            Sync(cycle, plan);
            Configure(cycle, conduit);
            if (plan.registers) Register(cycle, plan, conduit);
        }
    }
    if (GetModuleHandleA(harness_.ConduitPath().c_str())) Fail(cycle, "Tolvane.dll stayed loaded");
    ShowActionDialog(cycle, plan);
    const std::string driven = watcher.Join();
    if (!driven.empty()) Fail(cycle, "closing the dialogs with " + std::string(kCloseNames[int(plan.close)]) + ": " + driven);
    harness_.Desktop().ClearSwitches();
    if (plan.registers) LaySettings();  // the unregistration removed the user's Tolvane folder
    SelfTestStep(cycle);
    CountPalmLibraries(cycle);
}

void Soak::SelfTestStep(unsigned cycle) {
    const std::string probe = drv::BinDir() + "probe-conduit.dll";
    if (options_.selfTest) {
        soak::LeakOneOfEach(cycle, probe, leaks_);
        if (cycle >= options_.FirstAlone())
            LoadLibraryA(harness_.Desktop().LibraryPath(drv::kPalmLibraryFiles[0]).c_str());
    }
    if (!options_.giveBack) return;
    // Taken in the last warm-up cycle, before the first sample; one is given
    // back at once, so that what a first give-back costs once is paid there.
    if (cycle + 1 == options_.warmup) {
        giveBack_.emplace(options_.Measured() + 1, probe, leaks_);
        giveBack_->GiveOne();
    }
    if (cycle < options_.warmup || cycle >= options_.FirstAlone()) return;
    giveBack_->GiveOne();
    if (cycle + 1 == options_.FirstAlone()) palmLibraries_.front().reset();
}

// After the conduit's unload: while the host holds the libraries each must
// still be loaded; once it does not, none may be.
void Soak::CountPalmLibraries(unsigned cycle) {
    if (cycle < options_.warmup) return;
    const bool held = cycle < options_.FirstAlone();
    long loaded = 0;
    for (const char* file : drv::kPalmLibraryFiles)
        if (GetModuleHandleA(harness_.Desktop().LibraryPath(file).c_str())) ++loaded;
    const long off = loaded - (held ? static_cast<long>(std::size(drv::kPalmLibraryFiles)) : 0);
    if (off && !options_.selfTest && !options_.giveBack)
        Fail(cycle, std::to_string(off < 0 ? -off : off) + " Palm Desktop libraries " +
                        (off < 0 ? "unloaded while the host held them" : "stayed loaded after the conduit's unload"));
    palmLoads_ += off;
}

// The HotSync: the three books reach the card, the missing file stays
// queued with its error line; a failed copy keeps its book queued too, and a
// failed volume query installs nothing. No queued file may be lost.
void Soak::Sync(unsigned cycle, const CyclePlan& plan) {
    const Queue before = harness_.Queue();
    const long result = harness_.Sync();
    if (result != 0) Fail(cycle, "OpenConduit answered " + std::to_string(result));
    const bool perFileErrors = plan.fault != Fault::VolumeQuery;
    const std::string outcome = harness_.QueueOutcome(before, "/Palm/Launcher", perFileErrors);
    if (!outcome.empty()) Fail(cycle, std::string("with ") + kFaultNames[int(plan.fault)] + " failing: " + outcome);
    const size_t expected = plan.fault == Fault::VolumeQuery ? before.size() : plan.fault == Fault::Copy ? 2 : 1;
    const size_t left = harness_.Queue().size();
    if (left != expected)
        Fail(cycle, std::to_string(left) + " files stayed queued, not " + std::to_string(expected) + " (" +
                        kFaultNames[int(plan.fault)] + " failing)");
}

void Soak::Configure(unsigned cycle, const desktop::host::LoadedConduit& conduit) {
    const auto cfg = conduit.Entry<desktop::host::CfgConduitFn>("CfgConduit");
    if (!cfg) return Fail(cycle, "no CfgConduit");
    desktop::host::CfgConduitInfo info{};
    info.infoVersion = 1;
    info.infoSize = sizeof info;
    info.userId = 1001;
    harness_.UserFolder().copy(info.pathName, sizeof info.pathName - 1);
    unsigned long size = sizeof info;
    const long result = cfg(0, &info, &size);
    if (result != 0) Fail(cycle, "CfgConduit answered " + std::to_string(result));
}

void Soak::Register(unsigned cycle, const CyclePlan& plan, const desktop::host::LoadedConduit& conduit) {
    const auto reg = conduit.Entry<drv::RegistrationFn>("DllRegisterServer");
    const auto unreg = conduit.Entry<drv::RegistrationFn>("DllUnregisterServer");
    if (!reg || !unreg) return Fail(cycle, "no registration entries");
    const HRESULT registered = reg();
    const bool cmFails = plan.fault == Fault::ConduitManager;
    if (cmFails ? registered == S_OK : registered != S_OK)
        Fail(cycle, "DllRegisterServer answered " + std::to_string(registered) +
                        (cmFails ? " while the Conduit Manager failed" : ""));
    harness_.Desktop().ClearSwitches();
    // After a refused registration there is no entry to remove.
    const HRESULT unregistered = unreg();
    if (!cmFails && unregistered != S_OK) Fail(cycle, "DllUnregisterServer answered " + std::to_string(unregistered));
}

// The component library's standard dialog, which the shipped conduit never
// shows (it has a setup dialog of its own): this program links its code.
void Soak::ShowActionDialog(unsigned cycle, const CyclePlan& plan) {
    kiv::TkivHotSyncActionDialog dialog(nullptr);
    dialog.ConduitName = "Tolvane";
    const bool confirmed = dialog.Execute();
    if (confirmed != (plan.close == CloseWay::Ok))
        Fail(cycle, std::string("the action dialog closed with ") + kCloseNames[int(plan.close)] +
                        (confirmed ? " confirmed" : " did not confirm"));
}

std::vector<Judged> Soak::Judge(const soak::Sample& growth) const {
    return {
        {"handles", growth.handles, 0},
        {"gdi", growth.gdi, 0},
        {"windows", growth.windows, 0},
        {"classes", growth.classes, 0},
        {"private_kb", static_cast<long>(soak::PrivateKb(growth)), kMemoryKbTarget},
        {"heap_kb", static_cast<long>(growth.heapBytes / 1024), kMemoryKbTarget},
        {"modules", growth.modules, 0},
        {"tls", growth.tlsSlots, 0},
        {"palm_loads", palmLoads_, 0},
    };
}

int Soak::Verdict(const soak::Sample& growth) const {
    if (failures_) std::printf("soak: %u failures\n", failures_);
    const std::vector<Judged> judged = Judge(growth);
    if (options_.selfTest || options_.giveBack) return SelfTestVerdict(judged);
    bool clean = true;
    for (const Judged& figure : judged) {
        if (figure.Within()) continue;
        clean = false;
        std::printf("soak: %s changed by %ld (target: 0%s)\n", figure.counter, figure.growth,
                    figure.tolerance ? (" within " + std::to_string(figure.tolerance) + " either way").c_str() : "");
    }
    return clean && !failures_ ? 0 : 1;
}

// Every counter must show the deliberate change in its direction, at least
// half of it (Wine's own objects move by one or two meanwhile: a handle
// count gives back 6 of 8), and the verdict must fail on it.
int Soak::SelfTestVerdict(const std::vector<Judged>& judged) const {
    const long n = static_cast<long>(options_.Measured());
    const long kb = n * static_cast<long>(soak::kLeakedKbPerCycle);
    const int sign = options_.giveBack ? -1 : 1;
    bool all = true;
    for (const Judged& figure : judged) {
        const bool memory = figure.tolerance != 0;
        const bool palm = std::strcmp(figure.counter, "palm_loads") == 0;
        // A leaked library shows in each of the last cycles; the one the host
        // lets go of, in the last measured cycle.
        const long expected = palm ? (options_.giveBack ? 1 : static_cast<long>(options_.alone)) : memory ? kb : n;
        if (2 * sign * figure.growth >= expected && !figure.Within()) continue;
        all = false;
        std::printf("soak self-test: %s changed by %ld, the deliberate change by %ld\n", figure.counter, figure.growth,
                    sign * expected);
    }
    std::printf("soak self-test: %s\n", all ? "every counter showed the deliberate change and failed the verdict"
                                            : "a counter missed the deliberate change");
    return all && !failures_ ? 0 : 1;
}

int Soak::Run() {
    const auto uncounted = soak::CountGdiCalls(GetModuleHandleA(nullptr));
    if (!uncounted.empty()) throw std::runtime_error("uncounted GDI creator " + uncounted.front());
    std::printf("soak: %u cycles, warm-up %u, the last %u without the host's libraries, registration every %u, a "
                "failing call every %u%s\n",
                options_.cycles, options_.warmup, options_.alone, options_.registerEvery, options_.faultEvery,
                options_.selfTest ? ", self-test" : options_.giveBack ? ", self-test giving back" : "");
    std::fflush(stdout);
    soak::Sample start, end;
    const unsigned progressEvery = std::max(10u, options_.Measured() / 10);
    for (unsigned cycle = 0; cycle < options_.cycles; ++cycle) {
        if (cycle == options_.FirstAlone()) end = Sample();
        Cycle(cycle);
        const unsigned done = cycle + 1;
        if (done == options_.warmup) {
            start = Sample();
        } else if (done > options_.warmup && (done - options_.warmup) % progressEvery == 0 &&
                   done < options_.FirstAlone()) {
            std::printf("soak: cycle %u: %s\n", done, soak::DetailedFigures(soak::Growth(start, Sample())).c_str());
            std::fflush(stdout);
        }
    }
    const soak::Sample growth = soak::Growth(start, end);
    std::printf("soak: after %u cycles: %s\n", options_.FirstAlone(), soak::DetailedFigures(growth).c_str());
    std::printf("soak: the last %u cycles, the host not holding the libraries (not judged): %s\n", options_.alone,
                soak::DetailedFigures(soak::Growth(end, Sample())).c_str());
    const int code = Verdict(growth);
    std::printf("soak_growth %s palm_loads=%ld\n", soak::GrowthFigures(growth).c_str(), palmLoads_);
    std::fflush(stdout);
    return code;
}

unsigned Number(const char* text) { return static_cast<unsigned>(std::strtoul(text, nullptr, 10)); }

Options Parse(int argc, char** argv) {
    Options options;
    if (const char* cycles = std::getenv("SOAK_CYCLES"); cycles && *cycles) options.cycles = Number(cycles);
    for (int i = 1; i < argc; ++i) {
        const std::string flag = argv[i];
        if (flag == "--self-test" || flag == "--self-test-give-back") {
            (flag == "--self-test" ? options.selfTest : options.giveBack) = true;
            continue;
        }
        if (i + 1 >= argc) throw std::invalid_argument("no value after " + flag);
        const unsigned value = Number(argv[++i]);
        if (flag == "--cycles") options.cycles = value;
        else if (flag == "--warmup") options.warmup = value;
        else if (flag == "--alone") options.alone = value;
        else if (flag == "--register-every") options.registerEvery = value;
        else if (flag == "--fault-every") options.faultEvery = value;
        else throw std::invalid_argument("unknown option " + flag);
    }
    if (!options.warmup) options.warmup = std::clamp(options.cycles / 5, 1u, 50u);
    if (options.cycles <= options.warmup + 1) throw std::invalid_argument("no cycles after the warm-up");
    if (!options.alone) options.alone = std::clamp((options.cycles - options.warmup) / 10, 1u, 20u);
    if (options.warmup + options.alone >= options.cycles)
        throw std::invalid_argument("no measured cycles between the warm-up and the last cycles");
    if (options.selfTest && options.giveBack) throw std::invalid_argument("one self-test at a time");
    return options;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return Soak(Parse(argc, argv)).Run();
    } catch (const std::exception& e) {
        std::printf("soak: %s\n", e.what());
        std::printf("usage: soak_test [--cycles N] [--warmup W] [--alone A] [--register-every R] [--fault-every F] "
                    "[--self-test | --self-test-give-back]\n");
        return 3;
    }
}

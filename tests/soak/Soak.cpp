// soak_test [--cycles N] [--warmup W] [--register-every R] [--fault-every F] [--self-test]
//   One long-lived host process on a stand-in desktop: N cycles (default
//   SOAK_CYCLES, else 1000) of loading the shipped Tolvane.dll, asking its
//   name, version and information, a HotSync of four queued files (one of
//   them missing), the setup dialog and the HotSync action dialog closed
//   with OK, Cancel, Esc and the close box in turn, a registration and
//   unregistration every R-th cycle (default 100), and the unload. Every
//   F-th cycle (default 10) one stand-in call fails: a copy, a volume query
//   or a Conduit Manager call in turn. After each HotSync no queued file may
//   be lost. The process's handles, GDI and USER objects, private memory and
//   modules are sampled after W warm-up cycles (default N/5, at most 50) and
//   at the end; the last line is their growth:
//     soak_growth handles=H gdi=G user=U private_kb=P modules=M
//   Exit code 0 when every cycle held and every figure is within target
//   (0, private_kb at most 64; nor may the TLS slots in use grow). With --self-test every cycle also leaks one
//   object of each kind, and the exit code is 0 only when every counter
//   shows that growth.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
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
constexpr long kPrivateKbTarget = 64;

struct Options {
    unsigned cycles = 1000;
    unsigned warmup = 0;  // 0: N/5, at most 50
    unsigned registerEvery = 100;
    unsigned faultEvery = 10;
    bool selfTest = false;
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
    soak::Sample Sample() const { return soak::TakeSample(instances_); }
    int Verdict(const soak::Sample& growth) const;

    Options options_;
    drv::SyncHarness harness_;
    std::vector<std::string> books_;
    std::string missing_, leaks_;
    std::set<HINSTANCE> instances_;
    std::vector<desktop::UniqueModule> palmLibraries_;  // released before the desktop goes
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
    if (options_.selfTest) soak::LeakOneOfEach(cycle, drv::BinDir() + "probe-conduit.dll", leaks_);
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

int Soak::Verdict(const soak::Sample& growth) const {
    if (failures_) std::printf("soak: %u failures\n", failures_);
    if (!options_.selfTest) {
        const bool clean = growth.handles <= 0 && growth.gdi <= 0 && growth.User() <= 0 && growth.modules <= 0 &&
                           growth.tlsSlots <= 0 && soak::PrivateKb(growth) <= kPrivateKbTarget;
        if (!clean) std::printf("soak: the host grew (target: every figure 0, private_kb at most %ld)\n", kPrivateKbTarget);
        return clean && !failures_ ? 0 : 1;
    }
    const long n = static_cast<long>(options_.cycles - options_.warmup);
    const struct {
        const char* counter;
        long seen, leaked;
    } checks[] = {
        {"handles", growth.handles, n},
        {"gdi", growth.gdi, n},
        {"windows", growth.windows, n},
        {"classes", growth.classes, n},
        {"private_kb", static_cast<long>(soak::PrivateKb(growth)), n * long(soak::kLeakedKbPerCycle)},
        {"heap_kb", static_cast<long>(growth.heapBytes / 1024), n * long(soak::kLeakedKbPerCycle)},
        {"modules", growth.modules, n},
        {"tls", growth.tlsSlots, n},
    };
    bool all = true;
    for (const auto& check : checks) {
        if (check.seen >= check.leaked) continue;
        all = false;
        std::printf("soak self-test: %s grew by %ld, the deliberate leak by %ld\n", check.counter, check.seen,
                    check.leaked);
    }
    std::printf("soak self-test: %s\n", all ? "every counter showed the deliberate leak" : "a counter missed the leak");
    return all && !failures_ ? 0 : 1;
}

int Soak::Run() {
    const auto uncounted = soak::CountGdiCalls(GetModuleHandleA(nullptr));
    if (!uncounted.empty()) throw std::runtime_error("uncounted GDI creator " + uncounted.front());
    std::printf("soak: %u cycles, warm-up %u, registration every %u, a failing call every %u%s\n", options_.cycles,
                options_.warmup, options_.registerEvery, options_.faultEvery, options_.selfTest ? ", self-test" : "");
    std::fflush(stdout);
    soak::Sample start;
    const unsigned progressEvery = std::max(10u, options_.cycles / 10);
    for (unsigned cycle = 0; cycle < options_.cycles; ++cycle) {
        Cycle(cycle);
        const unsigned done = cycle + 1;
        if (done == options_.warmup) {
            start = Sample();
        } else if (done > options_.warmup && (done - options_.warmup) % progressEvery == 0 && done < options_.cycles) {
            std::printf("soak: cycle %u: %s\n", done, soak::DetailedFigures(soak::Growth(start, Sample())).c_str());
            std::fflush(stdout);
        }
    }
    const soak::Sample growth = soak::Growth(start, Sample());
    std::printf("soak: after %u cycles: %s\n", options_.cycles, soak::DetailedFigures(growth).c_str());
    const int code = Verdict(growth);
    std::printf("soak_growth %s\n", soak::GrowthFigures(growth).c_str());
    std::fflush(stdout);
    return code;
}

unsigned Number(const char* text) { return static_cast<unsigned>(std::strtoul(text, nullptr, 10)); }

Options Parse(int argc, char** argv) {
    Options options;
    if (const char* cycles = std::getenv("SOAK_CYCLES"); cycles && *cycles) options.cycles = Number(cycles);
    for (int i = 1; i < argc; ++i) {
        const std::string flag = argv[i];
        if (flag == "--self-test") {
            options.selfTest = true;
            continue;
        }
        if (i + 1 >= argc) throw std::invalid_argument("no value after " + flag);
        const unsigned value = Number(argv[++i]);
        if (flag == "--cycles") options.cycles = value;
        else if (flag == "--warmup") options.warmup = value;
        else if (flag == "--register-every") options.registerEvery = value;
        else if (flag == "--fault-every") options.faultEvery = value;
        else throw std::invalid_argument("unknown option " + flag);
    }
    if (!options.warmup) options.warmup = std::clamp(options.cycles / 5, 1u, 50u);
    if (options.cycles <= options.warmup) throw std::invalid_argument("no cycles after the warm-up");
    return options;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return Soak(Parse(argc, argv)).Run();
    } catch (const std::exception& e) {
        std::printf("soak: %s\n", e.what());
        std::printf("usage: soak_test [--cycles N] [--warmup W] [--register-every R] [--fault-every F] [--self-test]\n");
        return 3;
    }
}

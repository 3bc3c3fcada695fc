// How long the queue window takes from its start to the first painted list,
// for a queue of 100 and of 10,000 files. The program is started as the
// Start menu starts it; it counts as painted once it waits for input with
// nothing left to do (WaitForInputIdle: its first paint is done) and its
// list holds every entry (a start slowed by load is waited for, up to two
// minutes). Medians of ROUNDS starts each; the last line is
// the ratio 10,000 / 100, which a virtual list keeps near 1.
//
// Usage: queue_window_bench [ROUNDS]  (default 5)
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "bench/BenchSupport.h"
#include "desktop/DesktopLayout.h"
#include "rtl/WinHandles.h"

namespace {

using desktop::DesktopLayout;

constexpr int kSizes[] = {100, 10000};

using bench::Now;

[[noreturn]] void Fail(const std::string& what) { bench::Fail("queue window bench", what); }

// N small files and a settings file that queues them, written at once.
void LayOutQueue(const std::string& userFolder, const std::string& books, int count) {
    CreateDirectoryA(books.c_str(), nullptr);
    CreateDirectoryA((userFolder + "\\Tolvane").c_str(), nullptr);
    std::string ini = "[Setup]\r\nConduit_Enabled=1\r\nDirectory=/Palm/Launcher\r\nMediaType=1935960423\r\n"
                      "[InstallToSlot]\r\n";
    for (int i = 1; i <= count; ++i) {
        const std::string file = books + "\\book" + std::to_string(i) + ".pdb";
        std::ofstream(file, std::ios::binary) << "a book of a few bytes";
        ini += "DB" + std::to_string(i) + "=" + file + "\r\n";
    }
    std::ofstream(userFolder + "\\Tolvane\\Tolvane.ini", std::ios::binary) << ini;
}

struct FindList {
    DWORD processId;
    HWND list = nullptr;
};

BOOL CALLBACK FindListOf(HWND window, LPARAM param) noexcept {
    auto* search = reinterpret_cast<FindList*>(param);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (processId != search->processId) return TRUE;
    search->list = FindWindowExA(window, nullptr, WC_LISTVIEWA, nullptr);
    return search->list == nullptr;
}

struct SeenWindows {
    DWORD processId;
    std::string text;
};

BOOL CALLBACK NoteWindowOf(HWND window, LPARAM param) noexcept {
    auto* seen = reinterpret_cast<SeenWindows*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != seen->processId) return TRUE;
    char name[64] = {}, caption[256] = {};
    GetClassNameA(window, name, sizeof name);
    GetWindowTextA(window, caption, sizeof caption);
    seen->text += std::string("[") + name + " \"" + caption + "\"" + (IsWindowVisible(window) ? " shown" : "") + "] ";
    return TRUE;
}

// The class and caption of each top-level window of a process, so that a
// failed start says what showed instead of the list (a message box, ...).
std::string WindowsOf(DWORD processId) {
    SeenWindows seen{processId, ""};
    EnumWindows(&NoteWindowOf, reinterpret_cast<LPARAM>(&seen));
    return seen.text.empty() ? "none" : seen.text;
}

// A start slowed by other work on the machine is measured, not failed:
// the window has this long to show its list.
constexpr double kStartDeadlineSeconds = 120;

// The window's list view once it holds `count` entries, else nullptr.
HWND FullList(DWORD processId, int count) {
    FindList search{processId};
    EnumWindows(&FindListOf, reinterpret_cast<LPARAM>(&search));
    DWORD_PTR items = 0;
    if (!search.list ||
        !SendMessageTimeoutA(search.list, LVM_GETITEMCOUNT, 0, 0, SMTO_ABORTIFHUNG, 1000, &items) ||
        items != static_cast<DWORD_PTR>(count))
        return nullptr;
    return search.list;
}

// Seconds from the start to the first painted list of `count` entries: the
// list holds every entry and the program waits for input with nothing left
// to do. Polled every few milliseconds, which the second-long starts hardly
// feel.
double TimeToFirstList(const std::string& program, int count) {
    std::string command = "\"" + program + "\" --user Alice";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    const double start = Now();
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        Fail("cannot start " + program);
    const rtl::UniqueKernelHandle process(info.hProcess), thread(info.hThread);
    HWND list = nullptr;
    while (!(WaitForInputIdle(process.get(), 50) == 0 && (list = FullList(info.dwProcessId, count)))) {
        if (WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0) Fail("the window's program ended at its start");
        if (Now() - start > kStartDeadlineSeconds)
            Fail("no list of " + std::to_string(count) + " entries in the window after " +
                 std::to_string(static_cast<int>(kStartDeadlineSeconds)) + " s; its windows: " +
                 WindowsOf(info.dwProcessId));
        Sleep(5);
    }
    const double elapsed = Now() - start;
    PostMessageA(GetAncestor(list, GA_ROOT), WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process.get(), 30000) != WAIT_OBJECT_0) Fail("the window did not close");
    return elapsed;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    std::vector<double> medians;
    for (const int count : kSizes) {
        DesktopLayout desktop(DesktopLayout::TempFolder("windowbench"));
        const std::string alice = desktop.AddUser(1001, "Alice", "Alice");
        desktop.AddSlot(1001, 1, desktop::FourCC("sdig"), "SD card");
        LayOutQueue(alice, desktop.Folder() + "\\Books", count);
        const std::string program = desktop.Folder() + "\\tolvane-queue-window.exe";
        if (!CopyFileA((DesktopLayout::ProgramFolder() + "\\tolvane-queue-window.exe").c_str(), program.c_str(), FALSE))
            Fail("cannot copy the window's program");
        TimeToFirstList(program, count);  // the first start warms Wine's caches
        std::vector<double> times;
        for (int round = 0; round < rounds; ++round) times.push_back(TimeToFirstList(program, count));
        medians.push_back(Median(times));
        std::printf("first_list_%d_ms %.0f\n", count, medians.back() * 1000);
    }
    std::printf("first_list_10000_vs_100 %.2f\n", medians[1] / medians[0]);
    return 0;
}

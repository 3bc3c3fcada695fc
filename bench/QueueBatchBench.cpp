// How long the queue programs take over a batch of files: queuing 100 and
// 1,000 files in one go, as a drop on the queue window, Send To and the
// tool's add do (every file judged, then one pass over the settings file),
// and taking 1,800 entries off the queue, as the window's Remove does; each
// beside its floor in the same round: the same number of files opened for
// reading and closed, plus one write of a settings file of the size the
// batch leaves. Medians of ROUNDS rounds; the last three lines are the
// ratios that matter:
//   drop_1000_vs_floor          queuing 1,000 files / its floor
//   remove_1800_vs_floor        taking 1,800 entries off / its floor
//   drop_per_file_1000_vs_100   the cost per file queued at 1,000 over that at 100
//
// Usage: queue_batch_bench [ROUNDS]  (default 5)
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <optional>
#include <vector>

#include "bench/BenchSupport.h"
#include "desktop/DesktopLayout.h"
#include "rtl/AnsiText.h"
#include "tools/queue/DesktopUsers.h"
#include "tools/queue/QueueBatch.h"
#include "tools/queue/QueueFile.h"

namespace {

using desktop::DesktopLayout;

constexpr int kDropSizes[] = {100, 1000};
constexpr int kRemoved = 1800;

using bench::Now;

[[noreturn]] void Fail(const std::string& what) { bench::Fail("queue batch bench", what); }

double Seconds(const std::function<void()>& work) {
    const double start = Now();
    work();
    return Now() - start;
}

std::vector<std::string> MakeBooks(const std::string& folder, int count) {
    CreateDirectoryA(folder.c_str(), nullptr);
    std::vector<std::string> books;
    for (int i = 1; i <= count; ++i) {
        books.push_back(folder + "\\book" + std::to_string(i) + ".pdb");
        std::ofstream(books.back(), std::ios::binary) << "a book of a few bytes";
    }
    return books;
}

uint64_t SizeOf(const std::string& file) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(file.c_str(), GetFileExInfoStandard, &data)) Fail("no " + file);
    return (uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// The floor: each file opened for reading and closed, and one settings file
// of `bytes` written, flushed and put in place.
void Floor(const std::vector<std::string>& files, uint64_t bytes, const std::string& scratch) {
    for (const std::string& file : files) {
        const HANDLE handle = CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                          FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE) Fail("cannot open " + file);
        CloseHandle(handle);
    }
    const std::string text(static_cast<size_t>(bytes), 'x');
    const std::string temp = scratch + ".tmp";
    const HANDLE out = CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE) Fail("cannot write " + temp);
    DWORD written = 0;
    WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    FlushFileBuffers(out);
    CloseHandle(out);
    MoveFileExA(temp.c_str(), scratch.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

class BatchBench {
public:
    BatchBench() : desktop_(DesktopLayout::TempFolder("batchbench")) {
        userFolder_ = desktop_.AddUser(1001, "Alice", "Alice");
        desktop_.AddSlot(1001, 1, desktop::FourCC("sdig"), "SD card");
        settings_ = userFolder_ + "\\Tolvane\\Tolvane.ini";
        scratch_ = desktop_.Folder() + "\\scratch.ini";
        user_.name = "Alice";
        user_.firstSlotMediaType = desktop::FourCC("sdig");
        for (const int count : kDropSizes)
            books_[count] = MakeBooks(desktop_.Folder() + "\\Books" + std::to_string(count), count);
        books_[kRemoved] = MakeBooks(desktop_.Folder() + "\\Queued", kRemoved);
    }

    void Round(int round) {
        for (const int count : kDropSizes) {
            DeleteFileA(settings_.c_str());
            std::vector<std::wstring> given;
            for (const std::string& book : books_[count]) given.push_back(rtl::WideFromAnsi(book));
            queuetool::QueueFile queue(settings_);
            const double drop = Seconds([&] {
                const auto outcome = queuetool::AddFiles(queue, user_, given);
                if (outcome.Count(queuetool::FileOutcome::Kind::kQueued) != given.size()) Fail("a drop queued too few");
            });
            const uint64_t bytes = SizeOf(settings_);
            const double floor = Seconds([&] { Floor(books_[count], bytes, scratch_); });
            Note(round, "drop_" + std::to_string(count), drop, floor);
        }
        DeleteFileA(settings_.c_str());
        queuetool::QueueFile queue(settings_);
        std::vector<queuetool::QueueFile::NewFile> files;
        for (const std::string& book : books_[kRemoved]) files.push_back({book, std::nullopt});
        std::vector<std::string> keys;
        for (const auto& added : queue.AddAll(files, {})) keys.push_back(added.key);
        const double remove = Seconds([&] {
            const auto removed = queue.RemoveAll(keys);
            if (std::count(removed.begin(), removed.end(), true) != kRemoved) Fail("a removal took too few");
        });
        const double floor = Seconds([&] { Floor(books_[kRemoved], SizeOf(settings_), scratch_); });
        Note(round, "remove_" + std::to_string(kRemoved), remove, floor);
    }

    void Forget() {
        runs_.clear();
        floors_.clear();
    }

    void Report() {
        std::printf("\nmedians (ms)\n%-12s %10s %10s %8s\n", "batch", "run", "floor", "ratio");
        for (const auto& [name, times] : runs_)
            std::printf("%-12s %10.1f %10.1f %8.2f\n", name.c_str(), Median(times) * 1000, Median(floors_[name]) * 1000,
                        Median(times) / Median(floors_[name]));
        const double perFile100 = Median(runs_["drop_100"]) / 100, perFile1000 = Median(runs_["drop_1000"]) / 1000;
        std::printf("\ndrop_1000_vs_floor %.2f\n", Median(runs_["drop_1000"]) / Median(floors_["drop_1000"]));
        std::printf("remove_1800_vs_floor %.2f\n", Median(runs_["remove_1800"]) / Median(floors_["remove_1800"]));
        std::printf("drop_per_file_1000_vs_100 %.2f\n", perFile1000 / perFile100);
    }

private:
    void Note(int round, const std::string& name, double run, double floor) {
        std::printf("round %d  %-12s run %8.1f ms  floor %8.1f ms\n", round + 1, name.c_str(), run * 1000, floor * 1000);
        std::fflush(stdout);
        runs_[name].push_back(run);
        floors_[name].push_back(floor);
    }

    DesktopLayout desktop_;
    std::string userFolder_, settings_, scratch_;
    queuetool::DesktopUser user_;
    std::map<int, std::vector<std::string>> books_;
    std::map<std::string, std::vector<double>> runs_, floors_;
};

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    BatchBench bench;
    bench.Round(-1);  // warms Wine's caches; not counted
    bench.Forget();
    for (int round = 0; round < rounds; ++round) bench.Round(round);
    bench.Report();
    return 0;
}

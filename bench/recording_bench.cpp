// Recording path: AddResult with the journal line, as the box threads call it.
//   bench_recording_bench [folder]   (default: the build folder, on the real disk;
//                                     a tmpfs folder would make every sync free)
// Prints detections per second with the background flusher, the same with four
// threads, the cost of a sync on every line for comparison, and the latency of one
// AddResult in both modes, and how long a line takes to be on disk.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "core/Chrono.h"
#include "core/DetectionJournal.h"
#include "core/DetectionTable.h"

namespace {

using Clock = std::chrono::steady_clock;
using lv::CChrono;
using lv::DetectionTable;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }
double Micros(Clock::duration d) { return std::chrono::duration<double, std::micro>(d).count(); }

struct Latencies {
    double p50 = 0, p99 = 0, max = 0;
};

Latencies Summarise(std::vector<Clock::duration>& samples) {
    Latencies l;
    if (samples.empty()) return l;
    std::sort(samples.begin(), samples.end());
    l.p50 = Micros(samples[samples.size() / 2]);
    l.p99 = Micros(samples[samples.size() * 99 / 100]);
    l.max = Micros(samples.back());
    return l;
}

std::vector<std::string> MakeLabels() {
    std::vector<std::string> labels;
    for (int i = 0; i < 5000; ++i) labels.push_back(std::to_string(100 + i));
    return labels;
}

// `count` records from one thread; returns the elapsed time and fills per-call latencies.
Clock::duration Record(int count, const std::vector<std::string>& labels,
                       std::vector<Clock::duration>* latencies, const std::string& box = "Box1") {
    DetectionTable& table = DetectionTable::Instance();
    const Clock::time_point start = Clock::now();
    for (int i = 0; i < count; ++i) {
        const CChrono instant(1748772303 + i / 100, static_cast<uint16_t>((i % 100) * 10));
        const CChrono ofDay(36000 + i / 100, static_cast<uint16_t>((i % 100) * 10));
        const Clock::time_point before = latencies ? Clock::now() : Clock::time_point{};
        table.AddResult(labels[i % labels.size()], box, instant, ofDay, i % 2 == 0, true);
        if (latencies) latencies->push_back(Clock::now() - before);
    }
    return Clock::now() - start;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string folder = argc > 1 ? argv[1] : LUMIVANE_BUILD_DIR;
    const std::string path = folder + "/recording_bench.dat";
    const auto labels = MakeLabels();
    DetectionTable& table = DetectionTable::Instance();
    lv::DetectionJournal& journal = table.Journal();

    std::printf("Recording path benchmark, journal %s\n", path.c_str());

    // 1. Background flusher, one thread.
    std::filesystem::remove(path);
    journal.Open(path);
    constexpr int kRecords = 200000;
    const std::size_t syncsBefore = journal.SyncCount();
    const Clock::duration elapsed = Record(kRecords, labels, nullptr);
    const Clock::time_point drainStart = Clock::now();
    journal.WaitUntilSynced(10000);
    const Clock::duration drain = Clock::now() - drainStart;
    std::printf("flusher, 1 thread : %d records in %.3f s = %.0f detections/s "
                "(%zu syncs meanwhile, last sync done %.1f ms after the last line)\n",
                kRecords, Seconds(elapsed), kRecords / Seconds(elapsed),
                journal.SyncCount() - syncsBefore, Micros(drain) / 1000.0);
    journal.Close();
    table.ClearTable();

    // 2. Background flusher, four box threads at once.
    std::filesystem::remove(path);
    journal.Open(path);
    {
        constexpr int kThreads = 4;
        std::vector<std::thread> threads;
        const Clock::time_point start = Clock::now();
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([&labels, t] {
                Record(kRecords / kThreads, labels, nullptr, "Box" + std::to_string(t + 1));
            });
        }
        for (std::thread& t : threads) t.join();
        const Clock::duration all = Clock::now() - start;
        std::printf("flusher, 4 threads: %d records in %.3f s = %.0f detections/s\n", kRecords,
                    Seconds(all), kRecords / Seconds(all));
    }
    journal.Close();
    table.ClearTable();

    // 3. Per-call latency at a race's pace (one detection every 2 ms), flusher mode.
    std::filesystem::remove(path);
    journal.Open(path);
    {
        std::vector<Clock::duration> samples, onDisk;
        for (int i = 0; i < 2000; ++i) {
            const Clock::time_point start = Clock::now();
            Record(1, labels, &samples);
            journal.WaitUntilSynced(10000);
            onDisk.push_back(Clock::now() - start);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        Latencies l = Summarise(samples);
        Latencies d = Summarise(onDisk);
        std::printf("flusher, paced    : AddResult p50 %.1f us, p99 %.1f us, max %.1f us; "
                    "line on disk after p50 %.2f ms, p99 %.2f ms, max %.2f ms\n",
                    l.p50, l.p99, l.max, d.p50 / 1000, d.p99 / 1000, d.max / 1000);
    }
    journal.Close();
    table.ClearTable();

    // 4. A sync on every line, for comparison.
    std::filesystem::remove(path);
    journal.SetSyncEachLine(true);
    journal.Open(path);
    {
        constexpr int kSyncRecords = 2000;
        std::vector<Clock::duration> samples;
        samples.reserve(kSyncRecords);
        const Clock::duration all = Record(kSyncRecords, labels, &samples);
        Latencies l = Summarise(samples);
        std::printf("fdatasync per line: %d records in %.3f s = %.0f detections/s; "
                    "AddResult p50 %.1f us, p99 %.1f us, max %.1f us\n",
                    kSyncRecords, Seconds(all), kSyncRecords / Seconds(all), l.p50, l.p99, l.max);
    }
    journal.Close();
    journal.SetSyncEachLine(false);
    table.ClearTable();
    std::filesystem::remove(path);
    return 0;
}

// Detection-lines export of 100,000 detections over 4 detectors, Delta 00:00:30, files
// written and zipped, against the floor: the same lines written with a plain loop.
// Then the UI loop's longest stall while the background export runs on them.
//   bench_export_bench [folder]   (default: a fresh folder under the temporary folder)
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "app/EventLoop.h"
#include "base/Settings.h"
#include "base/SettingsSchema.h"
#include "core/Chrono.h"
#include "core/DetectionTable.h"
#include "export/BackgroundExport.h"
#include "export/LinesExport.h"
#include "export/WorkList.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace lv;

double Millis(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// Processor time of the whole process (every thread), in milliseconds: on a busy
// machine it says what the work costs when the wall clock says how long others ran.
double CpuMillis() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

constexpr int kDetections = 100000;
constexpr int kRunners = 2500;

// Runners lap past 4 detectors, 40 rounds; every fourth read is followed by a second
// read of the same chip 10 s later, which the Delta filter drops.
void FillTable() {
    DetectionTable& table = DetectionTable::Instance();
    table.ClearTable();
    int made = 0;
    for (int round = 0; made < kDetections; ++round) {
        for (int runner = 0; runner < kRunners && made < kDetections; ++runner) {
            const int detector = (round + runner) % 4;
            const int seconds = 9 * 3600 + round * 300 + runner % 240;
            const int reads = runner % 4 == 0 ? 2 : 1;
            for (int read = 0; read < reads && made < kDetections; ++read, ++made) {
                const CChrono ofDay(seconds + read * 10, static_cast<uint16_t>((made * 37) % 1000 / 10 * 10));
                table.AddResult(std::to_string(100 + runner), std::to_string(31 + detector),
                                CChrono(1748772303 + seconds, 0), ofDay, false, false);
            }
        }
    }
}

// The floor: every exported line written with fprintf into one file.
Clock::duration PlainLoop(const std::string& path, std::size_t lines) {
    const Clock::time_point start = Clock::now();
    std::vector<CQoxResult> copy;
    DetectionTable::Instance().WithRecords([&](const std::deque<CQoxResult>& records) {
        copy.assign(records.begin(), records.end());
    });
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return Clock::duration::zero();
    for (std::size_t i = 0; i < lines && i < copy.size(); ++i) {
        const CQoxResult& r = copy[i];
        std::fprintf(file, "%zu\t%s\t%s\t%d\t%s\t%d\r\n", i + 1, r.boxName.c_str(), r.label.c_str(), 1,
                     r.timeText.c_str(), r.absoluteTime ? 2 : 1);
    }
    std::fclose(file);
    return Clock::now() - start;
}

std::size_t LinesOf(const std::vector<std::string>& files) {
    std::size_t lines = 0;
    for (const std::string& file : files) {
        FILE* f = std::fopen(file.c_str(), "rb");
        if (!f) continue;
        for (int c; (c = std::fgetc(f)) != EOF;) lines += c == '\n';
        std::fclose(f);
    }
    return lines;
}

}  // namespace

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    std::string folder = argc > 1 ? argv[1] : (fs::temp_directory_path() / "lumivane-export-bench").string();
    fs::remove_all(folder);
    fs::create_directories(folder);
    InstallSettingsFile(folder + "/Lumivane.ini");
    FillTable();

    LinesExportRequest request;
    request.delta.ParseTime("00:00:30");
    request.displayType = DisplayType::PassingTime;
    request.folder = folder;
    request.genericName = "export";

    // Unzipped once to count the lines the floor must write.
    WorkList list;
    BuildWorkList(list, "");
    const ExportOutcome plain = RunLinesExport(list, request);
    const std::size_t lines = LinesOf(plain.created);

    request.zip = true;
    std::vector<double> exportMs, floorMs, exportCpu, floorCpu;
    for (int run = 0; run < 5; ++run) {
        const Clock::time_point start = Clock::now();
        double cpu = CpuMillis();
        WorkList work;
        BuildWorkList(work, "");
        const ExportOutcome outcome = RunLinesExport(work, request);
        exportMs.push_back(Millis(Clock::now() - start));
        exportCpu.push_back(CpuMillis() - cpu);
        if (outcome.created.size() != 1 || !outcome.notCreated.empty()) {
            std::fprintf(stderr, "export failed\n");
            return 1;
        }
        cpu = CpuMillis();
        floorMs.push_back(Millis(PlainLoop(folder + "/floor.txt", lines)));
        floorCpu.push_back(CpuMillis() - cpu);
    }
    std::sort(exportCpu.begin(), exportCpu.end());
    std::sort(floorCpu.begin(), floorCpu.end());
    std::sort(exportMs.begin(), exportMs.end());
    std::sort(floorMs.begin(), floorMs.end());
    std::printf("export of %d detections, 4 detectors, Delta 00:00:30: %zu files, %zu lines\n", kDetections,
                plain.created.size(), lines);
    std::printf("  export with ZIP (work list, numbering, files, archive): median %.1f ms (best %.1f)\n",
                exportMs[2], exportMs[0]);
    std::printf("  floor (same lines, plain fprintf loop):                 median %.1f ms (best %.1f)\n",
                floorMs[2], floorMs[0]);
    std::printf("  ratio: %.2f x the floor (aim: within 3)\n", exportMs[2] / floorMs[2]);
    std::printf("  processor time, all threads: export %.1f ms, floor %.1f ms (%.2f x)\n", exportCpu[2], floorCpu[2],
                exportCpu[2] / floorCpu[2]);

    // Where the time goes: the work list alone, the files without the archive.
    std::vector<double> listMs, filesMs;
    request.zip = false;
    for (int run = 0; run < 5; ++run) {
        Clock::time_point start = Clock::now();
        WorkList work;
        BuildWorkList(work, "");
        listMs.push_back(Millis(Clock::now() - start));
        start = Clock::now();
        RunLinesExport(work, request);
        filesMs.push_back(Millis(Clock::now() - start));
    }
    std::sort(listMs.begin(), listMs.end());
    std::sort(filesMs.begin(), filesMs.end());
    std::printf("  of which: work list %.1f ms, numbering and files %.1f ms, archive the rest\n", listMs[2],
                filesMs[2]);

    // The UI loop during background exports: a 10 ms timer's longest late delivery.
    setting::BackgroundExportOn.Write(true);
    setting::BackgroundExportPeriod.Write(1);
    setting::LinesDelta.Write("00:00:30");
    setting::LinesExportPath.Write(folder);
    setting::LinesGenericFilename.Write("background");
    setting::LinesZip.Write(true);
    EventLoop loop;
    std::atomic<int64_t> fakeMinutes{0};
    const Clock::time_point base = Clock::now();
    BackgroundExport exports(loop, [&] { return base + std::chrono::minutes(fakeMinutes.load()); });
    Clock::duration longest{};
    Clock::time_point last = Clock::now();
    loop.setTimer(1, 10, true, [&] {
        const Clock::time_point now = Clock::now();
        longest = std::max(longest, now - last);
        last = now;
    });
    exports.Start();
    const Clock::time_point end = Clock::now() + std::chrono::seconds(6);
    loop.setTimer(2, 500, true, [&] { fakeMinutes += 2; });
    loop.pumpUntil([&] { return Clock::now() >= end; });
    exports.Stop();
    std::printf("background export: %d exports in 6 s; UI loop's longest gap between 10 ms ticks: %.1f ms "
                "(aim: stall under 100 ms)\n",
                exports.ExportsStarted(), Millis(longest));
    DetectionTable::Instance().ClearTable();
    fs::remove_all(folder);
    return 0;
}

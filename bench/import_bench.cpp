// Reading a decoder output file of 1,000,000 lines: the import's search (fields, dates,
// chip translation, per-day summary, range, purge) against a plain count of the same
// file's lines in the same run. The aim is to stay within 5 times the plain read.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

#include "core/ChipTable.h"
#include "import/DecoderFileSearch.h"
#include "support/TempFolder.h"

namespace {

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// CPU time of this thread: on a machine shared with builds the wall time of a short
// read says more about the neighbours than about the read.
double CpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// 3000 runners passing over two days, each passing read three times 11 ms apart (the
// purge keeps one read in three), a marker now and then, a few damaged lines.
void WriteDecoderFile(const std::string& path, int lines) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        std::perror(path.c_str());
        std::exit(1);
    }
    long ms = 8L * 3600 * 1000;
    for (int i = 0; i < lines; ++i) {
        if (i % 50000 == 49999) {
            std::fprintf(file, "GMark-20240512%02ld%02ld00 wave %d\r\n", ms / 3600000 % 24, ms / 60000 % 60, i);
            continue;
        }
        if (i % 100000 == 77) {
            std::fprintf(file, "%d;damaged line\r\n", i);
            continue;
        }
        const int runner = ((i / 3) * 7919) % 3000;
        ms += (i % 3 == 0) ? 37 : 11;
        const long day = ms / 86400000;
        const long t = ms % 86400000;
        std::fprintf(file, "%d;CHIP%05d;2024-05-%02ld;%02ld:%02ld:%02ld.%03ld;0;0;1;2;3;4;5;6;7;8;9;10;D1\r\n", i, runner,
                     12 + day, t / 3600000, t / 60000 % 60, t / 1000 % 60, t % 1000);
    }
    std::fclose(file);
}

// The plain read: every line counted, nothing else.
long CountLines(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return -1;
    char buffer[512];
    long count = 0;
    while (std::fgets(buffer, sizeof buffer, file)) ++count;
    std::fclose(file);
    return count;
}

}  // namespace

int main(int argc, char** argv) {
    setenv("TZ", "Europe/Paris", 1);
    tzset();
    const int lines = argc > 1 ? std::atoi(argv[1]) : 1000000;
    lv::test::TempFolder folder;
    const std::string path = folder / "passings.txt";
    WriteDecoderFile(path, lines);
    for (int r = 0; r < 3000; r += 2) lv::AddChip("CHIP" + std::to_string(100000 + r).substr(1), 1000 + r);

    lv::DecoderFileSearchRequest request;
    request.path = path;
    request.rangeStart.ParseDateTimeCompact("20240512", "000000", 0);
    request.rangeEnd.ParseDateTimeCompact("20240513", "235959", 0);
    request.todayCompact = "20240512";

    // Warm the page cache so both reads start alike.
    CountLines(path);
    // The best of three runs of each, alternated.
    double plain = 1e9, plainCpu = 1e9, search = 1e9, searchCpu = 1e9;
    long counted = 0;
    lv::DecoderFileSearchResult result;
    for (int run = 0; run < 3; ++run) {
        auto start = std::chrono::steady_clock::now();
        double cpu = CpuSeconds();
        counted = CountLines(path);
        plain = std::min(plain, Seconds(start));
        plainCpu = std::min(plainCpu, CpuSeconds() - cpu);

        start = std::chrono::steady_clock::now();
        cpu = CpuSeconds();
        result = lv::SearchDecoderFile(request, nullptr, nullptr);
        search = std::min(search, Seconds(start));
        searchCpu = std::min(searchCpu, CpuSeconds() - cpu);
    }

    std::printf("import_bench: %ld lines\n", counted);
    std::printf("  plain line count          %8.3f s  (cpu %.3f s)\n", plain, plainCpu);
    std::printf("  search + purge            %8.3f s  (cpu %.3f s; %zu detection lines, %zu kept before purge, %zu after, "
                "%zu unknown chips, %zu markers)\n",
                search, searchCpu, result.counts.detectionLines, result.counts.beforePurge, result.detections.size(),
                result.unknownChips.size(), result.counts.markerLines);
    std::printf("  ratio                     %8.2f x  (cpu %.2f x; aim: within 5 x)\n", plain > 0 ? search / plain : 0.0,
                plainCpu > 0 ? searchCpu / plainCpu : 0.0);
    return result.opened ? 0 : 1;
}

// What a full disk costs the journal: detections recorded while every write fails
// (the file size limit of the process stands in for the disk: writes fail with EFBIG),
// then the time to write them once room returns, and the lines lost (always 0).
//   bench_full_disk_bench [folder]   (default: a folder under the build folder)
#include <sys/resource.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "core/Chrono.h"
#include "core/DetectionJournal.h"
#include "core/DetectionTable.h"

namespace {

using Clock = std::chrono::steady_clock;
using lv::CChrono;
using lv::DetectionTable;

constexpr int kDetections = 20000;
constexpr rlim_t kRoomBytes = 256 * 1024;

double Millis(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

bool SetFileSizeLimit(rlim_t limit) {
    rlimit current{};
    if (getrlimit(RLIMIT_FSIZE, &current) != 0) return false;
    current.rlim_cur = limit;
    return setrlimit(RLIMIT_FSIZE, &current) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::filesystem::path folder =
        argc > 1 ? std::filesystem::path(argv[1]) : std::filesystem::path(LUMIVANE_BUILD_DIR) / "bench-full-disk";
    std::filesystem::create_directories(folder);
    const std::string path = (folder / "journal.dat").string();
    std::filesystem::remove(path);
    // A write past the limit fails with EFBIG instead of ending the process.
    std::signal(SIGXFSZ, SIG_IGN);

    DetectionTable& table = DetectionTable::Instance();
    table.ClearTable();
    lv::DetectionJournal& journal = table.Journal();
    journal.Open(path);
    if (!SetFileSizeLimit(kRoomBytes)) {
        std::printf("full disk: cannot set the file size limit, skipped\n");
        return 0;
    }
    const Clock::time_point start = Clock::now();
    std::size_t mostPending = 0;
    for (int i = 0; i < kDetections; ++i) {
        const CChrono instant(1748772303 + i / 100, static_cast<uint16_t>((i % 100) * 10));
        const CChrono ofDay(36000 + i / 100, static_cast<uint16_t>((i % 100) * 10));
        table.AddResult(std::to_string(100 + i % 5000), "31", instant, ofDay, false, true);
        if (journal.PendingLines() > mostPending) mostPending = journal.PendingLines();
    }
    const Clock::duration recording = Clock::now() - start;
    const std::size_t pendingAtEnd = journal.PendingLines();

    SetFileSizeLimit(RLIM_INFINITY);
    const Clock::time_point room = Clock::now();
    while (journal.PendingLines() > 0 && Clock::now() - room < std::chrono::seconds(30)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    const Clock::duration catchUp = Clock::now() - room;
    journal.Close();

    // Every line whole, numbered 1..N in order.
    std::ifstream in(path, std::ios::binary);
    std::string line;
    int expected = 1, torn = 0;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        int number = 0;
        fields >> number;
        if (number != expected || line.empty() || line.back() != '\r') {
            ++torn;
        } else {
            ++expected;
        }
    }
    const int written = expected - 1;
    std::printf("full disk: %d detections recorded in %.0f ms, %zu waiting when the disk was full (most %zu); "
                "written %.0f ms after room returned; lines in the file %d, torn %d, lost %d\n",
                kDetections, Millis(recording), pendingAtEnd, mostPending, Millis(catchUp), written, torn,
                kDetections - written);
    std::filesystem::remove_all(folder);
    return kDetections - written == 0 && torn == 0 ? 0 : 1;
}

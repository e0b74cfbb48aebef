// Intake benchmark: how many pushed passings per second the headless controller takes
// from four decoders on loopback (chip table on, journal flushed, detection lines off),
// against a floor that only reads the same streams and appends each line to a file;
// the delay from a passing's send to its journal line at a steady 2,000 passings/s;
// the resident memory after 1,000,000 recorded detections; and the CPU the program uses
// at a steady 2,000 passings/s over four boxes (what a small board at a timing point
// must afford). Arguments (floor intake latency memory cpu) run some of them only.
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/Environment.h"
#include "app/EventLoop.h"
#include "app/HeadlessView.h"
#include "base/Log.h"
#include "app/MainController.h"
#include "base/Settings.h"
#include "core/ChipTable.h"
#include "core/DetectionJournal.h"
#include "core/DetectionTable.h"
#include "support/LoopbackSockets.h"
#include "support/SimulatorProcess.h"
#include "support/TempFolder.h"
#include "support/UseDataFolder.h"
#include "SendToJournal.h"

using namespace lv;
using lv::bench::HeadlessOptions;
using lv::bench::WriteBoxes;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kBoxes = 4;
constexpr int kPerBox = 50000;
constexpr int kRunners = 5000;

std::string g_dir;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// A decoder simulator pushing `count` passings, as fast as it can (rate 0) or at a
// steady rate; the benchmark stops when one does not start.
std::unique_ptr<test::SimulatorProcess> StartSimulator(int seed, int rate = 0, int count = kPerBox) {
    auto sim = std::make_unique<test::SimulatorProcess>(
        "decoder", std::vector<std::string>{"--rate", std::to_string(rate), "--count", std::to_string(count),
                                            "--runners", std::to_string(kRunners), "--chips",
                                            g_dir + "/TarvexTable.dtb", "--seed", std::to_string(seed), "--date",
                                            "today"});
    if (!sim->Running()) {
        std::fprintf(stderr, "simulator did not start\n");
        std::exit(1);
    }
    return sim;
}

// The floor: read the decoder's stream, append every passing line to a file, flush.
double FloorRate() {
    std::vector<std::unique_ptr<test::SimulatorProcess>> sims;
    for (int i = 0; i < kBoxes; ++i) sims.push_back(StartSimulator(i + 1));
    std::atomic<long> total{0};
    auto start = Clock::now();
    std::vector<std::thread> readers;
    for (int i = 0; i < kBoxes; ++i) {
        readers.emplace_back([&, i] {
            int fd = test::ConnectLoopback(sims[i]->Port());
            if (fd < 0) return;
            const char* init = "SETPROTOCOL;2.0\r\nSTARTOPERATION\r\nSETPUSHPASSINGS;1;0\r\n";
            if (write(fd, init, std::strlen(init)) < 0) return;
            std::FILE* file = std::fopen((g_dir + "/floor" + std::to_string(i) + ".txt").c_str(), "wb");
            std::string pending;
            char buffer[65536];
            int passings = 0;
            while (passings < kPerBox) {
                ssize_t n = read(fd, buffer, sizeof buffer);
                if (n <= 0) break;
                pending.append(buffer, static_cast<size_t>(n));
                size_t begin = 0, end;
                while ((end = pending.find('\n', begin)) != std::string::npos) {
                    if (pending.compare(begin, 2, "#P") == 0) {
                        std::fwrite(pending.data() + begin, 1, end - begin + 1, file);
                        std::fflush(file);
                        ++passings;
                    }
                    begin = end + 1;
                }
                pending.erase(0, begin);
            }
            std::fclose(file);
            close(fd);
            total += passings;
        });
    }
    for (auto& t : readers) t.join();
    double rate = total / Seconds(Clock::now() - start);
    for (auto& sim : sims) sim->Stop();
    return rate;
}

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double IntakeRate(long& lost) {
    std::vector<std::unique_ptr<test::SimulatorProcess>> sims;
    std::vector<int> ports;
    for (int i = 0; i < kBoxes; ++i) {
        sims.push_back(StartSimulator(i + 1));
        ports.push_back(sims.back()->Port());
    }
    WriteBoxes(ports);
    std::FILE* devnull = std::fopen("/dev/null", "w");
    EventLoop loop;
    HeadlessView view(devnull);
    double rate;
    {
        MainController controller(loop, view, HeadlessOptions());
        controller.LoadBoxDeclarations();
        controller.Open();
        auto start = Clock::now();
        controller.ConnectAllBoxes();
        const size_t expected = static_cast<size_t>(kBoxes) * kPerBox;
        auto deadline = start + std::chrono::seconds(120);
        loop.pumpUntil([&] { return DetectionTable::Instance().Count() >= expected || Clock::now() > deadline; });
        auto elapsed = Clock::now() - start;
        size_t got = DetectionTable::Instance().Count();
        lost = static_cast<long>(expected) - static_cast<long>(got);
        rate = got / Seconds(elapsed);
        controller.Exit(true);
        loop.processPending();
    }
    std::fclose(devnull);
    for (auto& sim : sims) sim->Stop();
    DetectionTable::Instance().ClearTable();
    return rate;
}

// The CPU this process (every thread of it: box threads, UI loop, journal flusher;
// the simulators are other processes) uses while four boxes push `ratePerSecond`
// passings in all, as a percentage of one core, over `seconds` of steady intake.
// `received` is the rate that came in meanwhile, to show the pace held.
double CpuAtSteadyRate(int ratePerSecond, int seconds, double& received) {
    const int perBox = ratePerSecond / kBoxes;
    const int warmUpSeconds = 1;
    // Enough for the warm-up, the measure and a margin: the boxes never run dry.
    const int count = perBox * (warmUpSeconds + seconds + 3);
    std::vector<std::unique_ptr<test::SimulatorProcess>> sims;
    std::vector<int> ports;
    for (int i = 0; i < kBoxes; ++i) {
        sims.push_back(StartSimulator(i + 1, perBox, count));
        ports.push_back(sims.back()->Port());
    }
    WriteBoxes(ports);
    std::FILE* devnull = std::fopen("/dev/null", "w");
    EventLoop loop;
    HeadlessView view(devnull);
    double percent = 0;
    {
        MainController controller(loop, view, HeadlessOptions());
        controller.LoadBoxDeclarations();
        controller.Open();
        controller.ConnectAllBoxes();
        // Connecting and the first passings are not the steady state. The loop runs as
        // the program's own does (woken by its work), not polled by the benchmark.
        loop.runFor(std::chrono::seconds(warmUpSeconds));
        const size_t before = DetectionTable::Instance().Count();
        const double cpuBefore = CpuSeconds();
        const auto start = Clock::now();
        loop.runFor(std::chrono::seconds(seconds));
        const double wall = Seconds(Clock::now() - start);
        percent = 100.0 * (CpuSeconds() - cpuBefore) / wall;
        received = (DetectionTable::Instance().Count() - before) / wall;
        controller.Exit(true);
        loop.processPending();
    }
    std::fclose(devnull);
    for (auto& sim : sims) sim->Stop();
    DetectionTable::Instance().ClearTable();
    return percent;
}

long ResidentKilobytes() {
    std::ifstream status("/proc/self/status");
    std::string word;
    while (status >> word) {
        if (word == "VmRSS:") {
            long kb = 0;
            status >> kb;
            return kb;
        }
    }
    return -1;
}

double MemoryAfterMillion() {
    DetectionTable& table = DetectionTable::Instance();
    table.Journal().Open(MakeSessionFileName());
    CChrono instant(1760000000, 0), ofDay(36000, 0);
    for (int i = 0; i < 1000000; ++i) {
        table.AddResult(std::to_string(i % 20000 + 1), "31", instant, ofDay, false, true);
    }
    table.Journal().Close();
    double mb = ResidentKilobytes() / 1024.0;
    table.ClearTable();
    return mb;
}

}  // namespace

int main(int argc, char** argv) {
    setenv("TZ", "Europe/Paris", 0);
    test::TempFolder folder;
    g_dir = folder.Path();
    test::UseDataFolder(g_dir);
    WriteSettingInt("Settings", "BLogDetections", 0);
    WriteSettingInt("Settings", "GTarvexBeepDetections", 0);
    {
        std::ofstream table(g_dir + "/TarvexTable.dtb");
        for (int bib = 1; bib <= kRunners; ++bib) table << bib << " B" << bib << "\n";
    }
    signal(SIGPIPE, SIG_IGN);

    // Arguments name the measures to run (to profile one of them); none runs them all.
    auto wanted = [&](const char* name) {
        if (argc < 2) return true;
        for (int i = 1; i < argc; ++i) {
            if (std::strcmp(argv[i], name) == 0) return true;
        }
        return false;
    };
    double floor = wanted("floor") ? FloorRate() : 0;
    long lost = 0;
    double intake = wanted("intake") ? IntakeRate(lost) : 0;
    double p99 = wanted("latency") ? bench::SendToJournalP99(2000, 10000) : 0;
    double memory = wanted("memory") ? MemoryAfterMillion() : 0;
    double received = 0;
    double cpu = wanted("cpu") ? CpuAtSteadyRate(2000, 20, received) : 0;

    if (wanted("latency")) std::printf("latency: p99 %.2f ms from send to journal at 2000 passings/s\n", p99);
    if (wanted("memory")) std::printf("memory: %.0f MB resident after 1000000 recorded detections\n", memory);
    if (wanted("cpu")) {
        std::printf("cpu: %.1f %% of one core at 2000 passings/s over 4 boxes (%.0f passings/s received)\n", cpu,
                    received);
    }
    if (wanted("intake") && wanted("floor")) {
        std::printf("intake: %.0f passings/s, floor %.0f passings/s, ratio %.2f, lost %ld\n", intake, floor,
                    floor > 0 ? intake / floor : 0.0, lost);
    } else if (wanted("intake")) {
        std::printf("intake: %.0f passings/s, lost %ld\n", intake, lost);
    } else if (wanted("floor")) {
        std::printf("floor: %.0f passings/s\n", floor);
    }
    std::fflush(stdout);
    return 0;
}

// One box thread taking passings from the decoder simulator as fast as it pushes them,
// with a host that records nothing (the acquisition path alone), then with the log
// file written. Prints passings per second.
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "base/Log.h"
#include "boxes/BoxCommands.h"
#include "boxes/BoxHost.h"
#include "boxes/BoxThread.h"
#include "boxes/TarvexBox.h"
#include "support/SimulatorProcess.h"

namespace {

// The box thread's share alone: every detection handed over is counted, none recorded.
class CountingHost : public lv::BoxHost {
public:
    lv::IntakeSettings CurrentIntakeSettings() const override { return {}; }
    uint64_t IntakeSettingsVersion() const override { return 0; }
    lv::RecordResult Record(const lv::Detection&) override {
        recorded.fetch_add(1);
        lv::RecordResult result;
        result.record = &record;
        return result;
    }
    void ForgetLastReads(int) override {}
    void AlertLine(const std::string& text, bool) override { std::fprintf(stderr, "alert: %s\n", text.c_str()); }
    void PlaySound(lv::Sound) override {}
    void PostBoxState(int, bool) override {}

    std::atomic<long> recorded{0};
    lv::CQoxResult record;
};

double Run(long count) {
    lv::test::SimulatorProcess simulator("decoder", {"--rate", "0", "--count", std::to_string(count), "--runners",
                                                     "2000", "--date", "2024-05-01", "--start", "06:00:00", "--step",
                                                     "10"});
    CountingHost host;
    lv::CTarvexBox box;
    box.number = 1;
    box.AttachHost(&host);
    box.SetParameters("31", "127.0.0.1", simulator.Port());
    if (!lv::InitializeBox(box)) return 0;
    auto start = std::chrono::steady_clock::now();
    lv::StartBoxThread(host, box);
    while (host.recorded.load() < count &&
           std::chrono::steady_clock::now() - start < std::chrono::seconds(120)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    box.cancelRequested = true;
    box.Close();
    box.JoinThread();
    return host.recorded.load() / seconds;
}

}  // namespace

int main() {
    const long count = 100000;
    lv::Logger::Instance().SetFilePath({});
    double bare = Run(count);
    std::printf("one box, no log file: %.0f passings/s\n", bare);
    std::string logFile = "/tmp/lumivane-box-intake-bench.log";
    lv::Logger::Instance().SetFilePath(logFile);
    double logged = Run(count / 4);
    unlink(logFile.c_str());
    std::printf("one box, log file written: %.0f passings/s\n", logged);
    return 0;
}

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
#include "boxes/BoxHost.h"
#include "boxes/BoxThread.h"
#include "boxes/TarvexBox.h"
#include "support/SimulatorProcess.h"

namespace {

class CountingHost : public lv::BoxHost {
public:
    lv::IntakeSettings CurrentIntakeSettings() const override {
        lv::IntakeSettings settings;
        settings.beepDetections = false;
        settings.ignoreInputMsDelta = 0;  // every read counts, whatever the order of the runners
        settings.raceDays = {"20240501", "20240502", "20240503", "20240504"};
        return settings;
    }
    uint64_t IntakeSettingsVersion() const override { return 0; }
    bool LogDetectionsEnabled() const override { return false; }
    const lv::CQoxResult* RecordDetection(const std::string&, const std::string&, const lv::CChrono&,
                                          const lv::CChrono&) override {
        recorded.fetch_add(1);
        return &record;
    }
    void ShowDetection(const std::string&, const lv::CQoxResult*, const lv::CChrono&) override {}
    void RefreshCounters() override {}
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
    if (!box.InitializeBox()) return 0;
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

// Direct connection to the timing application, against "lumivane-sim timingapp" on
// loopback:
//   bench_link_bench
// Prints the answer decoding rate, the round trip of one push to its decoded runner
// answer, the push rate of four box threads, and how long switching the link off
// takes while connected and during the retry pause.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/DirectLinkViewBridge.h"
#include "app/EventLoop.h"
#include "core/DetectionJournal.h"
#include "link/DirectAnswerDecoder.h"
#include "link/DirectLinkSession.h"
#include "support/FakeMainView.h"
#include "support/SimulatorProcess.h"
#include "support/TempFolder.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace lv;

double Millis(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

CQoxResult Push(int bib, int box) {
    CQoxResult record;
    record.label = std::to_string(bib);
    record.boxName = std::to_string(box);
    record.timeText = "10:00:00.00";
    return record;
}

void DecodingRate() {
    const std::string line =
        "gm06\\3\\15.0\\FRA\\Trail 25 km\\12\\3\\1\\157\\Martin\\Anne\\F\\SEF\\Senior Femme\\AC Vanelles\\"
        "01:02:03\\-\\3";
    const int count = 200000;
    auto start = Clock::now();
    std::size_t sink = 0;
    for (int i = 0; i < count; ++i) sink += DecodeDirectResponse(line, Language::French).speech.size();
    double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("decode gm06 runner answer: %.0f answers/s (%zu)\n", count / seconds, sink % 10);
}

}  // namespace

int main() {
    DecodingRate();
    test::SimulatorProcess simulator("timingapp", {"--field", "1000"});
    if (!simulator.Running()) {
        std::fprintf(stderr, "cannot start lumivane-sim (build it first)\n");
        return 1;
    }
    // The detections go through a journal of their own, as the window records them.
    test::TempFolder folder;
    DetectionJournal journal;
    journal.Open(folder / "Lumivane-20260501-100000.dat");
    std::mutex recording;
    std::size_t recorded = 0;
    auto record = [&](const CQoxResult& detection) {
        std::lock_guard<std::mutex> hold(recording);
        journal.WaitWritten(journal.QueueLine(++recorded, DetectionLineFields(detection)));
        return 1;
    };
    EventLoop loop;
    FakeMainView view;
    DirectLinkViewBridge bridge(view);
    DirectLinkSession session(loop, bridge, DirectLinkTimings{}, &journal);
    DirectTarget target{"127.0.0.1", simulator.Port(), 1};
    auto pumpUntil = [&](const std::function<bool()>& done) {
        auto deadline = Clock::now() + std::chrono::seconds(30);
        loop.pumpUntil([&] { return done() || Clock::now() > deadline; });
        return done();
    };

    auto connectStart = Clock::now();
    session.SwitchOn(target);
    pumpUntil([&] { return session.IsConnected(); });
    std::printf("connect to the simulator: %.2f ms\n", Millis(Clock::now() - connectStart));
    loop.runFor(std::chrono::milliseconds(500));  // the information queries and their answers

    // Round trip: push, then wait for the decoded runner answer on the UI thread.
    std::vector<Clock::duration> trips;
    for (int i = 0; i < 300; ++i) {
        std::size_t before = view.summaries.size();
        auto start = Clock::now();
        record(Push(1 + i % 1000, 1));
        if (!pumpUntil([&] { return view.summaries.size() > before; })) break;
        trips.push_back(Clock::now() - start);
    }
    std::sort(trips.begin(), trips.end());
    if (!trips.empty()) {
        std::printf("push -> decoded runner answer: p50 %.3f ms, p99 %.3f ms, max %.3f ms (%zu pushes)\n",
                    Millis(trips[trips.size() / 2]), Millis(trips[trips.size() * 99 / 100]),
                    Millis(trips.back()), trips.size());
    }

    // Four box threads pushing as fast as they can; the UI thread decodes the answers.
    const int perThread = 5000;
    std::size_t before = view.summaries.size();
    std::atomic<int> accepted{0};
    auto start = Clock::now();
    std::vector<std::thread> boxes;
    for (int box = 0; box < 4; ++box) {
        boxes.emplace_back([&, box] {
            for (int n = 0; n < perThread; ++n) accepted += record(Push(1 + (n * 4 + box) % 1000, box));
        });
    }
    for (auto& box : boxes) box.join();
    double pushSeconds = std::chrono::duration<double>(Clock::now() - start).count();
    pumpUntil([&] { return view.summaries.size() >= before + static_cast<std::size_t>(accepted.load()); });
    double allSeconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("4 threads: %d pushes sent at %.0f pushes/s; all answers shown after %.0f ms (%.0f answers/s)\n",
                accepted.load(), accepted.load() / pushSeconds, allSeconds * 1000, accepted.load() / allSeconds);

    auto offStart = Clock::now();
    session.SwitchOff();
    std::printf("switch off while connected: %.2f ms\n", Millis(Clock::now() - offStart));

    // Nothing listens on the simulator's port once it is gone: use a refused port.
    DirectTarget refused{"127.0.0.1", 1, 3600};
    session.SwitchOn(refused);
    pumpUntil([&] { return view.linkStates.size() >= 2 && view.linkStates.back() == LinkVisualState::Off; });
    loop.runFor(std::chrono::milliseconds(100));
    offStart = Clock::now();
    session.SwitchOff();
    std::printf("switch off during a one-hour retry pause: %.2f ms\n", Millis(Clock::now() - offStart));
    return 0;
}

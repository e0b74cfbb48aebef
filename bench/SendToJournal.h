#pragma once
// The delay from a passing's send by a decoder to its line in the journal, measured on
// a headless controller fed by a paced decoder of the benchmark's own: shared by the
// benchmarks that compare it with and without some other load on the program.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "app/EventLoop.h"
#include "app/HeadlessView.h"
#include "app/MainController.h"
#include "base/Settings.h"
#include "core/ChipTable.h"
#include "core/DetectionTable.h"
#include "support/PacedDecoder.h"

namespace lv::bench {

using Clock = std::chrono::steady_clock;

// Notes when each detection has been recorded (journal line written).
struct RecordTimes {
    void Note(const CQoxResult& record) {
        auto now = Clock::now();
        std::lock_guard<std::mutex> guard(lock);
        recordedAt[record.label] = now;
    }
    std::mutex lock;
    std::map<std::string, Clock::time_point> recordedAt;
};

// A headless controller journalling to a fresh session file.
inline ControllerOptions HeadlessOptions() {
    ControllerOptions options;
    options.sessionFileName = MakeSessionFileName();
    return options;
}

// Declares the boxes of the settings file: one per port, the others left undefined.
inline void WriteBoxes(const std::vector<int>& ports) {
    for (int i = 0; i < 4; ++i) {
        bool used = i < static_cast<int>(ports.size());
        WriteSettingText("TarvexBoxes", "BoxHost" + std::to_string(i), used ? "127.0.0.1" : "");
        WriteSettingInt("TarvexBoxes", "BoxPort" + std::to_string(i), used ? ports[i] : 0);
        WriteSettingText("TarvexBoxes", "BoxIdDetector" + std::to_string(i), "31");
    }
}

// What runs beside the measure: `opened` once the controller is open (before the
// boxes connect), `ending` before it exits.
struct SideLoad {
    std::function<void(MainController&)> opened;
    std::function<void()> ending;
};

// The 99th percentile of the send-to-journal delay, in milliseconds, of `count`
// passings sent at `ratePerSecond`; -1 when none was recorded.
inline double SendToJournalP99(int ratePerSecond, int count, const SideLoad& side = {}) {
    test::PacedDecoder decoder(ratePerSecond, count);
    WriteBoxes({decoder.Port()});

    ClearChipTable();  // labels stay chip codes here
    std::FILE* devnull = std::fopen("/dev/null", "w");
    EventLoop loop;
    HeadlessView view(devnull);
    std::vector<double> delays;
    {
        RecordTimes times;
        ControllerOptions options = HeadlessOptions();
        options.recorded = [&times](const CQoxResult& record) { times.Note(record); };
        MainController controller(loop, view, options);
        controller.LoadBoxDeclarations();
        controller.Open();
        if (side.opened) side.opened(controller);
        controller.ConnectAllBoxes();
        auto deadline = Clock::now() + std::chrono::seconds(count / ratePerSecond + 20);
        loop.pumpUntil([&] {
            std::lock_guard<std::mutex> guard(times.lock);
            return times.recordedAt.size() >= static_cast<size_t>(count) || Clock::now() > deadline;
        });
        {
            std::lock_guard<std::mutex> guard(times.lock);
            for (int i = 0; i < decoder.Sent(); ++i) {
                auto it = times.recordedAt.find(test::PacedDecoder::Label(i));
                if (it != times.recordedAt.end())
                    delays.push_back(std::chrono::duration<double, std::milli>(it->second - decoder.SentAt(i)).count());
            }
        }
        if (side.ending) side.ending();
        controller.Exit(true);
        loop.processPending();
    }
    std::fclose(devnull);
    DetectionTable::Instance().ClearTable();
    if (delays.empty()) return -1;
    std::sort(delays.begin(), delays.end());
    return delays[delays.size() * 99 / 100];
}

}  // namespace lv::bench

#pragma once
// Fills the gap a network decoder's outage left. A decoder keeps every read in its own
// stored files; when a box that was lost reads again (after the supervision's
// reconnection or a manual one), the reads between its last read before the loss and
// its first after the return, a few seconds of margin on each side, are fetched from
// those files in the background and recorded through the one way in of detections,
// unless the table holds them already (same label on the same box within the repeat
// window). Live reads never wait for it. A box that cannot give its files is said at
// level 0 and tried again at its next return.
//
// Threads: everything is called on the UI thread; the fetching runs on a worker of its
// own, one box at a time, and its outcome comes back through the UI loop.
#include <array>
#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "base/UiLoop.h"
#include "core/Chrono.h"
#include "core/DetectionRecorder.h"

namespace lv {

class CTarvexBox;

class GapRecovery {
public:
    static constexpr int kBoxes = 4;
    // Read instants of the box's clock are taken this far beyond the gap on each side.
    static constexpr int kMarginSeconds = 3;
    // After the first read of the return, the live reads of the margin are let in first.
    static constexpr int kSettleMs = (kMarginSeconds + 1) * 1000;

    // `box(n)`: box n (1..4); `enabled()`: BRecoverGaps.
    GapRecovery(UiLoop& ui, DetectionRecorder& recorder, std::function<CTarvexBox*(int box)> box,
                std::function<bool()> enabled);
    // Stops a fetching under way and waits for it.
    ~GapRecovery();
    GapRecovery(const GapRecovery&) = delete;
    GapRecovery& operator=(const GapRecovery&) = delete;

    // A network decoder stopped answering: its gap begins at its last read (or now,
    // when it had not read yet).
    void BoxLost(int box);
    // Exit: the fetching under way ends without its outcome.
    void Stop();
    // A gap of this box waits to be filled (or is being filled).
    bool Pending(int box) const;
    struct Outcome {
        int box = 0;
        bool ok = false;
        std::string error;
        std::size_t reads = 0;     // the stored reads of the gap found in the box's files
        std::size_t recorded = 0;  // of which recorded (the others were in the table)
        CChrono from;
        CChrono to;
        std::chrono::steady_clock::time_point started;
        std::chrono::steady_clock::time_point ended;
    };
    // Fetchings done in this run, and the last one's outcome (tests, benchmarks).
    int Completed() const { return completed_; }
    const Outcome& LastOutcome() const { return last_; }

private:
    struct Gap {
        bool open = false;        // a loss not yet made good
        CChrono from;             // the last read before the loss (box clock)
        CChrono to;               // the first read after the return; unset until then
        bool fetching = false;
        // A new loss while its gap was being fetched: where the next gap begins.
        CChrono nextFrom;
    };
    struct Job;

    void OnReturn(int box, const CChrono& firstRead);
    void StartNext();
    void Finish(const Outcome& outcome);
    static Outcome Fetch(Job& job);
    static void FetchInto(Job& job, Outcome& outcome);

    UiLoop& ui_;
    DetectionRecorder& recorder_;
    std::function<CTarvexBox*(int)> box_;
    std::function<bool()> enabled_;
    std::array<Gap, kBoxes> gaps_{};
    std::deque<int> ready_;  // boxes whose gap can be fetched, in turn
    int completed_ = 0;
    Outcome last_;

    std::shared_ptr<Job> job_;
    std::thread worker_;
    std::atomic<bool> cancel_{false};
    // Closures posted by other threads check it before touching the recovery.
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

}  // namespace lv

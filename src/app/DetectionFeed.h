#pragma once
// The window's share of every recorded detection: its line in the detections window
// (made on the UI thread from the record), the counters and the detection sound. The
// recorder tells it each detection's number, from whichever thread recorded it; it
// hands the UI thread one batch at a time, at most one per kRestMs, so that under a
// mass start the window gets lines by the hundred and one sound, and the UI thread
// wakes twenty times a second, not once per passing.
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

#include "app/MainView.h"
#include "base/UiLoop.h"
#include "core/DetectionRecorder.h"

namespace lv {

class DetectionTable;

struct DetectionFeedHandlers {
    // Whether detection lines are shown (BLogDetections), GTarvexSendNumbers, and
    // GTarvexBeepDetections.
    std::function<bool()> showLines;
    std::function<bool()> sendNumbers;
    std::function<bool()> beep;
    // The transport's description of box 1..4.
    std::function<std::string(int box)> boxDescription;
    // The window's counters (box states, detection count).
    std::function<void()> refreshCounters;
};

class DetectionFeed : public DetectionFollower {
public:
    static constexpr int kRestMs = 50;

    DetectionFeed(UiLoop& ui, MainView& view, DetectionTable& table, DetectionFeedHandlers handlers);
    ~DetectionFeed() override;

    // Any thread.
    void DetectionRecorded(const CQoxResult& record) override;

    // UI thread: the window was emptied (lines not shown yet are dropped); the feed
    // goes on from the table's present end.
    void SkipToEnd();
    // UI thread: the lines not shown yet, now (and the counters and sound with them).
    void Flush();
    // UI thread: records put in the table without being recorded (a resumed session's,
    // read back) are shown like the others.
    void ShowTableEnd();
    // UI thread: the detection lines were switched on; those recorded while they were
    // off are shown now.
    void ShowHiddenLines();
    // Exit: a rest under way ends with its timer.
    void Stop();

private:
    void Post();

    UiLoop& ui_;
    MainView& view_;
    DetectionTable& table_;
    DetectionFeedHandlers handlers_;

    std::atomic<uint64_t> recordedUpTo_{0};  // the highest number told
    std::atomic<bool> flushPosted_{false};
    std::atomic<bool> soundWanted_{false};
    std::atomic<bool> wanted_{false};   // told since the last flush
    std::atomic<bool> resting_{false};  // a flush was done less than kRestMs ago
    // UI thread: the table's generation and the last number handed to the view.
    uint64_t generation_ = 0;
    uint64_t shownUpTo_ = 0;
    // Closures posted by other threads check it before touching the feed.
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

}  // namespace lv

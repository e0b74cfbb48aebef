#pragma once
// The intake of one box thread: takes each line the box sent, classifies it and either
// hands a pushed passing to the one way in of detections (and counts what became of
// it) or reports a response that no command exchange awaited in the log. Holds the
// thread's counters. Fed line by line, so it runs without sockets in tests.
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "boxes/BoxHost.h"
#include "boxes/DecoderProtocol.h"

namespace lv {

class CTarvexBox;

struct IntakeCounters {
    uint32_t seen = 0;
    uint32_t recorded = 0;
    uint32_t ignored = 0;
    uint32_t invalid = 0;
    // Timing report: passings and total milliseconds since the last report.
    uint32_t timedPassings = 0;
    uint64_t timedMilliseconds = 0;
};

class CPassingIntake {
public:
    static constexpr uint32_t kMeanTimeEvery = 200;

    // Takes the host's present settings; later versions are taken by FollowSettings.
    CPassingIntake(BoxHost& host, CTarvexBox& box);

    // One line as received (without its line feed). `incomplete`: the transport cut it
    // (over-long, or ended by the peer closing); it is reported and never processed.
    void ProcessLine(const std::string& line, bool incomplete = false);
    // A line already judged (the box thread judges each line once, to route responses
    // to a waiting command exchange). `start`: when its handling began.
    void ProcessReceived(const ReceivedLine& received,
                         std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now());

    const IntakeCounters& Counters() const { return counters_; }
    const IntakeSettings& Settings() const { return settings_; }
    // Takes the host's settings when they changed since last time: a change made while
    // the box is connected applies from the next passing on. Called before each
    // passing and by the thread's loop; costs one atomic load when nothing changed.
    void FollowSettings();
    void ResetCounters() { counters_ = {}; }

    // The label of the box in this thread's messages (refreshed on each line: the
    // description may change when the box reconnects elsewhere).
    std::string BoxLabel() const;

private:
    void ProcessPassing(const std::string& line, std::chrono::steady_clock::time_point start);
    void ReportResponse(const std::string& response, int code);
    void ReportGetTime(const std::string& response);
    void ReportSetBounce(const std::string& response);

    BoxHost& host_;
    CTarvexBox& box_;
    uint64_t settingsVersion_ = 0;
    IntakeSettings settings_;
    IntakeCounters counters_;
    std::optional<int64_t> previousInstant_;  // of this box's last passing, for its clock
};

}  // namespace lv

#pragma once
// The one way in of every detection, whatever its source (a network decoder, a USB
// TimingBox, the timekeeper's hand, an import, the recovery of an outage): Record
// applies the race-day rule, the chip translation, the repeated-read rule and the
// table's rules once, numbers the detection, queues its journal line and tells whoever
// follows the detections (the window's feed, the counters, the sound, the benchmarks).
// The forwarder to the timing application follows the journal itself.
//
// Threads: Record may be called from any thread (box threads, the UI thread, the
// recovery's worker); a box's repeated-read memory is its own, under its own lock.
// Followers are added before anything records and removed once nothing does.
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/Detection.h"
#include "core/DetectionRecords.h"
#include "core/RecordingRules.h"

namespace lv {

class DetectionTable;

enum class RecordOutcome {
    Recorded,
    Repeated,     // a repeated read of the same chip on the same box (not recorded)
    UnknownChip,  // unknown chips are discarded, and this one is not in the chip table
};

struct RecordResult {
    RecordOutcome outcome = RecordOutcome::Recorded;
    const CQoxResult* record = nullptr;  // when recorded
    std::string error;                   // UnknownChip: "## Unknown chip [%s]. Detection discarded"
};

// Label and race time of day of a detection as Record makes them.
struct PreparedDetection {
    std::string label;
    CChrono ofDay;
    ChipLookup lookup = ChipLookup::NotAsked;
    int raceDay = 0;          // -1: dated outside the race days (with the race-day rule)
    bool unknownChip = false; // to be discarded (unknown chips ignored)
};

class DetectionFollower {
public:
    virtual ~DetectionFollower() = default;
    // A detection was recorded (record.number is its place in the detection file). On
    // the recording thread: hand it over and return.
    virtual void DetectionRecorded(const CQoxResult& record) = 0;
};

class DetectionRecorder {
public:
    static constexpr int kBoxes = 4;
    static constexpr int kLastReadsCapacity = 50;

    explicit DetectionRecorder(DetectionTable& table);
    DetectionRecorder(const DetectionRecorder&) = delete;
    DetectionRecorder& operator=(const DetectionRecorder&) = delete;

    void SetRules(const RecordingRules& rules);
    RecordingRules Rules() const;

    void AddFollower(DetectionFollower* follower);
    void RemoveFollower(DetectionFollower* follower);

    RecordResult Record(const Detection& detection);
    // What Record would make of it, without recording it (nothing logged).
    PreparedDetection Prepare(const Detection& detection) const;

    // Empties a box's memory of its last reads (1..4; 0: every box): a box thread that
    // starts or ends, a reset of the detection list.
    void ForgetLastReads(int box);
    // The instant of the last read a network decoder pushed on this box; unset when none.
    CChrono LastReadInstant(int box) const;
    // Runs `watch` (on the recording thread) with the instant of the box's next pushed
    // read, once. Replaces a watch not yet fired.
    void WatchNextRead(int box, std::function<void(const CChrono& instant)> watch);

private:
    struct BoxReads {
        mutable std::mutex lock;
        CLastBoxDetectionList last{kLastReadsCapacity};
        CChrono lastInstant;
        std::function<void(const CChrono&)> watch;
    };
    struct Shared {
        RecordingRules rules;
        std::vector<DetectionFollower*> followers;
    };

    // The calling thread's copy of the rules and followers (the latest version).
    const std::shared_ptr<const Shared>& Current() const;
    PreparedDetection PrepareWith(const Detection& detection, const RecordingRules& rules) const;
    // The box's memory; null outside 1..4.
    BoxReads* ReadsOf(int box) const;

    DetectionTable& table_;
    mutable std::mutex lock_;  // shared_
    std::shared_ptr<const Shared> shared_;
    // Changes with shared_: a recording thread keeps its copy while it stays the same
    // (one atomic load per detection instead of a lock and a count).
    std::atomic<uint64_t> version_;
    std::array<std::unique_ptr<BoxReads>, kBoxes> boxes_;
};

}  // namespace lv

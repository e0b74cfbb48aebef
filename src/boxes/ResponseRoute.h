#pragma once
// ResponseRoute: the meeting point of a box's one reader and a command exchange that
// waits on another thread. While the box thread reads (routing), an exchange arms the
// route before its command goes out; the box thread then hands it the next response
// (or invalid line, or the loss of the connection) and waits until the exchange has
// judged and logged it, so that the box's log lines keep the order in which its lines
// arrived. Passings and blank lines are never routed: the box thread's intake takes
// them in order, exchange or not.
//
// Threads: the box thread calls BeginRouting/EndRouting, NoteLine, Route and
// RouteLoss; one exchange at a time (the box's exchange turn) calls the rest.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "boxes/DecoderProtocol.h"

namespace lv {

class ResponseRoute {
public:
    // What an exchange's wait found.
    enum class Event {
        Nothing,     // the slice passed without anything routed
        Line,        // a routed line: judge it, then call Judged
        Lost,        // the connection failed: then call Judged
        ReaderGone,  // the box thread stopped reading: the exchange reads by itself
    };

    // --- The box thread ------------------------------------------------------------
    // From now on, exchanges wait for what this thread routes. The caller holds the
    // box's exchange turn, so that no exchange reads by itself meanwhile.
    void BeginRouting();
    // The box thread reads no more: a waiting exchange reads by itself from now on.
    void EndRouting();
    // Counts a line read while an exchange is armed (its wait measures silence).
    void NoteLine() {
        if (armed_.load(std::memory_order_relaxed)) linesWhileArmed_.fetch_add(1, std::memory_order_relaxed);
    }
    // Hands a Response or Invalid line to the armed exchange and waits until it is
    // judged. False (the line stays the caller's) when no exchange is armed, or when
    // the exchange ends without judging it, or on `cancel`.
    bool Route(ReceivedLine& line, const std::atomic<bool>& cancel);
    // The connection failed while an exchange is armed: it ends without response.
    void RouteLoss(const std::atomic<bool>& cancel);

    // --- The exchange (holding the box's exchange turn) --------------------------------
    // True while the box thread reads: the exchange then waits for routed lines.
    bool Routing() const;
    // Before the command goes out: the next routed line is this exchange's.
    void Arm();
    // The wait is over, whichever way: nothing is routed any more until the next Arm.
    void Disarm();
    // Waits up to `slice` for something routed. With Line, `line` is filled.
    Event Take(std::chrono::milliseconds slice, ReceivedLine& line);
    // The routed line (or loss) is judged and logged: the box thread goes on.
    void Judged();
    // Lines the box thread read since the route was armed.
    uint64_t LinesWhileArmed() const { return linesWhileArmed_.load(std::memory_order_relaxed); }

private:
    enum class Pending { None, Line, Loss };
    // Waits until the exchange has judged what was just routed, or is gone. True when it
    // took it. Caller holds lock_.
    bool Handover(const std::atomic<bool>& cancel, std::unique_lock<std::mutex>& guard);

    mutable std::mutex lock_;
    std::condition_variable changed_;
    bool routing_ = false;               // guarded by lock_
    Pending pending_ = Pending::None;    // routed, not yet judged; guarded by lock_
    uint64_t routedSerial_ = 0;          // counts what was routed; guarded by lock_
    uint64_t takenSerial_ = 0;           // the last routed item the exchange took; guarded
    ReceivedLine routed_;                // guarded by lock_
    std::atomic<bool> armed_{false};     // written under lock_; read alone as a fast check
    std::atomic<uint64_t> linesWhileArmed_{0};
};

}  // namespace lv

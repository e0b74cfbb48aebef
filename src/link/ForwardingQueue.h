#pragma once
// The detections on their way to the timing application: box threads hand their push
// lines here and go on, and a sender thread of the direct connection puts them on the
// wire, oldest first. A timing application that stops reading therefore holds up
// nothing but this thread.
//
// Once the link has been connected in this run, a detection recorded while it is down
// (lost, reconnecting or switched off) waits here and is sent when it is back, before
// newer ones. A push is held until the timing application answered it (each push is
// answered by one runner or error line): when the connection is lost, the pushes it
// had not answered yet are sent again on the next connection, so a push on the wire at
// the loss arrives at least once, never zero times. A switch-off is an orderly close:
// what was sent until then counts as delivered. With catch-up off, nothing waits:
// pushes made while the link is not connected, and those unanswered at a loss, are
// dropped, as the link always did.
//
// Memory: one short line per waiting detection, as many as the detection table holds
// records at most; nothing is ever dropped for room.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "link/DirectConnection.h"

namespace lv {

class ForwardingQueue {
public:
    // Lines sent together at most (one send call).
    static constexpr std::size_t kBatchLines = 256;
    // Pause after a send the peer took nothing of, before the next try.
    static constexpr int kRetryPauseMs = 100;

    explicit ForwardingQueue(DirectConnection& connection);
    ~ForwardingQueue();
    ForwardingQueue(const ForwardingQueue&) = delete;
    ForwardingQueue& operator=(const ForwardingQueue&) = delete;

    // Any thread. The command (without line end) is queued; false when it is dropped
    // (the link has not been connected in this run, or catch-up is off and the link is
    // not connected).
    bool Push(std::string_view command);

    // The worker's news (its thread): connected; the connection ended by itself.
    void OnConnected();
    void OnLost();
    // One answer line of the timing application (worker thread).
    void OnAnswer(std::string_view line);

    // Before a switch-off (UI thread): waits up to `limit` for what is queued to leave,
    // then stops sending; what left counts as delivered.
    void CloseOnPurpose(std::chrono::milliseconds limit);

    void SetCatchUp(bool on);
    // Detections waiting to be sent (not yet on the wire). Any thread.
    std::size_t Waiting() const { return waiting_.load(std::memory_order_relaxed); }
    // Sent and not answered yet.
    std::size_t Unanswered() const;

private:
    void Run();
    void PublishLocked();
    void DropUnsentLocked();

    DirectConnection& connection_;
    mutable std::mutex lock_;
    std::condition_variable changed_;
    // lines_[0, sent_) are on the wire, unanswered; lines_[sent_, end) wait.
    std::deque<std::string> lines_;
    std::size_t sent_ = 0;
    bool connected_ = false;
    bool everConnected_ = false;
    bool catchUp_ = true;
    bool sending_ = false;       // a batch is in a send call
    bool stopping_ = false;
    unsigned generation_ = 0;    // one per connection: a late send outcome is stale
    std::atomic<std::size_t> waiting_{0};
    std::thread sender_;
};

}  // namespace lv

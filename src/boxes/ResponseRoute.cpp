#include "boxes/ResponseRoute.h"

namespace lv {

namespace {
// How often a box thread waiting on a judgement looks at its cancel request.
constexpr std::chrono::milliseconds kCancelCheck{50};
}  // namespace

void ResponseRoute::BeginRouting() {
    std::lock_guard<std::mutex> guard(lock_);
    routing_ = true;
}

void ResponseRoute::EndRouting() {
    std::lock_guard<std::mutex> guard(lock_);
    routing_ = false;
    changed_.notify_all();
}

bool ResponseRoute::Routing() const {
    std::lock_guard<std::mutex> guard(lock_);
    return routing_;
}

bool ResponseRoute::Handover(const std::atomic<bool>& cancel, std::unique_lock<std::mutex>& guard) {
    const uint64_t serial = ++routedSerial_;
    changed_.notify_all();
    // The exchange may judge, disarm and arm again for its next command before this
    // thread wakes: the serial, not the flags, tells whether it took this item.
    while (pending_ != Pending::None && armed_.load() && !cancel.load()) {
        changed_.wait_for(guard, kCancelCheck);
    }
    if (takenSerial_ == serial) return true;
    pending_ = Pending::None;
    return false;
}

bool ResponseRoute::Route(ReceivedLine& line, const std::atomic<bool>& cancel) {
    if (!armed_.load(std::memory_order_relaxed)) return false;
    std::unique_lock<std::mutex> guard(lock_);
    if (!armed_.load()) return false;
    routed_ = std::move(line);
    pending_ = Pending::Line;
    if (Handover(cancel, guard)) return true;
    // The exchange ended (or the thread is cancelled) before taking it: the line is
    // the reader's again.
    line = std::move(routed_);
    return false;
}

void ResponseRoute::RouteLoss(const std::atomic<bool>& cancel) {
    if (!armed_.load(std::memory_order_relaxed)) return;
    std::unique_lock<std::mutex> guard(lock_);
    if (!armed_.load()) return;
    pending_ = Pending::Loss;
    Handover(cancel, guard);
}

void ResponseRoute::Arm() {
    std::lock_guard<std::mutex> guard(lock_);
    // Anything still routed was not taken by the previous wait: its reader gets it back.
    pending_ = Pending::None;
    linesWhileArmed_.store(0);
    armed_.store(true);
    changed_.notify_all();
}

void ResponseRoute::Disarm() {
    std::lock_guard<std::mutex> guard(lock_);
    armed_.store(false);
    changed_.notify_all();
}

ResponseRoute::Event ResponseRoute::Take(std::chrono::milliseconds slice, ReceivedLine& line) {
    std::unique_lock<std::mutex> guard(lock_);
    auto offered = [this] { return pending_ != Pending::None && takenSerial_ != routedSerial_; };
    changed_.wait_for(guard, slice, [&] { return offered() || !routing_; });
    if (offered()) {
        takenSerial_ = routedSerial_;
        if (pending_ == Pending::Loss) return Event::Lost;
        line = std::move(routed_);
        return Event::Line;
    }
    return routing_ ? Event::Nothing : Event::ReaderGone;
}

void ResponseRoute::Judged() {
    std::lock_guard<std::mutex> guard(lock_);
    pending_ = Pending::None;
    changed_.notify_all();
}

}  // namespace lv

#include "link/ForwardingQueue.h"

namespace lv {

namespace {

// What the timing application answers to a push: a runner line or an error. Its
// answers to the ping and the queries are information lines.
bool AnswersAPush(std::string_view line) { return line.rfind("NFO:", 0) != 0; }

}  // namespace

ForwardingQueue::ForwardingQueue(DirectConnection& connection) : connection_(connection) {
    sender_ = std::thread([this] { Run(); });
}

ForwardingQueue::~ForwardingQueue() {
    {
        std::lock_guard<std::mutex> hold(lock_);
        stopping_ = true;
    }
    changed_.notify_all();
    sender_.join();
}

bool ForwardingQueue::Push(std::string_view command) {
    std::string line;
    line.reserve(command.size() + 2);
    for (char c : command) line += (c == '\r' || c == '\n') ? ' ' : c;
    line += "\r\n";
    {
        std::lock_guard<std::mutex> hold(lock_);
        if (!everConnected_ || (!catchUp_ && !connected_)) return false;
        lines_.push_back(std::move(line));
        PublishLocked();
    }
    changed_.notify_all();
    return true;
}

void ForwardingQueue::OnConnected() {
    {
        std::lock_guard<std::mutex> hold(lock_);
        connected_ = true;
        everConnected_ = true;
        ++generation_;
    }
    changed_.notify_all();
}

void ForwardingQueue::OnLost() {
    std::lock_guard<std::mutex> hold(lock_);
    if (!connected_) return;  // closed on purpose, or already seen
    connected_ = false;
    ++generation_;
    // What the timing application has not answered may not have reached it.
    sent_ = 0;
    if (!catchUp_) lines_.clear();
    PublishLocked();
}

void ForwardingQueue::OnAnswer(std::string_view line) {
    if (!AnswersAPush(line)) return;
    std::lock_guard<std::mutex> hold(lock_);
    if (sent_ == 0) return;
    lines_.pop_front();
    --sent_;
}

void ForwardingQueue::CloseOnPurpose(std::chrono::milliseconds limit) {
    std::unique_lock<std::mutex> hold(lock_);
    if (connected_) {
        changed_.wait_for(hold, limit, [this] { return !connected_ || (sent_ == lines_.size() && !sending_); });
    }
    const bool wasConnected = connected_;
    connected_ = false;
    ++generation_;
    changed_.wait(hold, [this] { return !sending_; });
    // An orderly close: the peer reads all that was sent before the end of the stream.
    if (wasConnected) lines_.erase(lines_.begin(), lines_.begin() + static_cast<std::ptrdiff_t>(sent_));
    sent_ = 0;
    if (!catchUp_) lines_.clear();
    PublishLocked();
}

void ForwardingQueue::SetCatchUp(bool on) {
    std::lock_guard<std::mutex> hold(lock_);
    catchUp_ = on;
    if (!catchUp_ && !connected_) DropUnsentLocked();
}

std::size_t ForwardingQueue::Unanswered() const {
    std::lock_guard<std::mutex> hold(lock_);
    return sent_;
}

void ForwardingQueue::DropUnsentLocked() {
    lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(sent_), lines_.end());
    PublishLocked();
}

void ForwardingQueue::PublishLocked() {
    waiting_.store(lines_.size() - sent_, std::memory_order_relaxed);
}

void ForwardingQueue::Run() {
    std::string batch;
    std::unique_lock<std::mutex> hold(lock_);
    for (;;) {
        changed_.wait(hold, [this] { return stopping_ || (connected_ && sent_ < lines_.size()); });
        if (stopping_) return;
        // Counted as sent before the send: an answer may come before the call returns.
        batch.clear();
        const std::size_t first = sent_;
        std::size_t count = 0;
        while (first + count < lines_.size() && count < kBatchLines) batch += lines_[first + count++];
        sent_ += count;
        PublishLocked();
        const unsigned generation = generation_;
        sending_ = true;
        hold.unlock();
        const DirectConnection::SendResult result = connection_.SendLines(batch);
        hold.lock();
        sending_ = false;
        if (result != DirectConnection::SendResult::Whole && generation == generation_) {
            if (result == DirectConnection::SendResult::Nothing) {
                // Nothing left: the same lines go again (single sender: they are the last
                // ones counted as sent).
                sent_ = sent_ >= count ? sent_ - count : 0;
                PublishLocked();
                changed_.notify_all();
                changed_.wait_for(hold, std::chrono::milliseconds(kRetryPauseMs),
                                  [this, generation] { return stopping_ || generation != generation_; });
                continue;
            }
            // Torn: the connection is closing; its loss rewinds to the unanswered.
        }
        changed_.notify_all();
    }
}

}  // namespace lv

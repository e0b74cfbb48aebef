#include "link/DetectionForwarder.h"

#include <algorithm>
#include <vector>

namespace lv {

namespace {

// What the timing application answers to a push: a runner line or an error. Its
// answers to the ping and the queries are information lines.
bool AnswersAPush(std::string_view line) { return line.rfind("NFO:", 0) != 0; }

}  // namespace

bool DetectionForwarder::AppendPush(std::string_view journalLine, std::string& out) {
    // "<n>\t<box>\t<label>\t1\t<time>\t<kind>\r\n": the fields between the number and the
    // clock kind are those of the push.
    const std::size_t first = journalLine.find('\t');
    const std::size_t last = journalLine.rfind('\t');
    if (first == std::string_view::npos || last <= first) return false;
    out += "AddQoxClock(1\t";
    out.append(journalLine.substr(first + 1, last - first - 1));
    out += ")\r\n";
    return true;
}

DetectionForwarder::DetectionForwarder(DirectConnection& connection, DetectionJournal& journal)
    : connection_(connection), journal_(journal) {
    {
        std::lock_guard<std::mutex> hold(lock_);
        HasUnsentLocked();
    }
    // Called with the journal's baton held: a wake-up when there is someone to send to;
    // and the first session of the run is followed from its start, whatever resets come
    // before the first connection.
    listenerId_ = journal_.AddLinesListener([this] {
        if (!following_.load(std::memory_order_relaxed)) {
            std::lock_guard<std::mutex> hold(lock_);
            HasUnsentLocked();
        }
        if (connected_.load(std::memory_order_relaxed)) changed_.notify_all();
    });
    sender_ = std::thread([this] { Run(); });
}

DetectionForwarder::~DetectionForwarder() {
    journal_.RemoveLinesListener(listenerId_);
    {
        std::lock_guard<std::mutex> hold(lock_);
        stopping_ = true;
    }
    changed_.notify_all();
    sender_.join();
    // What was answered last reaches the state file before the forwarder goes.
    OnAnswersTaken();
}

bool DetectionForwarder::HasUnsentLocked() {
    if (!session_) {
        session_ = journal_.CurrentSession();
        if (!session_) return false;
        next_ = session_->Forwarded() + 1;
        following_.store(true);
    }
    for (;;) {
        if (next_ <= session_->Lines()) return true;
        std::shared_ptr<JournalSession> next = session_->Next();
        if (!next) return false;
        // A reset of the detection list started a new file: its detections follow.
        session_ = std::move(next);
        next_ = session_->Forwarded() + 1;
    }
}

void DetectionForwarder::SkipToEndLocked() {
    HasUnsentLocked();
    if (!session_) return;
    while (std::shared_ptr<JournalSession> next = session_->Next()) session_ = std::move(next);
    next_ = session_->Lines() + 1;
    NoteAnsweredLocked(session_, next_ - 1);
}

void DetectionForwarder::NoteAnsweredLocked(const std::shared_ptr<JournalSession>& session, std::size_t number) {
    if (!session || number == 0) return;
    session->SetForwarded(number);
    if (std::find(toSave_.begin(), toSave_.end(), session) == toSave_.end()) toSave_.push_back(session);
    stateDirty_ = true;
}

void DetectionForwarder::ForgetInFlightLocked() {
    for (const Sent& sent : inFlight_) NoteAnsweredLocked(sent.session, sent.number);
    inFlight_.clear();
}

void DetectionForwarder::OnConnected() {
    {
        std::lock_guard<std::mutex> hold(lock_);
        ++generation_;
        if (!catchUp_) SkipToEndLocked();
        connected_.store(true);
    }
    changed_.notify_all();
}

void DetectionForwarder::OnLost() {
    {
        std::lock_guard<std::mutex> hold(lock_);
        if (!connected_.load()) return;  // closed on purpose, or already seen
        connected_.store(false);
        ++generation_;
        if (!catchUp_) {
            ForgetInFlightLocked();
        } else if (!inFlight_.empty()) {
            // What the timing application has not answered may not have reached it: sent
            // again from the oldest, at the next connection.
            session_ = inFlight_.front().session;
            next_ = inFlight_.front().number;
            inFlight_.clear();
        }
    }
    changed_.notify_all();
}

void DetectionForwarder::OnAnswer(std::string_view line) {
    if (!AnswersAPush(line)) return;
    std::lock_guard<std::mutex> hold(lock_);
    if (inFlight_.empty()) return;
    Sent answered = std::move(inFlight_.front());
    inFlight_.pop_front();
    NoteAnsweredLocked(answered.session, answered.number);
    // Held-back lines passed over since then count as done too.
    if (inFlight_.empty() && answered.session == session_ && next_ > answered.number + 1) {
        NoteAnsweredLocked(session_, next_ - 1);
    }
}

void DetectionForwarder::OnAnswersTaken() {
    std::vector<std::shared_ptr<JournalSession>> sessions;
    {
        std::lock_guard<std::mutex> hold(lock_);
        sessions = toSave_;
        // Only the latest is likely to change again.
        if (toSave_.size() > 1) toSave_.erase(toSave_.begin(), toSave_.end() - 1);
    }
    for (const auto& session : sessions) session->SavePosition();
}

void DetectionForwarder::CloseOnPurpose(std::chrono::milliseconds limit) {
    {
        std::unique_lock<std::mutex> hold(lock_);
        if (connected_.load()) {
            changed_.wait_for(hold, limit, [this] { return !connected_.load() || (!HasUnsentLocked() && !sending_); });
        }
        const bool wasConnected = connected_.load();
        connected_.store(false);
        ++generation_;
        changed_.wait(hold, [this] { return !sending_; });
        // An orderly close: the peer reads all that was sent before the end of the stream.
        if (wasConnected) ForgetInFlightLocked();
        if (!catchUp_) SkipToEndLocked();
    }
    OnAnswersTaken();
}

void DetectionForwarder::SetCatchUp(bool on) {
    std::lock_guard<std::mutex> hold(lock_);
    catchUp_ = on;
    if (!catchUp_ && !connected_.load()) SkipToEndLocked();
}

std::size_t DetectionForwarder::Waiting() const {
    std::lock_guard<std::mutex> hold(lock_);
    std::shared_ptr<JournalSession> session = session_ ? session_ : journal_.CurrentSession();
    std::size_t next = session_ ? next_ : (session ? session->Forwarded() + 1 : 1);
    std::size_t waiting = 0;
    while (session) {
        const std::size_t lines = session->Lines();
        if (next <= lines) waiting += lines - next + 1 - session->HeldBackWithin(next, lines);
        session = session->Next();
        if (session) next = session->Forwarded() + 1;
    }
    return waiting;
}

std::size_t DetectionForwarder::Unanswered() const {
    std::lock_guard<std::mutex> hold(lock_);
    return inFlight_.size();
}

void DetectionForwarder::Run() {
    using Clock = std::chrono::steady_clock;
    std::string batch;
    std::vector<std::size_t> numbers;
    Clock::time_point lastSync = Clock::now();
    std::unique_lock<std::mutex> hold(lock_);
    for (;;) {
        const auto sendable = [this] { return stopping_ || (connected_.load() && HasUnsentLocked()); };
        if (stateDirty_) {
            changed_.wait_until(hold, lastSync + std::chrono::milliseconds(kStateSyncMs), sendable);
        } else {
            changed_.wait(hold, sendable);
        }
        if (stopping_) return;
        if (stateDirty_ && Clock::now() - lastSync >= std::chrono::milliseconds(kStateSyncMs)) {
            // The answers taken in reach the disk (they are in the file already, safe
            // from a crash of the program; this is for a power cut).
            stateDirty_ = false;
            lastSync = Clock::now();
            std::shared_ptr<JournalSession> session = toSave_.empty() ? nullptr : toSave_.back();
            hold.unlock();
            if (session) session->SyncState();
            hold.lock();
            continue;
        }
        if (!connected_.load() || !HasUnsentLocked()) continue;

        // One batch from one session, the held-back lines passed over.
        const std::shared_ptr<JournalSession> session = session_;
        const std::size_t first = next_;
        const std::size_t lines = session->Lines();
        const std::size_t last = std::min(lines, first + kBatchLines - 1);
        const bool someHeldBack = session->HeldBackWithin(first, last) > 0;
        const NumberRanges heldBack = someHeldBack ? session->State().heldBack : NumberRanges();
        batch.clear();
        numbers.clear();
        session->CopyLines(first, last - first + 1, batch,
                           [&](std::string_view line, std::size_t number, std::string& out) {
                               if (someHeldBack && heldBack.Contains(number)) return;
                               // A line that is not a detection is never sent.
                               if (AppendPush(line, out)) numbers.push_back(number);
                           });
        next_ = last + 1;
        for (std::size_t number : numbers) inFlight_.push_back(Sent{session, number});
        if (numbers.empty()) {
            if (inFlight_.empty()) NoteAnsweredLocked(session, last);
            continue;
        }
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
                inFlight_.erase(inFlight_.end() - static_cast<std::ptrdiff_t>(numbers.size()), inFlight_.end());
                session_ = session;
                next_ = first;
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

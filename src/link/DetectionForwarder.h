#pragma once
// The detections on their way to the timing application. It keeps no detection of its
// own: it reads each from the journal by its number and keeps only its place — the
// next detection to send, and those sent and not answered yet. Its sender thread puts
// them on the wire, oldest first, in batches; box threads never wait for it, and a
// timing application that stops reading holds up nothing but this thread.
//
// What has been answered is kept beside the detection file (the journal session's
// state), written at each batch of answers taken in, so that after a crash or a power
// cut the next start sends what was not answered, and only that. Delivery is at least
// once: the detections sent and not answered when the connection is lost (or the
// program stops short) are sent again, so the timing application may receive one of
// them twice, never zero times.
//
// Every detection of the session is sent, those recorded before the link first
// connects included, except those the timekeeper held back (an import not sent). A
// switch-off is an orderly close: what was sent until then counts as delivered. With
// catch-up off, nothing waits: the detections recorded while the link is down, and
// those unanswered at a loss, are passed over.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "core/DetectionJournal.h"
#include "core/JournalSession.h"
#include "link/DirectConnection.h"

namespace lv {

class DetectionForwarder {
public:
    // Lines sent together at most (one send call).
    static constexpr std::size_t kBatchLines = 256;
    // Pause after a send the peer took nothing of, before the next try.
    static constexpr int kRetryPauseMs = 100;
    // Longest time an answer's record stays in the state file without reaching the disk.
    static constexpr int kStateSyncMs = 200;

    DetectionForwarder(DirectConnection& connection, DetectionJournal& journal);
    ~DetectionForwarder();
    DetectionForwarder(const DetectionForwarder&) = delete;
    DetectionForwarder& operator=(const DetectionForwarder&) = delete;

    // The connection's news (its worker thread): connected; the connection ended by
    // itself; one answer line; the answers of one reception are all taken in.
    void OnConnected();
    void OnLost();
    void OnAnswer(std::string_view line);
    void OnAnswersTaken();

    // Before a switch-off (UI thread): waits up to `limit` for what waits to leave,
    // then stops sending; what left counts as delivered.
    void CloseOnPurpose(std::chrono::milliseconds limit);

    void SetCatchUp(bool on);
    // Detections waiting to be sent (not yet on the wire). Any thread.
    std::size_t Waiting() const;
    // Sent and not answered yet.
    std::size_t Unanswered() const;

    // "AddQoxClock(1\t<box>\t<label>\t1\t<time>)" + CR LF of a journal line, appended to
    // `out`; false for a line that is not a detection line.
    static bool AppendPush(std::string_view journalLine, std::string& out);

private:
    struct Sent {
        std::shared_ptr<JournalSession> session;
        std::size_t number;
    };

    void Run();
    // The lock is held. Picks the journal's session when none is followed yet, and moves
    // on to the next session once the present one has nothing left to send.
    bool HasUnsentLocked();
    void SkipToEndLocked();
    // Marks what was sent and not answered as answered (the peer read it, or catch-up
    // is off).
    void ForgetInFlightLocked();
    void NoteAnsweredLocked(const std::shared_ptr<JournalSession>& session, std::size_t number);

    DirectConnection& connection_;
    DetectionJournal& journal_;
    int listenerId_ = 0;

    mutable std::mutex lock_;
    std::condition_variable changed_;
    std::shared_ptr<JournalSession> session_;  // the session being sent
    std::size_t next_ = 1;                     // its next number to send
    std::deque<Sent> inFlight_;                // sent, not answered, oldest first
    std::atomic<bool> connected_{false};
    std::atomic<bool> following_{false};  // session_ is set
    bool catchUp_ = true;
    bool sending_ = false;
    bool stopping_ = false;
    bool stateDirty_ = false;   // answers taken in since the state file last reached the disk
    unsigned generation_ = 0;   // one per connection: a late send outcome is stale
    // Sessions whose answered position changed since it was written (the present one
    // stays listed: writing an unchanged position costs nothing).
    std::vector<std::shared_ptr<JournalSession>> toSave_;
    std::thread sender_;
};

}  // namespace lv

#pragma once
// One detection file as this run knows it: every line recorded under its name, in
// order, kept in memory (so that a file deleted under the program is recreated whole,
// and so that whoever follows the detections reads them back by number), and the state
// kept beside it in "<name>.sent": how far the timing application has answered, which
// detections the timekeeper removed, which are not to be sent, and whether the run
// ended normally.
//
// Threads: the journal appends lines with its baton held (one writer at a time); any
// thread reads lines and changes the state. The bytes of a line never move once
// appended (they live in fixed chunks), so readers copy them under a short lock.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/NumberRanges.h"

namespace lv {

// The state file's content.
struct SessionState {
    std::size_t forwarded = 0;         // lines 1..forwarded were answered (or not to send)
    bool clean = false;                // the run ended normally
    NumberRanges removed;              // detections removed by the timekeeper
    NumberRanges heldBack;             // detections not to send to the timing application
};

// "<folder>/Lumivane-YYYYMMDD-HHMMSS.sent" for "<folder>/Lumivane-YYYYMMDD-HHMMSS.dat".
std::string SessionStatePath(const std::string& detectionFilePath);
// Reads a state file; false when it is missing or does not read (nothing is changed).
bool LoadSessionState(const std::string& path, SessionState& state, std::string* problem = nullptr);
// The state file's text.
std::string FormatSessionState(const SessionState& state);

class JournalSession {
public:
    explicit JournalSession(std::string path);
    ~JournalSession();
    JournalSession(const JournalSession&) = delete;
    JournalSession& operator=(const JournalSession&) = delete;

    const std::string& Path() const { return path_; }

    // --- Lines (the journal's baton held for Append) ---
    // Appends whole lines (each ended by a line feed).
    void Append(std::string_view lines);
    std::size_t Lines() const;
    std::size_t Bytes() const;
    // Line `number` (1-based) with its line end; false beyond the last one.
    bool CopyLine(std::size_t number, std::string& line) const;
    // Lines [first, first + count) appended to `out`, each through `convert(line,
    // number, out)`; returns how many were there.
    template <class Convert>
    std::size_t CopyLines(std::size_t first, std::size_t count, std::string& out, Convert&& convert) const;
    // The bytes from `offset` to the end, in pieces (for writing them to the file).
    std::vector<std::string_view> BytesFrom(std::size_t offset) const;
    // The number of whole lines within the first `bytes` bytes.
    std::size_t LinesWithin(std::size_t bytes) const;
    // The byte offset where line `number` (1-based) starts; Bytes() past the last.
    std::size_t LineStart(std::size_t number) const;

    // --- State (any thread) ---
    SessionState State() const;
    void SetState(const SessionState& state);
    std::size_t Forwarded() const;
    // Lines 1..number were answered (only ever moves forward).
    void SetForwarded(std::size_t number);
    void HoldBack(std::size_t number);
    bool IsHeldBack(std::size_t number) const;
    // Held-back lines among [first, last].
    std::size_t HeldBackWithin(std::size_t first, std::size_t last) const;
    void SetRemoved(std::size_t number, bool removed);

    // --- The state file ---
    // Rewrites it whole (atomically), with the clean mark as given.
    bool SaveState(bool clean, std::string* error = nullptr);
    // Writes the forwarded position in place (a few bytes, no sync), or the whole file
    // when it does not exist yet: cheap enough to follow every answer of the timing
    // application, so that a crash loses no answer already taken in.
    bool SavePosition();
    // Brings the state file to the disk when its position changed since the last time.
    void SyncState();

    // --- The session that follows this one (after a reset of the detection list) ---
    std::shared_ptr<JournalSession> Next() const;
    void SetNext(std::shared_ptr<JournalSession> next);

private:
    struct Chunk {
        std::unique_ptr<char[]> bytes;
        std::size_t capacity = 0;
        std::size_t used = 0;
        std::size_t start = 0;  // offset of its first byte in the session
    };
    static constexpr std::size_t kChunkBytes = 1u << 20;

    // The lock is held.
    std::string_view LineLocked(std::size_t number) const;
    const Chunk& ChunkOfLocked(std::size_t offset) const;
    bool SaveStateLocked(bool clean, std::string* error);

    const std::string path_;
    const std::string statePath_;

    mutable std::mutex lock_;
    std::vector<Chunk> chunks_;
    std::vector<std::size_t> lineStarts_;  // offset of each line; Bytes() closes the last
    std::size_t bytes_ = 0;
    SessionState state_;
    std::shared_ptr<JournalSession> next_;

    std::mutex fileLock_;  // the state file's writers, in turn
    int stateFd_ = -1;     // the state file, for writes in place
    std::size_t positionWritten_ = 0;
    std::size_t positionSynced_ = 0;
    bool stateFileWritten_ = false;
};

template <class Convert>
std::size_t JournalSession::CopyLines(std::size_t first, std::size_t count, std::string& out,
                                      Convert&& convert) const {
    std::lock_guard<std::mutex> hold(lock_);
    std::size_t copied = 0;
    for (std::size_t number = first; copied < count && number >= 1 && number <= lineStarts_.size(); ++number) {
        convert(LineLocked(number), number, out);
        ++copied;
    }
    return copied;
}

}  // namespace lv

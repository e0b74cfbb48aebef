#pragma once
// CSerialBuffer: the receive buffer of a serial port, filled by the port's reader
// thread and emptied by the one reader of the box. It holds at most kCapacity bytes,
// and one reply at most kMaxReplyBytes (so that the replies after an over-long one
// still find room): a reply that would grow past either bound is handed out cut
// (marked as such) and the rest of it, up to its end ("\n\n"), is dropped as it
// arrives, so that its tail never passes for a reply of its own. Every byte is kept
// as received, NUL and binary included.
//
// Threads: Append from the reader thread; everything else from the box's reader.
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>

namespace lv {

class CSerialBuffer {
public:
    static constexpr std::size_t kCapacity = 40960;
    // Far above the longest reply of the box (64 passing lines).
    static constexpr std::size_t kMaxReplyBytes = kCapacity / 2;

    // What ReadUpTo found.
    enum class Read {
        Nothing,    // no byte held
        Partial,    // bytes taken, the delimiter not among them
        Delimited,  // bytes taken up to and including the delimiter
        Cut,        // a reply cut at the capacity: taken up to where it was cut
    };

    // Copies a chunk in. Bytes beyond the capacity are dropped (see above). Wakes a
    // waiting reader. Returns the number of bytes kept.
    std::size_t Append(const char* bytes, std::size_t count);
    // Appends to `out` the bytes held up to and including `delimiter` (one or two
    // characters), consuming them; all the bytes held when the delimiter is not there.
    Read ReadUpTo(std::string& out, std::string_view delimiter);
    // True when the delimiter or a cut reply is held.
    bool HasDelimited(std::string_view delimiter) const;
    // Waits until bytes are held or `Wake` is called, at most `timeout`. True when
    // bytes are held.
    bool WaitForData(std::chrono::milliseconds timeout);
    // Ends the waits of WaitForData (the port failed or is closing).
    void Wake();

    // Empties the buffer (the reply being dropped stays dropped).
    void Flush();
    // Empties the buffer and forgets any reply being dropped.
    void Reset();

    std::size_t Available() const;
    // Bytes dropped because the buffer was full, since the last Reset.
    uint64_t DroppedBytes() const;

private:
    mutable std::mutex lock_;
    std::condition_variable dataEvent_;
    std::string text_;               // guarded by lock_; never longer than kCapacity
    std::deque<std::size_t> cuts_;   // ends of cut replies within text_; guarded
    bool skipping_ = false;          // dropping the tail of a cut reply; guarded
    char lastByte_ = '\0';           // the last byte received, kept or not; guarded
    std::size_t currentReply_ = 0;   // bytes kept of the reply being received; guarded
    uint64_t droppedBytes_ = 0;      // guarded by lock_
    uint64_t wakeSerial_ = 0;        // guarded by lock_
};

}  // namespace lv

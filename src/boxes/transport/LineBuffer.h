#pragma once
// A bounded receive buffer that cuts a byte stream into lines at line feeds. Fed by
// whole chunks (one recv each); a line never grows past its bound: an over-long line is
// handed out cut and the rest of it, up to its line feed, is dropped on arrival.
// Not thread-safe: its owner serialises access.
#include <cstddef>
#include <string>
#include <vector>

namespace lv {

class LineBuffer {
public:
    // maxLineBytes: longest line handed out whole. The storage holds one bound's worth
    // of bytes plus one chunk.
    explicit LineBuffer(std::size_t maxLineBytes, std::size_t chunkBytes = 4096);

    // Where the next chunk goes and how much of it fits (never 0).
    char* WriteArea();
    std::size_t WriteCapacity() const;
    // Accounts for `count` bytes written into WriteArea.
    void Commit(std::size_t count);
    // Copies bytes in (tests, and callers that do not read into WriteArea).
    void Append(const char* bytes, std::size_t count);

    // True when TakeLine would return a line.
    bool HasLine() const;
    // The next line without its line feed. `cut` is set for an over-long line (its
    // first maxLineBytes bytes are returned). False when no whole line is held.
    bool TakeLine(std::string& line, bool& cut);
    // What is held of an unfinished line (handed out when the peer closes mid-line);
    // empties the buffer. False when nothing is held.
    bool TakeRest(std::string& rest);

    std::size_t Buffered() const { return end_ - begin_; }
    void Clear();

private:
    void Compact();
    // Cuts an over-long unfinished line into the ready queue.
    void CutOverlongLine();

    std::size_t maxLineBytes_;
    std::vector<char> storage_;
    std::size_t begin_ = 0;   // first byte not yet handed out
    std::size_t end_ = 0;     // one past the last byte held
    std::size_t scanned_ = 0; // bytes from begin_ known to hold no line feed
    bool discarding_ = false; // dropping the tail of a cut line until its line feed
    bool cutReady_ = false;   // a cut line is waiting at the front
};

}  // namespace lv

#pragma once
// The bounded line reader of the TCP clients: a receive buffer that cuts a byte stream
// into lines at line feeds. Fed one chunk at a time (one recv each); a line never grows
// past the bound its user chose: an over-long line is handed out cut to the bound,
// marked as cut, and the rest of it, up to its line feed, is dropped as it arrives.
// What a cut line means (invalid input, a truncated answer) is the user's to decide.
// Not thread-safe: its owner serialises access.
#include <cstddef>
#include <deque>
#include <string>
#include <vector>

namespace lv {

class LineReader {
public:
    explicit LineReader(std::size_t maxLineBytes, std::size_t chunkBytes = 4096);

    // Where the next chunk is received, and its size.
    char* ChunkArea() { return chunk_.data(); }
    std::size_t ChunkCapacity() const { return chunk_.size(); }
    // Cuts the `count` bytes received into ChunkArea into lines.
    void Commit(std::size_t count);
    // Copies bytes in and cuts them (any length).
    void Append(const char* bytes, std::size_t count);

    // True when TakeLine would return a line.
    bool HasLine() const { return !ready_.empty(); }
    // The next whole line without its line feed. `cut` is set for an over-long line
    // (its first maxLineBytes bytes are returned). False when no whole line is held.
    bool TakeLine(std::string& line, bool& cut);
    // What is held of an unfinished line (for a peer that closed mid-line); false when
    // nothing is held. Whole lines still waiting stay.
    bool TakeUnfinished(std::string& rest);

    // Bytes held: whole lines waiting plus the unfinished line.
    std::size_t Buffered() const;
    void Clear();

private:
    struct Line {
        std::string text;
        bool cut = false;
    };
    void Cut(const char* bytes, std::size_t count);

    std::size_t maxLineBytes_;
    std::vector<char> chunk_;
    std::deque<Line> ready_;
    std::string current_;       // the unfinished line, at most maxLineBytes_
    bool currentCut_ = false;   // its tail is being dropped
    bool currentStarted_ = false;  // some byte of it arrived (it may be empty after a cut)
};

}  // namespace lv

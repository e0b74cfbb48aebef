#include "base/net/LineReader.h"

#include <cstring>

namespace lv {

LineReader::LineReader(std::size_t maxLineBytes, std::size_t chunkBytes)
    : maxLineBytes_(maxLineBytes), chunk_(chunkBytes > 0 ? chunkBytes : 1) {
    current_.reserve(maxLineBytes_);
}

void LineReader::Commit(std::size_t count) {
    if (count > chunk_.size()) count = chunk_.size();
    Cut(chunk_.data(), count);
}

void LineReader::Append(const char* bytes, std::size_t count) { Cut(bytes, count); }

void LineReader::Cut(const char* bytes, std::size_t count) {
    while (count > 0) {
        const char* feed = static_cast<const char*>(std::memchr(bytes, '\n', count));
        std::size_t segment = feed ? static_cast<std::size_t>(feed - bytes) : count;
        if (segment > 0) currentStarted_ = true;
        if (!currentCut_) {
            std::size_t room = maxLineBytes_ - current_.size();
            if (segment > room) {
                current_.append(bytes, room);
                currentCut_ = true;
            } else {
                current_.append(bytes, segment);
            }
        }
        if (!feed) return;
        // Copied at its own size: the buffer of the unfinished line, room for the
        // longest line, stays here for the next one instead of leaving with each line.
        ready_.push_back(Line{current_, currentCut_});
        current_.clear();
        currentCut_ = false;
        currentStarted_ = false;
        bytes += segment + 1;
        count -= segment + 1;
    }
}

bool LineReader::TakeLine(std::string& line, bool& cut) {
    if (ready_.empty()) return false;
    line = std::move(ready_.front().text);
    cut = ready_.front().cut;
    ready_.pop_front();
    return true;
}

bool LineReader::TakeUnfinished(std::string& rest) {
    if (!currentStarted_) return false;
    rest = std::move(current_);
    current_.clear();
    currentCut_ = false;
    currentStarted_ = false;
    return true;
}

std::size_t LineReader::Buffered() const {
    std::size_t total = current_.size();
    for (const Line& line : ready_) total += line.text.size() + 1;
    return total;
}

void LineReader::Clear() {
    ready_.clear();
    current_.clear();
    currentCut_ = false;
    currentStarted_ = false;
}

}  // namespace lv

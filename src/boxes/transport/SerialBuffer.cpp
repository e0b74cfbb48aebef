#include "boxes/transport/SerialBuffer.h"

namespace lv {

std::size_t CSerialBuffer::Append(const char* bytes, std::size_t count) {
    std::size_t kept = 0;
    {
        std::lock_guard<std::mutex> guard(lock_);
        for (std::size_t i = 0; i < count; ++i) {
            const char c = bytes[i];
            const bool replyEnd = c == '\n' && lastByte_ == '\n';
            lastByte_ = c;
            if (skipping_) {
                ++droppedBytes_;
                if (replyEnd) skipping_ = false;
                continue;
            }
            if (text_.size() >= kCapacity || currentReply_ >= kMaxReplyBytes) {
                // The reply held so far is handed out cut; the rest of it is dropped up
                // to its end, so that its tail never passes for a reply of its own.
                if (currentReply_ > 0 && (cuts_.empty() || cuts_.back() != text_.size())) cuts_.push_back(text_.size());
                currentReply_ = 0;
                ++droppedBytes_;
                skipping_ = !replyEnd;
                continue;
            }
            text_.push_back(c);
            ++kept;
            currentReply_ = replyEnd ? 0 : currentReply_ + 1;
        }
    }
    if (kept > 0) dataEvent_.notify_all();
    return kept;
}

CSerialBuffer::Read CSerialBuffer::ReadUpTo(std::string& out, std::string_view delimiter) {
    std::lock_guard<std::mutex> guard(lock_);
    if (text_.empty()) return Read::Nothing;
    const std::size_t cut = cuts_.empty() ? std::string::npos : cuts_.front();
    const std::size_t at = delimiter.empty() ? std::string::npos : text_.find(delimiter);
    Read result = Read::Partial;
    std::size_t end = text_.size();
    if (at != std::string::npos && (cut == std::string::npos || at + delimiter.size() <= cut)) {
        end = at + delimiter.size();
        result = Read::Delimited;
    } else if (cut != std::string::npos) {
        end = cut;
        result = Read::Cut;
        cuts_.pop_front();
    }
    out.append(text_, 0, end);
    text_.erase(0, end);
    for (std::size_t& position : cuts_) position -= end;
    return result;
}

bool CSerialBuffer::HasDelimited(std::string_view delimiter) const {
    std::lock_guard<std::mutex> guard(lock_);
    return !cuts_.empty() || (!delimiter.empty() && text_.find(delimiter) != std::string::npos);
}

bool CSerialBuffer::WaitForData(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> guard(lock_);
    const uint64_t wake = wakeSerial_;
    dataEvent_.wait_for(guard, timeout, [&] { return !text_.empty() || wakeSerial_ != wake; });
    return !text_.empty();
}

void CSerialBuffer::Wake() {
    {
        std::lock_guard<std::mutex> guard(lock_);
        ++wakeSerial_;
    }
    dataEvent_.notify_all();
}

void CSerialBuffer::Flush() {
    std::lock_guard<std::mutex> guard(lock_);
    text_.clear();
    cuts_.clear();
    currentReply_ = 0;
}

void CSerialBuffer::Reset() {
    std::lock_guard<std::mutex> guard(lock_);
    text_.clear();
    cuts_.clear();
    skipping_ = false;
    lastByte_ = '\0';
    currentReply_ = 0;
    droppedBytes_ = 0;
}

std::size_t CSerialBuffer::Available() const {
    std::lock_guard<std::mutex> guard(lock_);
    return text_.size();
}

uint64_t CSerialBuffer::DroppedBytes() const {
    std::lock_guard<std::mutex> guard(lock_);
    return droppedBytes_;
}

}  // namespace lv

#include "boxes/transport/SerialBuffer.h"

namespace lv {

std::size_t CSerialBuffer::Skip(const char* bytes, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        const char c = bytes[i];
        ++droppedBytes_;
        if (c == '\n' && lastSkipped_ == '\n') {
            skipping_ = false;
            lastSkipped_ = '\0';
            return i + 1;
        }
        lastSkipped_ = c;
    }
    return count;
}

std::size_t CSerialBuffer::Append(const char* bytes, std::size_t count) {
    std::size_t kept = 0;
    {
        std::lock_guard<std::mutex> guard(lock_);
        std::size_t done = 0;
        while (done < count) {
            if (skipping_) {
                done += Skip(bytes + done, count - done);
                continue;
            }
            const std::size_t room = kCapacity - text_.size();
            const std::size_t take = count - done < room ? count - done : room;
            text_.append(bytes + done, take);
            done += take;
            kept += take;
            if (done < count) {
                // Full: the reply held is handed out cut; its rest is dropped up to its
                // end. The last byte kept may be its first line feed already.
                skipping_ = true;
                // A cut where the last one ended is the same cut: nothing was kept since.
                if (cuts_.empty() || cuts_.back() != text_.size()) cuts_.push_back(text_.size());
                lastSkipped_ = text_.empty() ? '\0' : text_.back();
            }
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
}

void CSerialBuffer::Reset() {
    std::lock_guard<std::mutex> guard(lock_);
    text_.clear();
    cuts_.clear();
    skipping_ = false;
    lastSkipped_ = '\0';
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

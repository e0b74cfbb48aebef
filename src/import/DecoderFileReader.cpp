#include "import/DecoderFileReader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace lv {

namespace {
constexpr std::size_t kBlockSize = 256 * 1024;
}

DecoderFileReader::DecoderFileReader() : buffer_(kBlockSize) {}

DecoderFileReader::~DecoderFileReader() { Close(); }

bool DecoderFileReader::Open(const std::string& path, std::string& error) {
    Close();
    notRegular_ = false;
    // Non-blocking: opening a FIFO with no writer must not hang the reading.
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd_ < 0) {
        error = std::strerror(errno);
        return false;
    }
    struct stat info {};
    if (::fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode)) {
        notRegular_ = true;
        error = "not a regular file";
        Close();
        return false;
    }
    const int flags = ::fcntl(fd_, F_GETFL);
    if (flags >= 0) ::fcntl(fd_, F_SETFL, flags & ~O_NONBLOCK);
    size_ = static_cast<std::size_t>(info.st_size);
    begin_ = end_ = consumed_ = 0;
    eof_ = skipLf_ = false;
    error_.clear();
    longLine_.clear();
    return true;
}

void DecoderFileReader::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

// Moves the bytes not handed over to the front and reads more after them.
bool DecoderFileReader::Refill() {
    if (eof_ || fd_ < 0) return false;
    if (begin_ > 0) {
        std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
        end_ -= begin_;
        begin_ = 0;
    }
    while (true) {
        ssize_t n = ::read(fd_, buffer_.data() + end_, buffer_.size() - end_);
        if (n > 0) {
            end_ += static_cast<std::size_t>(n);
            return true;
        }
        if (n == 0) {
            eof_ = true;
            return false;
        }
        if (errno == EINTR) continue;
        error_ = std::strerror(errno);
        eof_ = true;
        return false;
    }
}

bool DecoderFileReader::Next(std::string_view& line, bool& tooLong) {
    tooLong = false;
    bool discarding = false;  // inside an over-long line, after its kept start
    while (true) {
        if (begin_ == end_ && !Refill()) {
            // End of file: a last line without its end still counts.
            if (discarding) {
                line = longLine_;
                tooLong = true;
                return true;
            }
            return false;
        }
        if (skipLf_) {
            skipLf_ = false;
            if (buffer_[begin_] == '\n') {
                ++begin_;
                ++consumed_;
                continue;
            }
        }
        const char* start = buffer_.data() + begin_;
        const std::size_t available = end_ - begin_;
        const char* lf = static_cast<const char*>(std::memchr(start, '\n', available));
        const std::size_t scan = lf ? static_cast<std::size_t>(lf - start) : available;
        const char* cr = static_cast<const char*>(std::memchr(start, '\r', scan));
        const char* stop = cr ? cr : lf;
        if (stop) {
            const std::size_t length = static_cast<std::size_t>(stop - start);
            begin_ += length + 1;
            consumed_ += length + 1;
            if (stop == cr) skipLf_ = true;
            if (discarding) {
                line = longLine_;
                tooLong = true;
            } else if (length > kMaxLineLength) {
                longLine_.assign(start, kMaxLineLength);
                line = longLine_;
                tooLong = true;
            } else {
                line = std::string_view(start, length);
            }
            return true;
        }
        // No line end in what is buffered.
        if (discarding || available > kMaxLineLength) {
            if (!discarding) longLine_.assign(start, kMaxLineLength);
            discarding = true;
            begin_ = end_;
            consumed_ += available;
            continue;
        }
        if (!Refill()) {
            if (end_ - begin_ == 0) return false;
            // The last line of the file, without a line end.
            line = std::string_view(buffer_.data() + begin_, end_ - begin_);
            consumed_ += end_ - begin_;
            begin_ = end_;
            return true;
        }
    }
}

}  // namespace lv

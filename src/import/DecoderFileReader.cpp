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
// Room for a whole line of the longest length and its end, twice over: a small source
// gets a small buffer (the import of a short file, a fuzzer's input) without changing
// where lines are cut.
constexpr std::size_t kSmallestBlock = 4 * 1024;
static_assert(kSmallestBlock > 2 * (DecoderFileReader::kMaxLineLength + 2));

class FileSource : public DecoderFileSource {
public:
    explicit FileSource(int fd) : fd_(fd) {}
    ~FileSource() override { ::close(fd_); }
    long Read(char* into, std::size_t room, std::string& error) override {
        while (true) {
            const ssize_t n = ::read(fd_, into, room);
            if (n >= 0) return static_cast<long>(n);
            if (errno == EINTR) continue;
            error = std::strerror(errno);
            return -1;
        }
    }

private:
    int fd_;
};

}  // namespace

DecoderFileReader::DecoderFileReader() = default;

DecoderFileReader::~DecoderFileReader() { Close(); }

bool DecoderFileReader::Open(const std::string& path, std::string& error) {
    Close();
    notRegular_ = false;
    // Non-blocking: opening a FIFO with no writer must not hang the reading.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        notRegular_ = true;
        error = "not a regular file";
        return false;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    Open(std::make_unique<FileSource>(fd), static_cast<std::size_t>(info.st_size));
    return true;
}

void DecoderFileReader::Open(std::unique_ptr<DecoderFileSource> source, std::size_t size) {
    Close();
    source_ = std::move(source);
    size_ = size;
    const std::size_t block = size == 0 ? kBlockSize : std::clamp(size + 1, kSmallestBlock, kBlockSize);
    if (bufferSize_ != block) {
        buffer_ = std::make_unique_for_overwrite<char[]>(block);
        bufferSize_ = block;
    }
    begin_ = end_ = consumed_ = 0;
    eof_ = skipLf_ = false;
    error_.clear();
    longLine_.clear();
}

void DecoderFileReader::Close() { source_.reset(); }

// Moves the bytes not handed over to the front and reads more after them.
bool DecoderFileReader::Refill() {
    if (eof_ || !source_) return false;
    // The bytes not handed over (at most a line's worth) move to the front only when
    // the room after them runs short: a source that gives few bytes at a time (a pipe)
    // would otherwise move the same partial line again at every read.
    if (begin_ == end_) {
        begin_ = end_ = 0;
    } else if (begin_ > 0 && bufferSize_ - end_ < bufferSize_ / 2) {
        std::memmove(buffer_.get(), buffer_.get() + begin_, end_ - begin_);
        end_ -= begin_;
        begin_ = 0;
    }
    const long n = source_->Read(buffer_.get() + end_, bufferSize_ - end_, error_);
    if (n > 0) {
        end_ += static_cast<std::size_t>(std::min<std::size_t>(static_cast<std::size_t>(n), bufferSize_ - end_));
        return true;
    }
    eof_ = true;
    return false;
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
        const char* start = buffer_.get() + begin_;
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
            line = std::string_view(buffer_.get() + begin_, end_ - begin_);
            consumed_ += end_ - begin_;
            begin_ = end_;
            return true;
        }
    }
}

}  // namespace lv

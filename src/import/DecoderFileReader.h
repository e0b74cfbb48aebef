#pragma once
// Reads a decoder output file line by line in large blocks. A line ends at LF, CR LF or
// a lone CR (files moved between systems carry any of them). A line longer than
// kMaxLineLength is handed over once, cut to that length and flagged, and the rest of
// it is skipped: a piece of a long line must never pass for a line of its own.
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace lv {

// Where a reader's bytes come from: a file, or memory (tests, fuzzing).
class DecoderFileSource {
public:
    virtual ~DecoderFileSource() = default;
    // Up to `room` bytes into `into`: how many, 0 at the end, -1 on an error (its text
    // in `error`). May give fewer than asked before the end.
    virtual long Read(char* into, std::size_t room, std::string& error) = 0;
};

class DecoderFileReader {
public:
    static constexpr std::size_t kMaxLineLength = 511;

    DecoderFileReader();
    ~DecoderFileReader();
    DecoderFileReader(const DecoderFileReader&) = delete;
    DecoderFileReader& operator=(const DecoderFileReader&) = delete;

    // False with the system's reason when the file cannot be opened for reading, or
    // when it is not a regular file (NotRegular() then says so): a FIFO or a device
    // could block or never end.
    bool Open(const std::string& path, std::string& error);
    bool NotRegular() const { return notRegular_; }
    // Reads from `source`, whose size is `size` bytes (0 when unknown).
    void Open(std::unique_ptr<DecoderFileSource> source, std::size_t size);
    void Close();

    // The next line without its end, valid until the next call. False at the end of
    // the file or after a read error (Error() then tells it).
    bool Next(std::string_view& line, bool& tooLong);

    const std::string& Error() const { return error_; }
    // The file's size when it was opened (0 when unknown).
    std::size_t Size() const { return size_; }
    // Bytes consumed so far.
    std::size_t Position() const { return consumed_; }

private:
    bool Refill();

    std::unique_ptr<DecoderFileSource> source_;
    // Not zeroed: only what the source wrote is ever read.
    std::unique_ptr<char[]> buffer_;
    std::size_t bufferSize_ = 0;
    std::size_t begin_ = 0;  // first byte not handed over yet
    std::size_t end_ = 0;    // end of the bytes read
    bool eof_ = false;
    bool skipLf_ = false;    // the last line ended with CR: a following LF belongs to it
    std::string longLine_;   // the kept start of an over-long line
    std::string error_;
    std::size_t consumed_ = 0;
    std::size_t size_ = 0;
    bool notRegular_ = false;
};

}  // namespace lv

// A whole small decoder output file through the import's reader, its bytes handed over
// in blocks of random sizes: the lines are the same whatever the blocks, none is
// longer than the bound, and a piece of an over-long line never passes for a line.
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "import/DecoderFileReader.h"

using namespace lv;

namespace {

// Hands the text over in blocks whose sizes come from `sizes` (1..256 each, cycled).
class SplitSource : public DecoderFileSource {
public:
    SplitSource(std::string_view text, std::string_view sizes) : text_(text), sizes_(sizes) {}
    long Read(char* into, std::size_t room, std::string&) override {
        std::size_t block = text_.size();
        if (!sizes_.empty()) {
            block = static_cast<unsigned char>(sizes_[next_++ % sizes_.size()]) + 1u;
        }
        const std::size_t n = std::min({block, room, text_.size()});
        std::copy_n(text_.data(), n, into);
        text_.remove_prefix(n);
        return static_cast<long>(n);
    }

private:
    std::string_view text_;
    std::string_view sizes_;
    std::size_t next_ = 0;
};

struct Line {
    std::string text;
    bool tooLong;
    bool operator==(const Line&) const = default;
};

std::vector<Line> ReadAll(std::string_view text, std::string_view sizes, std::size_t announced) {
    DecoderFileReader reader;
    reader.Open(std::make_unique<SplitSource>(text, sizes), announced);
    std::vector<Line> lines;
    std::string_view line;
    bool tooLong = false;
    while (reader.Next(line, tooLong)) {
        FUZZ_CHECK(line.size() <= DecoderFileReader::kMaxLineLength);
        FUZZ_CHECK(line.find('\n') == std::string_view::npos && line.find('\r') == std::string_view::npos);
        lines.push_back({std::string(line), tooLong});
    }
    FUZZ_CHECK(reader.Error().empty());
    FUZZ_CHECK(reader.Position() == text.size());
    return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input input(data, size);
    const std::string_view sizes = input.Piece('\x00');
    const std::string_view text = input.Rest();

    const std::vector<Line> whole = ReadAll(text, {}, text.size());
    // Line ends: each LF, CR LF or lone CR ends one line; a last line without its end
    // still counts.
    std::size_t ends = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' || (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n'))) ++ends;
    }
    const bool openLast = !text.empty() && text.back() != '\n' && text.back() != '\r';
    FUZZ_CHECK(whole.size() == ends + (openLast ? 1 : 0));

    FUZZ_CHECK(ReadAll(text, sizes, text.size()) == whole);
    // A source of unknown size gets the large buffer: the same lines. Rarely, as a
    // buffer of 256 KiB per input would slow the run tenfold.
    if (!sizes.empty() && sizes[0] == '\xff') FUZZ_CHECK(ReadAll(text, sizes, 0) == whole);
    return 0;
}

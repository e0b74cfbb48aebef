// The import's line reader over bytes in memory, handed over in blocks of any size: a
// line end split between two blocks is still one line end.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "import/DecoderFileReader.h"

namespace lv {
namespace {

class BlockSource : public DecoderFileSource {
public:
    BlockSource(std::string text, std::size_t block) : text_(std::move(text)), block_(block) {}
    long Read(char* into, std::size_t room, std::string&) override {
        const std::size_t n = std::min({block_, room, text_.size() - at_});
        std::copy_n(text_.data() + at_, n, into);
        at_ += n;
        return static_cast<long>(n);
    }

private:
    std::string text_;
    std::size_t block_;
    std::size_t at_ = 0;
};

struct Read {
    std::vector<std::string> lines;
    std::vector<bool> tooLong;
};

Read ReadAll(const std::string& text, std::size_t block) {
    DecoderFileReader reader;
    reader.Open(std::make_unique<BlockSource>(text, block), text.size());
    Read read;
    std::string_view line;
    bool tooLong = false;
    while (reader.Next(line, tooLong)) {
        read.lines.emplace_back(line);
        read.tooLong.push_back(tooLong);
    }
    EXPECT_EQ(reader.Position(), text.size());
    return read;
}

TEST(DecoderFileReaderBlocks, EveryLineEndReadsAlikeWhateverTheBlocks) {
    const std::string text = "a;1\r\nb;2\rc;3\n\r\nd;4";
    for (std::size_t block : {1u, 2u, 3u, 5u, 4096u}) {
        const Read read = ReadAll(text, block);
        EXPECT_EQ(read.lines, (std::vector<std::string>{"a;1", "b;2", "c;3", "", "d;4"})) << "blocks of " << block;
    }
}

TEST(DecoderFileReaderBlocks, AnOverLongLineIsHandedOverOnceCutWhateverTheBlocks) {
    const std::string longLine(DecoderFileReader::kMaxLineLength + 300, 'x');
    const std::string text = "first\r\n" + longLine + "\r\nlast";
    for (std::size_t block : {1u, 7u, 512u, 4096u}) {
        const Read read = ReadAll(text, block);
        ASSERT_EQ(read.lines.size(), 3u) << "blocks of " << block;
        EXPECT_EQ(read.lines[1], longLine.substr(0, DecoderFileReader::kMaxLineLength));
        EXPECT_EQ(read.tooLong, (std::vector<bool>{false, true, false}));
        EXPECT_EQ(read.lines[2], "last");
    }
}

}  // namespace
}  // namespace lv

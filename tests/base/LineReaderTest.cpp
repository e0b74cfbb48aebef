// Cutting received bytes into bounded lines.
#include <gtest/gtest.h>

#include <cstring>

#include "base/net/LineReader.h"

namespace lv {
namespace {

struct Taken {
    std::string text;
    bool cut = false;
};

std::vector<Taken> TakeAll(LineReader& buffer) {
    std::vector<Taken> lines;
    Taken line;
    while (buffer.TakeLine(line.text, line.cut)) lines.push_back(line);
    return lines;
}

TEST(LineReader, KeepsCarriageReturnAndDropsTheLineFeed) {
    LineReader buffer(16);
    buffer.Append("ABC\r\n", 5);
    auto lines = TakeAll(buffer);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].text, "ABC\r");
    EXPECT_FALSE(lines[0].cut);
    EXPECT_EQ(buffer.Buffered(), 0u);
}

TEST(LineReader, JoinsALineSpreadOverChunksAndSplitsSeveralInOne) {
    LineReader buffer(64);
    buffer.Append("#P;1;", 5);
    EXPECT_FALSE(buffer.HasLine());
    buffer.Append("A\nB\n\nC", 6);
    auto lines = TakeAll(buffer);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].text, "#P;1;A");
    EXPECT_EQ(lines[1].text, "B");
    EXPECT_EQ(lines[2].text, "");
    std::string rest;
    ASSERT_TRUE(buffer.TakeUnfinished(rest));
    EXPECT_EQ(rest, "C");
    EXPECT_FALSE(buffer.TakeUnfinished(rest));
}

TEST(LineReader, CutsAnOverlongLineAndResumesAtTheNextLineFeed) {
    LineReader buffer(8, 4);
    std::string stream = std::string(20, 'x') + "\nOK\n";
    // Through the chunk area, a few bytes at a time, as the transport does.
    std::size_t offset = 0;
    while (offset < stream.size()) {
        std::size_t count = std::min(buffer.ChunkCapacity(), stream.size() - offset);
        std::memcpy(buffer.ChunkArea(), stream.data() + offset, count);
        buffer.Commit(count);
        offset += count;
        // Never more than one bound and one chunk held, however long the line.
        EXPECT_LE(buffer.Buffered(), 8u + 1u + buffer.ChunkCapacity());
    }
    auto lines = TakeAll(buffer);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].text, std::string(8, 'x'));
    EXPECT_TRUE(lines[0].cut);
    EXPECT_EQ(lines[1].text, "OK");
    EXPECT_FALSE(lines[1].cut);
}

TEST(LineReader, ALineOfExactlyTheBoundIsWhole) {
    LineReader buffer(8);
    buffer.Append("12345678\n", 9);
    auto lines = TakeAll(buffer);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].text, "12345678");
    EXPECT_FALSE(lines[0].cut);
}

TEST(LineReader, KeepsBinaryBytesAndClearForgetsEverything) {
    LineReader buffer(16);
    const char bytes[] = {'A', '\0', '\xff', '\n', 'B'};
    buffer.Append(bytes, sizeof bytes);
    Taken line;
    ASSERT_TRUE(buffer.TakeLine(line.text, line.cut));
    EXPECT_EQ(line.text, std::string("A\0\xff", 3));
    buffer.Clear();
    EXPECT_EQ(buffer.Buffered(), 0u);
    std::string rest;
    EXPECT_FALSE(buffer.TakeUnfinished(rest));
}

}  // namespace
}  // namespace lv

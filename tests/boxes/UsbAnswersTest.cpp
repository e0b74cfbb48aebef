// The USB TimingBox's answers decoded without a box: a PASSINGGET reply into its run
// of passings and what broke it, the passing count and the information items.
#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "boxes/UsbAnswers.h"

namespace lv {
namespace {

std::string Line(const char* chip, uint32_t index, uint32_t ticks) {
    char text[128];
    std::snprintf(text, sizeof text, "%s;%x;%x;8c;2f;7;1;0;6;0;2;0", chip, index, ticks);
    return text;
}

// A whole reply: status, value line, passing lines, the blank line that ends it.
std::string Reply(uint32_t first, uint32_t announced, const std::vector<std::string>& lines) {
    char value[64];
    std::snprintf(value, sizeof value, "%x;%x", first, announced);
    std::string text = std::string("PASSINGGET;0\n") + value + "\n";
    for (const std::string& line : lines) text += line + "\n";
    return text + "\n";
}

TEST(UsbBatchDecoding, WholeBatchGivesEachPassingAtItsIndex) {
    const UsbBatch batch =
        DecodePassingBatch(Reply(0x2a, 3, {Line("C1", 0x2a, 0x100), Line("C2", 0x2b, 0x200), Line("C3", 0x2c, 0x300)}),
                           0x2a);
    EXPECT_EQ(batch.status, 0);
    ASSERT_TRUE(batch.valueRead);
    EXPECT_EQ(batch.announced, 3u);
    ASSERT_EQ(batch.passings.size(), 3u);
    EXPECT_EQ(batch.passings[1].index, 0x2bu);
    EXPECT_EQ(batch.passings[1].chip, "C2");
    EXPECT_EQ(batch.passings[1].ticks, 0x200u);
    EXPECT_EQ(batch.passings[2].line, Line("C3", 0x2c, 0x300));
    EXPECT_EQ(batch.broken, UsbBatchBreak::None);
    EXPECT_EQ(batch.extraLines, 0u);
}

TEST(UsbBatchDecoding, UnreadableLineEndsTheRunThere) {
    const UsbBatch batch =
        DecodePassingBatch(Reply(0, 3, {Line("C1", 0, 1), "C2;1;\x02\xfe;7;1", Line("C3", 2, 3)}), 0);
    ASSERT_EQ(batch.passings.size(), 1u);
    EXPECT_EQ(batch.broken, UsbBatchBreak::Unreadable);
    EXPECT_EQ(batch.brokenComponents, 2);
    EXPECT_EQ(batch.brokenLine, "C2;1;\x02\xfe;7;1");
}

TEST(UsbBatchDecoding, NoiseLineAmongThePassingsPushesNoneOut) {
    // Four lines for three announced: the third passing must not be cut off silently.
    const UsbBatch batch =
        DecodePassingBatch(Reply(0, 3, {Line("C1", 0, 1), "\x7f~#$noise", Line("C2", 1, 2), Line("C3", 2, 3)}), 0);
    ASSERT_EQ(batch.passings.size(), 1u);
    EXPECT_EQ(batch.broken, UsbBatchBreak::Unreadable);
}

TEST(UsbBatchDecoding, LineOutOfPlaceEndsTheRunThere) {
    // One lost, and a line of an earlier reply.
    UsbBatch batch = DecodePassingBatch(Reply(5, 3, {Line("C1", 5, 1), Line("C3", 7, 3)}), 5);
    ASSERT_EQ(batch.passings.size(), 1u);
    EXPECT_EQ(batch.broken, UsbBatchBreak::OutOfOrder);
    EXPECT_EQ(batch.brokenIndex, 7u);
    batch = DecodePassingBatch(Reply(5, 2, {Line("C1", 4, 1), Line("C2", 5, 2)}), 5);
    EXPECT_TRUE(batch.passings.empty());
    EXPECT_EQ(batch.broken, UsbBatchBreak::OutOfOrder);
}

TEST(UsbBatchDecoding, ShortAndLongReplies) {
    UsbBatch batch = DecodePassingBatch(Reply(0, 3, {Line("C1", 0, 1)}), 0);
    EXPECT_EQ(batch.passings.size(), 1u);
    EXPECT_EQ(batch.broken, UsbBatchBreak::Missing);
    batch = DecodePassingBatch(Reply(0, 1, {Line("C1", 0, 1), Line("C2", 1, 2)}), 0);
    EXPECT_EQ(batch.passings.size(), 1u);
    EXPECT_EQ(batch.broken, UsbBatchBreak::None);
    EXPECT_EQ(batch.extraLines, 1u);
}

TEST(UsbBatchDecoding, IndexesWrapAsTheBoxsDo) {
    const UsbBatch batch =
        DecodePassingBatch(Reply(0xfffffffe, 3, {Line("C1", 0xfffffffe, 1), Line("C2", 0xffffffff, 2), Line("C3", 0, 3)}),
                           0xfffffffe);
    ASSERT_EQ(batch.passings.size(), 3u);
    EXPECT_EQ(batch.passings[2].index, 0u);
    EXPECT_EQ(NextUsbIndex(0x7fffffff), 0x80000000u);
    EXPECT_EQ(NextUsbIndex(0xffffffff), 0u);
}

TEST(UsbBatchDecoding, StatusAndValueLineOfOtherReplies) {
    UsbBatch batch = DecodePassingBatch("PASSINGGET;10\n0;2a\n\n", 0);
    EXPECT_EQ(batch.status, 10);
    ASSERT_TRUE(batch.valueRead);
    EXPECT_EQ(batch.announced, 0x2au);
    EXPECT_TRUE(batch.passings.empty());
    batch = DecodePassingBatch("PASSINGGET;0\nzz\nC1;0;1;2;3;4;5;6;7;8;9;a\n\n", 0);
    EXPECT_FALSE(batch.valueRead);
    EXPECT_TRUE(batch.passings.empty());
    batch = DecodePassingBatch("", 0);
    EXPECT_EQ(batch.status, -1);
    // A status 0 reply that announces more than it can hold still takes only its lines.
    batch = DecodePassingBatch("PASSINGGET;0\n0;ffffffff\n" + Line("C1", 0, 1) + "\n\n", 0);
    EXPECT_EQ(batch.passings.size(), 1u);
    EXPECT_EQ(batch.broken, UsbBatchBreak::Missing);
}

TEST(UsbPassingCountsDecoding, FiveFieldsAndTheMemoryBehind) {
    const std::optional<UsbPassingCounts> counts = DecodePassingInfo("25;0;1a2b;24;3c4d");
    ASSERT_TRUE(counts);
    EXPECT_EQ(counts->count, 0x25u);
    EXPECT_EQ(counts->firstIndex, 0u);
    EXPECT_EQ(counts->firstTicks, 0x1a2bu);
    EXPECT_EQ(counts->lastIndex, 0x24u);
    EXPECT_EQ(counts->lastTicks, 0x3c4du);
    EXPECT_FALSE(DecodePassingInfo("1;0;2;0"));
    EXPECT_FALSE(DecodePassingInfo(""));
    // 37 passings from 0: index 37 is the next one; 100 is beyond what it holds.
    EXPECT_FALSE(UsbMemoryBehind(*counts, 0x25));
    EXPECT_FALSE(UsbMemoryBehind(*counts, 3));
    EXPECT_TRUE(UsbMemoryBehind(*counts, 100));
    // Empty after a reset, its first index kept.
    EXPECT_TRUE(UsbMemoryBehind(UsbPassingCounts{0, 0x2a, 0, 0x2a, 0}, 0x40));
    EXPECT_FALSE(UsbMemoryBehind(UsbPassingCounts{0, 0x2a, 0, 0x2a, 0}, 0x2a));
    // Counting across the top of the index space.
    EXPECT_FALSE(UsbMemoryBehind(UsbPassingCounts{4, 0xfffffffe, 0, 1, 0}, 2));
}

TEST(UsbInfoDecoding, ItemAndValue) {
    const std::optional<UsbInfoValue> info = DecodeInfo("2;1a");
    ASSERT_TRUE(info);
    EXPECT_EQ(info->item, 2u);
    EXPECT_EQ(info->value, 0x1au);
    EXPECT_FALSE(DecodeInfo("1a"));
}

}  // namespace
}  // namespace lv

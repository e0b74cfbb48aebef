// The USB TimingBox's line formats: replies, clock reference, tick conversion, passing
// lines.
#include <gtest/gtest.h>

#include "boxes/UsbBoxProtocol.h"
#include "boxes/UsbPassingParser.h"

namespace lv {
namespace {

TEST(UsbTicks, ConvertFromTheReference) {
    const uint32_t epoch = 0x5f5e1000;
    CChrono time;
    ASSERT_TRUE(UsbTicksToTime("5f5e1000;100", 0x300, time));
    EXPECT_EQ(time, CChrono(static_cast<int32_t>(epoch) + 2, 0));
    ASSERT_TRUE(UsbTicksToTime("5f5e1000;100", 0x180, time));
    EXPECT_EQ(time, CChrono(static_cast<int32_t>(epoch), 500));
    // Milliseconds are truncated: one tick is 3.90625 ms.
    ASSERT_TRUE(UsbTicksToTime("5f5e1000;100", 0x101, time));
    EXPECT_EQ(time, CChrono(static_cast<int32_t>(epoch), 3));
}

TEST(UsbTicks, CounterWrapsPastZero) {
    // The counter read fffffe00 at E; 0x100 ticks after its wrap is 3 seconds later.
    CChrono time;
    ASSERT_TRUE(UsbTicksToTime("60000000;fffffe00", 0x100, time));
    EXPECT_EQ(time, CChrono(0x60000000 + 3, 0));
    // A passing stored before the reference instant comes before it, even across the wrap.
    ASSERT_TRUE(UsbTicksToTime("60000000;80", 0xfffffe80, time));
    EXPECT_EQ(time, CChrono(0x60000000 - 2, 0));
    ASSERT_TRUE(UsbTicksToTime("60000000;100", 0x80, time));
    EXPECT_EQ(time, CChrono(0x60000000 - 1, 500));
}

TEST(UsbTicks, UnreadableReferenceGivesNoTime) {
    CChrono time(5, 5);
    EXPECT_FALSE(UsbTicksToTime("", 0x300, time));
    EXPECT_FALSE(UsbTicksToTime("5f5e1000", 0x300, time));
    EXPECT_FALSE(UsbTicksToTime("zz;12", 0x300, time));
    EXPECT_EQ(time, CChrono(5, 5));
}

TEST(UsbReplies, SplitIntoStatusValueAndPassingLines) {
    UsbReply reply = SplitUsbReply("PASSINGGET;0\r\n2a;2\nC1;2a;100;0;0;0;0;0;0;0;0;0\nC2;2b;200;0;0;0;0;0;0;0;0;0");
    EXPECT_EQ(reply.statusLine, "PASSINGGET;0");
    EXPECT_EQ(reply.valueLine, "2a;2");
    ASSERT_EQ(reply.moreLines.size(), 2u);
    EXPECT_EQ(reply.moreLines[1], "C2;2b;200;0;0;0;0;0;0;0;0;0");
    EXPECT_EQ(UsbReplyStatus(reply.statusLine, "PASSINGGET"), 0);
    EXPECT_EQ(UsbReplyStatus("PASSINGGET;10", "PASSINGGET"), 10);
    EXPECT_EQ(UsbReplyStatus("PASSINGGET", "PASSINGGET"), -1);
    EXPECT_EQ(UsbReplyStatus("EPOCHREFGET;0", "PASSINGGET"), -1);

    UsbReply bare = SplitUsbReply("ASCII;0");
    EXPECT_EQ(bare.statusLine, "ASCII;0");
    EXPECT_EQ(bare.valueLine, "");
    EXPECT_TRUE(bare.moreLines.empty());

    uint32_t a = 0, b = 0;
    EXPECT_TRUE(ReadHexPair("0;2a", a, b));
    EXPECT_EQ(b, 0x2au);
    EXPECT_FALSE(ReadHexPair("2a", a, b));
}

TEST(UsbPassingLines, TwelveComponentsWithTheTickCountThird) {
    UsbPassing passing;
    EXPECT_EQ(ParseUsbPassing("C00042;2a;6ac1f125;8c;2f;7;1;0;6;0;2;0", passing), 12);
    EXPECT_EQ(passing.chip, "C00042");
    EXPECT_EQ(passing.ticks, 0x6ac1f125u);

    EXPECT_EQ(ParseUsbPassing("C00042;2a;6ac1f125;8c;2f;7;1;0;6;0;2", passing), 11);
    EXPECT_EQ(ParseUsbPassing("", passing), 0);
    EXPECT_EQ(ParseUsbPassing("C00042;zz;1;1;1;1;1;1;1;1;1;1", passing), 1);
}

TEST(UsbPassingLines, ChipTextIsReadWithinItsBound) {
    UsbPassing passing;
    const std::string fits(kMaxUsbChipChars, 'A');
    EXPECT_EQ(ParseUsbPassing(fits + ";1;2;3;4;5;6;7;8;9;a;b", passing), 12);
    EXPECT_EQ(passing.chip, fits);
    // One character more: the reading stops at the bound, the line is incomplete.
    EXPECT_LT(ParseUsbPassing(fits + "A;1;2;3;4;5;6;7;8;9;a;b", passing), 12);
    EXPECT_LT(ParseUsbPassing(std::string(100000, 'B') + ";1;2;3;4;5;6;7;8;9;a;b", passing), 12);
    // A chip with control characters would break the journal's lines.
    EXPECT_EQ(ParseUsbPassing("C\tX;1;2;3;4;5;6;7;8;9;a;b", passing), 0);
}

TEST(UsbBoxTypes, Names) {
    EXPECT_EQ(UsbBoxTypeName(10), "active-ext");
    EXPECT_EQ(UsbBoxTypeName(30), "management-box");
    EXPECT_EQ(UsbBoxTypeName(40), "usb-timing-box");
    EXPECT_EQ(UsbBoxTypeName(0x21), "unknown-type: 0x21");
}

}  // namespace
}  // namespace lv

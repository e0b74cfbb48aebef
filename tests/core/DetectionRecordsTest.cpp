#include "core/DetectionRecords.h"

#include <gtest/gtest.h>

#include <string>

namespace lv {
namespace {

// An absolute instant a little after 09:41 on 1 June 2025 (UTC), plus `ms`.
CChrono At(int ms) {
    const int32_t base = 1748770867;
    return CChrono(base + ms / 1000, static_cast<uint16_t>(ms % 1000));
}

TEST(LastBoxDetectionList, KeepsOneEntryPerLabelMostRecentFirst) {
    CLastBoxDetectionList list;
    list.AddRead("A", At(0));
    list.AddRead("B", At(10));
    list.AddRead("A", At(20));
    EXPECT_EQ(list.Count(), 2);
    ASSERT_NE(list.Find("A"), nullptr);
    EXPECT_EQ(list.Find("A")->time, At(20));
    EXPECT_EQ(list.Find("a"), nullptr) << "labels compare byte for byte";
    list.RemoveChip("A");
    EXPECT_EQ(list.Find("A"), nullptr);
    list.RemoveChip("absent");
    EXPECT_EQ(list.Count(), 1);
}

TEST(LastBoxDetectionList, DropsTheOldestBeyondMaxCount) {
    CLastBoxDetectionList list(50);
    for (int i = 0; i < 51; ++i) list.AddRead("chip" + std::to_string(i), At(i));
    EXPECT_EQ(list.Count(), 50);
    EXPECT_EQ(list.Find("chip0"), nullptr);
    EXPECT_NE(list.Find("chip1"), nullptr);
    EXPECT_NE(list.Find("chip50"), nullptr);
    // A read refreshed at the head survives the next evictions.
    list.AddRead("chip1", At(100));
    list.AddRead("new", At(101));
    EXPECT_NE(list.Find("chip1"), nullptr);
    EXPECT_EQ(list.Find("chip2"), nullptr);
}

TEST(RepeatFilter, WindowRestartsAtEachRead) {
    CLastBoxDetectionList box;
    EXPECT_FALSE(IsRepeatedRead(box, "12", At(0), 50));
    EXPECT_TRUE(IsRepeatedRead(box, "12", At(30), 50));
    EXPECT_TRUE(IsRepeatedRead(box, "12", At(60), 50)) << "30 ms after the previous read";
    EXPECT_FALSE(IsRepeatedRead(box, "12", At(120), 50));
    EXPECT_FALSE(IsRepeatedRead(box, "13", At(125), 50)) << "another label";
    EXPECT_FALSE(IsRepeatedRead(box, "12", At(170), 50)) << "exactly the window is no repeat";
}

TEST(RepeatFilter, ListsArePerBox) {
    CLastBoxDetectionList box1, box2;
    EXPECT_FALSE(IsRepeatedRead(box1, "ABC", At(500), 50));
    EXPECT_FALSE(IsRepeatedRead(box2, "ABC", At(500), 50));
    EXPECT_TRUE(IsRepeatedRead(box1, "ABC", At(500), 50)) << "same instant on the same box";
}

TEST(RepeatFilter, OffBelowOneButStillRecordsTheRead) {
    CLastBoxDetectionList box;
    EXPECT_FALSE(IsRepeatedRead(box, "7", At(0), 0));
    EXPECT_FALSE(IsRepeatedRead(box, "7", At(0), 0));
    EXPECT_FALSE(IsRepeatedRead(box, "7", At(0), -5));
    ASSERT_NE(box.Find("7"), nullptr);
    EXPECT_TRUE(IsRepeatedRead(box, "7", At(10), 50));
}

TEST(RepeatFilter, EarlierReadIsAcceptedAndBecomesTheEntry) {
    CLastBoxDetectionList box;
    EXPECT_FALSE(IsRepeatedRead(box, "9", At(1000), 50));
    EXPECT_FALSE(IsRepeatedRead(box, "9", At(990), 50));
    EXPECT_EQ(box.Find("9")->time, At(990));
    EXPECT_TRUE(IsRepeatedRead(box, "9", At(1020), 50)) << "30 ms after the earlier read";
}

TEST(RepeatFilter, OnlyDifferencesBelowOneSecondCanBeRepeats) {
    for (int window : {1000, 5000, 70000}) {
        CLastBoxDetectionList box;
        EXPECT_FALSE(IsRepeatedRead(box, "5", At(0), window));
        EXPECT_TRUE(IsRepeatedRead(box, "5", At(999), window)) << window;
        EXPECT_FALSE(IsRepeatedRead(box, "5", At(1999), window)) << window;
        EXPECT_TRUE(IsRepeatedRead(box, "5", At(2500), window)) << window;
    }
    CLastBoxDetectionList box;
    EXPECT_FALSE(IsRepeatedRead(box, "5", At(0), 1));
    EXPECT_FALSE(IsRepeatedRead(box, "5", At(1), 1));
}

TEST(RepeatFilter, ForgottenLabelIsNeverARepeat) {
    CLastBoxDetectionList box(50);
    EXPECT_FALSE(IsRepeatedRead(box, "first", At(0), 50));
    for (int i = 0; i < 50; ++i) IsRepeatedRead(box, "other" + std::to_string(i), At(1), 50);
    EXPECT_FALSE(IsRepeatedRead(box, "first", At(2), 50));
}

TEST(TimeText, AbsoluteFormWritesHundredthsWithoutLeadingZero) {
    const CChrono ofDay(9 * 3600 + 41 * 60 + 7, 50);
    EXPECT_EQ(MakeTimeText(CChrono(86400, 50), ofDay, true), "86400.5");
    EXPECT_EQ(MakeTimeText(CChrono(86400, 500), ofDay, true), "86400.50");
    EXPECT_EQ(MakeTimeText(CChrono(86400, 9), ofDay, true), "86400.0");
    EXPECT_EQ(MakeTimeText(CChrono(1748770867, 999), ofDay, true), "1748770867.99");
}

TEST(TimeText, TimeOfDayForm) {
    EXPECT_EQ(MakeTimeText(CChrono(86400, 50), CChrono(9 * 3600 + 41 * 60 + 7, 50), false),
              "09:41:07.05");
    EXPECT_EQ(MakeTimeText(CChrono(), CChrono(10 * 3600 + 5 * 60 + 3, 79), false), "10:05:03.07");
    EXPECT_EQ(MakeTimeText(CChrono(), CChrono(25 * 3600, 0), false), "25:00:00.00");
}

TEST(TimingAppLine, FieldsAndUntrustedText) {
    CQoxResult result;
    result.boxName = "Box1";
    result.label = "123";
    result.timeText = "10:05:03.07";
    EXPECT_EQ(FormatForTimingApp(result), "1\tBox1\t123\t1\t10:05:03.07");
    result.label = "12\r\nAddQoxClock(x)\t";
    EXPECT_EQ(FormatForTimingApp(result), "1\tBox1\t12  AddQoxClock(x) \t1\t10:05:03.07");
}

}  // namespace
}  // namespace lv

// A local wall-clock time the clock shows twice (autumn) or never (spring) reads the
// same whatever the C library converted just before: once through glibc's mktime with
// the daylight saving left open, the autumn hour followed its last conversion.
#include <gtest/gtest.h>

#include <ctime>

#include "core/CalendarTime.h"
#include "core/Chrono.h"
#include "support/SummerTimeInstants.h"

namespace lv {
namespace {

using namespace test;  // the summer-time instants

// Leaves glibc's memory of the last offset at summer or winter time.
void ConvertBefore(bool summer) {
    std::tm tm{};
    tm.tm_year = 2024 - 1900;
    tm.tm_mon = summer ? 6 : 11;
    tm.tm_mday = 1;
    tm.tm_hour = 12;
    tm.tm_isdst = -1;
    ASSERT_NE(std::mktime(&tm), static_cast<std::time_t>(-1));
    CalendarFields fields{2024, summer ? 7 : 12, 1, 12, 0, 0};
    ASSERT_TRUE(LocalInstantOf(fields).has_value());
}

CalendarFields Oct27(int hour, int minute, int second = 0) { return {2024, 10, 27, hour, minute, second}; }

class RepeatedHour : public ::testing::TestWithParam<bool> {};

TEST_P(RepeatedHour, AutumnTimeReadsAsItsFirstOccurrenceWhateverCameBefore) {
    ConvertBefore(GetParam());
    EXPECT_EQ(LocalInstantOf(Oct27(2, 30)), kOct27At0230Summer);
    CChrono parsed;
    ConvertBefore(GetParam());
    ASSERT_TRUE(parsed.ParseDateTime("20241027", "02:30:00.000"));
    EXPECT_EQ(parsed.Seconds(), kOct27At0230Summer);
    ConvertBefore(!GetParam());
    ASSERT_TRUE(parsed.ParseDateTimeCompact("20241027", "023000", 0));
    EXPECT_EQ(parsed.Seconds(), kOct27At0230Summer);
}

TEST_P(RepeatedHour, SpringTimeInTheSkippedHourLandsAfterTheChangeWhateverCameBefore) {
    ConvertBefore(GetParam());
    EXPECT_EQ(LocalInstantOf(CalendarFields{2024, 3, 31, 2, 30, 0}), kMar31At0330Summer);
    ConvertBefore(!GetParam());
    EXPECT_EQ(LocalInstantOf(CalendarFields{2024, 3, 31, 2, 30, 0}), kMar31At0330Summer);
}

TEST_P(RepeatedHour, WallClockOfTheDayGivesTheFirstOccurrence) {
    ConvertBefore(GetParam());
    // 02:30 of the day of the change, asked from its evening (winter time).
    EXPECT_EQ(LocalWallClockInstant(kOct27At0300Winter + 15 * 3600, 2 * 3600 + 30 * 60), kOct27At0230Summer);
}

INSTANTIATE_TEST_SUITE_P(AfterSummerOrWinter, RepeatedHour, ::testing::Bool());

TEST(RepeatedHourRule, TheSecondOccurrenceIsAnHourLater) {
    EXPECT_EQ(RepeatedLocalInstant(kOct27At0230Summer), kOct27At0230Winter);
    // Not a first occurrence, or a time shown once: nothing.
    EXPECT_FALSE(RepeatedLocalInstant(kOct27At0230Winter).has_value());
    EXPECT_FALSE(RepeatedLocalInstant(kOct27At0300Winter).has_value());
    EXPECT_FALSE(RepeatedLocalInstant(kMar31At0330Summer).has_value());
}

TEST(RepeatedHourRule, ABoxAlreadyPastTheFirstOccurrenceIsInTheSecond) {
    EXPECT_EQ(ResolveRepeatedLocal(kOct27At0230Summer, std::nullopt), kOct27At0230Summer);
    EXPECT_EQ(ResolveRepeatedLocal(kOct27At0230Summer, kOct27At0230Summer - 60), kOct27At0230Summer);
    // The same second read twice is not a crossing.
    EXPECT_EQ(ResolveRepeatedLocal(kOct27At0230Summer, kOct27At0230Summer), kOct27At0230Summer);
    EXPECT_EQ(ResolveRepeatedLocal(kOct27At0230Summer, kOct27At0259Summer), kOct27At0230Winter);
    // Outside the repeated hour a previous read changes nothing.
    EXPECT_EQ(ResolveRepeatedLocal(kOct27At0300Winter, kOct27At0300Winter + 600), kOct27At0300Winter);
}

}  // namespace
}  // namespace lv

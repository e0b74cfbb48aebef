#include <gtest/gtest.h>

#include <climits>
#include <ctime>

#include "app/RaceDays.h"
#include "base/Clock.h"
#include "support/LocalTime.h"

namespace lv {
namespace {

using Dates = std::array<std::string, 4>;
using test::LocalInstant;

TEST(RaceDays, WithoutDaysToAddTodayIsTheFirstDay) {
    const auto now = LocalInstant(2025, 3, 7, 10, 0);
    EXPECT_EQ(ComputeRaceDays(0, now).dates, (Dates{"20250307", "20250308", "20250309", "20250310"}));
    EXPECT_EQ(ComputeRaceDays(-3, now).dates, ComputeRaceDays(0, now).dates);
}

TEST(RaceDays, DaysToAddPutsTheFirstDayInThePast) {
    const auto now = LocalInstant(2025, 3, 7, 10, 0);
    EXPECT_EQ(ComputeRaceDays(2, now).dates, (Dates{"20250305", "20250306", "20250307", "20250308"}));
    EXPECT_EQ(ComputeRaceDays(1, now).dates[0], "20250306");
    EXPECT_EQ(ComputeRaceDays(3, now).dates[3], "20250307");
}

TEST(RaceDays, MonthsYearsAndLeapDaysFollowTheCalendar) {
    EXPECT_EQ(ComputeRaceDays(0, LocalInstant(2024, 12, 30, 23, 59)).dates,
              (Dates{"20241230", "20241231", "20250101", "20250102"}));
    EXPECT_EQ(ComputeRaceDays(0, LocalInstant(2024, 2, 28, 0, 1)).dates,
              (Dates{"20240228", "20240229", "20240301", "20240302"}));
    EXPECT_EQ(ComputeRaceDays(2, LocalInstant(2025, 1, 1, 8, 0)).dates[0], "20241230");
}

// 86 400-second steps would repeat 26 October (25 hours long) or skip 31 March.
TEST(RaceDays, ChangesOfSummerTimeNeitherRepeatNorSkipADate) {
    EXPECT_EQ(ComputeRaceDays(0, LocalInstant(2025, 10, 26, 0, 30)).dates,
              (Dates{"20251026", "20251027", "20251028", "20251029"}));
    EXPECT_EQ(ComputeRaceDays(0, LocalInstant(2025, 3, 29, 23, 30)).dates,
              (Dates{"20250329", "20250330", "20250331", "20250401"}));
    EXPECT_EQ(ComputeRaceDays(1, LocalInstant(2025, 10, 27, 0, 30)).dates[0], "20251026");
}

TEST(RaceDays, AnAbsurdDaysToAddStaysSafe) {
    const RaceDays days = ComputeRaceDays(INT_MAX, LocalInstant(2025, 3, 7, 10, 0));
    for (const std::string& date : days.dates) EXPECT_FALSE(date.empty());
}

TEST(RaceDays, DayCheckFindsTodayAmongTheDates) {
    const RaceDays days = ComputeRaceDays(2, LocalInstant(2025, 3, 7, 10, 0));  // D0 = 5 March
    EXPECT_EQ(DayCheckIndex(days, LocalInstant(2025, 3, 7, 23, 59)), 2);
    EXPECT_EQ(DayCheckIndex(days, LocalInstant(2025, 3, 8, 0, 0)), 3);
    EXPECT_EQ(DayCheckIndex(days, LocalInstant(2025, 3, 9, 0, 0)), 0);
    EXPECT_EQ(DayCheckIndex(days, LocalInstant(2025, 3, 4, 12, 0)), 0);
    EXPECT_EQ(DayCheckIndex(days, LocalInstant(2025, 3, 6, 12, 0)), 1);
}

TEST(RaceDays, TheInjectedClockIsTheDefaultNow) {
    const auto now = LocalInstant(2025, 6, 1, 9, 0);
    SetWallClockSourceForTests([now] { return now; });
    EXPECT_EQ(ComputeRaceDays(0).dates[0], "20250601");
    EXPECT_EQ(DayCheckIndex(ComputeRaceDays(1)), 1);
    EXPECT_EQ(CompactLocalDate(now), "20250601");
    SetWallClockSourceForTests({});
}

}  // namespace
}  // namespace lv

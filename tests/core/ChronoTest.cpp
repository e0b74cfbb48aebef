#include "core/Chrono.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <vector>

#include "base/Texts.h"
#include "base/Clock.h"

namespace lv {
namespace {

// Instants below were taken from the system's `date` command in Europe/Paris.
constexpr int32_t kJan5At094107Paris = 1736066467;   // 2025-01-05 09:41:07 CET
constexpr int32_t kMar30MidnightParis = 1743289200;  // 2025-03-30 00:00:00 CET
constexpr int32_t kMar30At1000Paris = 1743321600;    // 2025-03-30 10:00:00 CEST
constexpr int32_t kOct26At1200Paris = 1761476400;    // 2025-10-26 12:00:00 CET

// Moves the wall clock to a fixed instant (milliseconds since 1970) for one test.
class ScopedWallClock {
public:
    explicit ScopedWallClock(int64_t msSince1970) {
        SetWallClockSourceForTests([msSince1970] {
            return std::chrono::system_clock::time_point(std::chrono::milliseconds(msSince1970));
        });
    }
    ~ScopedWallClock() { SetWallClockSourceForTests({}); }
};

class ScopedLanguage {
public:
    explicit ScopedLanguage(Language language) : saved_(CurrentLanguage()) { SetLanguage(language); }
    ~ScopedLanguage() { SetLanguage(saved_); }

private:
    Language saved_;
};

CChrono Hms(int32_t h, int32_t m, int32_t s, uint16_t ms = 0) {
    return CChrono(h * 3600 + m * 60 + s, ms);
}

// ---------------------------------------------------------------- ordering, arithmetic

TEST(ChronoOrdering, UnsetEqualsUnsetAndIsLaterThanEverySetValue) {
    const CChrono unset;
    const CChrono set(10, 0);
    const CChrono negative(-5, 0);
    EXPECT_TRUE(unset == CChrono());
    EXPECT_FALSE(unset < CChrono());
    EXPECT_TRUE(unset <= CChrono());
    EXPECT_TRUE(unset >= CChrono());
    for (const CChrono& value : {set, negative, CChrono(0, 1)}) {
        EXPECT_TRUE(value < unset);
        EXPECT_TRUE(value <= unset);
        EXPECT_FALSE(value > unset);
        EXPECT_FALSE(value >= unset);
        EXPECT_TRUE(unset > value);
        EXPECT_TRUE(unset >= value);
        EXPECT_FALSE(unset < value);
        EXPECT_FALSE(unset <= value);
        EXPECT_FALSE(unset == value);
    }
}

TEST(ChronoOrdering, SortingPutsUnsetValuesLast) {
    std::vector<CChrono> values = {CChrono(), CChrono(30, 0), CChrono(), CChrono(10, 500),
                                   CChrono(10, 20), CChrono(-3, 0)};
    std::sort(values.begin(), values.end());
    const std::vector<CChrono> expected = {CChrono(-3, 0), CChrono(10, 20), CChrono(10, 500),
                                           CChrono(30, 0), CChrono(), CChrono()};
    EXPECT_EQ(values, expected);
}

TEST(ChronoArithmetic, DifferenceBorrowsASecond) {
    const CChrono d = Hms(12, 0, 0, 900) - Hms(11, 59, 59, 950);
    EXPECT_EQ(d, CChrono(0, 950));
    const CChrono below = Hms(10, 0, 0) - Hms(10, 0, 0, 1);
    EXPECT_EQ(below.Seconds(), -1);
    EXPECT_EQ(below.Milliseconds(), 999);
}

TEST(ChronoArithmetic, SumCarriesASecond) {
    EXPECT_EQ(Hms(0, 0, 59, 600) + Hms(0, 0, 0, 500), Hms(0, 1, 0, 100));
    EXPECT_EQ(CChrono(1, 500) + CChrono(1, 500), CChrono(3, 0));
}

TEST(ChronoArithmetic, ResultsWrapAt32BitsInsteadOfOverflowing) {
    // Two instants summed leave the 32-bit range: the low 32 bits are kept.
    EXPECT_EQ((CChrono(INT32_MAX, 0) + CChrono(1, 0)).Seconds(), INT32_MIN);
    EXPECT_EQ((CChrono(INT32_MAX, 600) + CChrono(0, 400)).Seconds(), INT32_MIN);
    EXPECT_EQ((CChrono(INT32_MIN, 0) - CChrono(1, 0)).Seconds(), INT32_MAX);
    EXPECT_EQ((CChrono(INT32_MIN, 0) - CChrono(0, 1)).Milliseconds(), 999);
}

TEST(ChronoArithmetic, ConstructionCarriesWholeSecondsOfTheMilliseconds) {
    EXPECT_EQ(CChrono(5, 2500), CChrono(7, 500));
    EXPECT_EQ(CChrono(0, 65535).Milliseconds(), 535);
    EXPECT_EQ(CChrono(0, 65535).Seconds(), 65);
}

// ---------------------------------------------------------------- present time, kinds

TEST(ChronoNow, AbsoluteTakesSecondsAndMillisecondsOfOneReading) {
    ScopedWallClock clock(int64_t{kJan5At094107Paris} * 1000 + 123);
    const CChrono now(CChrono::kNowAbsolute);
    EXPECT_EQ(now, CChrono(kJan5At094107Paris, 123));
    EXPECT_FALSE(CChrono(CChrono::kUnset).IsSet());
}

TEST(ChronoNow, AbsoluteKeepsTheLow32BitsAndRoundsDownBefore1970) {
    {
        ScopedWallClock clock((int64_t{1} << 31) * 1000 + 5250);
        EXPECT_EQ(CChrono(CChrono::kNowAbsolute), CChrono(INT32_MIN + 5, 250));
    }
    ScopedWallClock clock(-1500);
    EXPECT_EQ(CChrono(CChrono::kNowAbsolute), CChrono(-2, 500));
}

TEST(ChronoNow, OfDayIsTheLocalClock) {
    ScopedWallClock winter(int64_t{kJan5At094107Paris} * 1000 + 42);
    EXPECT_EQ(CChrono(CChrono::kNowOfDay), CChrono(9 * 3600 + 41 * 60 + 7, 42));
}

TEST(ChronoKinds, OfDayToAbsoluteUsesTodaysLocalDate) {
    ScopedWallClock clock(int64_t{kJan5At094107Paris + 5 * 3600} * 1000);
    CChrono value = Hms(9, 41, 7, 250);
    value.OfDayToAbsolute();
    EXPECT_EQ(value, CChrono(kJan5At094107Paris, 250));

    CChrono nextDay = Hms(25, 0, 0);  // a box whose date is one day ahead
    nextDay.OfDayToAbsolute();
    EXPECT_EQ(nextDay.FormatDate(), "06/01/2025");
    EXPECT_EQ(nextDay.FormatClock(), "01:00:00");
}

TEST(ChronoKinds, OfDayToAbsoluteIsRightOnDaylightSavingDays) {
    {
        // Spring: the clock jumps from 02:00 to 03:00; 10:00 is 9 h after midnight.
        ScopedWallClock clock(int64_t{kMar30At1000Paris + 2 * 3600} * 1000);
        CChrono value = Hms(10, 0, 0, 500);
        value.OfDayToAbsolute();
        EXPECT_EQ(value, CChrono(kMar30At1000Paris, 500));
        EXPECT_NE(value.Seconds(), kMar30MidnightParis + 10 * 3600);
        EXPECT_EQ(value.FormatClock(), "10:00:00");
    }
    // Autumn: the clock goes back from 03:00 to 02:00.
    ScopedWallClock clock(int64_t{kOct26At1200Paris} * 1000);
    CChrono value = Hms(10, 0, 0);
    value.OfDayToAbsolute();
    EXPECT_EQ(value.Seconds(), kOct26At1200Paris - 2 * 3600);
    value.AbsoluteToOfDay();
    EXPECT_EQ(value, Hms(10, 0, 0));
}

TEST(ChronoKinds, AbsoluteToOfDayKeepsTheMilliseconds) {
    CChrono value(kJan5At094107Paris, 870);
    value.AbsoluteToOfDay();
    EXPECT_EQ(value, Hms(9, 41, 7, 870));
    CChrono summer(kMar30At1000Paris, 1);
    summer.AbsoluteToOfDay();
    EXPECT_EQ(summer, Hms(10, 0, 0, 1));
}

// ---------------------------------------------------------------- time parsers

TEST(ChronoParseTime, FractionCountsHundredths) {
    CChrono value;
    ASSERT_TRUE(value.ParseTime("1:2:3.5"));
    EXPECT_EQ(value, CChrono(3723, 50));
    ASSERT_TRUE(value.ParseTime("12.30.15"));
    EXPECT_EQ(value, CChrono(45015, 0));
    ASSERT_TRUE(value.ParseTime("12.30.15.99"));
    EXPECT_EQ(value, CChrono(45015, 990));
    ASSERT_TRUE(value.ParseTime("10:00:00"));
    EXPECT_EQ(value, Hms(10, 0, 0));
    ASSERT_TRUE(value.ParseTime("72:0:0.0"));  // day offsets go beyond 24 h
    EXPECT_EQ(value, Hms(72, 0, 0));
    ASSERT_TRUE(value.ParseTime("0:90:75"));  // fields may exceed their usual range
    EXPECT_EQ(value, Hms(1, 31, 15));
}

TEST(ChronoParseTime, RejectsWhatIsNotAClockTextAndKeepsTheValue) {
    for (const char* text : {"", "12:30", "abc", "12:30:xx", "1:2:3.150", "1:2:3.-5", "1:2:3.+5",
                             "99999999999:00:00", "596524:00:00", "1:2:3.99999999999"}) {
        CChrono value(77, 7);
        EXPECT_FALSE(value.ParseTime(text)) << text;
        EXPECT_EQ(value, CChrono(77, 7)) << text;
    }
}

TEST(ChronoParseTime, MillisecondFormCarriesWholeSeconds) {
    CChrono value;
    ASSERT_TRUE(value.ParseTimeMs("0:0:59.1500"));
    EXPECT_EQ(value, CChrono(60, 500));
    ASSERT_TRUE(value.ParseTimeMs("09:41:07.250"));
    EXPECT_EQ(value, Hms(9, 41, 7, 250));
    ASSERT_TRUE(value.ParseTimeMs("09.41.07.005"));
    EXPECT_EQ(value, Hms(9, 41, 7, 5));
    for (const char* text : {"09:41:07", "09:41:07.-1", "596523:14:07.1000", "1:1:1.x"}) {
        CChrono kept(5, 5);
        EXPECT_FALSE(kept.ParseTimeMs(text)) << text;
        EXPECT_EQ(kept, CChrono(5, 5)) << text;
    }
    ASSERT_TRUE(value.ParseTimeMs("596523:14:07.999"));
    EXPECT_EQ(value, CChrono(INT32_MAX, 999));
}

TEST(ChronoParseTime, NegativeDurationsReadBackFromTheirText) {
    const std::vector<CChrono> durations = {CChrono(10, 0) - CChrono(10, 50),
                                            CChrono(0, 0) - Hms(1, 0, 0, 500),
                                            CChrono(0, 0) - Hms(1, 30, 0)};
    for (const CChrono& d : durations) {
        CChrono back;
        ASSERT_TRUE(back.ParseTime(d.FormatHundredths())) << d.FormatHundredths();
        EXPECT_EQ(back, d) << d.FormatHundredths();
    }
    EXPECT_EQ(durations[0].FormatHundredths(), "-00:00:00.05");
    EXPECT_EQ(durations[2].FormatHundredths(), "-01:30:00.00");

    // Texts where every field carries its own sign are read field by field.
    CChrono old;
    ASSERT_TRUE(old.ParseTime("00:00:-1.95"));
    EXPECT_EQ(old, durations[0]);
    ASSERT_TRUE(old.ParseTime("-1:-30:00.00"));
    EXPECT_EQ(old, durations[2]);
}

TEST(ChronoNormalizeFraction, BringsTheFractionToThreeDigits) {
    const std::pair<const char*, const char*> cases[] = {
        {"09:41:07", "09:41:07.000"},      {"09:41:07.", "09:41:07.000"},
        {"09:41:07.5", "09:41:07.500"},    {"09:41:07.25", "09:41:07.250"},
        {"09:41:07.250", "09:41:07.250"},  {"09:41:07.2509", "09:41:07.250"},
        {"09:41:07.25\r", "09:41:07.250\r"}, {"", ".000"},
    };
    for (const auto& [in, out] : cases) {
        std::string text = in;
        CChrono::NormalizeFraction(text);
        EXPECT_EQ(text, out) << in;
    }
}

// ---------------------------------------------------------------- date parsers

TEST(ChronoParseDate, CompactDateAndTimeGiveALocalInstant) {
    CChrono value;
    ASSERT_TRUE(value.ParseDateTimeCompact("20250105", "094107", 25));
    EXPECT_EQ(value, CChrono(kJan5At094107Paris, 250));
    ASSERT_TRUE(value.ParseDateTimeCompact("20250330", "100000", 0));
    EXPECT_EQ(value, CChrono(kMar30At1000Paris, 0));
    ASSERT_TRUE(value.ParseDateTimeCompact("20240229", "000000", 0));
    EXPECT_EQ(value.FormatDate(), "29/02/2024");
}

TEST(ChronoParseDate, CalendarCheckRejectsImpossibleDates) {
    const std::pair<const char*, const char*> cases[] = {
        {"20251305", "120000"}, {"20250005", "120000"}, {"20250100", "120000"},
        {"20250229", "120000"}, {"20250431", "120000"}, {"20250105", "240000"},
        {"20250105", "126000"}, {"20250105", "120060"}, {"18991231", "120000"},
        {"20400101", "120000"},  // beyond the 32-bit seconds
        {"19011213", "000000"},  // before them
        {"2025-01-05", "120000"}, {"20250105", "12:00"}, {"", ""},
    };
    for (const auto& [date, time] : cases) {
        CChrono value(1, 1);
        EXPECT_FALSE(value.ParseDateTimeCompact(date, time, 0)) << date << " " << time;
        EXPECT_FALSE(value.ParseDateTime(date, std::string(time) + ".000")) << date << " " << time;
        EXPECT_EQ(value, CChrono(1, 1));
    }
    CChrono value(1, 1);
    EXPECT_FALSE(value.ParseDateTimeCompact("20250105", "094107", 100));
    EXPECT_FALSE(value.ParseDateTimeCompact("20250105", "094107", -1));
    EXPECT_EQ(value, CChrono(1, 1));
}

TEST(ChronoParseDate, TimeWithColonsOrCompactTakesTheFractionAsMilliseconds) {
    CChrono value;
    ASSERT_TRUE(value.ParseDateTime("20250105", "09:41:07.250"));
    EXPECT_EQ(value, CChrono(kJan5At094107Paris, 250));
    ASSERT_TRUE(value.ParseDateTime("20250105", "094107.007"));
    EXPECT_EQ(value, CChrono(kJan5At094107Paris, 7));
    ASSERT_TRUE(value.ParseDateTime("20250105", "09:41:07.25"));  // not normalised: 25 ms
    EXPECT_EQ(value, CChrono(kJan5At094107Paris, 25));
    for (const char* time : {"09:41:07.1000", "09:41:07.-1", "09:41:07", "-1:41:07.000"}) {
        CChrono kept(3, 3);
        EXPECT_FALSE(kept.ParseDateTime("20250105", time)) << time;
        EXPECT_EQ(kept, CChrono(3, 3));
    }
}

TEST(ChronoParseDate, DecoderTimeThroughNormalisation) {
    std::string time = "09:41:07.5";
    CChrono::NormalizeFraction(time);
    CChrono absolute;
    CChrono ofDay;
    ASSERT_TRUE(absolute.ParseDateTime("20250105", time));
    ASSERT_TRUE(ofDay.ParseTimeMs(time));
    EXPECT_EQ(absolute, CChrono(kJan5At094107Paris, 500));
    EXPECT_EQ(ofDay, Hms(9, 41, 7, 500));
}

// ---------------------------------------------------------------- ISO timestamps

TEST(ChronoIsoTimestamp, UtcTextGivesTheRightInstant) {
    CChrono value;
    ASSERT_TRUE(value.ParseIsoTimestamp("2018-05-12T09:41:07.25Z", true));
    EXPECT_EQ(value, CChrono(1526118067, 250));
    EXPECT_EQ(value.FormatClockHundredths(), "11:41:07.25");
    ASSERT_TRUE(value.ParseIsoTimestamp("2025-01-05T08:41:07Z", true));
    EXPECT_EQ(value, CChrono(kJan5At094107Paris, 0));
}

TEST(ChronoIsoTimestamp, WithoutZOrWithoutConversionTheFieldsAreLocal) {
    CChrono value;
    ASSERT_TRUE(value.ParseIsoTimestamp("2025-01-05T09:41:07.5", true));
    EXPECT_EQ(value, CChrono(kJan5At094107Paris, 500));
    ASSERT_TRUE(value.ParseIsoTimestamp("2025-01-05T09:41:07Z", false));
    EXPECT_EQ(value, CChrono(kJan5At094107Paris, 0));
    ASSERT_TRUE(value.ParseIsoTimestamp("2025-01-05 09:41:07", false));
    EXPECT_EQ(value, CChrono(kJan5At094107Paris, 0));
}

TEST(ChronoIsoTimestamp, FractionIsPaddedOrCutToMilliseconds) {
    const std::pair<const char*, int> cases[] = {
        {"2025-01-05T08:41:07Z", 0},        {"2025-01-05T08:41:07.5Z", 500},
        {"2025-01-05T08:41:07.05Z", 50},    {"2025-01-05T08:41:07.123456Z", 123},
        {"2025-01-05T08:41:07.0025Z", 2},   {"2025-01-05T08:41:07.Z", 0},
        {"2025-01-05T08:41:07.999999999Z", 999},
    };
    for (const auto& [text, ms] : cases) {
        CChrono value;
        ASSERT_TRUE(value.ParseIsoTimestamp(text, true)) << text;
        EXPECT_EQ(value, CChrono(kJan5At094107Paris, static_cast<uint16_t>(ms))) << text;
    }
}

TEST(ChronoIsoTimestamp, SpringChangeInParis) {
    // 01:00 UTC: local clocks jump from 02:00 CET to 03:00 CEST.
    const std::pair<const char*, const char*> cases[] = {
        {"2025-03-30T00:30:00Z", "01:30:00"},
        {"2025-03-30T00:59:59Z", "01:59:59"},
        {"2025-03-30T01:00:00Z", "03:00:00"},
        {"2025-03-30T01:30:00Z", "03:30:00"},
        {"2025-03-30T02:30:00Z", "04:30:00"},
        {"2025-03-30T03:30:00Z", "05:30:00"},
    };
    for (const auto& [text, clock] : cases) {
        CChrono value;
        ASSERT_TRUE(value.ParseIsoTimestamp(text, true)) << text;
        EXPECT_EQ(value.FormatClock(), clock) << text;
        EXPECT_EQ(value.FormatDate(), "30/03/2025") << text;
    }
    CChrono value;
    ASSERT_TRUE(value.ParseIsoTimestamp("2025-03-30T03:30:00Z", true));
    EXPECT_EQ(value.Seconds(), 1743305400);
}

TEST(ChronoIsoTimestamp, AutumnChangeInParisKeepsBothHalfPastTwos) {
    // 01:00 UTC: local clocks go back from 03:00 CEST to 02:00 CET.
    CChrono first;
    CChrono second;
    ASSERT_TRUE(first.ParseIsoTimestamp("2025-10-26T00:30:00Z", true));
    ASSERT_TRUE(second.ParseIsoTimestamp("2025-10-26T01:30:00Z", true));
    EXPECT_EQ(first.FormatClock(), "02:30:00");
    EXPECT_EQ(second.FormatClock(), "02:30:00");
    EXPECT_EQ(second.Seconds() - first.Seconds(), 3600);
    CChrono after;
    ASSERT_TRUE(after.ParseIsoTimestamp("2025-10-26T02:30:00.5Z", true));
    EXPECT_EQ(after.FormatClockHundredths(), "03:30:00.50");
}

TEST(ChronoIsoTimestamp, RejectsWhatIsNotATimestamp) {
    for (const char* text : {"", "Z", "garbage", "2018-05-12", "2018-05-12T09:41Z",
                             "2018-05-12T25:00:00Z", "2018-02-30T09:41:07Z", "1899-12-31T00:00:00Z",
                             "2040-01-01T00:00:00Z", "2018-05-12T09:41:07.x5Z",
                             "2018-05-12T09:41:07.5                                          "
                             "                                Z"}) {
        CChrono value(9, 9);
        EXPECT_FALSE(value.ParseIsoTimestamp(text, true)) << text;
        EXPECT_EQ(value, CChrono(9, 9)) << text;
    }
}

// ---------------------------------------------------------------- formatters

TEST(ChronoFormat, DurationsShowTruncatedHundredthsOrRoundedUpSeconds) {
    const CChrono long1 = Hms(25, 1, 1, 999);
    EXPECT_EQ(long1.FormatHundredths(), "25:01:01.99");
    EXPECT_EQ(long1.FormatSeconds(), "25:01:01");
    EXPECT_EQ(long1.FormatSecondsUp(), "25:01:02");
    EXPECT_EQ(long1.FormatDayWrap(), "+24h 01:01:02");
    EXPECT_EQ(CChrono(3599, 1).FormatSecondsUp(), "01:00:00");
    EXPECT_EQ(Hms(0, 9, 59, 10).FormatSecondsUp(), "00:10:00");
    EXPECT_EQ(Hms(1, 2, 3).FormatSecondsUp(), "01:02:03");
    EXPECT_EQ(Hms(100, 0, 0, 9).FormatHundredths(), "100:00:00.00");
}

TEST(ChronoFormat, DayWrapShowsWholeDaysAsHours) {
    EXPECT_EQ(Hms(25, 0, 0).FormatDayWrap(), "+24h 01:00:00");
    EXPECT_EQ(Hms(23, 59, 59, 1).FormatDayWrap(), "+24h 00:00:00");
    EXPECT_EQ(Hms(49, 0, 0).FormatDayWrap(), "+48h 01:00:00");
    EXPECT_EQ(Hms(23, 59, 59).FormatDayWrap(), "23:59:59");
    EXPECT_EQ(Hms(9, 41, 7, 250).FormatDayWrap(), "09:41:08");
}

TEST(ChronoFormat, DigitsDropColonsAndLeadingZeros) {
    EXPECT_EQ(CChrono(65, 0).FormatDigits(), "105");
    EXPECT_EQ(CChrono(0, 500).FormatDigits(), "1");
    EXPECT_EQ(Hms(1, 0, 0).FormatDigits(), "10000");
    EXPECT_EQ(Hms(2, 0, 5, 1).FormatDigits(), "20006");
    EXPECT_EQ(CChrono().FormatDigits(), "");
    EXPECT_EQ((CChrono() - CChrono(65, 0)).FormatDigits(), "-105");
}

TEST(ChronoFormat, UnsetValuesGiveTheirFixedTexts) {
    const CChrono unset;
    EXPECT_EQ(unset.FormatHundredths(), "00:00:00.00");
    EXPECT_EQ(unset.FormatSeconds(), "00:00:00");
    EXPECT_EQ(unset.FormatSecondsUp(), "00:00:00");
    EXPECT_EQ(unset.FormatDayWrap(), "00:00:00");
    EXPECT_EQ(unset.FormatClock(), "00:00:00");
    EXPECT_EQ(unset.FormatClockHundredths(), "00:00:00.00");
    EXPECT_EQ(unset.FormatDate(), "01/01/1970");
    EXPECT_EQ(unset.FormatDateCompact(), "19700101");
    EXPECT_EQ(unset.FormatIsoMs(), "1970-01-01;00:00:00.000");
}

TEST(ChronoFormat, NegativeDurationsShowAMinusSign) {
    const CChrono d = CChrono(0, 0) - Hms(1, 0, 5, 20);
    EXPECT_EQ(d.FormatHundredths(), "-01:00:05.02");
    EXPECT_EQ(d.FormatSeconds(), "-01:00:05");
    EXPECT_EQ(d.FormatSecondsUp(), "-01:00:06");
    EXPECT_EQ((CChrono() - Hms(30, 0, 0)).FormatDayWrap(), "-30:00:00");
    EXPECT_EQ(CChrono(INT32_MIN, 0).FormatSeconds(), "-596523:14:08");
}

TEST(ChronoFormat, InstantsShowLocalTime) {
    const CChrono winter(kJan5At094107Paris, 259);
    EXPECT_EQ(winter.FormatClock(), "09:41:07");
    EXPECT_EQ(winter.FormatClockHundredths(), "09:41:07.25");
    EXPECT_EQ(winter.FormatDate(), "05/01/2025");
    EXPECT_EQ(winter.FormatDateCompact(), "20250105");
    EXPECT_EQ(winter.FormatIsoMs(), "2025-01-05;09:41:07.259");
    const CChrono summer(kMar30At1000Paris, 7);
    EXPECT_EQ(summer.FormatIsoMs(), "2025-03-30;10:00:00.007");
    EXPECT_EQ(CChrono(INT32_MIN, 0).FormatDate(), "13/12/1901");
}

// ---------------------------------------------------------------- long date

TEST(ChronoLongDate, NamesFollowTheProgramLanguage) {
    const CChrono sunday(kJan5At094107Paris, 0);
    const CChrono february(1739617200, 0);  // 2025-02-15 12:00 CET, a Saturday
    const CChrono august(1755252000, 0);    // 2025-08-15 12:00 CEST, a Friday
    const CChrono december(1734264000, 0);  // 2024-12-15 13:00 CET, a Sunday
    {
        ScopedLanguage english(Language::English);
        EXPECT_EQ(sunday.FormatLongDate(), "Sun 05 January 2025");
        EXPECT_EQ(february.FormatLongDate(), "Sat 15 February 2025");
        EXPECT_EQ(august.FormatLongDate(), "Fri 15 August 2025");
        EXPECT_EQ(CChrono::MonthName(11), "December");
        EXPECT_EQ(CChrono::WeekdayName(3), "Wed");
    }
    ScopedLanguage french(Language::French);
    EXPECT_EQ(sunday.FormatLongDate(), "Dim 05 Janvier 2025");
    EXPECT_EQ(february.FormatLongDate(), "Sam 15 Février 2025");
    EXPECT_EQ(august.FormatLongDate(), "Ven 15 Août 2025");
    EXPECT_EQ(december.FormatLongDate(), "Dim 15 Décembre 2024");
    EXPECT_EQ(CChrono::WeekdayName(3), "Mer");
    EXPECT_EQ(CChrono::WeekdayName(7), "");
    EXPECT_EQ(CChrono::MonthName(-1), "");
    EXPECT_EQ(CChrono::MonthName(12), "");
}

}  // namespace
}  // namespace lv

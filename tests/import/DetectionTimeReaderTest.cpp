// The import's quick reading of dates and times agrees with the general parser on the
// days summer time changes, and follows one decoder's clock through the repeated hour.
#include <gtest/gtest.h>

#include <ctime>
#include <vector>

#include "core/Chrono.h"
#include "import/DetectionTimeReader.h"
#include "support/SummerTimeInstants.h"

namespace lv {
namespace {

using namespace test;  // the summer-time instants

int32_t Read(DetectionTimeReader& reader, const char* date, const char* time) {
    CChrono dateTime, ofDay;
    EXPECT_TRUE(reader.Read(date, time, dateTime, ofDay)) << date << " " << time;
    return dateTime.Seconds();
}

int32_t Parsed(const char* date, const char* time) {
    CChrono value;
    EXPECT_TRUE(value.ParseDateTime(date, time)) << date << " " << time;
    return value.Seconds();
}

struct Change {
    const char* before;   // a line of the other season, read first
    const char* date;
    const char* time;
    int32_t expected;
};

class ReaderAcrossAChange : public ::testing::TestWithParam<Change> {};

// Each change read after a line of either season, quick form and general form alike:
// the hour cache once disagreed with the general parser by 3,600 s.
TEST_P(ReaderAcrossAChange, QuickAndGeneralReadingsAgree) {
    const Change& change = GetParam();
    DetectionTimeReader reader;
    Read(reader, change.before, "12:00:00.000");
    EXPECT_EQ(Read(reader, change.date, change.time), change.expected);
    EXPECT_EQ(Parsed(change.date, change.time), change.expected);
    DetectionTimeReader slow;
    Read(slow, change.before, "12:00:00.0");
    EXPECT_EQ(Read(slow, change.date, "2:30:00.000"), change.expected);
}

INSTANTIATE_TEST_SUITE_P(
    BothChangesBothOrders, ReaderAcrossAChange,
    ::testing::Values(Change{"20240701", "20241027", "02:30:00.000", kOct27At0230Summer},
                      Change{"20231201", "20241027", "02:30:00.000", kOct27At0230Summer},
                      Change{"20240701", "20240331", "02:30:00.000", kMar31At0330Summer},
                      Change{"20231201", "20240331", "02:30:00.000", kMar31At0330Summer}));

TEST(ReaderRepeatedHour, LinesPastTheChangeReadInTheSecondOccurrence) {
    DetectionTimeReader reader;
    std::vector<int32_t> instants;
    for (const char* time : {"02:10:00.000", "02:59:59.000", "02:10:00.000", "02:30:00.000", "03:00:00.000"}) {
        instants.push_back(Read(reader, "20241027", time));
    }
    EXPECT_EQ(instants[0], kOct27At0210Summer);
    EXPECT_EQ(instants[1], kOct27At0259Summer);
    EXPECT_EQ(instants[2], kOct27At0210Summer + 3600);
    EXPECT_EQ(instants[3], kOct27At0230Winter);
    EXPECT_EQ(instants[4], kOct27At0230Winter + 1800);
}

TEST(ReaderRepeatedHour, AFileStartingInTheRepeatedHourTakesTheFirstOccurrence) {
    DetectionTimeReader reader;
    EXPECT_EQ(Read(reader, "20241027", "02:30:00.000"), kOct27At0230Summer);
}

}  // namespace
}  // namespace lv

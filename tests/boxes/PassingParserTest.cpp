// A network decoder's passing line: its fields, its date and time, what it refuses.
#include <gtest/gtest.h>

#include "base/Clock.h"
#include "boxes/PassingParser.h"
#include "support/SummerTimeInstants.h"

namespace lv {
namespace {

std::string PassingLine(const std::string& chip, const std::string& date, const std::string& time) {
    return "#P;7;" + chip + ";" + date + ";" + time + ";1;0;0;-62;1;0;0;0;0;0;0;0;SIM";
}

class PassingParserTest : public ::testing::Test {
protected:
    ~PassingParserTest() override { SetWallClockSourceForTests({}); }
    bool Parse(const std::string& line) { return ReadPassingLine(line, read); }

    PassingRead read;
};

// 2024-05-01 10:00:00 in Paris (summer time) is 08:00:00 UTC.
constexpr int32_t kMayFirstTenOClock = 1714550400;

TEST_F(PassingParserTest, ReadsChipInstantAndTheBoxsTimeOfDay) {
    ASSERT_TRUE(Parse(PassingLine("c00001", "2024-05-04", "10:00:00.250")));
    EXPECT_EQ(read.code, "c00001");
    EXPECT_EQ(read.instant, CChrono(kMayFirstTenOClock + 3 * 86400, 250));
    // As the box wrote it: the race day is the recorder's business.
    EXPECT_EQ(read.clockOfDay, CChrono(36000, 250));
}

TEST_F(PassingParserTest, NormalisesTheFractionToMilliseconds) {
    ASSERT_TRUE(Parse(PassingLine("C1", "2024-05-01", "10:00:00.5")));
    EXPECT_EQ(read.clockOfDay, CChrono(36000, 500));
    ASSERT_TRUE(Parse(PassingLine("C1", "2024-05-01", "10:00:00")));
    EXPECT_EQ(read.clockOfDay, CChrono(36000, 0));
    ASSERT_TRUE(Parse(PassingLine("C1", "2024-05-01", "10:00:00.12345")));
    EXPECT_EQ(read.clockOfDay, CChrono(36000, 123));
    EXPECT_EQ(read.instant, CChrono(kMayFirstTenOClock, 123));
}

TEST_F(PassingParserTest, TakesTodayForADateOfZeros) {
    // 2024-05-02 08:30 in Paris.
    SetWallClockSourceForTests([] { return std::chrono::system_clock::from_time_t(kMayFirstTenOClock + 86400 - 5400); });
    ASSERT_TRUE(Parse(PassingLine("C1", "0000-00-00", "10:00:00.000")));
    EXPECT_EQ(read.instant, CChrono(kMayFirstTenOClock + 86400, 0));
}

TEST_F(PassingParserTest, RefusesLinesThatAreNotWholePassings) {
    const std::string valid = PassingLine("C1", "2024-05-01", "10:00:00.000");
    EXPECT_TRUE(Parse(valid));
    EXPECT_FALSE(Parse(valid.substr(0, valid.rfind(';'))));  // 17 fields
    EXPECT_FALSE(Parse(valid + ";X"));                         // 19 fields
    EXPECT_FALSE(Parse("#Q" + valid.substr(2)));
    EXPECT_TRUE(read.code.empty());
}

TEST_F(PassingParserTest, RefusesDatesTimesAndChipsThatDoNotRead) {
    // Never a read with an unset or a made-up time.
    for (const auto& [date, time] : std::vector<std::pair<std::string, std::string>>{
             {"2024-13-45", "10:00:00.000"},
             {"2024-02-30", "10:00:00.000"},
             {"2024-5-1", "10:00:00.000"},
             {"", "10:00:00.000"},
             {"2024-05-01", "25:00:00.000"},
             {"2024-05-01", "10:61:00.000"},
             {"2024-05-01", "10:00:00.1x"},
             {"2024-05-01", "garbage"},
             {"2024-05-01", ""}}) {
        EXPECT_FALSE(Parse(PassingLine("C1", date, time))) << date << " " << time;
        EXPECT_FALSE(read.instant.IsSet());
    }
    EXPECT_FALSE(Parse(PassingLine("", "2024-05-01", "10:00:00.000")));
    EXPECT_FALSE(Parse(PassingLine(std::string("C\x01", 2), "2024-05-01", "10:00:00.000")));
    EXPECT_FALSE(Parse(PassingLine("C 1", "2024-05-01", "10:00:00.000")));
}

}  // namespace
}  // namespace lv

namespace lv {
namespace {

// A box's passings through the autumn change in Paris: the box's clock goes
// 02:59:59 then 02:00:00 again; its reads stay in order.
TEST_F(PassingParserTest, ABoxsReadsFollowItsClockThroughTheRepeatedHour) {
    using test::kOct27At0210Summer;
    std::optional<int64_t> previous;
    std::vector<int32_t> instants;
    for (const char* time : {"02:10:00.000", "02:59:59.000", "02:10:00.000", "03:00:00.000"}) {
        ASSERT_TRUE(Parse(PassingLine("c00001", "2024-10-27", time)));
        FollowBoxClock(read, previous);
        instants.push_back(read.instant.Seconds());
    }
    EXPECT_EQ(instants[0], kOct27At0210Summer);
    EXPECT_EQ(instants[1], kOct27At0210Summer + 49 * 60 + 59);
    EXPECT_EQ(instants[2], kOct27At0210Summer + 3600);
    EXPECT_EQ(instants[3], kOct27At0210Summer + 3600 + 50 * 60);
    // Another box, its first read in that hour: the first occurrence.
    std::optional<int64_t> otherBox;
    ASSERT_TRUE(Parse(PassingLine("c00002", "2024-10-27", "02:10:00.000")));
    FollowBoxClock(read, otherBox);
    EXPECT_EQ(read.instant.Seconds(), kOct27At0210Summer);
}

}  // namespace
}  // namespace lv

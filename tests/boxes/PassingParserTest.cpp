// A network decoder's passing line: fields, dates of the race days, chip translation.
#include <gtest/gtest.h>

#include "BoxTestSupport.h"
#include "base/Texts.h"
#include "boxes/PassingParser.h"
#include "core/ChipTable.h"
#include "base/Clock.h"

namespace lv {
namespace {

std::string PassingLine(const std::string& chip, const std::string& date, const std::string& time) {
    return "#P;7;" + chip + ";" + date + ";" + time + ";1;0;0;-62;1;0;0;0;0;0;0;0;SIM";
}

class PassingParserTest : public ::testing::Test {
protected:
    PassingParserTest() {
        settings.raceDays = {"20240501", "20240502", "20240503", "20240504"};
        ClearChipTable();
    }
    ~PassingParserTest() override {
        ClearChipTable();
        SetWallClockSourceForTests({});
    }
    bool Parse(const std::string& line) { return ParsePassing(line, settings, passing, error); }

    IntakeSettings settings;
    ParsedPassing passing;
    std::string error;
    LogCapture log;
};

// 2024-05-01 10:00:00 in Paris (summer time) is 08:00:00 UTC.
constexpr int32_t kMayFirstTenOClock = 1714550400;

TEST_F(PassingParserTest, ReadsChipInstantAndTimeOfDayOnTheFirstRaceDay) {
    ASSERT_TRUE(Parse(PassingLine("C00001", "2024-05-01", "10:00:00.250")));
    EXPECT_EQ(passing.label, "C00001");
    EXPECT_EQ(passing.chip, "C00001");
    EXPECT_EQ(passing.instant, CChrono(kMayFirstTenOClock, 250));
    EXPECT_EQ(passing.ofDay, CChrono(36000, 250));
    EXPECT_FALSE(log.HasContaining("Caution"));
}

TEST_F(PassingParserTest, NormalisesTheFractionToMilliseconds) {
    ASSERT_TRUE(Parse(PassingLine("C1", "2024-05-01", "10:00:00.5")));
    EXPECT_EQ(passing.ofDay, CChrono(36000, 500));
    ASSERT_TRUE(Parse(PassingLine("C1", "2024-05-01", "10:00:00")));
    EXPECT_EQ(passing.ofDay, CChrono(36000, 0));
    ASSERT_TRUE(Parse(PassingLine("C1", "2024-05-01", "10:00:00.12345")));
    EXPECT_EQ(passing.ofDay, CChrono(36000, 123));
}

TEST_F(PassingParserTest, AddsOneDayPerRaceDayToTheTimeOfDay) {
    ASSERT_TRUE(Parse(PassingLine("C1", "2024-05-02", "10:00:00.000")));
    EXPECT_EQ(passing.ofDay.FormatHundredths(), "34:00:00.00");
    ASSERT_TRUE(Parse(PassingLine("C1", "2024-05-04", "10:00:00.000")));
    EXPECT_EQ(passing.ofDay.FormatHundredths(), "82:00:00.00");
    EXPECT_EQ(passing.instant, CChrono(kMayFirstTenOClock + 3 * 86400, 0));
}

TEST_F(PassingParserTest, WarnsOnADateOutsideTheRaceDaysAndKeepsTheTime) {
    ASSERT_TRUE(Parse(PassingLine("C1", "2024-04-24", "10:00:00.000")));
    EXPECT_EQ(passing.ofDay.FormatHundredths(), "10:00:00.00");
    EXPECT_TRUE(log.HasContaining("### Attention: Incompatibilité de date boîtier / ordinateur !"));
    SetLanguage(Language::English);
    ASSERT_TRUE(Parse(PassingLine("C1", "2024-04-24", "10:00:00.000")));
    SetLanguage(Language::French);
    EXPECT_TRUE(log.HasContaining("### Caution: Box and Computer dates seem incompatible!"));
}

TEST_F(PassingParserTest, TakesTodayForADateOfZeros) {
    // 2024-05-02 08:30 in Paris: the second race day.
    SetWallClockSourceForTests([] { return std::chrono::system_clock::from_time_t(kMayFirstTenOClock + 86400 - 5400); });
    ASSERT_TRUE(Parse(PassingLine("C1", "0000-00-00", "10:00:00.000")));
    EXPECT_EQ(passing.instant, CChrono(kMayFirstTenOClock + 86400, 0));
    EXPECT_EQ(passing.ofDay.FormatHundredths(), "34:00:00.00");
}

TEST_F(PassingParserTest, RefusesLinesThatAreNotWholePassings) {
    const std::string valid = PassingLine("C1", "2024-05-01", "10:00:00.000");
    EXPECT_FALSE(Parse(valid.substr(0, valid.rfind(';'))));  // 17 fields
    EXPECT_FALSE(Parse(valid + ";X"));                         // 19 fields
    EXPECT_FALSE(Parse("#Q" + valid.substr(2)));
    EXPECT_TRUE(error.empty());
}

TEST_F(PassingParserTest, RefusesDatesAndTimesThatDoNotRead) {
    // Never a record with an unset or a made-up time.
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
        EXPECT_TRUE(error.empty());
        EXPECT_FALSE(passing.instant.IsSet());
    }
    EXPECT_FALSE(Parse(PassingLine("", "2024-05-01", "10:00:00.000")));
    EXPECT_FALSE(Parse(PassingLine(std::string("C\x01", 2), "2024-05-01", "10:00:00.000")));
}

TEST_F(PassingParserTest, TranslatesKnownChipsIntoBibNumbers) {
    ASSERT_TRUE(AddChip("C00001", 101));
    ASSERT_TRUE(Parse(PassingLine("c00001", "2024-05-01", "10:00:00.000")));
    EXPECT_EQ(passing.label, "101");
    EXPECT_EQ(passing.chip, "c00001");
    // An unknown chip is kept as it is unless unknown chips are ignored.
    ASSERT_TRUE(Parse(PassingLine("C00002", "2024-05-01", "10:00:00.000")));
    EXPECT_EQ(passing.label, "C00002");
    settings.sendNumbers = false;
    ASSERT_TRUE(Parse(PassingLine("C00001", "2024-05-01", "10:00:00.000")));
    EXPECT_EQ(passing.label, "C00001");
}

TEST_F(PassingParserTest, DiscardsUnknownChipsWhenAsked) {
    settings.ignoreUnknownTags = true;
    // With an empty table nothing is translated and nothing discarded.
    ASSERT_TRUE(Parse(PassingLine("C00002", "2024-05-01", "10:00:00.000")));
    ASSERT_TRUE(AddChip("C00001", 101));
    EXPECT_FALSE(Parse(PassingLine("C00002", "2024-05-01", "10:00:00.000")));
    EXPECT_EQ(error, "## Puce inconnue [C00002] Détection ignorée");
    SetLanguage(Language::English);
    EXPECT_FALSE(Parse(PassingLine("C00002", "2024-05-01", "10:00:00.000")));
    SetLanguage(Language::French);
    EXPECT_EQ(error, "## Unknown chip [C00002]. Detection discarded");
}

}  // namespace
}  // namespace lv

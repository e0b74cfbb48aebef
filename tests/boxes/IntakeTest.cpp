// The intake of one box thread, fed line by line: recording, the repeated-read rule,
// counters and the report of responses.
#include <gtest/gtest.h>

#include "BoxTestSupport.h"
#include "base/Texts.h"
#include "boxes/PassingIntake.h"
#include "boxes/TarvexBox.h"
#include "core/ChipTable.h"

namespace lv {
namespace {

// 2024-05-01 10:00:00 in Paris.
constexpr int32_t kTenOClock = 1714550400;

std::string Passing(const std::string& chip, const std::string& time, const std::string& date = "2024-05-01") {
    return "#P;1;" + chip + ";" + date + ";" + time + ";1;0;0;-62;1;0;0;0;0;0;0;0;SIM";
}

class IntakeTest : public ::testing::Test {
protected:
    IntakeTest() {
        SetLanguage(Language::English);
        ClearChipTable();
        box.number = 1;
        box.SetParameters("31", "192.168.1.21", 3601);
    }
    ~IntakeTest() override {
        SetLanguage(Language::French);
        ClearChipTable();
    }
    CPassingIntake& Intake() {
        if (!intake) intake = std::make_unique<CPassingIntake>(host, box);
        return *intake;
    }
    void Feed(const std::string& line) { Intake().ProcessLine(line); }
    std::vector<std::string> Labels() const {
        std::vector<std::string> labels;
        for (const auto& record : host.Recorded()) labels.push_back(record.label);
        return labels;
    }

    LogCapture log;
    test::RecordingBoxHost host;
    CTarvexBox box;
    std::unique_ptr<CPassingIntake> intake;
};

TEST_F(IntakeTest, HandsAPassingToTheOneWayInAndCountsIt) {
    Feed(Passing("C00001", "10:00:00.250"));
    const auto handed = host.Handed();
    ASSERT_EQ(handed.size(), 1u);
    EXPECT_EQ(handed[0].source, DetectionSource::Decoder);
    EXPECT_EQ(handed[0].box, 1);
    EXPECT_EQ(handed[0].detectorId, "31");
    EXPECT_EQ(handed[0].code, "C00001");
    EXPECT_FALSE(handed[0].codeIsLabel);
    EXPECT_EQ(handed[0].instant, CChrono(kTenOClock, 250));
    EXPECT_EQ(handed[0].clockOfDay, CChrono(36000, 250));
    EXPECT_EQ(handed[0].dayOffset, kRaceDayRule);
    auto recorded = host.Recorded();
    ASSERT_EQ(recorded.size(), 1u);
    EXPECT_EQ(recorded[0].label, "C00001");
    EXPECT_EQ(recorded[0].boxName, "31");
    EXPECT_EQ(recorded[0].ofDay, CChrono(36000, 250));
    EXPECT_EQ(recorded[0].box, 1);
    EXPECT_EQ(Intake().Counters().seen, 1u);
    EXPECT_EQ(Intake().Counters().recorded, 1u);
    // The window's line, counters and sound follow the recorder, not the box thread.
    EXPECT_TRUE(host.Sounds().empty());
}

TEST_F(IntakeTest, RecordsTranslatedBibs) {
    ASSERT_TRUE(AddChip("C00001", 101));
    Feed(Passing("C00001", "10:00:00.000"));
    Feed(Passing("C00002", "10:00:01.000"));
    EXPECT_EQ(Labels(), (std::vector<std::string>{"101", "C00002"}));
    host.ChangeRules([](RecordingRules& r) { r.sendNumbers = false; });
    Feed(Passing("C00001", "10:00:02.000"));
    EXPECT_EQ(Labels(), (std::vector<std::string>{"101", "C00002", "C00001"}));
}

TEST_F(IntakeTest, IgnoresRepeatedReadsWithinTheWindowOfThePreviousRead) {
    Feed(Passing("C1", "10:00:00.000"));
    Feed(Passing("C1", "10:00:00.030"));  // 30 ms after: ignored
    Feed(Passing("C1", "10:00:00.060"));  // 30 ms after the ignored one: ignored too
    Feed(Passing("C1", "10:00:00.060"));  // the same instant: ignored
    Feed(Passing("C2", "10:00:00.061"));  // another chip: accepted
    Feed(Passing("C1", "10:00:00.200"));  // far enough: accepted
    Feed(Passing("C1", "10:00:00.100"));  // earlier than the previous read: accepted
    EXPECT_EQ(Labels(), (std::vector<std::string>{"C1", "C2", "C1", "C1"}));
    EXPECT_EQ(Intake().Counters().ignored, 3u);
    EXPECT_EQ(Intake().Counters().seen, 7u);
    EXPECT_EQ(log.CountContaining("Boîtier 1 [21:3601 31] : Detection ignored"), 3);
}

TEST_F(IntakeTest, TwoChipsOfOneBibShareTheirRepeatedReads) {
    ASSERT_TRUE(AddChip("CA", 7));
    ASSERT_TRUE(AddChip("CB", 7));
    Feed(Passing("CA", "10:00:00.000"));
    Feed(Passing("CB", "10:00:00.010"));
    EXPECT_EQ(Labels(), std::vector<std::string>{"7"});
}

TEST_F(IntakeTest, AWindowOfZeroAcceptsEveryRead) {
    host.ChangeRules([](RecordingRules& r) { r.ignoreInputMsDelta = 0; });
    Feed(Passing("C1", "10:00:00.000"));
    Feed(Passing("C1", "10:00:00.000"));
    Feed(Passing("C1", "10:00:00.010"));
    EXPECT_EQ(host.RecordedCount(), 3u);
}

TEST_F(IntakeTest, CountsInvalidPassingsWithTheirReason) {
    ASSERT_TRUE(AddChip("C00001", 101));
    host.ChangeRules([](RecordingRules& r) { r.ignoreUnknownTags = true; });
    Feed(Passing("C00001", "10:00:00.000", "2024-13-45"));
    Feed(Passing("C00009", "10:00:00.000"));
    EXPECT_EQ(host.RecordedCount(), 0u);
    EXPECT_EQ(Intake().Counters().invalid, 2u);
    EXPECT_TRUE(log.HasContaining("Boîtier 1 [21:3601 31] : Invalid detection: #P;1;C00001;2024-13-45;"));
    EXPECT_TRUE(log.HasContaining("Boîtier 1 [21:3601 31] : ## Unknown chip [C00009]. Detection discarded"));
}

TEST_F(IntakeTest, ReportsTheMeanTimeEvery200Passings) {
    for (int i = 0; i < 399; ++i) {
        // Every tenth line is invalid, every other chip repeats at once.
        int second = i / 2;
        std::string time = "10:" + std::to_string(10 + second / 60) + ":" +
                           (second % 60 < 10 ? "0" : "") + std::to_string(second % 60) + ".000";
        Feed(Passing(i % 10 == 9 ? "" : "C" + std::to_string(i / 2), time));
    }
    EXPECT_EQ(log.CountContaining(">> Mean time (on "), 1);
    EXPECT_TRUE(log.HasContaining(">> Mean time (on 200 last) for detection treatment: 0 ms  [80 ignored, 20 invalid]"))
        << log.Dump().substr(0, 2000);
    Feed(Passing("LAST", "11:00:00.000"));
    EXPECT_EQ(log.CountContaining(">> Mean time (on 200 last)"), 2);
}

TEST_F(IntakeTest, ReportsResponsesThatCameWithoutAWait) {
    Feed("GETTIME;2024-05-01;10:00:00.5");
    Feed("SETBOUNCE;30");
    Feed("SETBOUNCE;120");
    Feed("SETBOUNCE;7200");
    Feed("SETBOUNCE;soon");
    Feed("SETPROTOCOL;2.0");
    Feed("SETPROTOCOL");
    Feed("SETTIME;2024-05-01;10:00:00.000");
    Feed("LISTFILES;0");
    Feed("STARTOPERATION");
    Feed("TIMESTAMPGET;1");
    const std::string label = "Boîtier 1 [21:3601 31] : ";
    EXPECT_TRUE(log.HasContaining(label + "Date 01/05/2024  10:00:00.50 (time got at ")) << log.Dump();
    EXPECT_TRUE(log.HasContaining(label + "Bounce time set to 30s"));
    EXPECT_TRUE(log.HasContaining(label + "Bounce time set to 2mn"));
    EXPECT_TRUE(log.HasContaining(label + "Bounce time set to 2h"));
    EXPECT_TRUE(log.HasContaining(label + "Error setting bounce time"));
    EXPECT_EQ(log.CountContaining(label + "Protocol version: "), 1);
    EXPECT_TRUE(log.HasContaining(label + "Protocol version: 2.0"));
    EXPECT_TRUE(log.HasContaining(label + "Box synchronized"));
    EXPECT_TRUE(log.HasContaining(label + "List files response received"));
    EXPECT_TRUE(log.HasContaining(label + "USB TimingBox Got TIMESTAMP (TL)"));
    EXPECT_EQ(host.RecordedCount(), 0u);
}

TEST_F(IntakeTest, ReportsUnreadableLinesAsInvalidInput) {
    Intake().ProcessLine("HELLO");
    Intake().ProcessLine("#P;1;2");
    Intake().ProcessLine(std::string(4096, 'Z'), true);
    Intake().ProcessLine("GETTIME;2024-05-01;99:00:00.000");
    Intake().ProcessLine("\r");
    Intake().ProcessLine(" ");
    EXPECT_EQ(log.CountContaining("Invalid input"), 4);
    EXPECT_TRUE(log.HasContaining("Boîtier 1 [21:3601 31] : Invalid input(TL) : HELLO"));
    EXPECT_TRUE(log.HasContaining("Boîtier 1 [21:3601 31] : Invalid input(TL) : #P;1;2"));
    EXPECT_TRUE(log.HasContaining(" : Invalid input(TL) : ZZZZ"));
    EXPECT_TRUE(log.HasContaining("(4096 bytes)"));
    EXPECT_TRUE(log.HasContaining(" : Invalid input(TL) : GETTIME;2024-05-01;99:00:00.000"));
    EXPECT_EQ(Intake().Counters().seen, 0u);
}

TEST_F(IntakeTest, SpeaksFrenchByDefault) {
    SetLanguage(Language::French);
    Feed(Passing("C1", "10:00:00.000"));
    Feed(Passing("C1", "10:00:00.010"));
    Feed(Passing("C1", "10:00:00.000", "2024-13-45"));
    EXPECT_TRUE(log.HasContaining(" : Détection ignorée"));
    EXPECT_TRUE(log.HasContaining(" : Détection invalide: #P;1;C1;2024-13-45"));
}

}  // namespace
}  // namespace lv

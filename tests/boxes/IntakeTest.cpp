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

TEST_F(IntakeTest, RecordsCountsShowsAndBeepsForAnAcceptedPassing) {
    Feed(Passing("C00001", "10:00:00.250"));
    auto recorded = host.Recorded();
    ASSERT_EQ(recorded.size(), 1u);
    EXPECT_EQ(recorded[0].label, "C00001");
    EXPECT_EQ(recorded[0].boxName, "31");
    EXPECT_EQ(recorded[0].instant, CChrono(kTenOClock, 250));
    EXPECT_EQ(recorded[0].ofDay, CChrono(36000, 250));
    EXPECT_EQ(host.Refreshes(), 1);
    EXPECT_EQ(host.Sounds(), std::vector<int>{SoundNumber(Sound::Detection)});
    auto shown = host.Shown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "[21:3601 31]\t# C00001");
    ASSERT_NE(shown[0].record, nullptr);
    EXPECT_EQ(shown[0].record->label, "C00001");
    EXPECT_EQ(shown[0].ofDay, CChrono(36000, 250));
    EXPECT_EQ(Intake().Counters().seen, 1u);
    EXPECT_EQ(Intake().Counters().recorded, 1u);
}

TEST_F(IntakeTest, ShowsChipAndBibAsTheSettingsAsk) {
    ASSERT_TRUE(AddChip("C00001", 101));
    host.ChangeSettings([](IntakeSettings& s) { s.sendNumbers = false; s.beepDetections = false; });
    Feed(Passing("C00001", "10:00:00.000"));
    Feed(Passing("C00002", "10:00:01.000"));
    ClearChipTable();
    Feed(Passing("C00003", "10:00:02.000"));
    host.SetLogDetections(false);
    Feed(Passing("C00004", "10:00:03.000"));
    auto shown = host.Shown();
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0].text, "[21:3601 31]\tC00001\t# 101");
    EXPECT_EQ(shown[1].text, "[21:3601 31]\tC00002\t# ????");
    EXPECT_EQ(shown[2].text, "[21:3601 31]\tC00003");
    EXPECT_EQ(Labels(), (std::vector<std::string>{"C00001", "C00002", "C00003", "C00004"}));
    EXPECT_TRUE(host.Sounds().empty());
}

TEST_F(IntakeTest, RecordsTranslatedBibs) {
    ASSERT_TRUE(AddChip("C00001", 101));
    Feed(Passing("C00001", "10:00:00.000"));
    ASSERT_EQ(host.Shown().size(), 1u);
    EXPECT_EQ(host.Shown()[0].text, "[21:3601 31]\t# 101");
    EXPECT_EQ(Labels(), std::vector<std::string>{"101"});
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
    host.ChangeSettings([](IntakeSettings& s) { s.ignoreInputMsDelta = 0; });
    Feed(Passing("C1", "10:00:00.000"));
    Feed(Passing("C1", "10:00:00.000"));
    Feed(Passing("C1", "10:00:00.010"));
    EXPECT_EQ(host.RecordedCount(), 3u);
}

TEST_F(IntakeTest, CountsInvalidPassingsWithTheirReason) {
    ASSERT_TRUE(AddChip("C00001", 101));
    host.ChangeSettings([](IntakeSettings& s) { s.ignoreUnknownTags = true; });
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

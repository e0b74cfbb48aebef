// The one way in of every detection: the race-day rule, the chip table and the repeat
// filter applied once, whatever the source; each detection numbered, journaled with the
// same bytes as it always was, and told to its followers.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "base/Texts.h"
#include "core/ChipTable.h"
#include "core/DetectionJournal.h"
#include "core/DetectionRecorder.h"
#include "core/DetectionTable.h"
#include "support/LogCapture.h"
#include "support/TempFolder.h"

namespace lv {
namespace {

using test::ReadFile;
using test::TempFolder;

// 2024-05-01 10:00:00 in Paris (summer time).
constexpr int32_t kTenOClock = 1714550400;

class Followed : public DetectionFollower {
public:
    void DetectionRecorded(const CQoxResult& record) override {
        std::lock_guard<std::mutex> hold(lock);
        numbers.push_back(record.number);
    }
    std::mutex lock;
    std::vector<uint32_t> numbers;
};

class DetectionRecorderTest : public ::testing::Test {
protected:
    DetectionRecorderTest() : recorder(DetectionTable::Instance()) {
        Logger::Instance().SetFilePath(folder / "Lumivane.log");
        ClearChipTable();
        rules.raceDays = {"20240501", "20240502", "20240503", "20240504"};
        recorder.SetRules(rules);
        recorder.AddFollower(&followed);
        Journal().Open(path);
    }
    ~DetectionRecorderTest() override {
        Journal().Close();
        DetectionTable::Instance().ClearTable();
        ClearChipTable();
        SetLanguage(Language::French);
    }
    static DetectionJournal& Journal() { return DetectionTable::Instance().Journal(); }

    // A passing pushed by network decoder `box` at 10:00:00 + `ms` on the race day `day`.
    static Detection Pushed(const std::string& chip, int ms, int box = 1, int day = 0) {
        Detection detection;
        detection.source = DetectionSource::Decoder;
        detection.box = box;
        detection.detectorId = "3" + std::to_string(box);
        detection.code = chip;
        detection.instant = CChrono(kTenOClock + day * 86400 + ms / 1000, static_cast<uint16_t>(ms % 1000));
        detection.clockOfDay = CChrono(36000 + ms / 1000, static_cast<uint16_t>(ms % 1000));
        return detection;
    }
    static Detection From(DetectionSource source, Detection detection) {
        detection.source = source;
        return detection;
    }
    std::string Label(const Detection& detection) {
        const RecordResult result = recorder.Record(detection);
        return result.record ? result.record->label : std::string();
    }
    std::string File() {
        Journal().Close();
        const std::string content = ReadFile(path);
        Journal().Open(path);
        return content;
    }

    TempFolder folder;
    const std::string path = folder / "Lumivane-20240501-095959.dat";
    LogCapture log;
    RecordingRules rules;
    DetectionRecorder recorder;
    Followed followed;
};

TEST_F(DetectionRecorderTest, EverySourceWritesTheJournalLineItAlwaysWrote) {
    ASSERT_TRUE(AddChip("C7", 7));
    recorder.Record(Pushed("C7", 250));
    recorder.Record(From(DetectionSource::UsbBox, Pushed("C8", 1000, 2)));
    Detection manual = LabelledDetection(DetectionSource::Manual, "33", "42", CChrono(kTenOClock + 2, 70));
    manual.dayOffset = 1;
    recorder.Record(manual);
    Detection imported = manual;
    imported.source = DetectionSource::Import;
    imported.code = "C9";
    imported.clockOfDay = CChrono(36003, 0);
    imported.dayOffset = 0;
    recorder.Record(imported);
    EXPECT_EQ(File(),
              "1\t31\t7\t1\t10:00:00.25\t1\r\n"
              "2\t32\tC8\t1\t10:00:01.00\t1\r\n"
              "3\t33\t42\t1\t34:00:02.07\t1\r\n"
              "4\t33\tC9\t1\t10:00:03.00\t1\r\n");
    EXPECT_EQ(followed.numbers, (std::vector<uint32_t>{1, 2, 3, 4}));

    rules.absoluteClock = true;
    recorder.SetRules(rules);
    recorder.Record(Pushed("C7", 5050));
    EXPECT_NE(File().find("5\t31\t7\t1\t1714550405.5\t2\r\n"), std::string::npos);
}

TEST_F(DetectionRecorderTest, TheRaceDayRuleAddsADayPerRaceDayAndWarnsOutsideThem) {
    EXPECT_EQ(recorder.Record(Pushed("C1", 0, 1, 1)).record->ofDay.FormatHundredths(), "34:00:00.00");
    EXPECT_EQ(recorder.Record(From(DetectionSource::UsbBox, Pushed("C1", 0, 2, 3))).record->ofDay.FormatHundredths(),
              "82:00:00.00");
    EXPECT_FALSE(log.HasContaining("Caution"));
    EXPECT_EQ(recorder.Record(Pushed("C1", 0, 1, -7)).record->ofDay.FormatHundredths(), "10:00:00.00");
    EXPECT_EQ(log.CountContaining("### Attention: Incompatibilité de date boîtier / ordinateur !"), 1);
    // Fetched from a box's memory, thousands at once: no line each.
    recorder.Record(From(DetectionSource::Recovery, Pushed("C2", 0, 1, -7)));
    EXPECT_EQ(log.CountContaining("Incompatibilité"), 1);
}

TEST_F(DetectionRecorderTest, ChipsAreTranslatedOnceAndUnknownOnesDiscardedOnlyWhereTheSettingApplies) {
    EXPECT_EQ(recorder.Record(Pushed("C1", 0)).record->lookup, ChipLookup::TableEmpty);
    ASSERT_TRUE(AddChip("C1", 101));
    const CQoxResult* found = recorder.Record(Pushed("C1", 1000)).record;
    EXPECT_EQ(found->label, "101");
    EXPECT_EQ(found->lookup, ChipLookup::Found);
    const CQoxResult* unknown = recorder.Record(Pushed("C2", 2000)).record;
    EXPECT_EQ(unknown->label, "C2");
    EXPECT_EQ(unknown->lookup, ChipLookup::NotFound);

    rules.ignoreUnknownTags = true;
    recorder.SetRules(rules);
    const RecordResult discarded = recorder.Record(Pushed("C3", 3000));
    EXPECT_EQ(discarded.outcome, RecordOutcome::UnknownChip);
    EXPECT_EQ(discarded.record, nullptr);
    EXPECT_EQ(discarded.error, "## Puce inconnue [C3] Détection ignorée");
    EXPECT_EQ(recorder.Record(From(DetectionSource::Recovery, Pushed("C3", 3000))).outcome, RecordOutcome::UnknownChip);
    // A USB TimingBox's unknown chip is recorded with its code, as its reading always did.
    const CQoxResult* usb = recorder.Record(From(DetectionSource::UsbBox, Pushed("C3", 3000, 2))).record;
    ASSERT_NE(usb, nullptr);
    EXPECT_EQ(usb->label, "C3");

    rules.sendNumbers = false;
    recorder.SetRules(rules);
    EXPECT_EQ(Label(Pushed("C1", 4000)), "C1");
}

TEST_F(DetectionRecorderTest, RepeatedReadsAreFilteredPerNetworkBoxOnly) {
    EXPECT_EQ(recorder.Record(Pushed("C1", 0)).outcome, RecordOutcome::Recorded);
    EXPECT_EQ(recorder.Record(Pushed("C1", 30)).outcome, RecordOutcome::Repeated);
    EXPECT_EQ(recorder.Record(Pushed("C1", 60)).outcome, RecordOutcome::Repeated);  // the window slides
    EXPECT_EQ(recorder.Record(Pushed("C1", 30, 2)).outcome, RecordOutcome::Recorded);  // another box
    EXPECT_EQ(recorder.Record(Pushed("C1", 200)).outcome, RecordOutcome::Recorded);
    // Other sources are never taken for repeats.
    for (DetectionSource source : {DetectionSource::UsbBox, DetectionSource::Recovery}) {
        EXPECT_EQ(recorder.Record(From(source, Pushed("C1", 200))).outcome, RecordOutcome::Recorded);
    }
    // A box thread that starts again starts with an empty memory.
    recorder.ForgetLastReads(1);
    EXPECT_EQ(recorder.Record(Pushed("C1", 210)).outcome, RecordOutcome::Recorded);
    // Box 2 keeps its own memory.
    EXPECT_EQ(recorder.Record(Pushed("C1", 40, 2)).outcome, RecordOutcome::Repeated);
    rules.ignoreInputMsDelta = 0;
    recorder.SetRules(rules);
    EXPECT_EQ(recorder.Record(Pushed("C1", 40, 2)).outcome, RecordOutcome::Recorded);
}

TEST_F(DetectionRecorderTest, AHeldBackDetectionIsJournaledButMarkedNotToSend) {
    Detection kept = Pushed("C1", 0);
    kept.forward = false;
    ASSERT_NE(recorder.Record(kept).record, nullptr);
    recorder.Record(Pushed("C2", 0));
    auto session = Journal().CurrentSession();
    ASSERT_NE(session, nullptr);
    EXPECT_EQ(session->Lines(), 2u);
    EXPECT_TRUE(session->IsHeldBack(1));
    EXPECT_FALSE(session->IsHeldBack(2));
}

TEST_F(DetectionRecorderTest, ABoxsLastReadAndItsNextReadAreKnown) {
    EXPECT_FALSE(recorder.LastReadInstant(1).IsSet());
    recorder.Record(Pushed("C1", 500));
    recorder.Record(Pushed("C1", 520));  // a repeat is a read all the same
    EXPECT_EQ(recorder.LastReadInstant(1), CChrono(kTenOClock, 520));
    std::vector<CChrono> watched;
    recorder.WatchNextRead(1, [&](const CChrono& instant) { watched.push_back(instant); });
    recorder.Record(From(DetectionSource::UsbBox, Pushed("C2", 600, 1)));  // not a pushed read
    recorder.Record(Pushed("C3", 700, 2));                                // another box
    recorder.Record(Pushed("C4", 800));
    recorder.Record(Pushed("C5", 900));
    EXPECT_EQ(watched, std::vector<CChrono>{CChrono(kTenOClock, 800)});
}

TEST_F(DetectionRecorderTest, FourBoxesRecordingTogetherNumberEveryDetectionOnce) {
    std::vector<std::thread> boxes;
    for (int box = 1; box <= 4; ++box) {
        boxes.emplace_back([this, box] {
            for (int i = 0; i < 500; ++i) recorder.Record(Pushed("C" + std::to_string(i), i * 100, box));
        });
    }
    for (auto& thread : boxes) thread.join();
    ASSERT_EQ(followed.numbers.size(), 2000u);
    std::vector<uint32_t> numbers = followed.numbers;
    std::sort(numbers.begin(), numbers.end());
    for (uint32_t n = 1; n <= 2000; ++n) ASSERT_EQ(numbers[n - 1], n);
    for (uint32_t n = 1; n <= 2000; ++n) ASSERT_EQ(DetectionTable::Instance().RecordAt(n)->number, n);
}

}  // namespace
}  // namespace lv

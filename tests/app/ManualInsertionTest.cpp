#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <mutex>

#include "app/DetectionLineText.h"
#include "app/ManualInsertion.h"
#include "core/DetectionTable.h"
#include "base/Texts.h"
#include "core/ChipTable.h"
#include "base/Clock.h"
#include "support/LogCapture.h"

namespace lv {
namespace {

using ::testing::ElementsAre;

// Saturday 14 June 2025, 10:00:00 in Paris.
constexpr int64_t kNow = 1749888000;

// Keeps each detection the recorder tells of.
class RecordedDetections : public DetectionFollower {
public:
    void DetectionRecorded(const CQoxResult& record) override { records.push_back(&record); }
    std::vector<const CQoxResult*> records;
};

// A recorder on the program's detection table, emptied around each test.
struct ManualRecorder {
    ManualRecorder() : recorder(DetectionTable::Instance()) {
        DetectionTable::Instance().ClearTable();
        recorder.AddFollower(&followed);
    }
    ~ManualRecorder() { DetectionTable::Instance().ClearTable(); }
    DetectionRecorder recorder;
    RecordedDetections followed;
};

class ManualInsertionTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetLanguage(Language::French);
        SetWallClockSourceForTests([] { return std::chrono::system_clock::from_time_t(kNow); });
        ClearChipTable();
    }
    void TearDown() override {
        SetWallClockSourceForTests({});
        ClearChipTable();
        SetLanguage(Language::French);
    }

    ManualValidation Validate(const std::string& bib, const std::string& time = "10:00:00.00",
                              int detector = 0, int correction = 0, bool sendNumbers = true) {
        return insertion.Validate(bib, time, detectors, detector, correction, sendNumbers);
    }

    ManualInsertion insertion;
    std::vector<std::string> detectors = {"1", "2", "3"};
};

// ---- Bib ---------------------------------------------------------------------------

TEST_F(ManualInsertionTest, BibMustBeAPositiveWholeNumber) {
    for (const char* bib : {"0", "-3", "abc", "", "   ", "4r2", "12 13", "99999999999", "+"}) {
        ManualValidation result = Validate(bib);
        EXPECT_FALSE(result.ok) << bib;
        EXPECT_EQ(result.warning, "Dossard vide ou invalide !") << bib;
        EXPECT_EQ(result.field, ManualField::Bib);
        EXPECT_TRUE(result.clearBib);
    }
    ManualValidation spaced = Validate("  42 \t");
    ASSERT_TRUE(spaced.ok);
    EXPECT_EQ(spaced.entry.bib, 42);
    EXPECT_EQ(spaced.entry.label, "42");
    EXPECT_EQ(Validate("007").entry.label, "7");
}

TEST_F(ManualInsertionTest, WithoutTranslationTheLabelIsTheBibWithOrWithoutATable) {
    EXPECT_EQ(Validate("42").entry.label, "42");
    AddChip("E2001", 42);
    EXPECT_EQ(Validate("42").entry.label, "42");
}

TEST_F(ManualInsertionTest, WithChipCodesTheLabelIsTheFirstChipOfTheBib) {
    AddChip("E2001", 42);
    AddChip("E2002", 42);
    AddChip("17", 17);
    AddChip("99", 5);
    EXPECT_EQ(Validate("42", "10:00:00", 0, 0, false).entry.label, "E2001");
    EXPECT_EQ(Validate("17", "10:00:00", 0, 0, false).entry.label, "17");
    for (const char* missing : {"99", "6"}) {
        ManualValidation result = Validate(missing, "10:00:00", 0, 0, false);
        EXPECT_FALSE(result.ok) << missing;
        EXPECT_EQ(result.warning, "Dossard non trouvé dans la table de correspondance !");
        EXPECT_FALSE(result.clearBib);
    }
}

TEST_F(ManualInsertionTest, WithChipCodesAndNoTableInsertionIsRefused) {
    std::string warning;
    EXPECT_TRUE(ManualInsertion::CanInsert(true, warning));
    EXPECT_FALSE(ManualInsertion::CanInsert(false, warning));
    EXPECT_EQ(warning,
              "Aucune table de correspondance n'a pu être chargée.\nVous ne pouvez saisir des temps "
              "manuellement...");
    SetLanguage(Language::English);
    ManualInsertion::CanInsert(false, warning);
    EXPECT_EQ(warning, "No chip translation table could be loaded.\nYou cannot insert times manually...");
    AddChip("E2001", 42);
    EXPECT_TRUE(ManualInsertion::CanInsert(false, warning));
    // Refused at OK too, had the dialog been opened.
    ClearChipTable();
    EXPECT_FALSE(Validate("42", "10:00:00", 0, 0, false).ok);
}

// ---- Time and detector ---------------------------------------------------------------

TEST_F(ManualInsertionTest, TimeIsReadAsTodaysInstant) {
    for (const char* time : {"", "  ", "abc", "10h30"}) {
        ManualValidation result = Validate("42", time);
        EXPECT_FALSE(result.ok) << time;
        EXPECT_EQ(result.warning, "Temps invalide !");
        EXPECT_EQ(result.field, ManualField::Time);
    }
    ManualValidation result = Validate("42", " 01:30:00.25 ");
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(result.entry.time.FormatDateCompact(), "20250614");
    EXPECT_EQ(result.entry.time.FormatClockHundredths(), "01:30:00.25");
    EXPECT_TRUE(Validate("42", "12.30.15").ok);
}

TEST_F(ManualInsertionTest, CorrectionAddsWholeDaysToTheTimeOfDay) {
    ManualValidation result = Validate("42", "01:30:00.00", 0, 2);
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(result.entry.correction, 2);
    EXPECT_EQ(ManualInsertion::EntryTimeOfDay(result.entry).FormatHundredths(), "49:30:00.00");
    result = Validate("42", "01:30:00.00", 0, 0);
    EXPECT_EQ(ManualInsertion::EntryTimeOfDay(result.entry).FormatHundredths(), "01:30:00.00");
}

TEST_F(ManualInsertionTest, NoDeclaredBoxMeansNoDetector) {
    std::array<ManualBoxSlot, 4> slots{};
    detectors = ManualInsertion::DetectorList(slots);
    EXPECT_TRUE(detectors.empty());
    EXPECT_EQ(insertion.Open(detectors, {}).detectorIndex, -1);
    ManualValidation result = Validate("42", "10:00:00", -1);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.warning, "Pas de n° de détecteur !");
    EXPECT_EQ(result.field, ManualField::Detector);
}

TEST_F(ManualInsertionTest, DetectorListTakesSlotsWithDetectorAndHost) {
    std::array<ManualBoxSlot, 4> slots = {ManualBoxSlot{"1", "192.168.1.10"}, ManualBoxSlot{"2", ""},
                                          ManualBoxSlot{"", "192.168.1.12"}, ManualBoxSlot{"4", "COM3"}};
    EXPECT_THAT(ManualInsertion::DetectorList(slots), ElementsAre("1", "4"));
}

TEST_F(ManualInsertionTest, RememberedDetectorFallsBackToTheFirstWhenFewerBoxes) {
    EXPECT_EQ(insertion.Open(detectors, {}).detectorIndex, 0);
    ASSERT_TRUE(Validate("42", "10:00:00", 2).ok);
    EXPECT_EQ(insertion.RememberedDetectorIndex(), 2);
    EXPECT_EQ(insertion.Open(detectors, {}).detectorIndex, 2);
    EXPECT_EQ(insertion.Open({"1", "2"}, {}).detectorIndex, 0);
    // A refused OK remembers nothing.
    EXPECT_FALSE(Validate("0", "10:00:00", 1).ok);
    EXPECT_EQ(insertion.RememberedDetectorIndex(), 2);
}

// ---- Opening ---------------------------------------------------------------------------

TEST_F(ManualInsertionTest, OpeningShowsThePresentMomentAndTheRaceDay) {
    ManualOpening opening = insertion.Open(detectors, {"20250613", "20250614", "20250615", "20250616"});
    EXPECT_EQ(opening.insertTimeLabel, "Insertion du temps : 10:00:00");
    EXPECT_EQ(opening.timeText, "10:00:00.00");
    EXPECT_EQ(opening.correction, 1);
    EXPECT_EQ(insertion.Open(detectors, {"20250601", "20250602", "20250603", "20250604"}).correction, 0);
    EXPECT_EQ(ManualInsertion::CorrectionLabel(0), "");
    EXPECT_EQ(ManualInsertion::CorrectionLabel(2), "+48h");
}

// A moment inside a second shows the same second in the dialog's label and, once
// inserted, in the detections list.
TEST_F(ManualInsertionTest, TheLabelAndTheListShowTheSameSecond) {
    SetWallClockSourceForTests(
        [] { return std::chrono::system_clock::from_time_t(kNow) + std::chrono::milliseconds(360); });
    const ManualOpening opening = insertion.Open(detectors, {});
    EXPECT_EQ(opening.timeText, "10:00:00.36");
    EXPECT_EQ(opening.insertTimeLabel, "Insertion du temps : 10:00:01");
    ManualRecorder manual;
    const ManualValidation result = Validate("42", opening.timeText);
    ASSERT_TRUE(result.ok);
    const CQoxResult* record = ManualInsertion::Record(manual.recorder, result.entry);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(DetectionLine(const_cast<CQoxResult&>(*record), "", true).line, "10:00:01\tMan.\t# 42");
}

// ---- Recording -------------------------------------------------------------------------

TEST_F(ManualInsertionTest, RecordingGoesThroughTheOneWayInAndLogs) {
    LogCapture log;
    ManualRecorder manual;
    ManualValidation result = Validate("42", "01:30:00.00", 2, 2);
    ASSERT_TRUE(result.ok);
    const CQoxResult* record = ManualInsertion::Record(manual.recorder, result.entry);
    ASSERT_NE(record, nullptr);
    ASSERT_EQ(manual.followed.records.size(), 1u);
    EXPECT_EQ(manual.followed.records[0], record);
    EXPECT_EQ(record->label, "42");
    EXPECT_EQ(record->boxName, "3");
    EXPECT_EQ(record->source, DetectionSource::Manual);
    EXPECT_EQ(record->ofDay.FormatHundredths(), "49:30:00.00");
    EXPECT_EQ(record->timeText, "49:30:00.00");
    // A typed bib is never translated, nor taken for a repeat.
    EXPECT_EQ(ManualInsertion::Record(manual.recorder, result.entry)->label, "42");
    EXPECT_EQ(DetectionLineText(*record, "", true), "Man.\t# 42");
    EXPECT_TRUE(log.Has("+++ Ajout manuel d'une détection Id. Boîtier 3 à 49:30:00.00 pour le coureur 42"));
}

TEST_F(ManualInsertionTest, DetectionLineFollowsTheLabelKind) {
    LogCapture log;
    SetLanguage(Language::English);
    ManualRecorder manual;
    AddChip("E2001", 42);
    ManualValidation result = Validate("42", "10:00:00", 0, 0, false);
    ASSERT_TRUE(result.ok);
    const CQoxResult* record = ManualInsertion::Record(manual.recorder, result.entry);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->label, "E2001");
    EXPECT_EQ(DetectionLineText(*record, "", false), "Man.\tE2001\t# 42");
    ClearChipTable();
    EXPECT_EQ(DetectionLineText(*record, "", false), "Man.\tE2001");
    EXPECT_EQ(log.Count("+++ Added manual detecttion for box 1 at 10:00:00.00 for runner 42"), 1);
}

}  // namespace
}  // namespace lv

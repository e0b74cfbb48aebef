// The window's share of each detection, whatever its source: its line made where it is
// shown, and one rule for the detection sound.
#include <gtest/gtest.h>

#include <string>

#include "app/DetectionLineText.h"
#include "app/EventLoop.h"
#include "app/MainController.h"
#include "base/Environment.h"
#include "base/Log.h"
#include "base/Settings.h"
#include "base/Texts.h"
#include "core/ChipTable.h"
#include "core/DetectionJournal.h"
#include "core/DetectionTable.h"
#include "support/ControllerFixture.h"

namespace lv {
namespace {

// 2024-05-01 10:00:00 in Paris.
constexpr int32_t kTenOClock = 1714550400;

CQoxResult Record(DetectionSource source, const std::string& label, ChipLookup lookup = ChipLookup::NotAsked) {
    CQoxResult record;
    record.source = source;
    record.label = label;
    record.boxName = "31";
    record.lookup = lookup;
    return record;
}

TEST(DetectionLineText, EachSourceShowsWhatItAlwaysShowed) {
    ClearChipTable();
    const std::string box = "[21:3601 31]";
    // A network decoder: the recorded text when numbers are sent, else the chip and its bib.
    EXPECT_EQ(DetectionLineText(Record(DetectionSource::Decoder, "101", ChipLookup::Found), box, true),
              "[21:3601 31]\t# 101");
    EXPECT_EQ(DetectionLineText(Record(DetectionSource::Decoder, "C1"), box, false), "[21:3601 31]\tC1");
    ASSERT_TRUE(AddChip("C1", 101));
    EXPECT_EQ(DetectionLineText(Record(DetectionSource::Decoder, "C1"), box, false), "[21:3601 31]\tC1\t# 101");
    EXPECT_EQ(DetectionLineText(Record(DetectionSource::Recovery, "C2"), box, false), "[21:3601 31]\tC2\t# ????");
    // A USB TimingBox marks what the chip table said when it was read.
    EXPECT_EQ(DetectionLineText(Record(DetectionSource::UsbBox, "C1"), box, false), "[21:3601 31]\tC1");
    EXPECT_EQ(DetectionLineText(Record(DetectionSource::UsbBox, "C1", ChipLookup::TableEmpty), box, true),
              "[21:3601 31]\tC1 !!!");
    EXPECT_EQ(DetectionLineText(Record(DetectionSource::UsbBox, "101", ChipLookup::Found), box, true),
              "[21:3601 31]\t# 101");
    EXPECT_EQ(DetectionLineText(Record(DetectionSource::UsbBox, "C9", ChipLookup::NotFound), box, true),
              "[21:3601 31]\tC9 ???");
    // The timekeeper's entries and imports carry their marker.
    EXPECT_EQ(DetectionLineText(Record(DetectionSource::Manual, "42"), box, true), "Man.\t# 42");
    EXPECT_EQ(DetectionLineText(Record(DetectionSource::Manual, "C1"), box, false), "Man.\tC1\t# 101");
    EXPECT_EQ(DetectionLineText(Record(DetectionSource::Import, "C1"), box, false), "Imp.\t# C1");
    EXPECT_EQ(DetectionLineText(Record(DetectionSource::Resumed, "12"), box, true), "31\t# 12");
    ClearChipTable();
}

class DetectionFeedTest : public test::ControllerFixture<> {
protected:
    void Open(const std::string& settings) {
        test::WriteFile(GetSettingsFilePath(), "[TarvexBoxes]\r\nBoxHost1=COM3\r\nBoxPort1=1\r\nBoxIdDetector1=32\r\n"
                                               "[Settings]\r\n" + settings);
        InstallSettingsFile(GetSettingsFilePath());
        ControllerFixture::Open();
        view.sounds.clear();
    }
    void Detect(DetectionSource source, const std::string& chip, int box = 2) {
        Detection detection;
        detection.source = source;
        detection.box = box;
        detection.detectorId = "32";
        detection.code = chip;
        detection.instant = CChrono(kTenOClock + static_cast<int32_t>(++detections), 0);
        controller->Recorder().Record(detection);
        // The feed hands the window a batch at most every DetectionFeed::kRestMs.
        loop.runFor(std::chrono::milliseconds(DetectionFeed::kRestMs + 20));
    }
    int DetectionSounds() const {
        return static_cast<int>(std::count(view.sounds.begin(), view.sounds.end(), SoundNumber(Sound::Detection)));
    }

    int detections = 0;
};

TEST_F(DetectionFeedTest, EveryBoxBeepsByTheOneSettingWhetherLinesAreShownOrNot) {
    Open("BLogDetections=0\r\nGTarvexBeepDetections=1\r\n");
    Detect(DetectionSource::UsbBox, "C1");
    EXPECT_EQ(DetectionSounds(), 1);
    Detect(DetectionSource::Decoder, "C2", 1);
    EXPECT_EQ(DetectionSounds(), 2);
    // Thousands at once from an import or a box's memory: no sound each.
    Detect(DetectionSource::Import, "C3", 0);
    Detect(DetectionSource::Recovery, "C4", 1);
    EXPECT_EQ(DetectionSounds(), 2);
    EXPECT_TRUE(view.detectionLines.empty());
}

TEST_F(DetectionFeedTest, WithoutTheSettingNoBoxBeeps) {
    Open("BLogDetections=1\r\nGTarvexBeepDetections=0\r\n");
    Detect(DetectionSource::UsbBox, "C1");
    Detect(DetectionSource::Decoder, "C2", 1);
    EXPECT_EQ(DetectionSounds(), 0);
    ASSERT_EQ(view.detectionLines.size(), 2u);
    // The USB TimingBox's line with its port's description, made on the UI thread.
    EXPECT_EQ(view.detectionLines[0].line.substr(0, 9), "10:00:01\t");
    EXPECT_NE(view.detectionLines[0].line.find("COM3"), std::string::npos) << view.detectionLines[0].line;
    EXPECT_NE(view.detectionLines[0].line.find("\tC1 !!!"), std::string::npos) << view.detectionLines[0].line;
}

}  // namespace
}  // namespace lv

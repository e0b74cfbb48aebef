// The status page's facts as the controller keeps them: every call still reaches the
// window behind, a lost box shows on its card and once among the alerts, alerts older
// than an hour are left out, and the last detections come with the runners the timing
// application named.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "app/StatusCollector.h"
#include "base/Clock.h"
#include "base/Texts.h"
#include "core/DetectionTable.h"
#include "support/FakeMainView.h"

namespace lv {
namespace {

constexpr std::int64_t kStart = 1760000000;

class StatusCollectorTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetLanguage(Language::English);
        SetNow(kStart);
        DetectionTable::Instance().ClearTable();
    }
    void TearDown() override {
        DetectionTable::Instance().ClearTable();
        SetWallClockSourceForTests({});
        SetLanguage(Language::French);
    }
    void SetNow(std::int64_t seconds) {
        SetWallClockSourceForTests([seconds] { return std::chrono::system_clock::from_time_t(seconds); });
    }
    void Record(const std::string& label, int box) {
        CQoxResult record;
        record.label = label;
        record.timeText = "10:00:00.00";
        record.boxName = "31";
        record.box = static_cast<uint8_t>(box);
        DetectionTable::Instance().AddRecord(record, false);
    }

    FakeMainView window;
    StatusCollector status{window};
};

TEST_F(StatusCollectorTest, EveryCallReachesTheWindowBehind) {
    status.SetBoxState(0, BoxVisualState::Connected, "Box 1\nBox connected");
    status.ShowLostBoxAlert("Box 2 [b:1 32] lost since 10:00:00 — reconnecting");
    status.AddSummaryItem(CSummaryItem{"MARTIN Louise", 12, "10:00:00", ".", "1st", 0});
    status.ShowJournalPending(3);
    status.ShowOperatorAlert("Box 3: its memory started again");
    EXPECT_EQ(window.CallsStartingWith("ShowLostBoxAlert Box 2").size(), 1u);
    EXPECT_EQ(window.CallsStartingWith("ShowOperatorAlert Box 3").size(), 1u);
    ASSERT_FALSE(status.Snapshot(kStart)->alerts.empty());
    EXPECT_EQ(status.Snapshot(kStart)->alerts.front().text, "Box 3: its memory started again");
    EXPECT_EQ(window.CallsStartingWith("AddSummaryItem 12").size(), 1u);
    EXPECT_FALSE(window.CallsStartingWith("SetBoxState").empty());
}

TEST_F(StatusCollectorTest, ALostBoxShowsOnItsCardAndOnceAmongTheAlerts) {
    status.SetBoxState(1, BoxVisualState::Reconnecting, "Box 2\nReconnecting...");
    status.ShowLostBoxAlert("Box 2 [b:1 32] lost since 10:00:00 — reconnecting");
    SetNow(kStart + 5);
    status.ShowLostBoxAlert("Box 2 [b:1 32] lost since 10:00:00 — reconnecting\n"
                            "Box 3 [c:1 33] lost since 10:00:05 — reconnecting");
    auto facts = status.Snapshot(kStart + 6);
    ASSERT_EQ(facts->boxes.size(), 4u);
    EXPECT_EQ(facts->boxes[1].state, "reconnecting");
    EXPECT_EQ(facts->boxes[1].lostText, "Box 2 [b:1 32] lost since 10:00:00 — reconnecting");
    EXPECT_EQ(facts->boxes[2].lostText, "Box 3 [c:1 33] lost since 10:00:05 — reconnecting");
    EXPECT_EQ(facts->boxes[0].lostText, "");
    ASSERT_EQ(facts->alerts.size(), 2u);
    EXPECT_EQ(facts->alerts[0].text, "Box 3 [c:1 33] lost since 10:00:05 — reconnecting");
    EXPECT_EQ(facts->alerts[0].at, kStart + 5);
    EXPECT_EQ(facts->alerts[1].at, kStart);

    // Back: the cards clear, the alerts of the hour stay.
    status.ShowLostBoxAlert("");
    facts = status.Snapshot(kStart + 7);
    EXPECT_EQ(facts->boxes[1].lostText, "");
    EXPECT_EQ(facts->alerts.size(), 2u);
}

TEST_F(StatusCollectorTest, AlertsOfMoreThanAnHourAgoAreLeftOut) {
    status.ShowJournalPending(4);
    SetNow(kStart + 60);
    status.ShowJournalPending(9);  // still waiting: no new alert
    status.ShowJournalPending(0);
    auto facts = status.Snapshot(kStart + 60);
    ASSERT_EQ(facts->alerts.size(), 2u);
    EXPECT_EQ(facts->alerts[0].text, "The detection file has caught up");
    EXPECT_EQ(facts->alerts[1].text, "4 detection line(s) not yet written to the detection file");
    EXPECT_EQ(status.Snapshot(kStart + StatusCollector::kAlertSeconds)->alerts.size(), 2u);
    EXPECT_EQ(status.Snapshot(kStart + StatusCollector::kAlertSeconds + 1)->alerts.size(), 1u);
    EXPECT_EQ(status.Snapshot(kStart + 60 + StatusCollector::kAlertSeconds + 1)->alerts.size(), 0u);
}

TEST_F(StatusCollectorTest, TheLastFiftyDetectionsComeMostRecentFirstWithTheirRunners) {
    for (int bib = 1; bib <= 60; ++bib) Record(std::to_string(bib), bib % 2 + 1);
    status.AddSummaryItem(CSummaryItem{"  Louise MARTIN    ", 60, "10:00:00", ".", "1st", 0});
    status.AddSummaryItem(CSummaryItem{"Paul BERNARD", 3, "10:00:00", ".", "2nd", 0});
    auto facts = status.Snapshot(kStart);
    ASSERT_EQ(facts->detections.size(), StatusCollector::kDetections);
    EXPECT_EQ(facts->detections.front().label, "60");
    EXPECT_EQ(facts->detections.front().number, 60u);
    EXPECT_EQ(facts->detections.front().box, 1);
    EXPECT_EQ(facts->detections.front().runner, "Louise MARTIN");
    EXPECT_EQ(facts->detections[1].runner, "");
    EXPECT_EQ(facts->detections.back().label, "11");
    // Bib 3 is older than the fifty: its answer shows nowhere.
    for (const StatusDetection& detection : facts->detections) EXPECT_NE(detection.runner, "Paul BERNARD");

    DetectionTable::Instance().ClearTable();
    EXPECT_TRUE(status.Snapshot(kStart)->detections.empty());
}

}  // namespace
}  // namespace lv

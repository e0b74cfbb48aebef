// The controller's side of the operator's safety: questions that stop, forget, remove
// or disconnect are asked with No as the default answer; each box's reads and the age
// of its last read reach the window every second; a lost box raises an alert that
// stays until it is back, it is disconnected on purpose, or the operator dismisses it.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>

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
#include "support/FakeMainView.h"
#include "support/GivenDetection.h"
#include "support/SimulatorProcess.h"
#include "support/TempFolder.h"

namespace lv {
namespace {

using test::TempFolder;

class OperatorSafetyTest : public test::ControllerFixture<> {
protected:
    void TearDown() override {
        if (controller && controller->IsOpen()) controller->Exit(true);
        ControllerFixture::TearDown();
    }
};

TEST_F(OperatorSafetyTest, EveryQuestionThatStopsForgetsRemovesOrDisconnectsDefaultsToNo) {
    DeclareBox(0, 9);
    Open();
    view.answerYes = false;
    const CQoxResult* record =
        controller->Recorder().Record(test::GivenDetection("12", "31", CChrono(1760000100, 0), CChrono(100, 0))).record;
    ASSERT_NE(record, nullptr);

    EXPECT_FALSE(controller->Exit(false));
    controller->ConfirmResetDetections();
    controller->RemoveOrRestoreDetections({const_cast<CQoxResult*>(record)}, true);
    controller->ConfirmDisconnectBox(0);
    controller->OnConnectButton(false);  // the released connect button: disconnect all?
    controller->SynchronizeBoxes();

    ASSERT_EQ(view.questions.size(), 6u);
    ASSERT_EQ(view.questionDefaultYes.size(), view.questions.size());
    for (std::size_t i = 0; i < view.questions.size(); ++i) {
        EXPECT_FALSE(view.questionDefaultYes[i]) << view.questions[i];
    }
    // Answered no: nothing happened.
    EXPECT_TRUE(controller->IsOpen());
    EXPECT_EQ(DetectionTable::Instance().CountActive(), 1);
}

TEST_F(OperatorSafetyTest, EachBoxShowsItsReadsAndTheAgeOfItsLastReadEverySecond) {
    test::SimulatorProcess decoder("decoder", {"--runners", "3", "--count", "5", "--rate", "50"});
    ASSERT_TRUE(decoder.Running());
    DeclareBox(0, decoder.Port());
    Open();
    // Opening shows them at once: a declared box with no read, the others nothing.
    EXPECT_EQ(view.boxActivities[0].text, "0\n-");
    EXPECT_EQ(view.boxActivities[1].text, "");
    EXPECT_GE(view.activityRounds, 1);

    controller->ConnectBox(0);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    loop.pumpUntil([&] {
        return view.boxActivities[0].reads >= 5 || std::chrono::steady_clock::now() > deadline;
    });
    // The 1 s timer brought the count without anybody asking.
    EXPECT_EQ(view.boxActivities[0].reads, 5u);
    EXPECT_GE(view.boxActivities[0].lastReadAgeSeconds, 0);
    EXPECT_LE(view.boxActivities[0].lastReadAgeSeconds, 20);
    EXPECT_EQ(view.boxActivities[0].text.rfind("5\n", 0), 0u);
    EXPECT_EQ(view.boxActivities[2].reads, 0u);
}

TEST_F(OperatorSafetyTest, ALostBoxRaisesAnAlertThatStaysUntilDismissedOrDisconnected) {
    DeclareBox(1, 9);
    WriteSettingInt("Settings", "GBoxReconnectSeconds", 0);
    Open();
    EXPECT_EQ(controller->LostBoxAlertText(), "");
    controller->OnBoxState(2, true);
    const std::string alert = view.lostBoxAlert;
    EXPECT_EQ(alert.rfind("Box 2 [1:9 31] lost since ", 0), 0u) << alert;
    EXPECT_NE(alert.find(" — no reconnection attempt now"), std::string::npos) << alert;
    EXPECT_EQ(view.sounds.back(), SoundNumber(Sound::BoxLost));
    // The counters' refreshes keep it.
    controller->RefreshCountersNow();
    controller->ShowBoxActivity();
    EXPECT_EQ(view.lostBoxAlert, alert);

    controller->DismissLostBoxAlert();
    EXPECT_EQ(view.lostBoxAlert, "");
    controller->OnBoxState(2, true);
    EXPECT_FALSE(view.lostBoxAlert.empty());

    // A deliberate disconnection of every box is no loss.
    controller->DisconnectAllBoxes();
    EXPECT_EQ(view.lostBoxAlert, "");
}

TEST_F(OperatorSafetyTest, ALostBoxSaysReconnectingWhileItsAttemptsRunThenThatTheyEnded) {
    DeclareBox(0, 9);
    WriteSettingInt("Settings", "GBoxReconnectSeconds", 1);
    WriteSettingInt("Settings", "GTarvexConnectionTimeout", 1);
    Open();
    controller->OnBoxState(1, true);
    std::vector<std::string> shown = view.CallsStartingWith("ShowLostBoxAlert ");
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_NE(shown[0].find(" — reconnecting"), std::string::npos) << shown[0];
    // The attempts last a second, then the box is given up: the alert stays and says so.
    loop.pumpUntil([&] { return !controller->BoxStatusOf(0).threadRunning; });
    loop.runFor(std::chrono::milliseconds(100));
    shown = view.CallsStartingWith("ShowLostBoxAlert ");
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_NE(shown[1].find(" — no reconnection attempt now"), std::string::npos) << shown[1];
}

TEST_F(OperatorSafetyTest, AnExpectedEndOfABoxRaisesNoAlert) {
    DeclareBox(0, 9);
    Open();
    controller->OnBoxState(1, false);
    EXPECT_EQ(view.lostBoxAlert, "");
    EXPECT_TRUE(view.CallsStartingWith("ShowLostBoxAlert").empty());
}

}  // namespace
}  // namespace lv

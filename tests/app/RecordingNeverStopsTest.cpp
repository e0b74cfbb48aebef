// The controller's share of recording that never stops silently: the journal's
// pending lines shown, a box whose handshake is cut at connect-all put in the
// reconnection cycle, boxes not connected tried again in the unattended mode.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

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
#include "support/LoopbackSockets.h"
#include "support/SimulatorProcess.h"
#include "support/TempFolder.h"

namespace lv {
namespace {

using test::TempFolder;

// Records the two backlog numbers the window shows.
class BacklogView : public FakeMainView {
public:
    void ShowForwardingBacklog(std::size_t waiting) override { forwarding.push_back(waiting); }
    void ShowJournalPending(std::size_t pendingLines) override { journal.push_back(pendingLines); }

    std::vector<std::size_t> forwarding;
    std::vector<std::size_t> journal;
};

class RecordingNeverStopsTest : public test::ControllerFixture<BacklogView> {
protected:
    void TearDown() override {
        controller.reset();
        DetectionTable::Instance().Journal().SetWriteFunction(nullptr);
        ControllerFixture::TearDown();
    }
};

TEST_F(RecordingNeverStopsTest, TheWindowShowsJournalLinesWaitingForTheDiskUntilTheyAreWritten) {
    Open();
    DetectionJournal& journal = DetectionTable::Instance().Journal();
    journal.SetWriteFunction([](int, const char*, std::size_t) -> long {
        errno = ENOSPC;
        return -1;
    });
    controller->Recorder().Record(test::GivenDetection("42", "31", CChrono(1760000000, 0), CChrono(36000, 0)));
    controller->Recorder().Record(test::GivenDetection("43", "31", CChrono(1760000001, 0), CChrono(36001, 0)));
    ASSERT_TRUE(PumpUntil([&] { return !view.journal.empty() && view.journal.back() == 2; }));
    journal.SetWriteFunction(nullptr);
    ASSERT_TRUE(PumpUntil([&] { return view.journal.back() == 0; }));
    EXPECT_EQ(LogCount("+++ Detection file up to date again: 2 line(s) written late"), 1);
    // Nothing was sent anywhere: no forwarding backlog to show.
    EXPECT_TRUE(view.forwarding.empty());
}

TEST_F(RecordingNeverStopsTest, ABoxWhoseHandshakeIsCutAtConnectAllGoesIntoTheReconnectionCycle) {
    test::SimulatorProcess decoder("decoder", {"--close-after", "1"});
    ASSERT_TRUE(decoder.Running());
    DeclareBox(0, decoder.Port());
    WriteSettingInt("Settings", "GBoxReconnectSeconds", 1);
    Open();
    controller->ConnectAllBoxes();
    ASSERT_TRUE(PumpUntil([&] { return !controller->IsBusy(); }));
    loop.processPending();
    // The restarted thread may already have tried again meanwhile.
    EXPECT_GE(LogCount("Connection lost during the initialisation"), 1);
    EXPECT_EQ(LogCount("APP FOUND UNEXPECTED CNX ERROR for box 1 and will restart BoxThread"), 1);
    EXPECT_TRUE(controller->BoxStatusOf(0).threadRunning);
    // The restarted thread tries again for its period, then gives up: never taken for
    // connected meanwhile.
    ASSERT_TRUE(PumpUntil([&] { return !controller->BoxStatusOf(0).threadRunning; }));
    EXPECT_EQ(LogCount(" : Connection successful"), 0);
    EXPECT_FALSE(controller->AnyBoxInUse());
}

TEST_F(RecordingNeverStopsTest, UnattendedRoundsRetryAnIdleBoxAndSayEachFailedRoundOnce) {
    const int port = test::LoopbackPeer::FreePort();
    DeclareBox(0, port);
    WriteSettingInt("Settings", "GBoxReconnectSeconds", 1);
    WriteSettingInt("Settings", "GTarvexConnectionTimeout", 1);
    Open();
    for (int round = 1; round <= 3; ++round) {
        controller->RetryIdleBoxes();
        EXPECT_TRUE(controller->BoxStatusOf(0).threadRunning) << round;
        ASSERT_TRUE(PumpUntil([&] { return !controller->BoxStatusOf(0).threadRunning; })) << round;
    }
    controller->RetryIdleBoxes();
    // One line per failed round, none per attempt.
    EXPECT_EQ(LogCount("## Box 1 [1:" + std::to_string(port) + " 31] : still not connected; trying again (every 1 s)"),
              3);
    EXPECT_EQ(LogCount(" : Cannot connect on 127.0.0.1:"), 0);
    ASSERT_TRUE(PumpUntil([&] { return !controller->BoxStatusOf(0).threadRunning; }));
}

}  // namespace
}  // namespace lv

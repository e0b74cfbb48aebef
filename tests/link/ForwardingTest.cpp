// Forwarding never holds up recording, and the timing application gets every
// detection recorded while the link was down, in order, once it is back.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "TimerSpyLoop.h"
#include "app/DirectLinkViewBridge.h"
#include "base/Texts.h"
#include "core/DetectionRecords.h"
#include "link/DirectLinkSession.h"
#include "support/FakeMainView.h"
#include "support/LogCapture.h"
#include "support/LoopbackSockets.h"

namespace lv {
namespace {

CQoxResult Detection(const std::string& label) {
    CQoxResult record;
    record.label = label;
    record.boxName = "31";
    record.timeText = "10:00:01.23";
    return record;
}

std::string PushLine(const std::string& label) { return "AddQoxClock(1\t31\t" + label + "\t1\t10:00:01.23)\r\n"; }

class ForwardingTest : public ::testing::Test {
protected:
    void SetUp() override { SetLanguage(Language::English); }
    void TearDown() override {
        session.reset();
        SetLanguage(Language::French);
    }

    void Start(bool catchUp = true) {
        session = std::make_unique<DirectLinkSession>(loop, bridge);
        // Nobody presses the toggle: switched on again after a loss (catch-up off: the
        // test switches it on itself).
        session->SetReconnectAfterLoss(catchUp);
        target = DirectTarget{"127.0.0.1", peer.Port(), 0};
        target.catchUp = catchUp;
        session->SwitchOn(target);
        ASSERT_TRUE(peer.Accept());
        ASSERT_TRUE(loop.PumpUntil([&] { return session->IsConnected(); }));
    }

    // The push lines the peer receives, until `count` came (queries and pings skipped).
    std::vector<std::string> ReceivePushes(std::size_t count) {
        std::vector<std::string> pushes;
        while (pushes.size() < count) {
            std::string line = peer.ReceiveLine();
            if (line.empty()) break;
            if (line.rfind("AddQoxClock(", 0) == 0) pushes.push_back(line);
        }
        return pushes;
    }

    void LoseAndReconnect() {
        peer.CloseClient();
        ASSERT_TRUE(loop.PumpUntil([&] { return !view.messages.empty(); }));
        ASSERT_TRUE(peer.Accept());
        ASSERT_TRUE(loop.PumpUntil([&] { return session->IsConnected(); }));
    }

    TimerSpyLoop loop;
    DirectTarget target;
    FakeMainView view;
    DirectLinkViewBridge bridge{view};
    LogCapture log;
    test::LoopbackPeer peer;
    std::unique_ptr<DirectLinkSession> session;
};

TEST_F(ForwardingTest, DetectionsRecordedWhileTheLinkIsDownAreSentInOrderWhenItIsBack) {
    Start();
    ASSERT_TRUE(session->PushDetection(Detection("1")));
    ASSERT_TRUE(session->PushDetection(Detection("2")));
    EXPECT_EQ(ReceivePushes(2), (std::vector<std::string>{PushLine("1"), PushLine("2")}));
    ASSERT_TRUE(peer.Send("ERR:-5\r\nERR:-5\r\n"));
    ASSERT_TRUE(loop.PumpUntil([&] { return log.HasContaining("$$$ "); }));

    peer.CloseClient();
    ASSERT_TRUE(loop.PumpUntil([&] { return !view.messages.empty(); }));
    for (const char* label : {"3", "4", "5"}) EXPECT_TRUE(session->PushDetection(Detection(label)));
    ASSERT_TRUE(peer.Accept());
    ASSERT_TRUE(loop.PumpUntil([&] { return session->IsConnected(); }));
    session->PushDetection(Detection("6"));
    // The answered pushes are not sent again; the waiting ones come first.
    EXPECT_EQ(ReceivePushes(4),
              (std::vector<std::string>{PushLine("3"), PushLine("4"), PushLine("5"), PushLine("6")}));
    EXPECT_TRUE(loop.PumpUntil([&] { return session->ForwardingBacklog() == 0; }));
}

TEST_F(ForwardingTest, APushOnTheWireWhenTheLinkDropsArrivesAtLeastOnce) {
    Start();
    session->PushDetection(Detection("1"));
    session->PushDetection(Detection("2"));
    EXPECT_EQ(ReceivePushes(2).size(), 2u);
    // Only the first was answered when the connection broke.
    ASSERT_TRUE(peer.Send("ERR:-5\r\n"));
    ASSERT_TRUE(loop.PumpUntil([&] { return log.HasContaining("$$$ "); }));
    LoseAndReconnect();
    session->PushDetection(Detection("3"));
    EXPECT_EQ(ReceivePushes(2), (std::vector<std::string>{PushLine("2"), PushLine("3")}));
}

TEST_F(ForwardingTest, ATimingApplicationThatStopsReadingHoldsUpNoRecording) {
    Start();
    // The peer reads nothing: the socket buffers fill up after a few megabytes.
    const int count = 60000;
    const std::string longBox(40, 'B');
    for (int n = 1; n <= count; ++n) {
        CQoxResult record = Detection(std::to_string(n));
        record.boxName = longBox;
        ASSERT_TRUE(session->PushDetection(record)) << n;
    }
    EXPECT_GT(session->ForwardingBacklog(), 0u);
    EXPECT_TRUE(session->IsConnected());
    // Reading again, the peer gets every push, in order.
    int expected = 1;
    while (expected <= count) {
        std::string line = peer.ReceiveLine();
        ASSERT_FALSE(line.empty()) << "stopped at " << expected;
        if (line.rfind("AddQoxClock(", 0) != 0) continue;
        ASSERT_EQ(line, "AddQoxClock(1\t" + longBox + "\t" + std::to_string(expected) + "\t1\t10:00:01.23)\r\n");
        ++expected;
    }
    EXPECT_TRUE(loop.PumpUntil([&] { return session->ForwardingBacklog() == 0; }));
}

TEST_F(ForwardingTest, WithCatchUpOffDetectionsRecordedWhileDownAreNotSent) {
    Start(false);
    session->PushDetection(Detection("1"));
    EXPECT_EQ(ReceivePushes(1).size(), 1u);
    peer.CloseClient();
    ASSERT_TRUE(loop.PumpUntil([&] { return !view.messages.empty(); }));
    EXPECT_FALSE(session->IsSwitchedOn());
    EXPECT_FALSE(session->PushDetection(Detection("2")));
    session->SwitchOn(target);
    ASSERT_TRUE(peer.Accept());
    ASSERT_TRUE(loop.PumpUntil([&] { return session->IsConnected(); }));
    session->PushDetection(Detection("3"));
    EXPECT_EQ(ReceivePushes(1), (std::vector<std::string>{PushLine("3")}));
    EXPECT_EQ(session->ForwardingBacklog(), 0u);
}

TEST_F(ForwardingTest, NothingWaitsBeforeTheLinkWasEverConnected) {
    session = std::make_unique<DirectLinkSession>(loop, bridge);
    EXPECT_FALSE(session->PushDetection(Detection("1")));
    EXPECT_EQ(session->ForwardingBacklog(), 0u);
}

}  // namespace
}  // namespace lv

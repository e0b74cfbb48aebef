// Forwarding never holds up recording; the timing application gets every detection of
// the journal, those recorded before the link first connected and while it was down
// included, in order, and what it answered is kept beside the detection file.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "TimerSpyLoop.h"
#include "app/DirectLinkViewBridge.h"
#include "base/AtomicFile.h"
#include "base/Texts.h"
#include "core/DetectionJournal.h"
#include "core/DetectionRecords.h"
#include "link/DirectLinkSession.h"
#include "support/FakeMainView.h"
#include "support/LogCapture.h"
#include "support/LoopbackSockets.h"
#include "support/TempFolder.h"

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
    void SetUp() override {
        SetLanguage(Language::English);
        journal.Open(folder / "Lumivane-20260501-100000.dat");
    }
    void TearDown() override {
        session.reset();
        journal.Close();
        SetLanguage(Language::French);
    }

    // A detection recorded: its line in the journal, as the table writes it.
    void Record(const std::string& label, bool forward = true, CQoxResult record = {}) {
        if (record.label.empty()) record = Detection(label);
        journal.WaitWritten(journal.QueueLine(++recorded, DetectionLineFields(record), forward));
    }

    void Create() { session = std::make_unique<DirectLinkSession>(loop, bridge, DirectLinkTimings{}, &journal); }
    void Start(bool catchUp = true) {
        if (!session) Create();
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
    void Answer(int count) {
        std::string answers;
        for (int i = 0; i < count; ++i) answers += "ERR:-5\r\n";
        ASSERT_TRUE(peer.Send(answers));
        ASSERT_TRUE(loop.PumpUntil([&] { return session->UnansweredDetections() == 0; }));
    }

    void LoseAndReconnect() {
        peer.CloseClient();
        ASSERT_TRUE(loop.PumpUntil([&] { return !view.CallsStartingWith("ShowLinkLost").empty(); }));
        ASSERT_TRUE(peer.Accept());
        ASSERT_TRUE(loop.PumpUntil([&] { return session->IsConnected(); }));
    }

    // "sent N" of the state file beside the detection file.
    std::size_t StoredPosition(const std::string& path) {
        SessionState state;
        return LoadSessionState(SessionStatePath(path), state) ? state.forwarded : 0;
    }

    test::TempFolder folder;
    DetectionJournal journal;
    std::size_t recorded = 0;
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
    Record("1");
    Record("2");
    EXPECT_EQ(ReceivePushes(2), (std::vector<std::string>{PushLine("1"), PushLine("2")}));
    Answer(2);

    peer.CloseClient();
    ASSERT_TRUE(loop.PumpUntil([&] { return !view.CallsStartingWith("ShowLinkLost").empty(); }));
    for (const char* label : {"3", "4", "5"}) Record(label);
    EXPECT_EQ(session->ForwardingBacklog(), 3u);
    ASSERT_TRUE(peer.Accept());
    ASSERT_TRUE(loop.PumpUntil([&] { return session->IsConnected(); }));
    Record("6");
    // The answered pushes are not sent again; the waiting ones come first.
    EXPECT_EQ(ReceivePushes(4),
              (std::vector<std::string>{PushLine("3"), PushLine("4"), PushLine("5"), PushLine("6")}));
    EXPECT_TRUE(loop.PumpUntil([&] { return session->ForwardingBacklog() == 0; }));
}

TEST_F(ForwardingTest, DetectionsRecordedBeforeTheFirstConnectionAreSentAtIt) {
    Create();
    Record("1");
    Record("2");
    // A timekeeper who has not switched the link on is told of no backlog.
    EXPECT_EQ(session->ForwardingBacklog(), 0u);
    Start();
    EXPECT_EQ(ReceivePushes(2), (std::vector<std::string>{PushLine("1"), PushLine("2")}));
    Record("3");
    EXPECT_EQ(ReceivePushes(1), (std::vector<std::string>{PushLine("3")}));
}

TEST_F(ForwardingTest, APushOnTheWireWhenTheLinkDropsArrivesAtLeastOnce) {
    Start();
    Record("1");
    Record("2");
    EXPECT_EQ(ReceivePushes(2).size(), 2u);
    // Only the first was answered when the connection broke.
    ASSERT_TRUE(peer.Send("ERR:-5\r\n"));
    ASSERT_TRUE(loop.PumpUntil([&] { return session->UnansweredDetections() == 1; }));
    LoseAndReconnect();
    Record("3");
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
        Record(record.label, true, record);
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
    Record("1");
    EXPECT_EQ(ReceivePushes(1).size(), 1u);
    peer.CloseClient();
    ASSERT_TRUE(loop.PumpUntil([&] { return !view.CallsStartingWith("ShowLinkLost").empty(); }));
    EXPECT_FALSE(session->IsSwitchedOn());
    Record("2");
    session->SwitchOn(target);
    ASSERT_TRUE(peer.Accept());
    ASSERT_TRUE(loop.PumpUntil([&] { return session->IsConnected(); }));
    Record("3");
    EXPECT_EQ(ReceivePushes(1), (std::vector<std::string>{PushLine("3")}));
    EXPECT_EQ(session->ForwardingBacklog(), 0u);
}

TEST_F(ForwardingTest, DetectionsHeldBackAreNeverSent) {
    Start();
    Record("1");
    Record("2", false);
    Record("3", false);
    Record("4");
    EXPECT_EQ(ReceivePushes(2), (std::vector<std::string>{PushLine("1"), PushLine("4")}));
    Answer(2);
    EXPECT_EQ(session->ForwardingBacklog(), 0u);
    // The state file says so: they are not sent after a restart either.
    ASSERT_TRUE(loop.PumpUntil([&] { return StoredPosition(journal.Name()) == 4u; }));
    SessionState state;
    ASSERT_TRUE(LoadSessionState(SessionStatePath(journal.Name()), state));
    EXPECT_EQ(state.heldBack.Format(), "2-3");
}

TEST_F(ForwardingTest, AResetOfTheDetectionListSendsTheOldFileFirstThenTheNewOne) {
    Create();
    Record("1");
    Record("2");
    const std::string first = journal.Name();
    // A reset: a new file, numbered from 1 again, while the link was never up.
    journal.Open(folder / "Lumivane-20260501-110000.dat");
    recorded = 0;
    Record("7");
    Start();
    EXPECT_EQ(ReceivePushes(3), (std::vector<std::string>{PushLine("1"), PushLine("2"), PushLine("7")}));
    Answer(3);
    EXPECT_TRUE(loop.PumpUntil([&] { return StoredPosition(first) == 2u; }));
    EXPECT_TRUE(loop.PumpUntil([&] { return StoredPosition(journal.Name()) == 1u; }));
}

TEST_F(ForwardingTest, EachAnswerTakenInIsInTheStateFileAtOnce) {
    Start();
    Record("1");
    Record("2");
    Record("3");
    EXPECT_EQ(ReceivePushes(3).size(), 3u);
    ASSERT_TRUE(peer.Send("ERR:-5\r\nNFO:20\r\n"));
    ASSERT_TRUE(loop.PumpUntil([&] { return session->UnansweredDetections() == 2; }));
    // A crash now would send 2 and 3 again, never 1.
    EXPECT_TRUE(loop.PumpUntil([&] { return StoredPosition(journal.Name()) == 1u; }));
    ASSERT_TRUE(peer.Send("ERR:-5\r\nERR:-5\r\n"));
    EXPECT_TRUE(loop.PumpUntil([&] { return StoredPosition(journal.Name()) == 3u; }));
}

TEST_F(ForwardingTest, AContinuedFileIsSentFromWhereTheTimingApplicationLeftIt) {
    Record("1");
    Record("2");
    Record("3");
    const std::string path = journal.Name();
    journal.Close();
    std::string content;
    ASSERT_EQ(ReadWholeFile(path, 1 << 20, content), FileReadStatus::Ok);
    // The next run continues the file: the first two had been answered.
    SessionState state;
    state.forwarded = 2;
    ASSERT_TRUE(journal.Continue(path, content, state));
    recorded = 3;
    Record("4");
    Start();
    EXPECT_EQ(ReceivePushes(2), (std::vector<std::string>{PushLine("3"), PushLine("4")}));
}

}  // namespace
}  // namespace lv

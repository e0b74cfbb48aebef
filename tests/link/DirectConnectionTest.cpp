#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "link/DirectConnection.h"
#include "support/LoopbackSockets.h"

namespace lv {
namespace {

using namespace std::chrono_literals;

struct Event {
    DirectState state;
    bool retrying;
};

class RecordingListener : public DirectConnectionListener {
public:
    void OnDirectState(DirectState state, bool retrying) override {
        std::lock_guard<std::mutex> guard(lock_);
        events.push_back({state, retrying});
        changed_.notify_all();
    }
    void OnDirectLine(std::string line, bool truncated) override {
        std::lock_guard<std::mutex> guard(lock_);
        lines.push_back(std::move(line));
        truncations.push_back(truncated);
        changed_.notify_all();
    }
    // Waits (bounded) until the predicate holds, with the lock taken.
    template <typename Predicate>
    bool WaitFor(Predicate done, std::chrono::milliseconds limit = 10s) {
        std::unique_lock<std::mutex> guard(lock_);
        return changed_.wait_for(guard, limit, [&] { return done(); });
    }
    int Count(DirectState state, bool retrying) {
        int count = 0;
        for (const Event& event : events) count += event.state == state && event.retrying == retrying;
        return count;
    }

    std::mutex lock_;
    std::condition_variable changed_;
    std::vector<Event> events;
    std::vector<std::string> lines;
    std::vector<bool> truncations;
};

DirectTarget Loopback(int port, int reconnectSeconds = 0) {
    return DirectTarget{"127.0.0.1", port, reconnectSeconds};
}

class DirectConnectionTest : public ::testing::Test {
protected:
    // A peer that closes spares the stop its grace period.
    void TearDown() override { peer.CloseClient(); }

    bool Connect() {
        if (!connection.Start(Loopback(peer.Port())) || !peer.Accept()) return false;
        return listener.WaitFor([&] { return listener.Count(DirectState::Connected, false) == 1; });
    }

    test::LoopbackPeer peer;
    RecordingListener listener;
    DirectConnection connection{listener};
};

TEST_F(DirectConnectionTest, ConnectsAndReportsTheStates) {
    ASSERT_TRUE(Connect());
    EXPECT_TRUE(connection.IsConnected());
    EXPECT_FALSE(connection.IsConnecting());
    EXPECT_FALSE(connection.Start(Loopback(peer.Port())));  // one worker at a time
    std::lock_guard<std::mutex> guard(listener.lock_);
    ASSERT_EQ(listener.events.size(), 2u);
    EXPECT_EQ(listener.events[0].state, DirectState::Attempting);
    EXPECT_EQ(listener.events[1].state, DirectState::Connected);
}

TEST_F(DirectConnectionTest, LinesArriveWithoutTheirEndsAndEmptyLinesAreSkipped) {
    ASSERT_TRUE(Connect());
    peer.Send("NFO:5 Trail\r\nERR:-5\n\r\n\nNFO:2");
    peer.Send("0\r\n");
    ASSERT_TRUE(listener.WaitFor([&] { return listener.lines.size() == 3; }));
    EXPECT_EQ(listener.lines, (std::vector<std::string>{"NFO:5 Trail", "ERR:-5", "NFO:20"}));
}

TEST_F(DirectConnectionTest, LongLinesAreCutAt2047Characters) {
    ASSERT_TRUE(Connect());
    peer.Send(std::string(2047, 'a') + "\r\n");
    peer.Send(std::string(2048, 'b') + "\n");
    peer.Send(std::string(20000, 'c') + "\r\n");
    peer.Send(std::string(2047, 'd') + "\rX\n");
    peer.Send("NFO:20\n");
    ASSERT_TRUE(listener.WaitFor([&] { return listener.lines.size() == 5; }));
    EXPECT_EQ(listener.lines[0], std::string(2047, 'a'));
    EXPECT_FALSE(listener.truncations[0]);
    EXPECT_EQ(listener.lines[1], std::string(2047, 'b'));
    EXPECT_TRUE(listener.truncations[1]);
    EXPECT_EQ(listener.lines[2], std::string(2047, 'c'));
    EXPECT_TRUE(listener.truncations[2]);
    EXPECT_TRUE(listener.truncations[3]);
    // What followed the cut never becomes a line of its own.
    EXPECT_EQ(listener.lines[4], "NFO:20");
    EXPECT_FALSE(listener.truncations[4]);
}

TEST_F(DirectConnectionTest, PeerClosingMidLineEndsTheWorkerAndDropsThePartialLine) {
    ASSERT_TRUE(Connect());
    peer.Send("NFO:5 x\nERR:-");
    peer.CloseClient();
    ASSERT_TRUE(listener.WaitFor([&] { return listener.Count(DirectState::Disconnected, false) == 1; }));
    EXPECT_EQ(listener.lines, (std::vector<std::string>{"NFO:5 x"}));
    connection.Stop();
    EXPECT_FALSE(connection.IsRunning());
    EXPECT_FALSE(connection.Send("Ping()"));
}

TEST_F(DirectConnectionTest, SendsWholeLinesAndNothingWhenClosed) {
    EXPECT_FALSE(connection.Send("Ping()"));  // no connection: dropped
    ASSERT_TRUE(Connect());
    EXPECT_TRUE(connection.Send("Ping()"));
    EXPECT_TRUE(connection.Send("AddQoxClock(1\t2\tbad\r\nlabel\t1\t10:00:00.00)"));
    std::string expected = "Ping()\r\nAddQoxClock(1\t2\tbad  label\t1\t10:00:00.00)\r\n";
    EXPECT_EQ(peer.ReceiveBytes(expected.size()), expected);
    connection.Stop();
    EXPECT_FALSE(connection.IsConnected());
    EXPECT_FALSE(connection.Send("Ping()"));
    EXPECT_TRUE(peer.ClientClosed());
}

TEST_F(DirectConnectionTest, CanStartAgainAfterALoss) {
    ASSERT_TRUE(Connect());
    peer.CloseClient();
    ASSERT_TRUE(listener.WaitFor([&] { return listener.Count(DirectState::Disconnected, false) == 1; }));
    ASSERT_TRUE(listener.WaitFor([&] { return !connection.IsRunning(); }));
    ASSERT_TRUE(connection.Start(Loopback(peer.Port())));
    ASSERT_TRUE(peer.Accept());
    EXPECT_TRUE(listener.WaitFor([&] { return listener.Count(DirectState::Connected, false) == 2; }));
}

// ---- Attempts, pause and stop ------------------------------------------------------

TEST(DirectConnectionAttempts, RefusedAttemptsAreRetriedAfterThePause) {
    RecordingListener listener;
    DirectConnection connection(listener);
    connection.Start(Loopback(test::LoopbackPeer::FreePort(), 0));
    ASSERT_TRUE(listener.WaitFor([&] { return listener.Count(DirectState::Disconnected, true) >= 2; }));
    EXPECT_TRUE(connection.IsConnecting());
    connection.Stop();
    EXPECT_FALSE(connection.IsRunning());
    EXPECT_EQ(listener.Count(DirectState::Disconnected, false), 0);
}

TEST(DirectConnectionAttempts, HostThatDoesNotResolveIsAFailedAttempt) {
    RecordingListener listener;
    DirectConnection connection(listener);
    connection.Start(DirectTarget{"", 8283, 0});
    EXPECT_TRUE(listener.WaitFor([&] { return listener.Count(DirectState::Disconnected, true) >= 1; }));
    connection.Start(DirectTarget{"127.0.0.1", 70000, 0});  // still running: ignored
    connection.Stop();
    connection.Start(DirectTarget{"127.0.0.1", 70000, 0});  // impossible port: attempts fail
    EXPECT_TRUE(listener.WaitFor([&] { return listener.Count(DirectState::Disconnected, true) >= 2; }));
}

// An hour-long pause: these tests only end if stopping or a new target ends it.
TEST(DirectConnectionAttempts, StopEndsTheRetryPause) {
    RecordingListener listener;
    DirectConnection connection(listener);
    connection.Start(Loopback(test::LoopbackPeer::FreePort(), 3600));
    ASSERT_TRUE(listener.WaitFor([&] { return listener.Count(DirectState::Disconnected, true) == 1; }));
    connection.Stop();
    EXPECT_FALSE(connection.IsRunning());
    EXPECT_FALSE(connection.IsConnecting());
}

TEST(DirectConnectionAttempts, NewTargetEndsTheRetryPause) {
    RecordingListener listener;
    DirectConnection connection(listener);
    connection.Start(Loopback(test::LoopbackPeer::FreePort(), 3600));
    ASSERT_TRUE(listener.WaitFor([&] { return listener.Count(DirectState::Disconnected, true) == 1; }));
    test::LoopbackPeer peer;
    connection.ChangeTarget(Loopback(peer.Port(), 3600));
    ASSERT_TRUE(peer.Accept());
    EXPECT_TRUE(listener.WaitFor([&] { return listener.Count(DirectState::Connected, false) == 1; }));
    EXPECT_EQ(connection.Target().port, peer.Port());
}

TEST(DirectConnectionAttempts, StopEndsAnAttemptThatHangs) {
    // A listener whose queue is full leaves the next connect hanging.
    test::LoopbackPeer full(0);
    std::vector<int> fillers;
    for (int i = 0; i < 3; ++i) fillers.push_back(test::ConnectLoopback(full.Port(), false));
    RecordingListener listener;
    DirectConnection connection(listener);
    connection.Start(Loopback(full.Port(), 3600));
    ASSERT_TRUE(listener.WaitFor([&] { return listener.Count(DirectState::Attempting, true) == 1; }));
    std::this_thread::sleep_for(100ms);
    connection.Stop();
    EXPECT_FALSE(connection.IsRunning());
    EXPECT_EQ(listener.Count(DirectState::Connected, false), 0);
    for (int socket : fillers) ::close(socket);
}

}  // namespace
}  // namespace lv

// Command exchanges of a box with a scripted decoder: exact bytes on the wire, waits,
// initialisation and clock setting.
#include <gtest/gtest.h>

#include <future>

#include "BoxTestSupport.h"
#include "base/Texts.h"
#include "boxes/BoxCommands.h"
#include "boxes/CommandExchange.h"
#include "boxes/ResponseRoute.h"
#include "boxes/TarvexBox.h"
#include "base/Clock.h"
#include "support/LoopbackSockets.h"

namespace lv {
namespace {

class ExchangeTest : public ::testing::Test {
protected:
    ExchangeTest() {
        SetLanguage(Language::English);
        box.number = 2;
        box.AttachHost(&host);
        box.SetParameters("31", "127.0.0.1", peer.Port());
        box.SetResponseSeconds(1);
    }
    ~ExchangeTest() override {
        SetLanguage(Language::French);
        SetWallClockSourceForTests({});
    }
    void Connect() {
        std::string error;
        ASSERT_TRUE(box.Transport()->Connect(error)) << error;
        ASSERT_TRUE(peer.Accept());
    }
    // A wait for the response to a command sent before, in an exchange of its own.
    bool WaitResponse(const std::string& expected, int seconds, std::string& response) {
        CommandExchange exchange(box);
        return exchange.WaitResponse(expected, seconds, response);
    }
    // Answers one command line with `reply` (CR LF added); the command as received.
    std::string Answer(const std::string& reply) {
        std::string command = peer.ReceiveLine();
        if (!reply.empty()) peer.Send(reply + "\r\n");
        return command;
    }

    LogCapture log;
    test::RecordingBoxHost host;
    test::LoopbackPeer peer;
    CTarvexBox box;
};

TEST_F(ExchangeTest, InitialisesANetworkDecoderWithThreeAwaitedCommands) {
    auto initialised = std::async(std::launch::async, [this] { return InitializeBox(box); });
    ASSERT_TRUE(peer.Accept());
    EXPECT_EQ(Answer("SETPROTOCOL;2.0;OK"), "SETPROTOCOL;2.0\r\n");
    EXPECT_EQ(Answer("STARTOPERATION"), "STARTOPERATION\r\n");
    EXPECT_EQ(Answer("SETPUSHPASSINGS;1;0"), "SETPUSHPASSINGS;1;0\r\n");
    EXPECT_TRUE(initialised.get());
    EXPECT_TRUE(box.IsConnected());
    EXPECT_EQ(
        log.CountContaining(" : Initialized on 127.0.0.1:" + std::to_string(peer.Port()) + ". Detector Id. 31"), 1);
    EXPECT_TRUE(log.HasContaining(">>->> SETPROTOCOL;2.0"));
    EXPECT_TRUE(log.HasContaining("<<-<< SETPUSHPASSINGS;1;0"));
    EXPECT_FALSE(log.HasContaining("No response"));
    EXPECT_FALSE(log.HasContaining("Unexpected"));
    // The three exchanges are over: nothing else went out.
    EXPECT_EQ(peer.ReceiveBytes(1, 50), "");
}

TEST_F(ExchangeTest, InitialisationOfAPeerThatNeverAnswersStillConnects) {
    auto initialised = std::async(std::launch::async, [this] { return InitializeBox(box); });
    ASSERT_TRUE(peer.Accept());
    EXPECT_TRUE(initialised.get());
    EXPECT_EQ(peer.ReceiveBytes(100, 500), "SETPROTOCOL;2.0\r\nSTARTOPERATION\r\nSETPUSHPASSINGS;1;0\r\n");
    EXPECT_TRUE(log.HasContaining(" : No response for command SETPROTOCOL after 1s"));
    EXPECT_TRUE(log.HasContaining(" : No response for command STARTOPERATION after 1s"));
    EXPECT_TRUE(log.HasContaining(" : No response for command SETPUSHPASSINGS after 1s"));
}

TEST_F(ExchangeTest, AFailedConnectionIsAnAlertLine) {
    int port = peer.Port();
    peer.CloseListener();
    EXPECT_FALSE(InitializeBox(box));
    auto alerts = host.Alerts();
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_NE(alerts[0].first.find("## [" ), std::string::npos);
    EXPECT_NE(alerts[0].first.find("] Boîtier 2 [1:" + std::to_string(port) + " 31] : Cannot connect on 127.0.0.1:" +
                                   std::to_string(port) + ". DetectorId 31 : Unable to Connect"),
              std::string::npos)
        << alerts[0].first;
    EXPECT_FALSE(alerts[0].second);
}

TEST_F(ExchangeTest, ABoxWithoutPortIsNotInitialised) {
    box.SetParameters("31", "127.0.0.1", 0);
    EXPECT_FALSE(InitializeBox(box));
    EXPECT_TRUE(host.Alerts().empty());
}

TEST_F(ExchangeTest, CommandsNeedAConnectionAndAKnownCode) {
    std::string error;
    EXPECT_FALSE(box.SendCommand("STARTOPERATION", error));
    EXPECT_EQ(error, "Connexion non ouverte");
    Connect();
    EXPECT_FALSE(box.SendCommandCode(99, "", error));
    EXPECT_EQ(error, "Unknown command code: 99");
    EXPECT_TRUE(box.SendCommandCode(3, "0;0", error));
    EXPECT_TRUE(error.empty());
    EXPECT_EQ(peer.ReceiveLine(), "SETPUSHPASSINGS;0;0\r\n");
}

TEST_F(ExchangeTest, AFailedWriteDisconnectsTheBox) {
    Connect();
    peer.CloseClient();
    std::string error;
    bool sent = true;
    for (int attempt = 0; attempt < 200 && sent; ++attempt) {
        sent = box.SendCommand("GETTIME", error);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_FALSE(sent);
    EXPECT_EQ(error, "Erreur envoi de commande (GETTIME) au boîtier");
    EXPECT_FALSE(box.IsConnected());
    EXPECT_FALSE(box.SendCommandCode(2, "", error));
    EXPECT_EQ(error, "Connexion non ouverte");
}

TEST_F(ExchangeTest, APassingDuringAWaitIsRecordedAtOnceAndTheWaitGoesOn) {
    Connect();
    auto waited = std::async(std::launch::async, [this] {
        CommandExchange exchange(box);
        std::string error, response;
        EXPECT_TRUE(exchange.Send("STARTOPERATION", error));
        bool matched = exchange.WaitResponse("STARTOPERATION", 2, response);
        return std::make_pair(matched, response);
    });
    peer.ReceiveLine();
    peer.Send("#P;1;C00001;2024-05-01;10:00:00.000;1;0;0;-62;1;0;0;0;0;0;0;0;SIM\r\nSTARTOPERATION\r\n");
    auto [matched, response] = waited.get();
    EXPECT_TRUE(matched);
    EXPECT_EQ(response, "STARTOPERATION");
    // No box thread runs: the exchange is the only reader and records it, once.
    auto recorded = host.Recorded();
    ASSERT_EQ(recorded.size(), 1u);
    EXPECT_EQ(recorded[0].label, "C00001");
    EXPECT_FALSE(log.HasContaining("queued"));
}

TEST_F(ExchangeTest, WaitsEndOnInvalidOrUnexpectedResponses) {
    Connect();
    auto wait = [this](const std::string& expected) {
        return std::async(std::launch::async, [this, expected] {
            std::string response;
            return WaitResponse(expected, 2, response);
        });
    };
    auto first = wait("STARTOPERATION");
    peer.Send("#P;1;2\r\n");
    EXPECT_FALSE(first.get());
    EXPECT_TRUE(log.HasContaining(".. Unknown command: #P;1;2"));
    EXPECT_TRUE(log.HasContaining("Box 2 [1:" + std::to_string(peer.Port()) + " 31] : Invalid input: #P;1;2"));

    auto second = wait("STOP");
    peer.Send("GETTIME;2024-05-01;10:00:00.000\r\n");
    EXPECT_FALSE(second.get());
    EXPECT_TRUE(log.HasContaining(" : Unexpected response: GETTIME;2024-05-01;10:00:00.000"));

    auto third = wait("ASCII/COMMANDNOTEXISTING");
    peer.Send("COMMANDNOTEXISTING\r\n");
    EXPECT_TRUE(third.get());

    auto fourth = wait("SETBOUNCE");
    peer.Send("SETBOUNCE;30\r\n");
    EXPECT_TRUE(fourth.get());
    EXPECT_TRUE(log.HasContaining(" : Bounce time set"));

    auto fifth = wait("STARTOPERATION");
    peer.Send(std::string(5000, 'Q') + "\r\n");
    EXPECT_FALSE(fifth.get());
    EXPECT_TRUE(log.HasContaining(" : Invalid input: QQQQ"));
}

TEST_F(ExchangeTest, AWaitGivesUpAfterItsTimeoutOrWhenCancelled) {
    Connect();
    std::string response;
    EXPECT_FALSE(WaitResponse("GETTIME", 1, response));
    EXPECT_EQ(log.CountContaining("Box 2 [1:" + std::to_string(peer.Port()) +
                                  " 31] : No response for command GETTIME after 1s"),
              1);

    // A live cancel request (the box thread runs) ends the wait at its next poll.
    box.threadRunning = true;
    box.cancelRequested = true;
    EXPECT_FALSE(WaitResponse("GETTIME", 60, response));
    EXPECT_TRUE(box.cancelRequested.load());
    // A request left over from an ended thread does not.
    box.threadRunning = false;
    auto waited = std::async(std::launch::async, [this] {
        std::string text;
        return WaitResponse("GETTIME", 2, text);
    });
    peer.ReceiveBytes(1, 50);
    peer.Send("GETTIME;2024-05-01;10:00:00.000\r\n");
    EXPECT_TRUE(waited.get());
}

TEST_F(ExchangeTest, AWaitOnALostConnectionEndsAtOnce) {
    Connect();
    peer.CloseClient();
    std::string response;
    EXPECT_FALSE(WaitResponse("GETTIME", 60, response));
    EXPECT_TRUE(log.HasContaining(" : No response for command GETTIME after 60s"));
}

TEST_F(ExchangeTest, SetsTheBoxClockWithStopSetTimeAndStart) {
    // 1 May 2024, 14:03:22.123 in Paris.
    SetWallClockSourceForTests([] {
        return std::chrono::system_clock::from_time_t(1714565002) + std::chrono::milliseconds(123);
    });
    Connect();
    auto done = std::async(std::launch::async, [this] { SetBoxClock(box); });
    EXPECT_EQ(Answer("STOPOPERATION"), "STOPOPERATION\r\n");
    EXPECT_EQ(Answer("SETTIME;2024-05-01;14:03:22.123"), "SETTIME;2024-05-01;14:03:22.123\r\n");
    EXPECT_EQ(Answer("STARTOPERATION"), "STARTOPERATION\r\n");
    done.get();
    EXPECT_EQ(log.CountContaining("Box 2 [1:" + std::to_string(peer.Port()) + " 31] : Request for synchronization"), 1);
    EXPECT_EQ(log.CountContaining(" : Box synchronized"), 1);
    EXPECT_FALSE(log.HasContaining("No response"));
}

TEST_F(ExchangeTest, AsksTheTimeWithoutWaiting) {
    Connect();
    RequestBoxTime(box);
    EXPECT_EQ(peer.ReceiveLine(), "GETTIME\r\n");
    EXPECT_TRUE(log.HasContaining(" : Request for box date and time"));
    peer.CloseClient();
    box.Close();
    RequestBoxTime(box);
    EXPECT_TRUE(log.HasContaining(" : Error sending command: Connexion non ouverte"));
}

TEST_F(ExchangeTest, AWaitEndsEvenWhileTheBoxKeepsPushingPassings) {
    Connect();
    std::atomic<bool> stop{false};
    std::thread pusher([&] {
        for (int i = 0; !stop.load(); ++i) {
            peer.Send("#P;" + std::to_string(i) + ";C1;2024-05-01;10:00:00.000;1;0;0;-62;1;0;0;0;0;0;0;0;SIM\r\n\r\n");
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });
    std::string response;
    bool matched = WaitResponse("GETTIME", 1, response);
    stop = true;
    pusher.join();
    EXPECT_FALSE(matched);
    EXPECT_TRUE(log.HasContaining(" : No response for command GETTIME after 1s"));
    EXPECT_GT(host.RecordedCount(), 0u);
}

// What the box thread and a waiting exchange hand each other (the hand-over used to sit
// in the intake).
TEST(ResponseRoute, HandsAResponseToTheArmedExchangeOnlyAndGivesBackWhatNobodyTook) {
    ResponseRoute route;
    std::atomic<bool> cancel{false};
    route.BeginRouting();
    ReceivedLine line = ClassifyReceivedLine("SETTIME;2024-05-01;10:00:00.000", false);
    EXPECT_FALSE(route.Route(line, cancel));  // nobody waits: the intake reports it
    EXPECT_EQ(line.text, "SETTIME;2024-05-01;10:00:00.000");

    route.Arm();
    auto routed = std::async(std::launch::async, [&] { return route.Route(line, cancel); });
    ReceivedLine taken;
    ResponseRoute::Event event = ResponseRoute::Event::Nothing;
    for (int slice = 0; slice < 400 && event == ResponseRoute::Event::Nothing; ++slice) {
        event = route.Take(std::chrono::milliseconds(5), taken);
    }
    ASSERT_EQ(event, ResponseRoute::Event::Line);
    EXPECT_EQ(taken.code, kRespSetTime);
    route.Judged();
    EXPECT_TRUE(routed.get());
    route.Disarm();

    // An exchange that ends before taking the line leaves it to the reader.
    route.Arm();
    ReceivedLine late = ClassifyReceivedLine("STARTOPERATION", false);
    auto givenBack = std::async(std::launch::async, [&] { return route.Route(late, cancel); });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    route.Disarm();
    EXPECT_FALSE(givenBack.get());
    EXPECT_EQ(late.text, "STARTOPERATION");

    route.EndRouting();
    EXPECT_EQ(route.Take(std::chrono::milliseconds(5), taken), ResponseRoute::Event::ReaderGone);
}

}  // namespace
}  // namespace lv

// Box threads against the decoder simulator (and a scripted peer) on loopback:
// acquisition, race days, unknown chips, faults, reconnection and requested ends.
#include <gtest/gtest.h>

#include <future>
#include <set>

#include "BoxTestSupport.h"
#include "base/Texts.h"
#include "boxes/BoxCommands.h"
#include "boxes/BoxThread.h"
#include "boxes/CommandExchange.h"
#include "boxes/TarvexBox.h"
#include "core/ChipTable.h"
#include "base/Clock.h"
#include "support/LoopbackSockets.h"
#include "support/SimulatorProcess.h"
#include "support/TempFolder.h"

namespace lv {
namespace {

using namespace std::chrono_literals;

std::vector<std::string> WithDefaults(std::vector<std::string> options) {
    // A fixed race morning unless the test says otherwise.
    bool hasDate = false, hasStart = false;
    for (const std::string& option : options) {
        hasDate = hasDate || option == "--date";
        hasStart = hasStart || option == "--start";
    }
    if (!hasDate) options.insert(options.end(), {"--date", "2024-05-01"});
    if (!hasStart) options.insert(options.end(), {"--start", "10:00:00"});
    return options;
}

class BoxThreadTest : public ::testing::Test {
protected:
    BoxThreadTest() {
        SetLanguage(Language::English);
        ClearChipTable();
        box.number = 1;
        box.AttachHost(&host);
        box.SetResponseSeconds(2);
    }
    ~BoxThreadTest() override {
        StopThread();
        ClearChipTable();
        SetLanguage(Language::French);
        SetWallClockSourceForTests({});
    }

    void UseDecoder(test::SimulatorProcess& decoder) {
        ASSERT_TRUE(decoder.Running());
        box.SetParameters("31", "127.0.0.1", decoder.Port());
    }
    // What the disconnection of one box does.
    void StopThread() {
        box.cancelRequested = true;
        if (box.IsConnected()) box.Close();
        ASSERT_TRUE(test::WaitUntil([this] { return !box.threadRunning.load(); }));
        box.JoinThread();
    }
    bool WaitForRecords(std::size_t count, std::chrono::milliseconds limit = 10s) {
        return test::WaitUntil([&] { return host.RecordedCount() >= count; }, limit);
    }
    std::string WriteChipFile(const std::vector<std::pair<int, std::string>>& entries) {
        std::string content = "# bib chip\n";
        for (const auto& [bib, chip] : entries) content += std::to_string(bib) + " " + chip + "\n";
        test::WriteFile(folder_ / "chips.dtb", content);
        return folder_ / "chips.dtb";
    }

    LogCapture log;
    test::RecordingBoxHost host;
    CTarvexBox box;
    test::TempFolder folder_;
};

TEST_F(BoxThreadTest, AcquiresPushedPassingsUntilADisconnectionIsRequested) {
    test::SimulatorProcess decoder(
        "decoder", WithDefaults({"--rate", "0", "--count", "200", "--repeats", "2", "--spread", "10", "--runners", "50"}));
    UseDecoder(decoder);
    ASSERT_TRUE(InitializeBox(box));
    ASSERT_TRUE(StartBoxThread(host, box));
    ASSERT_TRUE(WaitForRecords(200));
    ASSERT_TRUE(log.WaitForContaining(">> Mean time (on 200 last)"));
    ASSERT_TRUE(test::WaitUntil([&] { return log.CountContaining(" : Detection ignored") == 200; }))
        << log.CountContaining(" : Detection ignored");
    EXPECT_EQ(log.CountContaining(">> Mean time (on 200 last) for detection treatment: "), 2);
    EXPECT_TRUE(log.HasContaining(" ms  [200 ignored, 0 invalid]"));
    // Every passing once, at its own time.
    auto recorded = host.Recorded();
    EXPECT_EQ(recorded.size(), 200u);
    std::set<std::pair<int32_t, int>> instants;
    for (const auto& record : recorded) instants.emplace(record.instant.Seconds(), record.instant.Milliseconds());
    EXPECT_EQ(instants.size(), 200u);
    EXPECT_EQ(recorded.front().ofDay.FormatHundredths(), "10:00:00.00");
    EXPECT_EQ(recorded.front().boxName, "31");
    EXPECT_TRUE(log.HasContaining(" : Starting thread - check-ms: 1ms"));
    // The thread found the box connected: no connection attempts, no state change yet.
    EXPECT_FALSE(log.HasContaining("Attempt to connect"));
    EXPECT_TRUE(host.States().empty());

    StopThread();
    EXPECT_EQ(
        log.CountContaining("Boîtier 1 [1:" + std::to_string(decoder.Port()) + " 31] : Disconnection requested"), 1);
    EXPECT_TRUE(log.HasContaining(" : Thread stopped"));
    EXPECT_TRUE(log.HasContaining(" : Clear detections cache"));
    EXPECT_EQ(host.States(), (std::vector<std::pair<int, bool>>{{1, false}}));
    EXPECT_TRUE(host.Alerts().empty());
    // The repeated-read memory of the box starts and ends with its thread.
    EXPECT_EQ(host.Forgets(), 2);
    EXPECT_FALSE(box.IsConnected());
    EXPECT_EQ(RunningBoxThreads(), 0);
}

TEST_F(BoxThreadTest, ConnectsByItselfWhenStartedOnAnUnconnectedBox) {
    test::SimulatorProcess decoder("decoder", WithDefaults({"--rate", "0", "--count", "3"}));
    UseDecoder(decoder);
    ASSERT_TRUE(StartBoxThread(host, box));
    EXPECT_FALSE(StartBoxThread(host, box));  // one thread per box
    ASSERT_TRUE(WaitForRecords(3));
    EXPECT_TRUE(log.HasContaining(" : Attempt to connect during 30 seconds"));
    EXPECT_TRUE(log.HasContaining(" : Connection successful"));
    EXPECT_FALSE(box.IsPending());
    auto sounds = host.Sounds();
    ASSERT_FALSE(sounds.empty());
    EXPECT_EQ(sounds.front(), SoundNumber(Sound::BoxConnected));
    EXPECT_EQ(host.States(), (std::vector<std::pair<int, bool>>{{1, false}}));
}

TEST_F(BoxThreadTest, DatesPassingsOnTheRaceDays) {
    test::SimulatorProcess nextDay("decoder", WithDefaults({"--rate", "0", "--count", "1", "--date", "2024-05-02"}));
    UseDecoder(nextDay);
    ASSERT_TRUE(StartBoxThread(host, box));
    ASSERT_TRUE(WaitForRecords(1));
    StopThread();
    EXPECT_EQ(host.Recorded()[0].ofDay.FormatHundredths(), "34:00:00.00");

    // A box without date takes the computer's: here 3 May, the third race day.
    SetWallClockSourceForTests([] { return std::chrono::system_clock::from_time_t(1714550400 + 2 * 86400); });
    test::SimulatorProcess undated("decoder", WithDefaults({"--rate", "0", "--count", "1", "--date", "zero"}));
    UseDecoder(undated);
    ASSERT_TRUE(StartBoxThread(host, box));
    ASSERT_TRUE(WaitForRecords(2));
    StopThread();
    EXPECT_EQ(host.Recorded()[1].ofDay.FormatHundredths(), "58:00:00.00");
    EXPECT_FALSE(log.HasContaining("Caution"));

    test::SimulatorProcess lastWeek("decoder", WithDefaults({"--rate", "0", "--count", "1", "--date", "2024-04-24"}));
    UseDecoder(lastWeek);
    ASSERT_TRUE(StartBoxThread(host, box));
    ASSERT_TRUE(WaitForRecords(3));
    EXPECT_EQ(host.Recorded()[2].ofDay.FormatHundredths(), "10:00:00.00");
    EXPECT_TRUE(log.HasContaining("### Caution: Box and Computer dates seem incompatible!"));
}

TEST_F(BoxThreadTest, TranslatesChipsAndDiscardsUnknownOnesOnlyWhenAsked) {
    const std::string chips = WriteChipFile({{101, "K101"}, {102, "K102"}, {103, "K103"}, {104, "K104"}});
    ASSERT_TRUE(AddChip("K101", 101));
    ASSERT_TRUE(AddChip("K102", 102));
    {
        test::SimulatorProcess decoder("decoder", WithDefaults({"--rate", "0", "--count", "4", "--chips", chips}));
        UseDecoder(decoder);
        ASSERT_TRUE(StartBoxThread(host, box));
        ASSERT_TRUE(WaitForRecords(4));
        StopThread();
    }
    std::multiset<std::string> labels;
    for (const auto& record : host.Recorded()) labels.insert(record.label);
    EXPECT_EQ(labels, (std::multiset<std::string>{"101", "102", "K103", "K104"}));

    host.ChangeRules([](RecordingRules& r) { r.ignoreUnknownTags = true; });
    test::SimulatorProcess decoder("decoder", WithDefaults({"--rate", "0", "--count", "4", "--chips", chips}));
    UseDecoder(decoder);
    ASSERT_TRUE(StartBoxThread(host, box));
    ASSERT_TRUE(test::WaitUntil([&] { return log.CountContaining(". Detection discarded") == 2; }));
    ASSERT_TRUE(WaitForRecords(6));
    EXPECT_TRUE(log.HasContaining(" : ## Unknown chip [K103]. Detection discarded"));
    EXPECT_TRUE(log.HasContaining(" : ## Unknown chip [K104]. Detection discarded"));
    EXPECT_EQ(host.RecordedCount(), 6u);
}

TEST_F(BoxThreadTest, ReportsMalformedLinesAndLosesNoValidPassing) {
    test::SimulatorProcess decoder("decoder", WithDefaults({"--rate", "0", "--count", "10", "--malformed-every", "2"}));
    UseDecoder(decoder);
    ASSERT_TRUE(StartBoxThread(host, box));
    ASSERT_TRUE(WaitForRecords(10));
    ASSERT_TRUE(log.WaitForContaining(" : Invalid input(TL) : ZZZZ"));
    // Cut to the line bound by the transport.
    EXPECT_TRUE(log.HasContaining("... (4096 bytes)"));
    EXPECT_TRUE(log.HasContaining(" : Invalid input(TL) : #P\\x00\\x01\\xFE\\xFF;"));
    EXPECT_TRUE(log.HasContaining(" : Invalid detection: #P;1;C00001;2024-13-45;"));
    // 17 and 19 fields are no passings at all.
    EXPECT_EQ(log.CountContaining(" : Invalid input(TL) : #P;1;C00001;2024-05-01;10:00:00.000;"), 2);
    EXPECT_TRUE(box.threadRunning.load());
    EXPECT_TRUE(box.IsConnected());
    EXPECT_EQ(host.RecordedCount(), 10u);
}

TEST_F(BoxThreadTest, ABoxThatDropsTheConnectionIsReconnectedWithoutLoss) {
    // Each session: three answers, then five passings, then the decoder hangs up.
    test::SimulatorProcess decoder("decoder", WithDefaults({"--rate", "0", "--count", "12", "--close-after", "8"}));
    UseDecoder(decoder);
    for (int session = 1; session <= 3; ++session) {
        ASSERT_TRUE(StartBoxThread(host, box)) << session;
        if (session == 3) break;
        ASSERT_TRUE(test::WaitUntil([&] { return log.CountContaining(" : Box reception failed") == session; }));
        ASSERT_TRUE(test::WaitUntil([this] { return !box.threadRunning.load(); }));
        // What the main window does on the unexpected loss: restart the thread.
        EXPECT_EQ(host.States().back(), std::make_pair(1, true));
        EXPECT_FALSE(box.IsConnected());
    }
    ASSERT_TRUE(WaitForRecords(12));
    std::set<std::pair<int32_t, int>> instants;
    for (const auto& record : host.Recorded()) instants.emplace(record.instant.Seconds(), record.instant.Milliseconds());
    EXPECT_EQ(instants.size(), 12u);
    EXPECT_EQ(host.Alerts().size(), 2u);
    EXPECT_NE(host.Alerts()[0].first.find("## [" ), std::string::npos);
    EXPECT_EQ(log.CountContaining(" : Connection successful"), 3);
}

TEST_F(BoxThreadTest, ALineCutByTheDecoderClosingIsReportedNotRecorded) {
    test::SimulatorProcess decoder(
        "decoder", WithDefaults({"--rate", "0", "--count", "5", "--close-after", "5", "--close-mid-line"}));
    UseDecoder(decoder);
    ASSERT_TRUE(StartBoxThread(host, box));
    ASSERT_TRUE(log.WaitForContaining(" : Box reception failed"));
    EXPECT_EQ(host.RecordedCount(), 2u);
    EXPECT_EQ(log.CountContaining(" : Invalid input(TL) : #P;"), 1);
}

// A decoder that hangs up (or cuts its answer) at each step of the handshake: never
// taken for initialised, always said, and retried like a box that was lost.
TEST_F(BoxThreadTest, AHandshakeCutAtAnyStepFailsTheInitialisation) {
    for (const char* after : {"1", "2"}) {
        for (bool midLine : {false, true}) {
            SCOPED_TRACE(std::string("close after ") + after + (midLine ? " mid-line" : ""));
            std::vector<std::string> options = {"--close-after", after};
            if (midLine) options.push_back("--close-mid-line");
            test::SimulatorProcess decoder("decoder", WithDefaults(options));
            UseDecoder(decoder);
            const int alertsBefore = static_cast<int>(host.Alerts().size());
            EXPECT_FALSE(InitializeBox(box));
            EXPECT_TRUE(box.HandshakeLost());
            EXPECT_FALSE(box.IsConnected());
            auto alerts = host.Alerts();
            ASSERT_EQ(static_cast<int>(alerts.size()), alertsBefore + 1);
            EXPECT_NE(alerts.back().first.find(" : Connection lost during the initialisation on 127.0.0.1:" +
                                               std::to_string(decoder.Port())),
                      std::string::npos);
        }
    }
    {
        // Hung up before the first answer.
        test::LoopbackPeer peer;
        box.SetParameters("31", "127.0.0.1", peer.Port());
        std::thread closer([&] {
            if (peer.Accept()) peer.ReceiveLine();
            peer.CloseClient();
        });
        EXPECT_FALSE(InitializeBox(box));
        closer.join();
        EXPECT_TRUE(box.HandshakeLost());
        EXPECT_FALSE(box.IsConnected());
    }
    // The whole handshake answered: initialised, connected.
    test::SimulatorProcess decoder("decoder", WithDefaults({"--close-after", "3"}));
    UseDecoder(decoder);
    EXPECT_TRUE(InitializeBox(box));
    EXPECT_FALSE(box.HandshakeLost());
    box.Close();
}

TEST_F(BoxThreadTest, AReconnectionWhoseHandshakeIsCutKeepsTryingInsteadOfEndingAsRequested) {
    test::SimulatorProcess decoder("decoder", WithDefaults({"--close-after", "2"}));
    UseDecoder(decoder);
    host.ChangeSettings([](IntakeSettings& s) { s.reconnectSeconds = 4; });
    ASSERT_TRUE(StartBoxThread(host, box));
    ASSERT_TRUE(test::WaitUntil([this] { return !box.threadRunning.load(); }, 15s));
    EXPECT_FALSE(log.HasContaining(" : Connection successful"));
    EXPECT_FALSE(log.HasContaining(" : Disconnection requested"));
    // Attempts every three seconds for the period: at least two handshakes cut.
    EXPECT_GE(log.CountContaining(" : Connection lost during the initialisation"), 2);
    EXPECT_FALSE(box.IsPending());
    EXPECT_EQ(host.States().back(), std::make_pair(1, false));
}

TEST_F(BoxThreadTest, GivesUpConnectionAttemptsAfterTheReconnectionPeriod) {
    int port = test::LoopbackPeer::FreePort();
    box.SetParameters("31", "127.0.0.1", port);
    host.ChangeSettings([](IntakeSettings& s) { s.reconnectSeconds = 1; });
    ASSERT_TRUE(StartBoxThread(host, box));
    ASSERT_TRUE(test::WaitUntil([this] { return !box.threadRunning.load(); }));
    EXPECT_TRUE(log.HasContaining(" : Attempt to connect during 1 seconds"));
    EXPECT_FALSE(log.HasContaining("Thread stopped"));
    EXPECT_FALSE(box.IsPending());
    auto states = host.States();
    EXPECT_EQ(states.size(), 7u);
    for (const auto& state : states) EXPECT_EQ(state, std::make_pair(1, false));
    ASSERT_FALSE(host.Alerts().empty());
    EXPECT_NE(host.Alerts()[0].first.find(" : Cannot connect on 127.0.0.1:" + std::to_string(port)), std::string::npos);
    EXPECT_EQ(RunningBoxThreads(), 0);
}

TEST_F(BoxThreadTest, ACancelStopsTheConnectionAttempts) {
    int port = test::LoopbackPeer::FreePort();
    box.SetParameters("31", "127.0.0.1", port);
    ASSERT_TRUE(StartBoxThread(host, box));
    ASSERT_TRUE(test::WaitUntil([this] { return !host.States().empty(); }));
    EXPECT_TRUE(box.IsInUse());
    box.cancelRequested = true;
    ASSERT_TRUE(test::WaitUntil([this] { return !box.threadRunning.load(); }, 3s));
    EXPECT_TRUE(log.HasContaining(" : Thread stopped. Could not connect"));
    EXPECT_FALSE(box.IsPending());
    EXPECT_FALSE(box.IsInUse());
}

TEST_F(BoxThreadTest, ASilentPeerKeepsTheThreadUntilCancelledAndBlankLinesAreNoFailure) {
    test::LoopbackPeer peer;
    box.SetParameters("31", "127.0.0.1", peer.Port());
    std::string error;
    ASSERT_TRUE(box.Transport()->Connect(error));
    ASSERT_TRUE(peer.Accept());
    // A passing a command exchange read before the thread started goes first, once.
    auto exchanged = std::async(std::launch::async, [this] {
        CommandExchange exchange(box);
        std::string error, response;
        return exchange.Send("GETTIME", error) && exchange.WaitResponse("GETTIME", 2, response);
    });
    EXPECT_EQ(peer.ReceiveLine(), "GETTIME\r\n");
    ASSERT_TRUE(peer.Send("#P;9;Q1;2024-05-01;09:00:00.000;1;0;0;-62;1;0;0;0;0;0;0;0;SIM\r\n"
                          "GETTIME;2024-05-01;09:00:01.000\r\n"));
    ASSERT_TRUE(exchanged.get());
    ASSERT_TRUE(StartBoxThread(host, box));
    ASSERT_TRUE(peer.Send("\r\n\n#P;1;C1;2024-05-01;10:00:00.000;1;0;0;-62;1;0;0;0;0;0;0;0;SIM\r\n"));
    ASSERT_TRUE(WaitForRecords(2));
    EXPECT_EQ(host.Recorded()[0].label, "Q1");
    EXPECT_EQ(host.Recorded()[1].label, "C1");
    EXPECT_FALSE(log.HasContaining("Invalid input"));
    std::this_thread::sleep_for(100ms);
    EXPECT_TRUE(box.threadRunning.load());
    EXPECT_TRUE(host.States().empty());
    StopThread();
    EXPECT_TRUE(log.HasContaining(" : Disconnection requested"));
    EXPECT_EQ(host.States(), (std::vector<std::pair<int, bool>>{{1, false}}));
}

TEST_F(BoxThreadTest, CommandExchangesRunBesideTheThreadAndEveryPassingIsRecordedOnce) {
    test::SimulatorProcess decoder("decoder", WithDefaults({"--rate", "400", "--count", "300", "--runners", "60"}));
    UseDecoder(decoder);
    ASSERT_TRUE(InitializeBox(box));
    ASSERT_TRUE(StartBoxThread(host, box));
    ASSERT_TRUE(WaitForRecords(20));
    for (int round = 0; round < 3; ++round) SetBoxClock(box);
    RequestBoxTime(box);
    ASSERT_TRUE(log.WaitForContaining(" : Date "));
    std::string error;
    ASSERT_TRUE(box.SendCommand("SETPUSHPASSINGS;1;0", error));
    ASSERT_TRUE(WaitForRecords(300));
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(log.CountContaining(" : Box synchronized"), 3);
    EXPECT_FALSE(log.HasContaining("No response")) << log.Dump().substr(0, 4000);
    EXPECT_FALSE(log.HasContaining("Unexpected response"));
    auto recorded = host.Recorded();
    EXPECT_EQ(recorded.size(), 300u);
    std::set<std::pair<int32_t, int>> instants;
    for (const auto& record : recorded) instants.emplace(record.instant.Seconds(), record.instant.Milliseconds());
    EXPECT_EQ(instants.size(), 300u);
}

TEST_F(BoxThreadTest, AnExchangeBesideTheRunningThreadGetsItsResponseAndPassingsStayInOrder) {
    test::LoopbackPeer peer;
    box.SetParameters("31", "127.0.0.1", peer.Port());
    std::string error;
    ASSERT_TRUE(box.Transport()->Connect(error));
    ASSERT_TRUE(peer.Accept());
    ASSERT_TRUE(StartBoxThread(host, box));
    auto passing = [](const std::string& chip, int second) {
        return "#P;1;" + chip + ";2024-05-01;10:00:0" + std::to_string(second) +
               ".000;1;0;0;-62;1;0;0;0;0;0;0;0;SIM\r\n";
    };
    ASSERT_TRUE(peer.Send(passing("A1", 1)));
    ASSERT_TRUE(WaitForRecords(1));

    // The clock setting runs on another thread while the box thread reads; passings
    // come before, between and after the responses.
    auto done = std::async(std::launch::async, [this] { SetBoxClock(box); });
    EXPECT_EQ(peer.ReceiveLine(), "STOPOPERATION\r\n");
    ASSERT_TRUE(peer.Send(passing("A2", 2) + "STOPOPERATION\r\n" + passing("A3", 3)));
    EXPECT_EQ(peer.ReceiveLine().substr(0, 8), "SETTIME;");
    ASSERT_TRUE(peer.Send(passing("A4", 4) + "SETTIME;2024-05-01;10:00:05.000\r\n"));
    EXPECT_EQ(peer.ReceiveLine(), "STARTOPERATION\r\n");
    ASSERT_TRUE(peer.Send("STARTOPERATION\r\n" + passing("A5", 5)));
    done.get();
    ASSERT_TRUE(WaitForRecords(5));

    std::vector<std::string> labels;
    for (const auto& record : host.Recorded()) labels.push_back(record.label);
    EXPECT_EQ(labels, (std::vector<std::string>{"A1", "A2", "A3", "A4", "A5"}));
    // Each response reported once, by the exchange that awaited it, in its place.
    EXPECT_EQ(log.CountContaining(" : Box synchronized"), 1) << log.Dump();
    EXPECT_FALSE(log.HasContaining("No response"));
    EXPECT_FALSE(log.HasContaining("Unexpected response"));
    const std::string all = log.Dump();
    auto at = [&all](const std::string& text) { return all.find(text); };
    EXPECT_LT(at("<<-<< #P;1;A4;"), at(" : Box synchronized"));
    EXPECT_LT(at(" : Box synchronized"), at("<<-<< STARTOPERATION"));
    EXPECT_TRUE(box.threadRunning.load());

    // A response nobody waits for is the intake's to report.
    RequestBoxTime(box);
    EXPECT_EQ(peer.ReceiveLine(), "GETTIME\r\n");
    ASSERT_TRUE(peer.Send("GETTIME;2024-05-01;10:00:06.000\r\n"));
    ASSERT_TRUE(log.WaitForContaining(" : Date 01/05/2024  10:00:06.00"));
}

}  // namespace
}  // namespace lv

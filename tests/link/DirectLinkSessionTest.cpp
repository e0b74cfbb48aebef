#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <fstream>
#include <regex>
#include <thread>

#include "app/ManualInsertion.h"
#include "base/Settings.h"
#include "base/Texts.h"
#include "base/Clock.h"
#include "core/DetectionJournal.h"
#include "core/DetectionRecorder.h"
#include "core/DetectionRecords.h"
#include "core/DetectionTable.h"
#include "link/DirectLinkSession.h"
#include "TimerSpyLoop.h"
#include "app/DirectLinkViewBridge.h"
#include "TimingAppProcess.h"
#include "support/FakeMainView.h"
#include "support/LogCapture.h"
#include "support/LoopbackSockets.h"
#include "support/TempFolder.h"

namespace lv {
namespace {

using namespace std::chrono_literals;

const std::string kQueries =
    "GetMode()\r\nGetUserName()\r\nGetCompetitionName()\r\nGetFilename()\r\nGetVersion()\r\n"
    "GetPrintableVersion()\r\nGetDetectorList()\r\n";

CQoxResult Record(const std::string& label, const std::string& box, const CChrono& instant,
                  const CChrono& ofDay, bool absolute) {
    CQoxResult record;
    record.label = label;
    record.boxName = box;
    record.timeText = MakeTimeText(instant, ofDay, absolute);
    record.absoluteTime = absolute ? 1 : 0;
    return record;
}

CQoxResult TimeOfDayRecord(const std::string& label) {
    return Record(label, "3", CChrono(1700000000, 0), CChrono(36001, 230), false);
}

class DirectLinkSessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetLanguage(Language::French);
        journal.Open(folder / "Lumivane-20250614-100000.dat");
    }
    void TearDown() override {
        session.reset();
        journal.Close();
        SetLanguage(Language::French);
        SetWallClockSourceForTests({});
        DetectionTable::Instance().ClearTable();
    }

    void CreateSession() {
        session = std::make_unique<DirectLinkSession>(loop, bridge, DirectLinkTimings{}, &journal);
    }
    void StartSession(const TimingAppProcess& app, int reconnectSeconds = 0) {
        ASSERT_TRUE(app.Running());
        CreateSession();
        session->SwitchOn(DirectTarget{"127.0.0.1", app.Port(), reconnectSeconds});
    }
    // A detection recorded: its line in the journal the session forwards from, numbered
    // in order whatever the thread.
    void Push(const CQoxResult& record) {
        std::lock_guard<std::mutex> hold(pushLock);
        journal.WaitWritten(journal.QueueLine(++pushed, DetectionLineFields(record)));
    }
    // Connected and the seven queries answered.
    bool WaitReady(const TimingAppProcess& app) {
        return loop.PumpUntil([&] {
            return app.RecordedLines().size() >= 7 && log.Has("$$$ Detector list: 1,2,3,4");
        });
    }
    bool WaitSummaries(std::size_t count) {
        return loop.PumpUntil([&] { return view.summaries.size() >= count; });
    }
    bool WaitLog(const std::string& message) {
        return loop.PumpUntil([&] { return log.Has(message); });
    }
    bool WaitMessage() {
        return loop.PumpUntil([&] { return !view.messages.empty(); });
    }
    bool WaitLinkLost() {
        return loop.PumpUntil([&] { return !view.CallsStartingWith("ShowLinkLost").empty(); });
    }

    test::TempFolder folder;
    DetectionJournal journal;
    std::mutex pushLock;
    std::size_t pushed = 0;
    TimerSpyLoop loop;
    FakeMainView view;
    DirectLinkViewBridge bridge{view};
    LogCapture log;
    std::unique_ptr<DirectLinkSession> session;
};

// ---- Connection, queries, ping ---------------------------------------------------------

TEST_F(DirectLinkSessionTest, QueriesFollowTheConnectionInOrderAndAreLogged) {
    TimingAppProcess app;
    StartSession(app);
    ASSERT_TRUE(WaitReady(app));
    EXPECT_EQ(app.Recorded(), kQueries);

    auto queries = loop.ArmedTimers(DirectLinkSession::kQueriesTimer);
    ASSERT_EQ(queries.size(), 1u);
    EXPECT_EQ(queries[0].milliseconds, 300);
    EXPECT_FALSE(queries[0].periodic);
    EXPECT_TRUE(loop.ArmedTimers(DirectLinkSession::kVersionAlertTimer).empty());

    EXPECT_EQ(view.CallsStartingWith("SetDirectLinkState"),
              (std::vector<std::string>{"SetDirectLinkState Connecting", "SetDirectLinkState Connected"}));
    EXPECT_EQ(view.sounds, (std::vector<int>{SoundNumber(Sound::LinkConnected)}));
    EXPECT_TRUE(log.Has("+ Connexion à Quillet-Pro effectuée avec succès"));
    for (const char* line : {"$$$ Application: Quillet-Pro", "$$$ User: Chrono",
                             "$$$ Competition name: Trail des Vanelles",
                             "$$$ Filename: vanelles-2025.qpx", "$$$ Version: 4,5,0,0",
                             "$$$ Printable Version: 4.50", ">>> NFO:27 4,5,0,0"}) {
        EXPECT_TRUE(log.Has(line)) << line;
    }
    EXPECT_TRUE(session->IsConnected());
    EXPECT_TRUE(view.messages.empty());
}

TEST_F(DirectLinkSessionTest, PingTimerSendsPingAndItsAnswerIsNotLogged) {
    TimingAppProcess app;
    StartSession(app);
    session->StartPingTimer();
    auto pings = loop.ArmedTimers(DirectLinkSession::kPingTimer);
    ASSERT_EQ(pings.size(), 1u);
    EXPECT_EQ(pings[0].milliseconds, 30000);
    EXPECT_TRUE(pings[0].periodic);

    ASSERT_TRUE(WaitReady(app));
    loop.Fire(DirectLinkSession::kPingTimer);
    ASSERT_TRUE(WaitLog(">>> NFO:20"));
    EXPECT_EQ(app.Recorded(), kQueries + "Ping()\r\n");
    EXPECT_EQ(log.CountContaining("$$$ Ping"), 0);
}

TEST_F(DirectLinkSessionTest, NothingIsSentWhileTheLinkIsDownAndWhatWaitedLeavesOnceItIsUp) {
    TimingAppProcess app;
    CreateSession();
    session->Ping();
    Push(TimeOfDayRecord("42"));
    EXPECT_FALSE(session->SendCommand("GetMode()"));
    session->SwitchOn(DirectTarget{"127.0.0.1", app.Port(), 0});
    ASSERT_TRUE(WaitReady(app));
    // No ping nor command of the time it was down; the detection recorded meanwhile.
    EXPECT_EQ(app.Recorded(), "AddQoxClock(1\t3\t42\t1\t10:00:01.23)\r\n" + kQueries);
}

TEST_F(DirectLinkSessionTest, ToggleUsesTheDirectConnectionSettings) {
    TimingAppProcess app;
    test::TempFolder folder;
    std::string path = folder / "Lumivane.ini";
    std::ofstream(path) << "[DirectConnection]\r\nHost=127.0.0.1\r\nPort=" << app.Port()
                        << "\r\nReconnectSeconds=1\r\n";
    InstallSettingsFile(path);
    DirectTarget target = ReadDirectTargetSettings();
    EXPECT_EQ(target.host, "127.0.0.1");
    EXPECT_EQ(target.port, app.Port());
    EXPECT_EQ(target.reconnectSeconds, 1);

    CreateSession();
    session->Toggle();
    EXPECT_TRUE(session->IsSwitchedOn());
    ASSERT_TRUE(WaitReady(app));
    session->Toggle();
    EXPECT_FALSE(session->IsSwitchedOn());
    EXPECT_FALSE(session->IsConnected());
    InstallSettingsFile("");
}

// ---- Pushes and runner answers ---------------------------------------------------------

TEST_F(DirectLinkSessionTest, PushLinesLeaveByteForByteAndAnswersReachTheWindow) {
    TimingAppProcess app;
    view.speechEnabled = true;
    StartSession(app);
    ASSERT_TRUE(WaitReady(app));
    Push(TimeOfDayRecord("42"));
    Push(Record("42", "3", CChrono(1700000000, 50), CChrono(36001, 230), true));
    std::vector<std::string> lines = app.WaitForLines(9);
    ASSERT_EQ(lines.size(), 9u);
    EXPECT_EQ(lines[7], "AddQoxClock(1\t3\t42\t1\t10:00:01.23)\r\n");
    EXPECT_EQ(lines[8], "AddQoxClock(1\t3\t42\t1\t1700000000.5)\r\n");

    ASSERT_TRUE(WaitSummaries(2));
    // Bib 42 of the simulator's field: Camille Petit, F, "M1F".
    const CSummaryItem& first = view.summaries[0];
    EXPECT_EQ(first.bib, 42);
    EXPECT_EQ(first.name, "Camille Petit                 ");
    EXPECT_EQ(first.time, "10:00:01");
    EXPECT_EQ(first.info, ".");
    EXPECT_EQ(first.rank, "1ère - 1ère F - 1ère M1F");
    EXPECT_EQ(first.status, 0);
    EXPECT_EQ(view.summaries[1].info, "p2");
    ASSERT_EQ(view.runnerDisplays.size(), 2u);
    EXPECT_EQ(view.runnerDisplays[0].name, first.name);
    EXPECT_EQ(view.runnerDisplays[0].rank, first.rank);
    EXPECT_EQ(view.runnerDisplays[0].time, "10:00:01");
    // The same runner twice is spoken once.
    EXPECT_EQ(view.spoken, (std::vector<std::string>{"Camille  Petit"}));
    EXPECT_EQ(session->LastSpokenText(), "Camille  Petit");
}

TEST_F(DirectLinkSessionTest, EveryRunnerLayoutGivesTheSameSummary) {
    for (const char* layout : {"gm04", "gm05", "gm06", "res1"}) {
        SCOPED_TRACE(layout);
        TimingAppProcess app({"--layout", layout});
        view.summaries.clear();
        StartSession(app);
        ASSERT_TRUE(WaitReady(app));
        Push(TimeOfDayRecord("7"));
        Push(TimeOfDayRecord("8"));
        ASSERT_TRUE(WaitSummaries(2));
        EXPECT_EQ(view.summaries[0].bib, 7);
        EXPECT_EQ(view.summaries[0].rank, "1er - 1er M - 1er M1M");
        EXPECT_EQ(view.summaries[1].bib, 8);
        EXPECT_EQ(view.summaries[1].rank, "2ème - 2ème M - 2ème M1M");
        EXPECT_EQ(view.summaries[1].time, "10:00:01");
        EXPECT_EQ(log.CountContaining("Erreur décodage"), 0);
        session.reset();
    }
}

TEST_F(DirectLinkSessionTest, ErrorsAndStatusesOfPushesAreLoggedAsAnswered) {
    TimingAppProcess app({"--status", "5=-8", "--status", "6=1"});
    StartSession(app);
    ASSERT_TRUE(WaitReady(app));
    Push(TimeOfDayRecord("999"));
    Push(TimeOfDayRecord("5"));
    Push(TimeOfDayRecord("6"));
    Push(TimeOfDayRecord("E2801160600002"));
    ASSERT_TRUE(WaitLog("$$$ Id. puce non trouvé"));
    EXPECT_TRUE(log.Has("$$$ Coureur inconnu"));
    EXPECT_TRUE(log.Has("------------------------ Temps du coureur corrigé"));
    // Status -8 (control time) shows nothing: only bib 6 reached the summary.
    ASSERT_EQ(view.summaries.size(), 1u);
    EXPECT_EQ(view.summaries[0].bib, 6);
    EXPECT_EQ(view.summaries[0].rank, "Temps du coureur corrigé");
    EXPECT_EQ(view.summaries[0].status, 1);
    EXPECT_EQ(view.runnerDisplays.size(), 1u);
}

TEST_F(DirectLinkSessionTest, ManualEntriesArePushedInBothTimeForms) {
    // Saturday 14 June 2025, 10:00:00 in Paris.
    SetWallClockSourceForTests([] { return std::chrono::system_clock::from_time_t(1749888000); });
    // The program's own journal, as the window records into it.
    DetectionJournal& programJournal = DetectionTable::Instance().Journal();
    programJournal.Open(folder / "Lumivane-20250614-100001.dat");
    DetectionTable::Instance().ClearTable();
    TimingAppProcess app;
    ASSERT_TRUE(app.Running());
    session = std::make_unique<DirectLinkSession>(loop, bridge);
    session->SwitchOn(DirectTarget{"127.0.0.1", app.Port(), 0});
    ASSERT_TRUE(WaitReady(app));
    ManualInsertion insertion;
    ManualValidation entry = insertion.Validate("42", "01:30:00.07", {"1", "2", "3"}, 2, 2, true);
    ASSERT_TRUE(entry.ok);
    DetectionRecorder recorder(DetectionTable::Instance());
    ManualInsertion::Record(recorder, entry.entry);
    RecordingRules absolute;
    absolute.absoluteClock = true;
    recorder.SetRules(absolute);
    ManualInsertion::Record(recorder, entry.entry);
    std::vector<std::string> lines = app.WaitForLines(9);
    ASSERT_EQ(lines.size(), 9u);
    EXPECT_EQ(lines[7], "AddQoxClock(1\t3\t42\t1\t49:30:00.07)\r\n");
    // 01:30:00.07 on 14 June 2025 in Paris is 1749857400 seconds, 7 hundredths.
    EXPECT_EQ(lines[8], "AddQoxClock(1\t3\t42\t1\t1749857400.7)\r\n");
    ASSERT_TRUE(WaitSummaries(2));
    EXPECT_EQ(view.summaries[0].time, "49:30:00");
    session.reset();
    programJournal.Close();
}

// ---- Version alert ---------------------------------------------------------------------

TEST_F(DirectLinkSessionTest, OlderVersionAlertsOneSecondLaterAndStopsTheLink) {
    TimingAppProcess app({"--version", "4,3,5,2"});
    StartSession(app);
    ASSERT_TRUE(WaitLog("$$$ Version: 4,3,5,2"));
    auto alerts = loop.ArmedTimers(DirectLinkSession::kVersionAlertTimer);
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].milliseconds, 1000);
    EXPECT_FALSE(alerts[0].periodic);
    EXPECT_TRUE(view.messages.empty());

    ASSERT_TRUE(WaitMessage());
    EXPECT_EQ(view.messages[0].text, "Version Quillet incompatible avec cette version de Lumivane !");
    EXPECT_EQ(view.messages[0].icon, MessageIcon::Warning);
    EXPECT_FALSE(session->IsSwitchedOn());
    EXPECT_FALSE(session->IsConnected());
    EXPECT_TRUE(log.Has("+ Déconnexion de Quillet-Pro..."));
    // Stopping for the version is not a loss.
    loop.runFor(200ms);
    EXPECT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(log.CountContaining("########"), 0);
    EXPECT_EQ(view.linkStates.back(), LinkVisualState::Off);
}

// ---- Loss, switching off ---------------------------------------------------------------

TEST_F(DirectLinkSessionTest, LossRaisesTheAlertAndLeavesTheLinkOff) {
    SetLanguage(Language::English);
    TimingAppProcess app({"--drop-after", "8"});
    StartSession(app);
    session->SetReconnectAfterLoss(false);
    ASSERT_TRUE(WaitReady(app));
    Push(TimeOfDayRecord("42"));
    ASSERT_TRUE(WaitLinkLost());
    // Shown in the window's alert band, never in a modal box over the results.
    EXPECT_EQ(view.linkLost, "Direct connection to Quillet-Pro lost!");
    EXPECT_TRUE(view.messages.empty());
    EXPECT_TRUE(log.Has("######## Direct connection to Quillet-Pro lost!"));
    EXPECT_EQ(view.sounds.back(), SoundNumber(Sound::LinkLost));
    EXPECT_EQ(view.linkStates.back(), LinkVisualState::Off);
    EXPECT_EQ(view.broughtToFront, 1);
    EXPECT_FALSE(session->IsSwitchedOn());
    loop.runFor(300ms);
    EXPECT_FALSE(session->IsConnecting());
    EXPECT_FALSE(session->IsConnected());
    EXPECT_EQ(view.CallsStartingWith("SetDirectLinkState Connecting").size(), 1u);
    // Switched off on purpose: the alert goes, without saying the link is back.
    session->SwitchOff();
    EXPECT_TRUE(view.linkLost.empty());
    EXPECT_EQ(view.CallsStartingWith("EndLinkLost").size(), 1u);
    EXPECT_FALSE(log.Has("back"));
}

TEST_F(DirectLinkSessionTest, HeadlessModeSwitchesTheLinkOnAgainAfterALoss) {
    TimingAppProcess app({"--drop-after", "8"});
    StartSession(app);
    ASSERT_TRUE(WaitReady(app));
    session->Ping();
    ASSERT_TRUE(WaitLinkLost());
    EXPECT_TRUE(log.Has("######## Perte de connexion directe à Quillet-Pro !"));
    EXPECT_EQ(view.linkLost, "Perte de connexion directe à Quillet-Pro ! Reconnexion toutes les 0 s.");
    EXPECT_TRUE(session->IsSwitchedOn());
    ASSERT_TRUE(loop.PumpUntil([&] { return view.CallsStartingWith("SetDirectLinkState Connected").size() == 2; }));
    // Back: the alert ends, saying so.
    EXPECT_TRUE(view.linkLost.empty());
    EXPECT_EQ(view.CallsStartingWith("EndLinkLost Connexion directe à Quillet-Pro rétablie").size(), 1u);
    EXPECT_TRUE(log.Has("+++ Connexion directe à Quillet-Pro rétablie"));
    // Queries, the ping, the queries again.
    EXPECT_TRUE(loop.PumpUntil([&] { return app.RecordedLines().size() == 15; }));
    session->SwitchOff();
    EXPECT_FALSE(session->IsConnected());
}

TEST_F(DirectLinkSessionTest, HeadlessModeWaitsOnePauseWhenThePeerKeepsClosing) {
    TimingAppProcess app({"--drop-after", "1"});
    StartSession(app, 1);
    // Each connection ends at the first query: the second loss comes within the pause.
    ASSERT_TRUE(loop.PumpUntil([&] { return view.CallsStartingWith("ShowLinkLost").size() == 2; }));
    auto delayed = loop.ArmedTimers(DirectLinkSession::kReconnectAfterLossTimer);
    ASSERT_EQ(delayed.size(), 1u);
    EXPECT_EQ(delayed[0].milliseconds, 1250);
    EXPECT_FALSE(delayed[0].periodic);
    EXPECT_FALSE(session->IsSwitchedOn());
    EXPECT_TRUE(loop.PumpUntil([&] { return session->IsSwitchedOn(); }));
    session->SwitchOff();
}

TEST_F(DirectLinkSessionTest, SwitchingOffWhileConnectedLogsTheDisconnection) {
    TimingAppProcess app;
    StartSession(app);
    ASSERT_TRUE(WaitReady(app));
    session->SwitchOff();
    EXPECT_FALSE(session->IsConnected());
    EXPECT_EQ(view.linkStates.back(), LinkVisualState::Off);
    EXPECT_EQ(view.sounds.back(), SoundNumber(Sound::LinkDisconnected));
    EXPECT_TRUE(log.Has("+ Déconnexion de Quillet-Pro..."));
    loop.runFor(200ms);  // the worker's own closing message is stale
    EXPECT_TRUE(view.messages.empty());
    EXPECT_EQ(view.linkStates.back(), LinkVisualState::Off);
}

// The pause lasts an hour: the test ends only because switching off ends it.
TEST_F(DirectLinkSessionTest, SwitchingOffDuringTheRetryPauseEndsTheWorker) {
    session = std::make_unique<DirectLinkSession>(loop, bridge);
    session->SwitchOn(DirectTarget{"127.0.0.1", test::LoopbackPeer::FreePort(), 3600});
    ASSERT_TRUE(loop.PumpUntil([&] {
        return view.linkStates.size() >= 2 && view.linkStates.back() == LinkVisualState::Off;
    }));
    EXPECT_TRUE(session->IsConnecting());
    EXPECT_TRUE(session->IsSwitchedOn());
    session->SwitchOff();
    EXPECT_FALSE(session->IsConnecting());
    EXPECT_FALSE(log.Has("+ Déconnexion de Quillet-Pro..."));
    loop.runFor(100ms);
    EXPECT_TRUE(view.messages.empty());
    EXPECT_EQ(view.linkStates.back(), LinkVisualState::Off);
}

// The pause lasts an hour: the second attempt comes only because the operator asks.
TEST_F(DirectLinkSessionTest, ReconnectNowEndsTheRetryPauseAtOnce) {
    session = std::make_unique<DirectLinkSession>(loop, bridge);
    session->SwitchOn(DirectTarget{"127.0.0.1", test::LoopbackPeer::FreePort(), 3600});
    ASSERT_TRUE(loop.PumpUntil([&] {
        return view.linkStates.size() >= 2 && view.linkStates.back() == LinkVisualState::Off;
    }));
    ASSERT_EQ(view.CallsStartingWith("SetDirectLinkState Connecting").size(), 1u);
    session->ReconnectNow();
    EXPECT_TRUE(loop.PumpUntil([&] { return view.CallsStartingWith("SetDirectLinkState Connecting").size() == 2; }));
    EXPECT_TRUE(log.Has("+ Reconnexion à Quillet-Pro demandée par l'opérateur"));
    session->SwitchOff();
}

// ---- Hostile peer ----------------------------------------------------------------------

TEST_F(DirectLinkSessionTest, HostileAnswersAreLoggedAndNeverCrash) {
    test::LoopbackPeer peer;
    session = std::make_unique<DirectLinkSession>(loop, bridge);
    session->SwitchOn(DirectTarget{"127.0.0.1", peer.Port(), 0});
    ASSERT_TRUE(peer.Accept());
    ASSERT_TRUE(loop.PumpUntil([&] { return session->IsConnected(); }));
    peer.Send(std::string(5000, 'x') + "\r\n");
    peer.Send("NFO:5 Caf\xe9 des Sports\r\n");
    peer.Send("ERR:\r\nNFO:x\n\r\n\nhello\n");
    peer.Send(std::string("gm04\\1\\") + std::string(3000, '\\') + "\n");
    peer.Send("ERR:-5");  // cut by the close
    peer.CloseClient();
    ASSERT_TRUE(WaitLinkLost());
    EXPECT_TRUE(log.Has("### Réponse de Quillet-Pro de plus de 2047 caractères : la suite est ignorée"));
    EXPECT_EQ(log.Count("Erreur décodage réponse: (ret=1)"), 2);
    EXPECT_TRUE(log.Has("$$$ Competition name: Café des Sports"));
    EXPECT_TRUE(log.Has("$$$ Can't decode ERR:"));
    EXPECT_TRUE(log.Has("$$$ Can't decode NFO:x"));
    EXPECT_FALSE(log.Has("$$$ Coureur inconnu"));
    ASSERT_FALSE(view.runnerDisplays.empty());
    EXPECT_EQ(view.runnerDisplays.back().name, "Decoding");
    EXPECT_EQ(view.runnerDisplays.back().time, "Error");
    EXPECT_TRUE(view.summaries.empty());
    EXPECT_EQ(view.CallsStartingWith("ShowLinkLost Perte de connexion directe à Quillet-Pro !").size(), 1u);
    session->SwitchOff();
}

// ---- Sends from several threads --------------------------------------------------------

TEST_F(DirectLinkSessionTest, PushesFromFourThreadsLeaveWholeLinesWhileTheUiPingsAndStops) {
    TimingAppProcess app;
    StartSession(app);
    ASSERT_TRUE(WaitReady(app));

    // The box threads push at their own pace until the UI thread is done, while the
    // accepted lines stay below the allowance of the UI thread's round.
    std::atomic<bool> done{false};
    std::atomic<int> accepted{0};
    std::atomic<int> allowed{0};
    std::vector<std::thread> boxes;
    struct JoinAtExit {
        std::atomic<bool>& done;
        std::vector<std::thread>& threads;
        ~JoinAtExit() {
            done.store(true);
            for (auto& thread : threads) thread.join();
        }
    } joinAtExit{done, boxes};
    for (int box = 0; box < 4; ++box) {
        boxes.emplace_back([&, box] {
            for (int n = 0; !done.load(); ++n) {
                if (accepted.load() >= allowed.load()) {
                    std::this_thread::sleep_for(1ms);
                    continue;
                }
                CQoxResult record = Record("T" + std::to_string(box) + "-" + std::to_string(n),
                                           "B" + std::to_string(box), CChrono(1700000000, 0),
                                           CChrono(36000, 0), false);
                Push(record);
                ++accepted;
                std::this_thread::sleep_for(200us);
            }
        });
    }
    // Meanwhile the UI thread pings, and switches off and on again while pushes flow.
    for (int round = 0; round < 3; ++round) {
        int before = accepted.load();
        allowed.store(before + 300);
        for (int i = 0; i < 20; ++i) {
            session->Ping();
            loop.processPending();
        }
        ASSERT_TRUE(loop.PumpUntil([&] { return accepted.load() >= before + 100; }))
            << "round " << round << " accepted " << accepted.load() << " before " << before
            << " connected " << session->IsConnected() << " messages " << view.messages.size();
        session->SwitchOff();
        session->SwitchOn(DirectTarget{"127.0.0.1", app.Port(), 0});
        ASSERT_TRUE(loop.PumpUntil([&] { return session->IsConnected(); }));
    }
    done.store(true);
    for (auto& box : boxes) box.join();
    boxes.clear();
    session->SwitchOff();

    const std::regex whole(
        "(Ping\\(\\)|Get(Mode|UserName|CompetitionName|Filename|Version|PrintableVersion|DetectorList)"
        "\\(\\)|AddQoxClock\\(1\tB[0-3]\tT[0-3]-[0-9]+\t1\t10:00:00\\.00\\))\r\n");
    std::vector<std::string> lines;
    // The simulator records the last lines once it has read them.
    for (int attempt = 0; attempt < 200; ++attempt) {
        lines = app.RecordedLines();
        int pushes = 0;
        for (const auto& line : lines) pushes += line.rfind("AddQoxClock", 0) == 0;
        if (pushes >= accepted.load()) break;
        std::this_thread::sleep_for(10ms);
    }
    int pushes = 0;
    for (const auto& line : lines) {
        EXPECT_TRUE(std::regex_match(line, whole)) << "torn line: " << line;
        pushes += line.rfind("AddQoxClock", 0) == 0;
    }
    EXPECT_EQ(pushes, accepted.load());
    EXPECT_GT(accepted.load(), 0);
}

}  // namespace
}  // namespace lv

// The main window's logic without a window: opening, intake, counters, commands,
// boxes and exit, on an event loop pumped by the test and a recording view.
#include <gtest/gtest.h>

#include <poll.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "base/Environment.h"
#include "app/EventLoop.h"
#include "base/Log.h"
#include "app/MainController.h"
#include "base/Settings.h"
#include "base/Texts.h"
#include "boxes/BoxConfigRules.h"
#include "boxes/BoxDeclarations.h"
#include "boxes/TarvexBox.h"
#include "app/BibCorrection.h"
#include "core/ChipTable.h"
#include "base/Clock.h"
#include "core/DetectionJournal.h"
#include "core/DetectionTable.h"
#include "link/DirectLinkSession.h"
#include "support/ControllerFixture.h"
#include "support/FakeMainView.h"
#include "support/GivenDetection.h"
#include "support/LoopbackSockets.h"
#include "support/SimulatorProcess.h"
#include "support/TempFolder.h"

namespace lv {
namespace {

using test::ReadFile;
using test::WriteFile;

class MainControllerTest : public test::ControllerFixture<> {
protected:
    // The configuration dialog's OK with the present values but those `change` sets;
    // boxes in use keep their declarations.
    void ApplyConfiguration(const std::function<void(ConfigValues&)>& change) {
        ConfigValues values = LoadConfigValues(GetDefaultExportFilePath());
        change(values);
        std::array<BoxSlotState, MainController::kBoxCount> slots{};
        for (int i = 0; i < MainController::kBoxCount; ++i) {
            slots[i].declaration = LoadBoxSettings(i);
            slots[i].locked = controller->BoxStatusOf(i).inUse;
        }
        controller->ApplyConfiguration(values, slots);
    }

    long JournalLines() {
        std::string journal = ReadFile(folder / "logfiles/session.dat");
        return static_cast<long>(std::count(journal.begin(), journal.end(), '\n'));
    }

    const CQoxResult* Record(const std::string& label, int secondsOfDay, int box = 0) {
        return controller->Recorder()
            .Record(test::GivenDetection(label, "31", CChrono(1760000000 + secondsOfDay, 0), CChrono(secondsOfDay, 70),
                                         box))
            .record;
    }
};

TEST_F(MainControllerTest, OpeningWritesItsKeysBackOpensTheJournalAndLoadsTheChipTable) {
    WriteFile(folder / "TarvexTable.dtb", "# bib chip\n12 ABC\n13 DEF\n");
    Open();
    std::string ini = ReadFile(GetSettingsFilePath());
    for (const char* key : {"BAbsClock=0", "LogWinLevel=50", "LogFileLevel=75", "BLogDetections=0",
                            "BScrollDetections=0", "SecondsBetweenSerialRead=2"}) {
        EXPECT_NE(ini.find(key), std::string::npos) << key;
    }
    EXPECT_TRUE(DetectionTable::Instance().Journal().IsOpen());
    EXPECT_TRUE(LogHas("+++ Incoming detections saved in " + (folder / "logfiles/session.dat")));
    EXPECT_TRUE(LogHas("+++ Chip translation table loaded (2 entries)"));
    EXPECT_NE(ReadFile(GetLogFilePath()).find("------------------------ Starting Lumivane version 1.50"),
              std::string::npos);
    EXPECT_EQ(view.counterText, "No recorded detection");
    EXPECT_FALSE(view.clockButtonsEnabled);
}

TEST_F(MainControllerTest, ADetectionFileAnotherInstanceCreatedInTheSameSecondIsNeverShared) {
    // Another instance started with --force in the same second made the same name first.
    const std::string theirs = "1\t31\t77\t1\t09:59:59.00\t1\r\n";
    WriteFile(folder / "logfiles/session.dat", theirs);
    WriteFile(folder / "logfiles/session.sent", "sent 0000000001\nclean 0\nremoved \nheld \n");
    const std::string theirState = ReadFile(folder / "logfiles/session.sent");
    Open();
    EXPECT_EQ(DetectionTable::Instance().Journal().Name(), folder / "logfiles/session-2.dat");
    EXPECT_TRUE(LogHas("+++ Incoming detections saved in " + (folder / "logfiles/session-2.dat")));
    Record("12", 36000);
    ASSERT_TRUE(DetectionTable::Instance().Journal().WaitUntilSynced(2000));
    EXPECT_EQ(ReadFile(folder / "logfiles/session-2.dat"), "1\t31\t12\t1\t10:00:00.07\t1\r\n");
    EXPECT_EQ(ReadFile(folder / "logfiles/session.dat"), theirs);
    EXPECT_EQ(ReadFile(folder / "logfiles/session.sent"), theirState);
}

TEST_F(MainControllerTest, RecordedDetectionsAreJournaledCountedAndShownWhenAskedEarlierOnesFirst) {
    DeclareBox(0, 3601);
    Open();
    Record("12", 36000, 1);
    loop.processPending();
    EXPECT_EQ(view.counterText, "1 detection recorded");
    EXPECT_TRUE(view.detectionLines.empty());

    controller->SetLogDetections(true);
    EXPECT_TRUE(controller->LogDetectionsEnabled());
    // The detection recorded while the lines were off is shown at once.
    ASSERT_EQ(view.detectionLines.size(), 1u);
    // From a box thread: the line waits for the loop, and arrives once, made there.
    const CQoxResult* record = nullptr;
    std::thread box([&] { record = Record("13", 36001, 1); });
    box.join();
    EXPECT_EQ(view.detectionLines.size(), 1u);
    // A batch at most every DetectionFeed::kRestMs.
    loop.runFor(std::chrono::milliseconds(DetectionFeed::kRestMs + 20));
    ASSERT_EQ(view.detectionLines.size(), 2u);
    EXPECT_EQ(view.detectionLines[0].line, "10:00:01\t[1:3601 31]\t# 12");
    EXPECT_EQ(view.detectionLines[1].line, "10:00:02\t[1:3601 31]\t# 13");
    EXPECT_EQ(view.detectionLines[1].result, record);
    controller->RefreshCountersNow();
    EXPECT_EQ(view.counterText, "2 detections recorded");

    DetectionTable::Instance().Journal().Close();
    EXPECT_EQ(ReadFile(folder / "logfiles/session.dat"),
              "1\t31\t12\t1\t10:00:00.07\t1\r\n2\t31\t13\t1\t10:00:01.07\t1\r\n");
}

TEST_F(MainControllerTest, LinesFromManyThreadsReachTheViewInBatches) {
    Open();
    controller->SetLogDetections(true);
    std::vector<std::thread> boxes;
    for (int b = 0; b < 4; ++b) {
        boxes.emplace_back([&, b] {
            for (int i = 0; i < 500; ++i) Record(std::to_string(b * 1000 + i), 36000 + i);
        });
    }
    for (auto& t : boxes) t.join();
    int handOvers = loop.processPending();
    ASSERT_EQ(view.detectionLines.size(), 2000u);
    EXPECT_LT(handOvers, 2000);  // not one closure per line
    // In the table's order, each line with its record.
    for (std::size_t i = 0; i < view.detectionLines.size(); ++i) {
        EXPECT_EQ(view.detectionLines[i].result, DetectionTable::Instance().RecordAt(i + 1));
    }
}

TEST_F(MainControllerTest, CounterTextInFrenchCarriesThePluralTwice) {
    SetLanguage(Language::French);
    Open();
    Record("1", 100);
    Record("2", 101);
    controller->RefreshCountersNow();
    EXPECT_EQ(view.counterText, "2 détections enregistrées");
}

TEST_F(MainControllerTest, RemovingAndRestoringAsksFirstAndChangesTheCount) {
    Open();
    CQoxResult* a = const_cast<CQoxResult*>(Record("7", 100));
    CQoxResult* b = const_cast<CQoxResult*>(Record("8", 101));
    Record("9", 102);

    view.answerYes = false;
    controller->RemoveOrRestoreDetections({a}, true);
    EXPECT_EQ(DetectionTable::Instance().CountActive(), 3);
    ASSERT_EQ(view.questions.size(), 1u);
    EXPECT_EQ(view.questions[0], "Remove detection 00:01:40.07 of runner 7 ?");

    view.answerYes = true;
    controller->RemoveOrRestoreDetections({a, b}, true);
    EXPECT_EQ(view.questions.back(), "Remove those 2 detections?");
    EXPECT_EQ(DetectionTable::Instance().CountActive(), 1);
    EXPECT_EQ(view.counterText, "1 detection recorded");
    controller->RemoveOrRestoreDetections({b}, false);
    EXPECT_EQ(DetectionTable::Instance().CountActive(), 2);
}

TEST_F(MainControllerTest, ExportWritesOnlyActiveDetectionsAndNothingWhenNoneIsActive) {
    Open();
    std::string exportFile = folder / "out.qox";
    WriteSettingText("Settings", "GTarvexExportFile", exportFile);
    controller->ExportAllDetections();
    EXPECT_FALSE(std::filesystem::exists(exportFile));

    Record("1", 100);
    CQoxResult* second = const_cast<CQoxResult*>(Record("2", 101));
    Record("3", 102);
    DetectionTable::Instance().SetActive(second, false);
    controller->ExportAllDetections();
    EXPECT_EQ(ReadFile(exportFile), "1\t31\t1\t1\t00:01:40.07\t1\r\n2\t31\t3\t1\t00:01:42.07\t1\r\n");
    EXPECT_TRUE(LogHas("+ Detections exported in file [" + exportFile + "]"));
}

TEST_F(MainControllerTest, ResetStartsANewJournalAndNumbersFromOne) {
    Open();
    Record("1", 100);
    view.answerYes = false;
    controller->ConfirmResetDetections();
    EXPECT_EQ(DetectionTable::Instance().Count(), 1u);

    SetWallClockSourceForTests([] { return std::chrono::system_clock::from_time_t(1767225600); });
    view.answerYes = true;
    controller->ConfirmResetDetections();
    EXPECT_EQ(DetectionTable::Instance().Count(), 0u);
    EXPECT_TRUE(LogHas("+ Detection list reset done. (1 detection)"));
    std::string newJournal = DetectionTable::Instance().Journal().Name();
    EXPECT_NE(newJournal.find("Lumivane-20260101-010000.dat"), std::string::npos) << newJournal;
    Record("5", 200);
    DetectionTable::Instance().Journal().Close();
    EXPECT_EQ(ReadFile(newJournal), "1\t31\t5\t1\t00:03:20.07\t1\r\n");
    EXPECT_EQ(view.counterText, "No recorded detection");
}

TEST_F(MainControllerTest, TheDayCheckFollowsTodayAmongTheRaceDays) {
    // The race began yesterday: today is its second day.
    SetWallClockSourceForTests([] { return std::chrono::system_clock::from_time_t(1767268800); });
    WriteSettingInt("Settings", "GDaysToAdd", 1);
    Open();
    controller->CheckRaceDay();
    EXPECT_EQ(ReadSettingInt("Settings", "GDaysToAdd", -1), 1);
    EXPECT_EQ(view.dayOffsetHours, 24);
    // Two days later the table no longer holds today: back to 0, indicator hidden.
    SetWallClockSourceForTests([] { return std::chrono::system_clock::from_time_t(1767268800 + 3 * 86400); });
    const uint64_t version = controller->IntakeSettingsVersion();
    controller->CheckRaceDay();
    EXPECT_EQ(ReadSettingInt("Settings", "GDaysToAdd", -1), 0);
    EXPECT_EQ(view.dayOffsetHours, 0);
    // The boxes get race days that start today, as the next start would compute them.
    EXPECT_NE(controller->IntakeSettingsVersion(), version);
    EXPECT_EQ(controller->Recorder().Rules().raceDays[0], "20260104");
}

TEST_F(MainControllerTest, ConnectingWithoutDeclaredBoxesOnlySaysSo) {
    Open();
    controller->ConnectAllBoxes();
    loop.processPending();
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].text, "No Tarvex box has been declared in your configuration !!!");
    EXPECT_TRUE(LogHas("######## No Tarvex box has been declared in your configuration !!!"));
    EXPECT_FALSE(controller->AnyBoxInUse());
}

TEST_F(MainControllerTest, ABoxThatCannotBeReachedIsReportedAndNotStarted) {
    // A port nobody listens on: bind one, then close it.
    WriteSettingText("TarvexBoxes", "BoxHost0", "127.0.0.1");
    WriteSettingInt("TarvexBoxes", "BoxPort0", 9);  // discard port, closed on loopback
    WriteSettingInt("Settings", "GTarvexConnectionTimeout", 1);
    Open();
    controller->ConnectAllBoxes();
    loop.pumpUntil([&] { return !controller->IsBusy(); });
    loop.processPending();
    ASSERT_FALSE(view.messages.empty());
    EXPECT_EQ(view.messages.back().text,
              "No Tarvex box has been successfully initialized in your configuration !!!");
    EXPECT_FALSE(controller->BoxStatusOf(0).threadRunning);
    BoxVisualState last = BoxVisualState::Connected;
    for (const auto& state : view.boxStates) {
        if (state.box == 0) last = state.state;
    }
    EXPECT_EQ(last, BoxVisualState::NotConnected);
}

TEST_F(MainControllerTest, ALostBoxIsRestartedUnlessReconnectionIsOff) {
    WriteSettingText("TarvexBoxes", "BoxHost0", "127.0.0.1");
    WriteSettingInt("TarvexBoxes", "BoxPort0", 9);
    WriteSettingInt("Settings", "GBoxReconnectSeconds", 0);
    Open();
    controller->OnBoxState(1, true);
    EXPECT_FALSE(LogHas("APP FOUND UNEXPECTED CNX ERROR"));
    EXPECT_FALSE(controller->BoxStatusOf(0).threadRunning);

    ApplyConfiguration([](ConfigValues& values) { values.boxReconnectSeconds = 1; });
    controller->OnBoxState(1, true);
    EXPECT_TRUE(LogHas("APP FOUND UNEXPECTED CNX ERROR for box 1 and will restart BoxThread"));
    // The restarted thread tries for a second, gives up and says so.
    loop.pumpUntil([&] { return !controller->BoxStatusOf(0).threadRunning; });
    loop.runFor(std::chrono::milliseconds(50));
    EXPECT_TRUE(LogHas("Attempt to connect during 1 seconds"));
    EXPECT_FALSE(controller->AnyBoxInUse());
}

// A box that stays connected takes a new configuration from its next passing on: the
// day offset and the discarding of unknown chips, without reconnecting.
TEST_F(MainControllerTest, AConnectedBoxFollowsTheAppliedConfigurationWithoutReconnecting) {
    // 1 May 2024, 10:00 in Paris, the decoder's race morning.
    SetWallClockSourceForTests([] { return std::chrono::system_clock::from_time_t(1714550400); });
    // The decoder's runners carry C00001..C00006; the table knows the first three.
    WriteFile(folder / "TarvexTable.dtb", "1 C00001\n2 C00002\n3 C00003\n");
    test::SimulatorProcess decoder("decoder", {"--rate", "100", "--runners", "6", "--date", "2024-05-01",
                                               "--start", "10:00:00", "--step", "1000"});
    ASSERT_TRUE(decoder.Running());
    WriteSettingText("TarvexBoxes", "BoxHost0", "127.0.0.1");
    WriteSettingInt("TarvexBoxes", "BoxPort0", decoder.Port());
    Open();
    controller->ConnectAllBoxes();
    ASSERT_TRUE(PumpUntil([&] { return controller->BoxStatusOf(0).threadRunning; }));

    struct Seen {
        std::string label;
        std::string time;
    };
    auto records = [] {
        std::vector<Seen> seen;
        DetectionTable::Instance().WithRecords([&](const std::deque<CQoxResult>& all) {
            for (const auto& r : all) seen.push_back({r.label, r.timeText});
        });
        return seen;
    };
    auto isChip = [](const Seen& r) { return r.label.rfind("C0000", 0) == 0; };
    // Unknown chips are recorded under their code until the change.
    ASSERT_TRUE(PumpUntil([&] {
        auto seen = records();
        return std::any_of(seen.begin(), seen.end(), isChip);
    }));

    ApplyConfiguration([](ConfigValues& values) {
        values.daysToAdd = 1;  // "Add 24 hours to times"
        values.ignoreUnknownTags = true;
    });
    auto firstShifted = [&](const std::vector<Seen>& seen) {
        return std::find_if(seen.begin(), seen.end(), [](const Seen& r) { return r.time.rfind("34:", 0) == 0; });
    };
    ASSERT_TRUE(PumpUntil([&] {
        auto seen = records();
        return std::distance(firstShifted(seen), seen.cend()) >= 20 && LogHas("## Unknown chip [C0000");
    }));
    controller->DisconnectAllBoxes();

    auto seen = records();
    auto shifted = firstShifted(seen);
    for (auto it = seen.cbegin(); it != shifted; ++it) EXPECT_EQ(it->time.substr(0, 3), "10:") << it->time;
    // From the first passing after the change on, every one carries the change.
    for (auto it = shifted; it != seen.cend(); ++it) {
        EXPECT_EQ(it->time.substr(0, 3), "34:") << it->time;
        EXPECT_FALSE(isChip(*it)) << it->label;
    }
    // One connection, one thread: the box never reconnected.
    EXPECT_EQ(LogCount(" : Initialized on 127.0.0.1:" + std::to_string(decoder.Port())), 1);
    EXPECT_EQ(LogCount(" : Disconnection requested"), 1);
    EXPECT_FALSE(LogHas("Box reception failed"));
}

TEST_F(MainControllerTest, ExitWithDetectionsNotYetSentSaysHowManyAndAsksWithNo) {
    Open();
    // The timing application is away: what is recorded waits for it.
    auto link = std::make_unique<DirectLinkSession>(loop, controller->LinkListener());
    DirectLinkSession* session = link.get();
    controller->SetLinkSession(std::move(link));
    session->SwitchOn(DirectTarget{"127.0.0.1", test::LoopbackPeer::FreePort(), 3600});
    Record("12", 36000);
    Record("13", 36001);
    view.answerYes = false;
    EXPECT_FALSE(controller->Exit(false));
    ASSERT_FALSE(view.questions.empty());
    EXPECT_EQ(view.questions.back(),
              "2 detection(s) not yet sent to Quillet-Pro.\nDo you really want to exit the acquisition module ?");
    EXPECT_FALSE(view.questionDefaultYes.back());
    EXPECT_TRUE(controller->IsOpen());
    EXPECT_TRUE(controller->Exit(true));
}

TEST_F(MainControllerTest, ExitAsksUnlessControlIsHeldAndEndsEverything) {
    WriteFile(folder / "TarvexTable.dtb", "12 ABC\n");
    Open();
    Record("12", 100);
    view.answerYes = false;
    EXPECT_FALSE(controller->Exit(false));
    EXPECT_EQ(view.questions.back(), "Do you really want to exit the acquisition module ?");
    EXPECT_TRUE(controller->IsOpen());

    size_t asked = view.questions.size();
    EXPECT_TRUE(controller->Exit(true));
    EXPECT_EQ(view.questions.size(), asked);
    EXPECT_FALSE(DetectionTable::Instance().Journal().IsOpen());
    EXPECT_EQ(ChipTableCount(), 0);
    EXPECT_EQ(DetectionTable::Instance().Count(), 0u);
    std::string log = ReadFile(GetLogFilePath());
    EXPECT_NE(log.find(" : + Sortie du module d'acquisition...\r\n"), std::string::npos);
    EXPECT_NE(log.find(" : ------------------------ Sortie Lumivane\r\n"), std::string::npos);
}

TEST_F(MainControllerTest, AManualEntryIsRecordedJournaledAndShownLikeABoxDetection) {
    WriteSettingText("TarvexBoxes", "BoxHost1", "127.0.0.1");
    WriteSettingInt("TarvexBoxes", "BoxPort1", 3601);
    WriteSettingText("TarvexBoxes", "BoxIdDetector1", "22");
    WriteSettingInt("Settings", "BLogDetections", 1);
    Open();
    EXPECT_TRUE(controller->CanInsertManualTime());
    std::vector<std::string> detectors = controller->ManualDetectors();
    ASSERT_EQ(detectors, std::vector<std::string>{"22"});

    ManualValidation ok = controller->ValidateManualEntry(" 42 ", "01:30:00.00", detectors, 0, 2);
    ASSERT_TRUE(ok.ok) << ok.warning;
    const CQoxResult* record = controller->RecordManualEntry(ok.entry);
    ASSERT_NE(record, nullptr);
    loop.processPending();
    EXPECT_EQ(record->label, "42");
    EXPECT_EQ(record->boxName, "22");
    EXPECT_EQ(record->timeText, "49:30:00.00");
    ASSERT_EQ(view.detectionLines.size(), 1u);
    EXPECT_EQ(view.detectionLines[0].line, "+48h 01:30:00\tMan.\t# 42");
    EXPECT_TRUE(LogHas("+++ Added manual detecttion for box 22 at 49:30:00.00 for runner 42"));
    DetectionTable::Instance().Journal().Close();
    EXPECT_EQ(ReadFile(folder / "logfiles/session.dat"), "1\t22\t42\t1\t49:30:00.00\t1\r\n");
}

TEST_F(MainControllerTest, ConnectingRunsInTheBackgroundTakesNoSecondClickAndEndsAtExit) {
    // Connections are taken by the kernel and never answered: the initialisation waits.
    int port = 0;
    const int listener = test::ListenLoopback(4, port);
    ASSERT_GE(listener, 0);
    DeclareBox(0, port);
    Open();
    controller->ConnectAllBoxes();
    EXPECT_TRUE(controller->IsBusy());
    EXPECT_TRUE(view.busy);
    pollfd connection{listener, POLLIN, 0};
    ASSERT_EQ(::poll(&connection, 1, 10000), 1);

    // A second click while connecting starts nothing more.
    controller->OnConnectButton(true);
    controller->ConnectAllBoxes();
    EXPECT_EQ(view.CallsStartingWith("SetBusy on").size(), 1u);

    EXPECT_TRUE(controller->Exit(true));
    EXPECT_FALSE(controller->IsBusy());
    EXPECT_FALSE(view.busy);
    EXPECT_FALSE(controller->BoxStatusOf(0).threadRunning);
    loop.processPending();
    // The abandoned connection has no outcome: no box thread, no sound, no alert.
    EXPECT_TRUE(view.CallsStartingWith("PlaySound " + std::to_string(SoundNumber(Sound::BoxesConnected))).empty());
    EXPECT_TRUE(view.messages.empty());
    int accepted = 0;
    while (::poll(&connection, 1, 0) == 1) {
        const int client = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) break;
        ::close(client);
        ++accepted;
    }
    EXPECT_EQ(accepted, 1);
    ::close(listener);
}

TEST_F(MainControllerTest, AfterDisconnectAllABoxConnectedFromItsMenuRecordsIntoTheSameFile) {
    test::SimulatorProcess decoder("decoder", {"--runners", "3", "--count", "6", "--rate", "50"});
    ASSERT_TRUE(decoder.Running());
    DeclareBox(0, decoder.Port());
    Open();
    Record("1", 100);
    controller->DisconnectAllBoxes();
    EXPECT_FALSE(DetectionTable::Instance().Journal().IsOpen());

    controller->ConnectBox(0);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    loop.pumpUntil([&] {
        return DetectionTable::Instance().Count() >= 4 || std::chrono::steady_clock::now() > deadline;
    });
    controller->DisconnectAllBoxes();
    const std::size_t recorded = DetectionTable::Instance().Count();
    ASSERT_GE(recorded, 2u);
    // The line from before, then every detection of the box, in the same file.
    EXPECT_EQ(JournalLines(), static_cast<long>(recorded));
    EXPECT_EQ(ReadFile(folder / "logfiles/session.dat").rfind("1\t31\t1\t1\t00:01:40.07\t1\r\n", 0), 0u);
}

TEST_F(MainControllerTest, AfterDisconnectAllAManualEntryIsJournaledInTheSameFile) {
    DeclareBox(1, 3601, "22");
    Open();
    Record("1", 100);
    controller->DisconnectAllBoxes();
    EXPECT_FALSE(DetectionTable::Instance().Journal().IsOpen());

    ManualValidation ok = controller->ValidateManualEntry("42", "01:30:00.00", controller->ManualDetectors(), 0, 0);
    ASSERT_TRUE(ok.ok) << ok.warning;
    ASSERT_NE(controller->RecordManualEntry(ok.entry), nullptr);
    DetectionTable::Instance().Journal().Close();
    EXPECT_EQ(ReadFile(folder / "logfiles/session.dat"),
              "1\t31\t1\t1\t00:01:40.07\t1\r\n2\t22\t42\t1\t01:30:00.00\t1\r\n");
}

TEST_F(MainControllerTest, NoManualEntryWithChipCodesAndNoChipTable) {
    WriteSettingInt("Settings", "GTarvexSendNumbers", 0);
    Open();
    EXPECT_FALSE(controller->CanInsertManualTime());
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].icon, MessageIcon::Warning);
}

// Bibs sent and no table: every detection would reach the timing application as a chip
// code; the band says so, not only the log.
TEST_F(MainControllerTest, AMissingChipTableIsAnOperatorAlertWhenBibsAreSent) {
    Open();
    ASSERT_EQ(view.operatorAlerts.size(), 1u);
    EXPECT_NE(view.operatorAlerts[0].find("### No chip translation table found"), std::string::npos);
    EXPECT_NE(view.operatorAlerts[0].find("recorded under their chip codes"), std::string::npos);
}

TEST_F(MainControllerTest, ChipCodesSentRaiseNoTableAlert) {
    WriteSettingInt("Settings", "GTarvexSendNumbers", 0);
    Open();
    EXPECT_TRUE(view.operatorAlerts.empty());
}

// A detection read under the wrong bib: the same box and instant are recorded again
// under the right one, as a manual entry; the wrong one is removed as the remove
// command does. Nothing else changes in the journal.
TEST_F(MainControllerTest, CorrectingABibRemovesTheDetectionAndRecordsItsInstantAgain) {
    Open();
    CQoxResult* wrong = const_cast<CQoxResult*>(Record("12", 36000));
    ASSERT_NE(wrong, nullptr);

    ManualValidation refused = controller->CorrectBib(*wrong, "abc");
    EXPECT_FALSE(refused.ok);
    EXPECT_EQ(refused.warning, "Empty or invalid runner bib!");
    EXPECT_EQ(wrong->active, 1);

    ManualValidation done = controller->CorrectBib(*wrong, " 21 ");
    ASSERT_TRUE(done.ok) << done.warning;
    EXPECT_EQ(wrong->active, 0);
    EXPECT_TRUE(LogHas("+++ Bib corrected: detection 10:00:00.07 of runner 12 recorded again for runner 21"));
    ASSERT_TRUE(DetectionTable::Instance().Journal().WaitUntilSynced(2000));
    EXPECT_EQ(ReadFile(folder / "logfiles/session.dat"),
              "1\t31\t12\t1\t10:00:00.07\t1\r\n2\t31\t21\t1\t10:00:00.07\t1\r\n");
    const CQoxResult* corrected = DetectionTable::Instance().RecordAt(2);
    ASSERT_NE(corrected, nullptr);
    EXPECT_EQ(corrected->source, DetectionSource::Manual);
    EXPECT_EQ(corrected->ofDay, wrong->ofDay);
    // A removed detection is not corrected twice.
    EXPECT_FALSE(controller->CorrectBib(*wrong, "22").ok);
    EXPECT_EQ(DetectionTable::Instance().Count(), 2u);
}

TEST(BibSearchTest, FindsABibByItsLabelOrItsChip) {
    ClearChipTable();
    AddChip("CHIP7", 7);
    CQoxResult chip;
    chip.label = "CHIP7";
    CQoxResult typed;
    typed.label = "7";
    typed.lookup = ChipLookup::Found;
    CQoxResult other;
    other.label = "17";
    const std::vector<const CQoxResult*> records{&chip, &other, &typed};
    EXPECT_EQ(FindBibDetections(records, " 7 "), (std::vector<const CQoxResult*>{&chip, &typed}));
    EXPECT_TRUE(FindBibDetections(records, "x").empty());
    EXPECT_TRUE(FindBibDetections(records, "0").empty());
    ClearChipTable();
}

}  // namespace
}  // namespace lv

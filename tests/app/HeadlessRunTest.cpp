// The program itself, run headless: start-up, acquisition from a simulated decoder,
// the single-instance guard and the exit on a signal.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <algorithm>
#include <filesystem>

#include "support/ChildProcess.h"
#include "support/LoopbackSockets.h"
#include "support/SimulatorProcess.h"
#include "support/TempFolder.h"

namespace lv {
namespace {

using test::ReadFile;
using test::TempFolder;
using test::WriteFile;
using Clock = std::chrono::steady_clock;

using Child = test::ChildProcess;

const std::string kProgram = std::string(LUMIVANE_BUILD_DIR) + "/lumivane";
const std::string kSimulator = std::string(LUMIVANE_BUILD_DIR) + "/lumivane-sim";

// Lines of the journal of the run (the one .dat file of the log folder).
long JournalLines(const TempFolder& data) {
    std::string journal;
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(data / "logfiles", ignored)) {
        if (entry.path().extension() == ".dat") journal = ReadFile(entry.path().string());
    }
    return static_cast<long>(std::count(journal.begin(), journal.end(), '\n'));
}

void DeclareBoxes(const TempFolder& data, const std::vector<int>& ports, const std::string& settings = "") {
    std::string ini = "[Settings]\r\n" + settings + "[TarvexBoxes]\r\n";
    for (std::size_t i = 0; i < ports.size(); ++i) {
        ini += "BoxHost" + std::to_string(i) + "=127.0.0.1\r\nBoxPort" + std::to_string(i) + "=" +
               std::to_string(ports[i]) + "\r\nBoxIdDetector" + std::to_string(i) + "=3" + std::to_string(i) +
               "\r\n";
    }
    WriteFile(data / "Lumivane.ini", ini);
}

TEST(HeadlessRun, StartsWritesItsSettingsAndExitsCleanlyOnSigterm) {
    TempFolder data;
    Child program({kProgram, "--headless", "--data-dir", data.Path(), "--lang", "en"});
    ASSERT_TRUE(program.WaitFor("+++ Incoming detections saved in")) << program.Output();
    ASSERT_TRUE(program.WaitFor("No Tarvex box has been declared")) << program.Output();
    EXPECT_EQ(program.Stop(SIGTERM), 0) << program.Output();

    std::string ini = ReadFile(data / "Lumivane.ini");
    for (const char* key : {"GTarvexIgnoreInputMsDelta=50", "GBoxReconnectSeconds=30", "LogWinLevel=50",
                            "GetLocalFilePassings=http://$BOXIP$/media/passings_$FILEID$.txt"}) {
        EXPECT_NE(ini.find(key), std::string::npos) << key;
    }
    std::string log = ReadFile(data / "logfiles/Lumivane.log");
    EXPECT_NE(log.find("------------------------ Starting Lumivane version 1.50"), std::string::npos);
    EXPECT_NE(log.find("+ Sortie du module d'acquisition..."), std::string::npos);
    EXPECT_NE(log.find("------------------------ Sortie Lumivane"), std::string::npos);
}

TEST(HeadlessRun, ASecondInstanceOnTheSameDataFolderStopsUnlessForced) {
    TempFolder data;
    Child first({kProgram, "--headless", "--data-dir", data.Path(), "--lang", "en"});
    ASSERT_TRUE(first.WaitFor("+++ Incoming detections saved in")) << first.Output();

    Child second({kProgram, "--headless", "--data-dir", data.Path(), "--lang", "en"});
    EXPECT_EQ(second.Wait(), 1);
    EXPECT_NE(second.Output().find("Lumivane is already started and cannot be started twice"), std::string::npos)
        << second.Output();

    Child forced({kProgram, "--headless", "--data-dir", data.Path(), "--lang", "en", "--force"});
    EXPECT_TRUE(forced.WaitFor("+++ Incoming detections saved in")) << forced.Output();
    EXPECT_EQ(forced.Stop(SIGINT), 0);
    EXPECT_EQ(first.Stop(SIGINT), 0);
}

TEST(HeadlessRun, AcquiresFromADecoderAndJournalsEveryPassing) {
    TempFolder data;
    WriteFile(data / "TarvexTable.dtb", "1 CHIP1\n2 CHIP2\n3 CHIP3\n");
    WriteFile(data / "chips.dtb", "1 CHIP1\n2 CHIP2\n3 CHIP3\n");
    test::SimulatorProcess decoder("decoder", {"--runners", "3", "--count", "6", "--rate", "50", "--chips",
                                               data / "chips.dtb", "--date", "today"});
    ASSERT_TRUE(decoder.Running());
    WriteFile(data / "Lumivane.ini", "[Settings]\r\nBLogDetections=1\r\n[TarvexBoxes]\r\nBoxHost0=127.0.0.1\r\nBoxPort0=" +
                                         std::to_string(decoder.Port()) + "\r\nBoxIdDetector0=31\r\n");

    Child program({kProgram, "--headless", "--data-dir", data.Path(), "--lang", "en"});
    ASSERT_TRUE(program.WaitFor("[box] 1 connected")) << program.Output();
    ASSERT_TRUE(program.WaitFor("# 3")) << program.Output();
    // Six passings of three runners: all six recorded, as bib numbers.
    auto deadline = Clock::now() + std::chrono::seconds(10);
    std::string journal;
    while (Clock::now() < deadline) {
        for (const auto& entry : std::filesystem::directory_iterator(data / "logfiles")) {
            if (entry.path().extension() == ".dat") journal = ReadFile(entry.path().string());
        }
        if (std::count(journal.begin(), journal.end(), '\n') >= 6) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_EQ(program.Stop(SIGTERM), 0) << program.Output();
    EXPECT_EQ(std::count(journal.begin(), journal.end(), '\n'), 6) << journal;
    EXPECT_NE(journal.find("1\t31\t"), std::string::npos);
    EXPECT_NE(journal.find("6\t31\t"), std::string::npos);
    EXPECT_EQ(journal.find("CHIP"), std::string::npos) << "chips must be recorded as bibs";
}

TEST(HeadlessRun, SighupRunsTheExitSequence) {
    TempFolder data;
    Child program({kProgram, "--headless", "--data-dir", data.Path(), "--lang", "en"});
    ASSERT_TRUE(program.WaitFor("No Tarvex box has been declared")) << program.Output();
    EXPECT_EQ(program.Stop(SIGHUP), 0) << program.Output();
    EXPECT_NE(ReadFile(data / "logfiles/Lumivane.log").find("+ Sortie du module d'acquisition..."), std::string::npos);
}

TEST(HeadlessRun, AReaderThatGoesAwayDoesNotStopTheAcquisition) {
    TempFolder data;
    test::SimulatorProcess decoder("decoder", {"--runners", "50", "--count", "40", "--rate", "40", "--date", "today"});
    ASSERT_TRUE(decoder.Running());
    DeclareBoxes(data, {decoder.Port()}, "BLogDetections=1\r\n");
    Child program({kProgram, "--headless", "--data-dir", data.Path(), "--lang", "en"});
    ASSERT_TRUE(program.WaitFor("+++ Incoming detections saved in")) << program.Output();
    program.CloseOutput();
    auto deadline = Clock::now() + std::chrono::seconds(15);
    while (JournalLines(data) < 40 && Clock::now() < deadline) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(JournalLines(data), 40);
    EXPECT_TRUE(program.StillRunning());
    EXPECT_EQ(program.Stop(SIGTERM), 0);
}

TEST(HeadlessRun, SigtermEndsTheProgramSoonWhileDecodersAcceptAndNeverAnswer) {
    TempFolder data;
    int first = 0, second = 0;
    const int a = test::ListenLoopback(4, first);
    const int b = test::ListenLoopback(4, second);
    ASSERT_GE(a, 0);
    ASSERT_GE(b, 0);
    DeclareBoxes(data, {first, second});
    Child program({kProgram, "--headless", "--data-dir", data.Path(), "--lang", "en"});
    ASSERT_TRUE(program.WaitFor("Initialized on 127.0.0.1:" + std::to_string(second))) << program.Output();
    // The exit sequence ends the waits for the handshake's answers at once (a bound,
    // not a measure: the handshakes alone would take 15 s).
    EXPECT_EQ(program.Stop(SIGTERM, 5), 0) << program.Output();
    close(a);
    close(b);
}

TEST(HeadlessRun, ABoxWhoseDecoderStartsLaterIsConnectedWhenItComes) {
    TempFolder data;
    const int port = test::LoopbackPeer::FreePort();
    DeclareBoxes(data, {port}, "GBoxReconnectSeconds=1\r\n");
    Child program({kProgram, "--headless", "--data-dir", data.Path(), "--lang", "en"});
    ASSERT_TRUE(program.WaitFor("No Tarvex box has been successfully initialized")) << program.Output();
    ASSERT_TRUE(program.WaitFor("still not connected; trying again (every 1 s)")) << program.Output();
    Child decoder({kSimulator, "decoder", "--port", std::to_string(port), "--count", "5", "--rate", "20", "--date",
                   "today"});
    ASSERT_TRUE(program.WaitFor("[box] 1 connected", 20)) << program.Output();
    auto deadline = Clock::now() + std::chrono::seconds(10);
    while (JournalLines(data) < 5 && Clock::now() < deadline) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(JournalLines(data), 5);
    EXPECT_EQ(program.Stop(SIGTERM), 0) << program.Output();
}

TEST(HeadlessRun, TheTimingApplicationLostAndBackAreAlerted) {
    TempFolder data;
    const int port = test::LoopbackPeer::FreePort();
    WriteFile(data / "Lumivane.ini", "[DirectConnection]\r\nHost=127.0.0.1\r\nPort=" + std::to_string(port) +
                                         "\r\nReconnectSeconds=10\r\n");
    auto app = std::make_unique<Child>(std::vector<std::string>{kSimulator, "timingapp", "--port", std::to_string(port)});
    Child program({kProgram, "--headless", "--direct", "--data-dir", data.Path(), "--lang", "en"});
    ASSERT_TRUE(program.WaitFor("[link] connected")) << program.Output();
    app->Stop(SIGTERM);
    app.reset();
    ASSERT_TRUE(program.WaitFor("[alert] Direct connection to Quillet-Pro lost! Reconnecting every 10 s."))
        << program.Output();
    app = std::make_unique<Child>(std::vector<std::string>{kSimulator, "timingapp", "--port", std::to_string(port)});
    EXPECT_TRUE(program.WaitFor("[alert] Direct connection to Quillet-Pro back", 25)) << program.Output();
    EXPECT_EQ(program.Stop(SIGTERM), 0) << program.Output();
}

TEST(HeadlessRun, APortOutsideTheRangeIsRefusedNotCutTo16Bits) {
    TempFolder data;
    test::SimulatorProcess decoder("decoder", {"--count", "1"});
    ASSERT_TRUE(decoder.Running());
    DeclareBoxes(data, {65536 + decoder.Port()});
    Child program({kProgram, "--headless", "--data-dir", data.Path(), "--lang", "en"});
    ASSERT_TRUE(program.WaitFor("No Tarvex box has been declared")) << program.Output();
    EXPECT_NE(ReadFile(data / "logfiles/Lumivane.log")
                  .find("### Setting [TarvexBoxes] BoxPort0=" + std::to_string(65536 + decoder.Port()) +
                        " refused: a port is between 1 and 65535. Box 1 not declared"),
              std::string::npos)
        << ReadFile(data / "logfiles/Lumivane.log");
    EXPECT_EQ(program.Output().find("Initialized on"), std::string::npos);
    EXPECT_EQ(program.Stop(SIGTERM), 0);
}

}  // namespace
}  // namespace lv

// The program killed in the middle of a race and started again: the session is
// resumed, and the timing application gets every detection of the detection file, the
// ones it had not answered at the kill sent again, no other twice.
#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "support/ChildProcess.h"
#include "support/SimulatorProcess.h"
#include "support/TempFolder.h"

namespace lv {
namespace {

using test::ChildProcess;
using test::ReadFile;
using test::TempFolder;
using test::WriteFile;
using Clock = std::chrono::steady_clock;

const std::string kProgram = std::string(LUMIVANE_BUILD_DIR) + "/lumivane";

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

// "AddQoxClock(1\t<box>\t<label>\t1\t<time>)" of a detection file's line.
std::string PushOf(const std::string& journalLine) {
    const std::size_t first = journalLine.find('\t');
    const std::size_t last = journalLine.rfind('\t');
    return "AddQoxClock(1\t" + journalLine.substr(first + 1, last - first - 1) + ")";
}

class SessionResumeTest : public ::testing::Test {
protected:
    void WriteSettings(int decoderPort, int appPort) {
        WriteFile(data / "Lumivane.ini", "[DirectConnection]\r\nHost=127.0.0.1\r\nPort=" + std::to_string(appPort) +
                                             "\r\nReconnectSeconds=10\r\n[TarvexBoxes]\r\nBoxHost0=127.0.0.1\r\n"
                                             "BoxPort0=" +
                                             std::to_string(decoderPort) + "\r\nBoxIdDetector0=31\r\n");
    }
    std::unique_ptr<ChildProcess> StartProgram() {
        return std::make_unique<ChildProcess>(
            std::vector<std::string>{kProgram, "--headless", "--direct", "--data-dir", data.Path(), "--lang", "en"});
    }
    std::vector<std::string> DetectionFiles() {
        std::vector<std::string> files;
        for (const auto& entry : std::filesystem::directory_iterator(data / "logfiles")) {
            if (entry.path().extension() == ".dat") files.push_back(entry.path().string());
        }
        return files;
    }
    // The pushes the timing application received, in order.
    std::vector<std::string> Received() {
        std::vector<std::string> pushes;
        for (const std::string& line : Lines(ReadFile(data / "received.txt"))) {
            if (line.rfind("AddQoxClock(", 0) == 0) pushes.push_back(line);
        }
        return pushes;
    }
    bool WaitUntil(const std::function<bool()>& done, int seconds) {
        const auto deadline = Clock::now() + std::chrono::seconds(seconds);
        while (!done()) {
            if (Clock::now() > deadline) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return true;
    }

    TempFolder data;
};

TEST_F(SessionResumeTest, AfterAKillEveryDetectionReachesTheTimingApplicationAndOnlyUnansweredOnesTwice) {
    // A slow timing application: each push answered 150 ms after it came.
    test::SimulatorProcess app("timingapp", {"--answer-delay", "150", "--record", data / "received.txt",
                                             "--answers-record", data / "answered.txt"});
    test::SimulatorProcess decoder("decoder", {"--rate", "40", "--count", "400", "--runners", "100"});
    ASSERT_TRUE(app.Running() && decoder.Running());
    WriteSettings(decoder.Port(), app.Port());

    auto program = StartProgram();
    ASSERT_TRUE(WaitUntil([&] { return Received().size() >= 120; }, 30)) << program->Output();
    const std::string killedOutput = program->Output();
    const auto killedAt = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch()).count();
    program->Stop(SIGKILL);
    program.reset();

    // What the timing application had answered well before the kill: never sent again.
    std::set<std::string> answeredBefore;
    for (const std::string& line : Lines(ReadFile(data / "answered.txt"))) {
        const std::size_t blank = line.find(' ');
        if (std::stoll(line.substr(0, blank)) < killedAt - 100) answeredBefore.insert(line.substr(blank + 1));
    }
    ASSERT_GT(answeredBefore.size(), 50u);
    const std::size_t receivedBefore = Received().size();
    ASSERT_EQ(DetectionFiles().size(), 1u);

    program = StartProgram();
    ASSERT_TRUE(program->WaitFor(" resumed: ")) << program->Output();
    // Written just after the resume line: the output may have been read between the two.
    EXPECT_TRUE(program->WaitFor("### The previous run did not end normally", 5)) << program->Output();
    // The same file goes on: nothing written twice in it, nothing of it lost.
    ASSERT_EQ(DetectionFiles().size(), 1u);
    const std::string file = DetectionFiles()[0];
    ASSERT_TRUE(WaitUntil(
        [&] {
            const std::vector<std::string> journal = Lines(ReadFile(file));
            const std::vector<std::string> pushes = Received();
            const std::set<std::string> received(pushes.begin(), pushes.end());
            if (journal.size() < receivedBefore) return false;
            for (const std::string& line : journal) {
                if (received.count(PushOf(line)) == 0) return false;
            }
            // The decoder is done and every detection of the file has reached the timing application.
            return journal.size() >= 300;
        },
        60))
        << program->Output();
    EXPECT_EQ(program->Stop(SIGTERM), 0);

    const std::vector<std::string> journal = Lines(ReadFile(file));
    for (std::size_t i = 0; i < journal.size(); ++i) {
        ASSERT_EQ(journal[i].substr(0, journal[i].find('\t')), std::to_string(i + 1)) << "numbering goes on";
    }
    std::map<std::string, int> times;
    for (const std::string& push : Received()) ++times[push];
    for (const auto& [push, count] : times) {
        if (count > 1) {
            EXPECT_EQ(answeredBefore.count(push), 0u) << "answered before the kill, sent again: " << push;
        }
    }
    (void)killedOutput;
}

TEST_F(SessionResumeTest, DetectionsRecordedBeforeTheTimingApplicationIsUpReachItOnceItIs) {
    test::SimulatorProcess decoder("decoder", {"--rate", "50", "--count", "100", "--runners", "100"});
    ASSERT_TRUE(decoder.Running());
    // The timing application's port, free for now: it starts a few seconds after the program.
    const int appPort = [] {
        test::SimulatorProcess probe("timingapp");
        return probe.Port();
    }();
    WriteSettings(decoder.Port(), appPort);
    auto program = StartProgram();
    ASSERT_TRUE(program->WaitFor("[box] 1 connected")) << program->Output();
    std::this_thread::sleep_for(std::chrono::seconds(3));
    ChildProcess app({std::string(LUMIVANE_BUILD_DIR) + "/lumivane-sim", "timingapp", "--record",
                      data / "received.txt", "--port", std::to_string(appPort)});
    ASSERT_TRUE(WaitUntil([&] { return Received().size() >= 100; }, 40)) << program->Output() << app.Output();
    EXPECT_EQ(program->Stop(SIGTERM), 0);
    const std::vector<std::string> journal = Lines(ReadFile(DetectionFiles().at(0)));
    ASSERT_EQ(journal.size(), 100u);
    const std::vector<std::string> received = Received();
    for (std::size_t i = 0; i < journal.size(); ++i) EXPECT_EQ(received.at(i), PushOf(journal[i]));
}

}  // namespace
}  // namespace lv

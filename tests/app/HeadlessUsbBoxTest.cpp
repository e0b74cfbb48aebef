// The program run headless with a USB TimingBox (the box simulator's pseudo-terminal
// as the box's host): its stored passings reach the journal with their times of day.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "support/ChildProcess.h"
#include "support/TempFolder.h"
#include "support/UsbBoxSimulator.h"

namespace lv {
namespace {

using Clock = std::chrono::steady_clock;

long long WallMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// Local milliseconds of the day of an epoch instant.
long long MsOfDay(long long epochMs) {
    std::time_t seconds = static_cast<std::time_t>(epochMs / 1000);
    std::tm local{};
    localtime_r(&seconds, &local);
    return ((local.tm_hour * 60LL + local.tm_min) * 60 + local.tm_sec) * 1000 + epochMs % 1000;
}


std::string Journal(const std::string& folder) {
    std::string journal;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().extension() == ".dat") journal = test::ReadFile(entry.path().string());
    }
    return journal;
}

// The times of day (milliseconds, hundredths kept) of the journal's lines.
std::vector<long long> JournalTimes(const std::string& journal) {
    std::vector<long long> times;
    std::size_t start = 0;
    while (start < journal.size()) {
        std::size_t end = journal.find('\n', start);
        if (end == std::string::npos) end = journal.size();
        const std::string line = journal.substr(start, end - start);
        std::size_t field = 0;
        while (field < line.size()) {
            std::size_t tab = line.find('\t', field);
            const std::string text = line.substr(field, tab == std::string::npos ? std::string::npos : tab - field);
            int h = 0, m = 0, s = 0, hundredths = 0;
            char tail = 0;
            if (std::sscanf(text.c_str(), "%d:%d:%d.%d%c", &h, &m, &s, &hundredths, &tail) == 4) {
                times.push_back(((h * 60LL + m) * 60 + s) * 1000 + hundredths * 10);
            }
            if (tab == std::string::npos) break;
            field = tab + 1;
        }
        start = end + 1;
    }
    return times;
}

TEST(HeadlessUsbBox, RecordsTheBoxsPassingsWithTheirTimesOfDay) {
    test::TempFolder data;
    const long long before = WallMs();
    test::UsbBoxSimulator box({"--stored", "5", "--rate", "0", "--synchronised", "--first-index", "10"});
    const long long after = WallMs();
    ASSERT_TRUE(box.Running());
    test::WriteFile(data / "Lumivane.ini",
                    "[Settings]\r\nBLogDetections=1\r\nSecondsBetweenSerialRead=1\r\n[TarvexBoxes]\r\nBoxHost0=" +
                        box.Device() + "\r\nBoxPort0=19200\r\nBoxIdDetector0=31\r\n");

    test::ChildProcess program({std::string(LUMIVANE_BUILD_DIR) + "/lumivane", "--headless", "--data-dir", data.Path(),
                     "--lang", "en"});
    ASSERT_TRUE(program.WaitFor("[box] 1 connected")) << program.Output();
    std::string journal;
    auto deadline = Clock::now() + std::chrono::seconds(15);
    while (Clock::now() < deadline) {
        journal = Journal(data / "logfiles");
        if (std::count(journal.begin(), journal.end(), '\n') >= 5) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    // A few more periodic readings: nothing is recorded twice.
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    journal = Journal(data / "logfiles");
    EXPECT_EQ(program.Stop(), 0) << program.Output();
    ASSERT_EQ(std::count(journal.begin(), journal.end(), '\n'), 5) << journal << program.Output();

    // The box stored them a second apart, the last a second before it started.
    std::vector<long long> times = JournalTimes(journal);
    ASSERT_EQ(times.size(), 5u) << journal;
    for (int i = 0; i < 5; ++i) {
        const long long earliest = MsOfDay(before - (5 - i) * 1000) - 10;
        const long long latest = MsOfDay(after - (5 - i) * 1000) + 10;
        if (earliest > latest) continue;  // across midnight: not judged
        EXPECT_GE(times[i], earliest) << i << "\n" << journal;
        EXPECT_LE(times[i], latest) << i << "\n" << journal;
    }
    std::string log = test::ReadFile(data / "logfiles/Lumivane.log");
    EXPECT_NE(log.find("StartAcquisition done"), std::string::npos);
    EXPECT_NE(log.find(" : ChipId C0"), std::string::npos);
}

// The box's memory starts again while the program reads it: the new passings are
// read from index 0, and the operator sees an alert.
TEST(HeadlessUsbBox, MemoryThatStartsAgainIsReadAgainAndAlerted) {
    test::TempFolder data;
    // Three readings in, the box holds 3 new passings from index 0.
    test::UsbBoxSimulator box({"--stored", "5", "--rate", "0", "--synchronised", "--memory-reset", "2:3"});
    ASSERT_TRUE(box.Running());
    test::WriteFile(data / "Lumivane.ini",
                    "[Settings]\r\nBLogDetections=1\r\nSecondsBetweenSerialRead=1\r\n[TarvexBoxes]\r\nBoxHost0=" +
                        box.Device() + "\r\nBoxPort0=19200\r\nBoxIdDetector0=31\r\n");
    test::ChildProcess program({std::string(LUMIVANE_BUILD_DIR) + "/lumivane", "--headless", "--data-dir", data.Path(),
                     "--lang", "en"});
    ASSERT_TRUE(program.WaitFor("[box] 1 connected")) << program.Output();
    EXPECT_TRUE(program.WaitFor("[alert] ## Box 1 [" + box.Device() +
                                "-31] : The USB TimingBox holds 3 passing(s) (from index 00000000), fewer than the "
                                "index 00000005 asked: its memory started again"))
        << program.Output();
    std::string journal;
    auto deadline = Clock::now() + std::chrono::seconds(15);
    while (Clock::now() < deadline) {
        journal = Journal(data / "logfiles");
        if (std::count(journal.begin(), journal.end(), '\n') >= 8) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    EXPECT_EQ(program.Stop(), 0) << program.Output();
    EXPECT_EQ(std::count(journal.begin(), journal.end(), '\n'), 8) << journal << program.Output();
}

// A box that cannot be given a clock reference: its passings wait, and the operator
// sees it.
TEST(HeadlessUsbBox, PassingsWaitingForAReferenceAreAlerted) {
    test::TempFolder data;
    test::UsbBoxSimulator box({"--stored", "3", "--rate", "0", "--unsynchronised"});
    ASSERT_TRUE(box.Running());
    test::WriteFile(data / "Lumivane.ini",
                    "[Settings]\r\nSecondsBetweenSerialRead=1\r\n[TarvexBoxes]\r\nBoxHost0=" + box.Device() +
                        "\r\nBoxPort0=19200\r\nBoxIdDetector0=31\r\n");
    test::ChildProcess program({std::string(LUMIVANE_BUILD_DIR) + "/lumivane", "--headless", "--data-dir", data.Path(),
                     "--lang", "en"});
    ASSERT_TRUE(program.WaitFor("[box] 1 connected")) << program.Output();
    EXPECT_TRUE(program.WaitFor("[alert] ## Box 1 [" + box.Device() +
                                "-31] : USB TimingBox without a usable time reference: its passings wait"))
        << program.Output();
    EXPECT_EQ(program.Stop(), 0) << program.Output();
    EXPECT_EQ(Journal(data / "logfiles"), "");
}

}  // namespace
}  // namespace lv

// A timing point left running (shortened): with a tiny log rotation from the settings,
// the logs stay within their bound, nothing else in the data folder but the journals
// keeps growing, and the program's memory levels off.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>

#include "support/SoakPoint.h"

namespace lv {
namespace {

using Clock = std::chrono::steady_clock;

TEST(Soak, LogsMemoryAndDiskLevelOffOnceTheLogRotates) {
    constexpr std::uint64_t kLogKilobytes = 4;
    constexpr std::uint64_t kKeep = 2;
    test::SoakPoint point("LogMaxKilobytes=" + std::to_string(kLogKilobytes) +
                          "\r\nLogKeepFiles=" + std::to_string(kKeep) + "\r\n");
    ASSERT_TRUE(point.SimulatorsRunning());
    ASSERT_TRUE(point.Started());
    ASSERT_TRUE(point.Program().WaitFor("+++ Incoming detections saved in")) << point.Program().Output();

    // Every file under the bound; one batch of lines may go past it (a rotation never
    // splits a batch), a few lines at this rate.
    const std::uint64_t logBound = kLogKilobytes * (kKeep + 1) + 2;
    auto until = [&](int second) {
        const auto due = Clock::now() + std::chrono::seconds(second);
        while (Clock::now() < due) {
            ASSERT_TRUE(point.KeepRunning(200)) << "the program stopped";
            EXPECT_LE(point.Sample().logKilobytes, logBound);
        }
    };
    until(10);
    const test::SoakSample settled = point.Sample();
    until(15);
    const test::SoakSample end = point.Sample();

    const std::string log = point.Data() / "logfiles/Lumivane.log";
    EXPECT_TRUE(std::filesystem::exists(log + "." + std::to_string(kKeep))) << "the log was not rotated";
    EXPECT_FALSE(std::filesystem::exists(log + "." + std::to_string(kKeep + 1)));
    // Detections kept coming and were journaled all along.
    EXPECT_GT(end.journalKilobytes, settled.journalKilobytes);
    // Nothing but the journals and the rotating log grows.
    const auto others = [](const test::SoakSample& s) { return s.dataKilobytes - s.journalKilobytes - s.logKilobytes; };
    EXPECT_LE(others(end), others(settled) + 4) << "data folder: " << point.Data().Path();
    // The detections held in memory grow by a few hundred bytes each; anything leaking per
    // line or per read would take megabytes.
    EXPECT_LE(end.rssKilobytes, settled.rssKilobytes + 6 * 1024);
}

}  // namespace
}  // namespace lv

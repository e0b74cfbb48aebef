// The periodic export of the one-second tick: when it runs, that it measures its
// period on a monotonic clock, that two exports never overlap, and that it runs while
// box threads record.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/EventLoop.h"
#include "base/Clock.h"
#include "base/SettingsSchema.h"
#include "base/Texts.h"
#include "core/DetectionTable.h"
#include "export/BackgroundExport.h"
#include "export/ExportOutcome.h"
#include "support/LocalTime.h"
#include "support/LogCapture.h"
#include "support/TempFolder.h"
#include "support/UseDataFolder.h"

namespace lv {
namespace {

using namespace std::chrono_literals;
using test::ReadFile;
using test::TempFolder;

class BackgroundExportTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetLanguage(Language::French);
        InstallSettingsFile(folder / "Lumivane.ini");
        DetectionTable::Instance().ClearTable();
        setting::BackgroundExportOn.Write(true);
        setting::LinesDelta.Write("00:00:30");
        setting::LinesExportPath.Write(folder.Path());
        setting::LinesGenericFilename.Write("export");
        CChrono ofDay;
        ofDay.ParseTime("10:00:00.00");
        DetectionTable::Instance().AddResult("12", "31", CChrono(1700000000, 0), ofDay, false, false);
    }
    void TearDown() override {
        SetWallClockSourceForTests({});
        DetectionTable::Instance().ClearTable();
    }

    std::chrono::steady_clock::time_point Now() const { return start + elapsed.load(); }

    TempFolder folder;
    EventLoop loop;
    const std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
    std::atomic<std::chrono::steady_clock::duration> elapsed{std::chrono::steady_clock::duration::zero()};
    BackgroundExport exports{loop, [this] { return Now(); }};
};

TEST_F(BackgroundExportTest, FirstExportOnePeriodAfterTheOptionIsFoundOnAndPeriodZeroMeansTwoMinutes) {
    setting::BackgroundExportPeriod.Write(0);
    exports.Tick();  // notes the time only
    EXPECT_EQ(exports.ExportsStarted(), 0);
    elapsed = 119s;
    exports.Tick();
    EXPECT_EQ(exports.ExportsStarted(), 0);
    elapsed = 121s;
    exports.Tick();
    EXPECT_EQ(exports.ExportsStarted(), 1);
    exports.WaitIdle();
    EXPECT_EQ(ReadFile(folder / "export-31-1.qox"), "1\t31\t12\t1\t10:00:00.00\t1\r\n");
    elapsed = 200s;
    exports.Tick();
    EXPECT_EQ(exports.ExportsStarted(), 1);
    elapsed = 242s;
    exports.Tick();
    EXPECT_EQ(exports.ExportsStarted(), 2);
    exports.WaitIdle();
}

TEST_F(BackgroundExportTest, OffMeansNothingAndMidnightDoesNotStopIt) {
    setting::BackgroundExportOn.Write(false);
    exports.Tick();
    elapsed = 1h;
    exports.Tick();
    EXPECT_EQ(exports.ExportsStarted(), 0);

    // On from 23:59:30 on the wall clock; the period runs across midnight.
    setting::BackgroundExportOn.Write(true);
    setting::BackgroundExportPeriod.Write(1);
    SetWallClockSourceForTests([] { return test::LocalInstant(2026, 12, 8, 23, 59, 30); });
    exports.Tick();
    SetWallClockSourceForTests([] { return test::LocalInstant(2026, 12, 9, 0, 0, 45); });
    elapsed = elapsed.load() + 75s;
    exports.Tick();
    EXPECT_EQ(exports.ExportsStarted(), 1);
    exports.WaitIdle();
}

TEST_F(BackgroundExportTest, SettingsThatForbidAnExportAreLoggedOnce) {
    LogCapture log;
    setting::LinesDelta.Write("");
    exports.Tick();
    elapsed = 3min;
    exports.Tick();
    elapsed = 6min;
    exports.Tick();
    EXPECT_EQ(exports.ExportsStarted(), 0);
    EXPECT_EQ(log.CountContaining("Export en arrière-plan non effectué : Temps entre deux détections invalide"), 1);

    std::string error;
    EXPECT_EQ(RunBackgroundExport(error), -1);
    EXPECT_EQ(error, "Temps entre deux détections invalide");
    setting::LinesDelta.Write("00:00:30");
    setting::LinesFtpExport.Write(true);
    EXPECT_EQ(RunBackgroundExport(error), -1);
    EXPECT_EQ(error, "Paramètres FTP non définis !");
    setting::LinesFtpExport.Write(false);
    setting::LinesGenericFilename.Write(" ");
    EXPECT_EQ(RunBackgroundExport(error), -1);
    EXPECT_EQ(error, "Nom de fichier obligatoire");
}

TEST_F(BackgroundExportTest, FileNotCreatedIsLogged) {
    LogCapture log;
    std::filesystem::create_directories(folder / "export-31-1.qox");
    setting::BackgroundExportPeriod.Write(1);
    exports.Tick();
    elapsed = 61s;
    exports.Tick();
    exports.WaitIdle();
    EXPECT_EQ(log.CountContaining("## Export en arrière-plan : fichier non créé : " + (folder / "export-31-1.qox")), 1);
}

TEST_F(BackgroundExportTest, ServerWhoseLineCannotBeReadIsSaidAtLevelZeroAndAlertedOnce) {
    // "Finish" is named for the uploads, but its line has six fields (a ';' in the
    // password): no upload can reach it, and the timekeeper must hear of it.
    test::UseDataFolder(folder.Path());
    test::WriteFile(folder / "FtpServers.dat", "Other\t127.0.0.1:1\tu\tp\t\nFinish\t127.0.0.1:1\tu\tp;w\t\n");
    setting::BackgroundExportOn.Write(true);
    setting::LinesDelta.Write("00:00:30");
    setting::LinesExportPath.Write(folder.Path());
    setting::LinesGenericFilename.Write("export");
    setting::LinesFtpExport.Write(true);
    setting::LinesFtpServersList.Write("Finish");
    setting::BackgroundExportPeriod.Write(1);
    std::vector<std::string> alerts;
    exports.SetAlert([&](const std::string& text) { alerts.push_back(text); });
    LogCapture levelZero(0);
    exports.Tick();
    elapsed = 61s;
    exports.Tick();
    exports.WaitIdle();
    elapsed = 122s;
    exports.Tick();
    exports.WaitIdle();
    loop.processPending();  // the alerts posted by the two exports
    const std::string said =
        "## Export en arrière-plan : Serveur(s) FTP absent(s) du fichier des serveurs, rien ne leur est envoyé : Finish";
    EXPECT_EQ(levelZero.Count(said), 1) << ::testing::PrintToString(levelZero.Lines());
    EXPECT_EQ(alerts, (std::vector<std::string>{said}));
}

TEST_F(BackgroundExportTest, NoSecondExportWhileTheFirstStillWrites) {
    setting::BackgroundExportPeriod.Write(1);
    exports.Tick();
    {
        // Another export holds the files: the background one waits in its worker.
        std::lock_guard<std::mutex> busy(ExportWritingLock());
        elapsed = 61s;
        exports.Tick();
        EXPECT_EQ(exports.ExportsStarted(), 1);
        EXPECT_TRUE(exports.Running());
        elapsed = 200s;
        exports.Tick();  // the tick itself returned at once
        EXPECT_EQ(exports.ExportsStarted(), 1);
    }
    exports.WaitIdle();
    EXPECT_FALSE(exports.Running());
    elapsed = 262s;
    exports.Tick();
    EXPECT_EQ(exports.ExportsStarted(), 2);
    exports.WaitIdle();
}

TEST_F(BackgroundExportTest, TickRearmsItselfOnTheLoop) {
    setting::BackgroundExportPeriod.Write(1);
    exports.Start();
    loop.runFor(1100ms);  // first tick: time noted
    elapsed = 61s;
    loop.runFor(1100ms);
    EXPECT_EQ(exports.ExportsStarted(), 1);
    exports.Stop();
    elapsed = 200s;
    loop.runFor(1100ms);
    EXPECT_EQ(exports.ExportsStarted(), 1);
}

TEST_F(BackgroundExportTest, ExportsWhileBoxThreadsRecord) {
    setting::BackgroundExportPeriod.Write(1);
    setting::LinesZip.Write(true);
    std::atomic<bool> stop{false};
    std::vector<std::thread> boxes;
    for (int box = 0; box < 4; ++box) {
        boxes.emplace_back([box, &stop] {
            for (int i = 0; !stop.load() && i < 5000; ++i) {
                CChrono ofDay(36000 + i, static_cast<uint16_t>(box * 10));
                DetectionTable::Instance().AddResult(std::to_string(i % 200), std::to_string(31 + box),
                                                     CChrono(1700000000 + i, 0), ofDay, false, false);
            }
        });
    }
    exports.Tick();
    for (int round = 1; round <= 5; ++round) {
        elapsed = std::chrono::seconds(61 * round);
        exports.Tick();
        exports.WaitIdle();
    }
    stop = true;
    for (std::thread& box : boxes) box.join();
    EXPECT_EQ(exports.ExportsStarted(), 5);
    EXPECT_TRUE(std::filesystem::exists(folder / "export.zip"));
}

}  // namespace
}  // namespace lv

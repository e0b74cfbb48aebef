// A restart in the middle of a race: the files the background export publishes after
// it still hold every detection an export published before it.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "base/Environment.h"
#include "base/SettingsSchema.h"
#include "core/SessionResume.h"
#include "export/BackgroundExport.h"
#include "support/ControllerFixture.h"
#include "support/GivenDetection.h"

namespace lv {
namespace {

using test::ReadFile;

class ExportAfterRestartTest : public test::ControllerFixture<> {
protected:
    void SetUp() override {
        ControllerFixture::SetUp();
        setting::LinesDelta.Write("00:00:00");
        setting::LinesExportPath.Write(folder / "out");
        setting::LinesGenericFilename.Write("race");
        std::filesystem::create_directories(folder / "out");
    }

    // The controller as a start of the program makes it: a new detection file name, and
    // the most recent file to resume when there is one.
    void Start() {
        ControllerOptions options;
        options.sessionFileName = MakeSessionFileName();
        options.resumeFile = FindSessionToResume(GetLogFolder(), 2);
        controller = std::make_unique<MainController>(loop, view, options);
        controller->Open();
        loop.processPending();
    }
    // The process ends without its exit sequence (a kill, a power cut).
    void Kill() {
        // What the controller posted to its loop (the log lines of an exit) is shown
        // before it goes: those tasks point into it.
        loop.processPending();
        controller.reset();
        DetectionTable::Instance().Journal().Close();
        DetectionTable::Instance().ClearTable();
        DetectionTable::Instance().Journal().ForgetSessionsForTests();
    }
    void Record(int runner) {
        const int second = 36000 + runner * 7;
        controller->Recorder().Record(
            test::GivenDetection(std::to_string(runner), "31", CChrono(1760000000 + second, 0), CChrono(second, 0)));
    }
    void Export() {
        std::string error;
        ASSERT_EQ(RunBackgroundExport(error), 0) << error;
    }
    long PublishedLines() {
        const std::string text = ReadFile(folder / "out/race-31-1.qox");
        return static_cast<long>(std::count(text.begin(), text.end(), '\n'));
    }
};

TEST_F(ExportAfterRestartTest, AKilledProgramStartedAgainPublishesEveryEarlierDetectionAndTheNewOnes) {
    Start();
    for (int runner = 1; runner <= 100; ++runner) Record(runner);
    Export();
    ASSERT_EQ(PublishedLines(), 100);

    Kill();
    Start();
    EXPECT_EQ(DetectionTable::Instance().CountActive(), 100);
    for (int runner = 101; runner <= 113; ++runner) Record(runner);
    Export();
    EXPECT_EQ(PublishedLines(), 113);
    const std::string published = ReadFile(folder / "out/race-31-1.qox");
    EXPECT_NE(published.find("\t31\t1\t1\t10:00:07.00\t1\r\n"), std::string::npos);
    EXPECT_NE(published.find("\t31\t113\t1\t"), std::string::npos);
}

TEST_F(ExportAfterRestartTest, AnOrderlyExitAndAStartAgainPublishAsMuch) {
    Start();
    for (int runner = 1; runner <= 40; ++runner) Record(runner);
    Export();
    ASSERT_EQ(PublishedLines(), 40);

    ASSERT_TRUE(controller->Exit(/*controlHeld=*/true));
    Kill();
    Start();
    for (int runner = 41; runner <= 45; ++runner) Record(runner);
    Export();
    EXPECT_EQ(PublishedLines(), 45);
}

}  // namespace
}  // namespace lv

// The worker: queue order, failures that do not stop it, and the two kinds of stop.
#include <gtest/gtest.h>

#include <filesystem>

#include "base/SettingsSchema.h"
#include "base/Texts.h"
#include "ftp/FtpWorker.h"
#include "support/LogCapture.h"
#include "support/WaitUntil.h"
#include "FtpTestSupport.h"

namespace lv {
namespace {

using namespace lv::test;

FtpWorkerOptions QuickWorker(std::chrono::milliseconds exitWait = std::chrono::seconds(15)) {
    FtpWorkerOptions options;
    options.idleCheck = std::chrono::milliseconds(50);
    options.exitWait = exitWait;
    options.connect = QuickOptions();
    return options;
}

class FtpWorkerTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetLanguage(Language::English);
        ASSERT_TRUE(server.Running());
    }
    void TearDown() override { SetLanguage(Language::French); }

    std::string LocalFile(const std::string& name, const std::string& content) {
        WriteFile(local / name, content);
        return local / name;
    }

    FtpServerProcess server;
    TempFolder local;
    StateRecorder recorder;
};

TEST_F(FtpWorkerTest, QueuedJobsRunOneAfterTheOtherAndAFailureDoesNotStopThem) {
    CFtpWorker worker(QuickWorker());
    worker.SetObserver(&recorder);
    // Queued before the thread starts: all three are there when it looks.
    worker.Queue(UploadJob(server, LocalFile("one.txt", Pattern(60000)), "one.txt"));
    worker.Queue(UploadJob(server, local / "missing.txt", "missing.txt"));
    worker.Queue(UploadJob(server, LocalFile("three.txt", "3"), "three.txt"));
    worker.Queue(nullptr);
    EXPECT_EQ(worker.QueuedJobs(), 3u);
    worker.Start();
    ASSERT_TRUE(WaitUntil([&] { return recorder.Count() >= 8; }));
    ASSERT_TRUE(WaitUntil([&] { return !worker.Busy() && worker.QueuedJobs() == 0; }));
    EXPECT_EQ(recorder.Trail(), (std::vector<std::string>{"one.txt:1", "one.txt:2", "one.txt:3", "missing.txt:1",
                                                          "missing.txt:6", "three.txt:1", "three.txt:2",
                                                          "three.txt:3"}));
    EXPECT_EQ(recorder.Events()[4].errorText, "Can't open sourceFile " + (local / "missing.txt"));
    EXPECT_EQ(ReadFile(server / "one.txt"), Pattern(60000));
    EXPECT_EQ(ReadFile(server / "three.txt"), "3");
}

TEST_F(FtpWorkerTest, JobsQueuedWhileRunningStartAtOnce) {
    CFtpWorker worker(QuickWorker());
    worker.SetObserver(&recorder);
    worker.Start();
    worker.Queue(UploadJob(server, LocalFile("a.txt", "a"), "a.txt"));
    ASSERT_TRUE(WaitUntil([&] { return std::filesystem::exists(server / "a.txt"); }));
    worker.Queue(UploadJob(server, LocalFile("b.txt", "b"), "b.txt"));
    ASSERT_TRUE(WaitUntil([&] { return std::filesystem::exists(server / "b.txt"); }));
}

TEST_F(FtpWorkerTest, QuietStopLetsTheRunningUploadFinishSilentlyAndDropsTheQueue) {
    FtpServerProcess::Options slow;
    slow.readLimit = 100000;  // about three seconds for the file
    FtpServerProcess slowServer(slow);
    ASSERT_TRUE(slowServer.Running());
    CFtpWorker worker(QuickWorker());
    worker.SetObserver(&recorder);
    worker.Start();
    const std::string content = Pattern(400000);
    worker.Queue(UploadJob(slowServer, LocalFile("running.txt", content), "running.txt"));
    worker.Queue(UploadJob(slowServer, LocalFile("queued.txt", "q"), "queued.txt"));
    ASSERT_TRUE(WaitUntil([&] { return recorder.Count() >= 2; }));  // started, transferring

    EXPECT_TRUE(worker.StopTransfers(true));
    EXPECT_FALSE(worker.Busy());
    // It finished, under its final name; nothing was said after the stop.
    EXPECT_EQ(ReadFile(slowServer / "running.txt"), content);
    EXPECT_EQ(recorder.Trail(), (std::vector<std::string>{"running.txt:1", "running.txt:2"}));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_FALSE(std::filesystem::exists(slowServer / "queued.txt"));
    EXPECT_EQ(worker.QueuedJobs(), 0u);
}

TEST_F(FtpWorkerTest, AnUploadAlreadyWaitingIsQueuedOnceWithTheNewerJob) {
    CFtpWorker idle(QuickWorker());  // never started: every job stays queued
    const std::string zip = LocalFile("demo.zip", "first");
    for (int i = 0; i < 5; ++i) idle.Queue(UploadJob(server, zip, "demo.zip"));
    idle.Queue(UploadJob(server, zip, "other.zip"));
    EXPECT_EQ(idle.QueuedJobs(), 2u);
}

TEST_F(FtpWorkerTest, DroppedQueuedTransfersAreNamedAtLevelZero) {
    // Level 0 only: a dropped upload is a results file the public never sees.
    LogCapture log(0);
    CFtpWorker idle(QuickWorker());  // never started: every job stays queued
    idle.Queue(UploadJob(server, LocalFile("export-31-1.qox", "a"), "export-31-1.qox"));
    idle.Queue(UploadJob(server, LocalFile("export-31-2.qox", "b"), "export-31-2.qox"));
    EXPECT_TRUE(idle.StopTransfers(true));
    EXPECT_EQ(idle.QueuedJobs(), 0u);
    EXPECT_EQ(log.CountContaining("2 queued transfer(s) dropped: export-31-1.qox [test], export-31-2.qox [test]"), 1)
        << ::testing::PrintToString(log.Lines());
}

TEST_F(FtpWorkerTest, QuietStopGivesUpATransferThatTakesTooLong) {
    FtpServerProcess::Options crawling;
    crawling.readLimit = 10000;  // a minute for the file
    FtpServerProcess slowServer(crawling);
    ASSERT_TRUE(slowServer.Running());
    CFtpWorker worker(QuickWorker(std::chrono::milliseconds(500)));
    worker.SetObserver(&recorder);
    worker.Start();
    worker.Queue(UploadJob(slowServer, LocalFile("huge.txt", Pattern(600000)), "huge.txt"));
    ASSERT_TRUE(WaitUntil([&] { return recorder.Count() >= 2; }));

    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(worker.StopTransfers(true));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(7));
    EXPECT_FALSE(worker.Busy());
    EXPECT_EQ(recorder.Count(), 2u);
    EXPECT_FALSE(std::filesystem::exists(slowServer / "huge.txt"));
}

TEST_F(FtpWorkerTest, StopThatIsNotQuietAbortsAndSaysSo) {
    FtpServerProcess::Options crawling;
    crawling.readLimit = 10000;
    FtpServerProcess slowServer(crawling);
    ASSERT_TRUE(slowServer.Running());
    CFtpWorker worker(QuickWorker());
    worker.SetObserver(&recorder);
    worker.Start();
    worker.Queue(UploadJob(slowServer, LocalFile("huge.txt", Pattern(600000)), "huge.txt"));
    ASSERT_TRUE(WaitUntil([&] { return recorder.Count() >= 2; }));
    EXPECT_TRUE(worker.StopTransfers(false));
    ASSERT_EQ(recorder.Count(), 3u);
    EXPECT_EQ(recorder.Events()[2].state, kFtpJobAborted);
    EXPECT_EQ(recorder.Events()[2].errorText, "Aborted");
    EXPECT_FALSE(std::filesystem::exists(slowServer / "huge.txt"));

    // The worker goes on with later jobs.
    worker.Queue(UploadJob(slowServer, LocalFile("small.txt", "s"), "small.txt"));
    EXPECT_TRUE(WaitUntil([&] { return std::filesystem::exists(slowServer / "small.txt"); }));
}

TEST_F(FtpWorkerTest, EndWithoutStartAndTwiceIsHarmless) {
    CFtpWorker idle(QuickWorker());
    idle.Queue(UploadJob(server, LocalFile("x.txt", "x"), "x.txt"));
    idle.End();
    idle.End();
    idle.Start();  // an ended worker does not start again
    EXPECT_FALSE(idle.Running());
    EXPECT_FALSE(std::filesystem::exists(server / "x.txt"));
}

TEST(FtpJobSettings, NewJobTakesTheServerAndModesOfFtpSettings) {
    TempFolder folder;
    IniFile ini(folder / "Lumivane.ini");
    setting::FtpSiteLabel.Write(ini, "Export server");
    setting::FtpSite.Write(ini, "ftp.example:2121");
    setting::FtpUser.Write(ini, "juge");
    setting::FtpPassword.Write(ini, "pw");
    setting::FtpDirectory.Write(ini, "/results");
    ini.WriteInt("FtpSettings", "BPutInPassiveMode", 0);
    CFtpJob job(true, ini);
    EXPECT_EQ(job.siteLabel, "Export server");
    EXPECT_EQ(job.site, "ftp.example:2121");
    EXPECT_EQ(job.user, "juge");
    EXPECT_EQ(job.password, "pw");
    EXPECT_EQ(job.directory, "/results");
    EXPECT_FALSE(job.putPassive);
    EXPECT_TRUE(job.getPassive);
    EXPECT_EQ(job.state, kFtpJobCreated);
    EXPECT_EQ(job.binary, 0);
    EXPECT_EQ(job.transferred, 0);
    EXPECT_EQ(job.fileSize, 0);
    EXPECT_TRUE(job.errorText.empty());

    CFtpServer other;
    other.label = "B";
    other.site = "b.example";
    job.SetServer(other);
    EXPECT_EQ(job.siteLabel, "B");
    EXPECT_EQ(job.site, "b.example");
    EXPECT_EQ(job.directory, "");
}

}  // namespace
}  // namespace lv

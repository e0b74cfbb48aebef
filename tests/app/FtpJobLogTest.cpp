// The program's FTP worker seen from the main window: the three French log lines, and
// the exit that lets a running upload finish without a further line.
#include <gtest/gtest.h>

#include "app/EventLoop.h"
#include "app/MainController.h"
#include "base/Environment.h"
#include "base/Log.h"
#include "base/Settings.h"
#include "base/Texts.h"
#include "core/DetectionJournal.h"
#include "core/DetectionTable.h"
#include "ftp/FtpWorker.h"
#include "support/FakeMainView.h"
#include "support/FtpServerProcess.h"
#include "support/TempFolder.h"
#include "support/WaitUntil.h"

namespace lv {
namespace {

using test::FtpServerProcess;
using test::ReadFile;
using test::TempFolder;
using test::WaitUntil;
using test::WriteFile;

int LogCount(const std::string& text) {
    int count = 0;
    for (const auto& line : Logger::Instance().WindowLines()) {
        if (line.find(text) != std::string::npos) ++count;
    }
    return count;
}

std::unique_ptr<CFtpJob> Upload(const FtpServerProcess& server, const std::string& local, const std::string& name) {
    auto job = std::make_unique<CFtpJob>(true);
    CFtpServer definition;
    definition.label = "test";
    definition.site = server.Site();
    definition.user = server.User();
    definition.password = server.Password();
    job->SetServer(definition);
    job->SetLocalFile(local);
    job->SetRemoteName(name);
    return job;
}

// One test: the program's worker is one per process, and the exit ends its
// notifications for good.
TEST(FtpJobLog, FrenchLinesInBothLanguagesThenASilentExitThatWaitsForTheUpload) {
    SetLanguage(Language::English);
    TempFolder folder;
    EnvironmentOptions environment;
    environment.dataFolderOverride = folder.Path();
    InitialiseEnvironment(environment);
    InstallSettingsFile(GetSettingsFilePath());
    Logger::Instance().SetFilePath(GetLogFilePath());

    FtpServerProcess::Options slow;
    slow.readLimit = 100000;
    FtpServerProcess server(slow);
    ASSERT_TRUE(server.Running());

    FtpWorkerOptions options;
    options.idleCheck = std::chrono::milliseconds(50);
    StartFtpWorker(options);
    EventLoop loop;
    FakeMainView view;
    ControllerOptions controllerOptions;
    controllerOptions.sessionFileName = folder / "logfiles/session.dat";
    auto controller = std::make_unique<MainController>(loop, view, controllerOptions);
    controller->Open();

    WriteFile(folder / "ok.txt", "done");
    QueueFtpJob(Upload(server, folder / "ok.txt", "ok.txt"));
    QueueFtpJob(Upload(server, folder / "absent.txt", "absent.txt"));
    ASSERT_TRUE(WaitUntil([] { return LogCount("++ Erreur transfert FTP [absent.txt]") == 1; }));
    EXPECT_EQ(LogCount("++ Démarrage transfert FTP [ok.txt]"), 1);
    EXPECT_EQ(LogCount("++ Transfert FTP terminé [ok.txt]"), 1);
    EXPECT_EQ(LogCount("++ Démarrage transfert FTP [absent.txt]"), 1);
    EXPECT_EQ(LogCount("++ Erreur transfert FTP [absent.txt] : Can't open sourceFile " + (folder / "absent.txt")), 1);

    const std::string big(400000, 'b');
    WriteFile(folder / "big.txt", big);
    QueueFtpJob(Upload(server, folder / "big.txt", "big.txt"));
    QueueFtpJob(Upload(server, folder / "ok.txt", "after.txt"));
    ASSERT_TRUE(WaitUntil([] { return LogCount("++ Démarrage transfert FTP [big.txt]") == 1; }));
    ASSERT_TRUE(controller->Exit(true));
    // The upload under way ended before the exit went on, and said nothing.
    EXPECT_EQ(ReadFile(server / "big.txt"), big);
    EXPECT_EQ(LogCount("[big.txt]"), 1);
    // The job still queued never ran: only the exit's line names it, for the timekeeper.
    EXPECT_EQ(LogCount("after.txt"), 1);
    EXPECT_EQ(LogCount("## FTP: 1 queued transfer(s) dropped: after.txt"), 1);
    EXPECT_FALSE(ProgramFtpWorker()->Busy());

    controller.reset();
    EndFtpWorker();
    DetectionTable::Instance().Journal().Close();
    SetLanguage(Language::French);
}

}  // namespace
}  // namespace lv

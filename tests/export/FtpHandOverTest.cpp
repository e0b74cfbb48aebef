// The exports' files handed to the FTP transfer jobs and arriving on a real server.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "base/Environment.h"
#include "base/SettingsSchema.h"
#include "export/FtpExportUploads.h"
#include "export/LinesExport.h"
#include "ftp/FtpWorker.h"
#include "ExportFixture.h"
#include "support/FtpServerProcess.h"

namespace lv {
namespace {

using test::ReadFile;
using test::Time;
using test::Work;
using test::WriteFile;

// The program's FTP worker ends before the process does: a thread still running while
// the TLS library cleans up at exit is a race.
class EndProgramFtpWorker : public ::testing::Environment {
public:
    void TearDown() override { EndFtpWorker(); }
};
[[maybe_unused]] ::testing::Environment* const kEndProgramFtpWorker =
    ::testing::AddGlobalTestEnvironment(new EndProgramFtpWorker);

class FtpHandOverTest : public test::ExportTest {
protected:
    void SetUp() override {
        test::ExportTest::SetUp();
        EnvironmentOptions options;
        options.dataFolderOverride = folder.Path();
        InitialiseEnvironment(options);
        InstallSettingsFile(folder / "Lumivane.ini");
        StartFtpWorker();
    }

    bool ArrivesOnServer(const std::string& name, const std::string& content) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (std::chrono::steady_clock::now() < deadline) {
            if (ReadFile(server / name) == content) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }

    LinesExportRequest Request() {
        LinesExportRequest request;
        request.delta = Time("00:00:30");
        request.folder = folder.Path();
        request.genericName = "export";
        request.ftp = true;
        return request;
    }

    test::FtpServerProcess server;
};

TEST_F(FtpHandOverTest, EachFileGoesToEachNamedServerAndUnknownNamesAreSkipped) {
    ASSERT_TRUE(server.Running());
    const WorkList list{Work("31", "12", "10:00:00.00", 1), Work("32", "7", "10:30:00.00", 2)};
    LinesExportRequest request = Request();
    request.ftpServers = "Finish\\Nowhere";

    // No servers file: nothing can be sent.
    ExportOutcome outcome = RunLinesExport(list, request);
    EXPECT_FALSE(outcome.ftpStarted);
    EXPECT_EQ(outcome.ftpError, "No FTP server defined...");

    WriteFile(GetFtpServersFilePath(),
              "Finish\t" + server.Site() + "\t" + server.User() + "\t" + server.Password() + "\t\n");
    outcome = RunLinesExport(list, request);
    EXPECT_TRUE(outcome.ftpStarted) << outcome.ftpError;
    EXPECT_TRUE(ArrivesOnServer("export-31-1.qox", "1\t31\t12\t1\t10:00:00.00\t1\r\n"));
    EXPECT_TRUE(ArrivesOnServer("export-32-1.qox", "1\t32\t7\t1\t10:30:00.00\t1\r\n"));
}

TEST_F(FtpHandOverTest, DetectionsExportSendsToTheServerOfTheFtpSettings) {
    ASSERT_TRUE(server.Running());
    setting::FtpSite.Write(server.Site());
    setting::FtpUser.Write(server.User());
    setting::FtpPassword.Write(server.Password());
    EXPECT_EQ(ProgramFtpUploads().SettingsServerSite(), server.Site());
    std::string error;
    ASSERT_TRUE(ProgramFtpUploads().QueueToSettingsServer({folder / "Lumivane.ini"}, error));
    EXPECT_TRUE(ArrivesOnServer("Lumivane.ini", ReadFile(folder / "Lumivane.ini")));
}

}  // namespace
}  // namespace lv

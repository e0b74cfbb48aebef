// The whole chain without a screen: the headless program acquires from a simulated
// decoder, its background export writes the detection lines, zips them and hands
// the archive to the FTP transfers, and the archive arrives on a loopback FTP server.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include <minizip/unzip.h>

#include "support/ChildProcess.h"
#include "support/FtpServerProcess.h"
#include "support/SimulatorProcess.h"
#include "support/TempFolder.h"
#include "support/WaitUntil.h"

namespace lv {
namespace {

using test::TempFolder;
using test::WriteFile;

std::vector<std::string> ZipNames(const std::string& path) {
    std::vector<std::string> names;
    unzFile archive = unzOpen64(path.c_str());
    if (archive == nullptr) return names;
    for (int status = unzGoToFirstFile(archive); status == UNZ_OK; status = unzGoToNextFile(archive)) {
        char name[256];
        unz_file_info64 info{};
        unzGetCurrentFileInfo64(archive, &info, name, sizeof name, nullptr, 0, nullptr, 0);
        names.push_back(name);
    }
    unzClose(archive);
    return names;
}

// A background export every minute of the detections into data/out, for FTP server
// "Finish"; `more` adds keys to the export's section.
std::string EveryMinuteExportTo(const TempFolder& data, const std::string& more = {}) {
    std::filesystem::create_directories(data / "out");
    return "[ExportDetectionLines]\r\nDelta=00:00:00\r\nExportPath=" + (data / "out") +
           "\r\nGenericFilename=race\r\nBFtpExport=1\r\nFtpServersList=Finish\r\n" + more +
           "[ExportDetectionLines.BackgroundExport]\r\nBExport=1\r\nExportPeriodMinutes=1\r\n";
}

TEST(HeadlessExport, BackgroundExportReachesTheFtpServer) {
    TempFolder data;
    test::FtpServerProcess server;
    ASSERT_TRUE(server.Running());
    WriteFile(data / "chips.dtb", "1 CHIP1\n2 CHIP2\n3 CHIP3\n");
    WriteFile(data / "TarvexTable.dtb", "1 CHIP1\n2 CHIP2\n3 CHIP3\n");
    test::SimulatorProcess decoder("decoder", {"--runners", "3", "--count", "6", "--rate", "50", "--chips",
                                               data / "chips.dtb", "--date", "today"});
    ASSERT_TRUE(decoder.Running());
    WriteFile(data / "FtpServers.dat", "Finish\t" + server.Site() + "\t" + server.User() + "\t" + server.Password() +
                                           "\t\n");
    WriteFile(data / "Lumivane.ini",
              "[TarvexBoxes]\r\nBoxHost0=127.0.0.1\r\nBoxPort0=" + std::to_string(decoder.Port()) +
                  "\r\nBoxIdDetector0=31\r\n" + EveryMinuteExportTo(data, "BZip=1\r\n"));

    test::ChildProcess program({std::string(LUMIVANE_BUILD_DIR) + "/lumivane", "--headless", "--data-dir",
                                data.Path(), "--lang", "en"});
    // The first export comes one period (a minute) after the start. The program's output
    // is read meanwhile, so that it never blocks on a full pipe.
    const auto arrived = [&] {
        program.ReadSome(0);
        return std::filesystem::exists(server / "race.zip");
    };
    test::WaitUntil(arrived, std::chrono::seconds(100));
    ASSERT_TRUE(std::filesystem::exists(server / "race.zip")) << program.Output();
    // The upload is complete once the transfer says so.
    program.WaitFor("++ ", 10);
    EXPECT_EQ(program.Stop(), 0);
    EXPECT_EQ(ZipNames(server / "race.zip"), (std::vector<std::string>{"race-31-1.qox", "race-31-2.qox"}))
        << program.Output();
    EXPECT_TRUE(std::filesystem::exists(data / "out/race.zip"));
    EXPECT_FALSE(std::filesystem::exists(data / "out/race"));
}

TEST(HeadlessExport, AServerWhoseLineCannotBeReadRaisesAnAlert) {
    // "Finish" has a ';' in its password: six fields, the line is skipped, and no upload
    // can ever reach it. Nobody watches a headless timing point's log window.
    TempFolder data;
    WriteFile(data / "FtpServers.dat", "Other\t127.0.0.1:1\tu\tp\t\nFinish\t127.0.0.1:1\tu\tp;w\t\n");
    WriteFile(data / "Lumivane.ini", EveryMinuteExportTo(data));
    test::ChildProcess program({std::string(LUMIVANE_BUILD_DIR) + "/lumivane", "--headless", "--data-dir",
                                data.Path(), "--lang", "en"});
    const std::string alert =
        "[alert] ## Background export: FTP server(s) not in the servers file, nothing sent to them: Finish";
    const bool alerted = program.WaitFor(alert, 100);
    EXPECT_EQ(program.Stop(), 0);
    EXPECT_TRUE(alerted) << program.Output();
}

}  // namespace
}  // namespace lv

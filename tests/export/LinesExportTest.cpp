// The files of the detection-lines export, byte for byte, their names and folder, the
// archive, the transfers' hand-over and the completion text.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include <minizip/unzip.h>

#include "base/SettingsSchema.h"
#include "core/DetectionTable.h"
#include "export/ExportFiles.h"
#include "export/LinesExport.h"
#include "ExportFixture.h"

namespace lv {
namespace {

using test::ReadFile;
using test::Time;
using test::Work;

namespace fs = std::filesystem;

std::vector<std::string> FolderEntries(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().filename() != "Lumivane.ini") names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// name -> content of every entry of the archive.
std::map<std::string, std::string> ZipEntries(const std::string& path, std::vector<tm_unz>* dates = nullptr) {
    std::map<std::string, std::string> entries;
    unzFile archive = unzOpen64(path.c_str());
    EXPECT_NE(archive, nullptr) << path;
    if (archive == nullptr) return entries;
    for (int status = unzGoToFirstFile(archive); status == UNZ_OK; status = unzGoToNextFile(archive)) {
        char name[256];
        unz_file_info64 info{};
        unzGetCurrentFileInfo64(archive, &info, name, sizeof name, nullptr, 0, nullptr, 0);
        EXPECT_EQ(info.compression_method, static_cast<uLong>(Z_DEFLATED)) << name;
        if (dates) dates->push_back(info.tmu_date);
        std::string content(info.uncompressed_size, '\0');
        unzOpenCurrentFile(archive);
        EXPECT_EQ(unzReadCurrentFile(archive, content.data(), static_cast<unsigned>(content.size())),
                  static_cast<int>(content.size()));
        unzCloseCurrentFile(archive);
        entries[name] = content;
    }
    unzClose(archive);
    return entries;
}

class LinesExportTest : public test::ExportTest {
protected:
    LinesExportRequest Request(DisplayType type) {
        LinesExportRequest request;
        request.delta = Time("00:00:30");
        request.displayType = type;
        request.folder = folder.Path();
        request.genericName = "export";
        return request;
    }

    WorkList Race() {
        return WorkList{Work("31", "12", "10:00:00.00", 1), Work("31", "12", "10:00:20.00", 2),
                        Work("31", "12", "10:00:45.00", 3), Work("31", "12", "10:05:00.00", 4),
                        Work("31", "7", "10:01:05.50", 5),  Work("32", "7", "10:30:00.00", 6)};
    }
};

TEST_F(LinesExportTest, ClockTimesFilePerDetectorAndPassingWithCrLf) {
    const ExportOutcome outcome = RunLinesExport(Race(), Request(DisplayType::ClockTime));
    EXPECT_EQ(outcome.created, (std::vector<std::string>{folder / "export-31-1.qox", folder / "export-31-2.qox",
                                                         folder / "export-32-1.qox"}));
    EXPECT_TRUE(outcome.notCreated.empty());
    EXPECT_EQ(ReadFile(folder / "export-31-1.qox"),
              "1\t31\t12\t1\t10:00:00.00\t1\r\n"
              "2\t31\t7\t1\t10:01:05.50\t1\r\n");
    EXPECT_EQ(ReadFile(folder / "export-31-2.qox"), "1\t31\t12\t1\t10:05:00.00\t1\r\n");
    EXPECT_EQ(ReadFile(folder / "export-32-1.qox"), "1\t32\t7\t1\t10:30:00.00\t1\r\n");
    EXPECT_EQ(outcome.CompletionText(), "Export de données terminé.\n\nLes fichiers suivants ont été créés :\n  " +
                                            (folder / "export-31-1.qox") + "  \n  " + (folder / "export-31-2.qox") +
                                            "  \n  " + (folder / "export-32-1.qox") + "  ");
    // Nothing half-written was left behind.
    EXPECT_EQ(FolderEntries(folder.Path()),
              (std::vector<std::string>{"export-31-1.qox", "export-31-2.qox", "export-32-1.qox"}));
}

TEST_F(LinesExportTest, PassingTimesAndLogicaFormSubtractEachDetectorsHandicap) {
    setting::LinesHandicap.Write("31", "09:00:00.00");
    const ExportOutcome passing = RunLinesExport(Race(), Request(DisplayType::PassingTime));
    ASSERT_EQ(passing.created.size(), 3u);
    EXPECT_EQ(ReadFile(folder / "export-31-1.qox"),
              "1\t31\t12\t1\t01:00:00.00\t1\r\n"
              "2\t31\t7\t1\t01:01:05.50\t1\r\n");
    EXPECT_EQ(ReadFile(folder / "export-32-1.qox"), "1\t32\t7\t1\t10:30:00.00\t1\r\n");

    const ExportOutcome logica = RunLinesExport(Race(), Request(DisplayType::Logica));
    ASSERT_EQ(logica.created.front(), folder / "export-31-1-ljk.txt");
    // 01:01:05.50 rounded up to 01:01:06, colons and leading zeros removed.
    EXPECT_EQ(ReadFile(folder / "export-31-1-ljk.txt"),
              "dossard\ttemps\tcommentaire\r\n"
              "dossard\tperformancen\tcommentaire\r\n"
              "12\t10000\t\r\n"
              "7\t10106\t\r\n");
}

TEST_F(LinesExportTest, AbsoluteClockRecordsExportTheirTimeOfDay) {
    // With the absolute clock the time text is seconds since 1970; numbering and
    // handicaps still work on the passing's time of day.
    DetectionTable& table = DetectionTable::Instance();
    const CChrono instant(1700000000, 250);
    table.AddResult("12", "31", instant, Time("10:00:00.25"), true, false);
    table.AddResult("12", "31", CChrono(1700000010, 0), Time("10:00:10.00"), true, false);
    table.AddResult("12", "31", CChrono(1700000600, 0), Time("10:10:00.00"), true, false);
    WorkList list;
    BuildWorkList(list, "");
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].timeText, "1700000000.25");
    EXPECT_EQ(list[0].time, Time("10:00:00.25"));

    setting::LinesHandicap.Write("31", "10:00:00.00");
    const ExportOutcome outcome = RunLinesExport(list, Request(DisplayType::PassingTime));
    ASSERT_EQ(outcome.created.size(), 2u);
    EXPECT_EQ(ReadFile(folder / "export-31-1.qox"), "1\t31\t12\t1\t00:00:00.25\t2\r\n");
    EXPECT_EQ(ReadFile(folder / "export-31-2.qox"), "1\t31\t12\t1\t00:10:00.00\t2\r\n");
    const ExportOutcome clock = RunLinesExport(list, Request(DisplayType::ClockTime));
    EXPECT_EQ(ReadFile(folder / "export-31-1.qox"), "1\t31\t12\t1\t1700000000.25\t2\r\n");
}

TEST_F(LinesExportTest, TimeTextAloneIsReadWhenTheRecordCarriesNoTimeOfDay) {
    CQoxResult relative;
    relative.timeText = "10:00:00.05";
    EXPECT_EQ(WorkTimeOf(relative), Time("10:00:00.05"));
    CQoxResult absolute;
    absolute.absoluteTime = 1;
    absolute.timeText = "86400.5";  // 5 hundredths
    CChrono expected(86400, 50);
    expected.AbsoluteToOfDay();
    EXPECT_EQ(WorkTimeOf(absolute), expected);
    absolute.timeText = "garbage";
    EXPECT_FALSE(WorkTimeOf(absolute).IsSet());
}

TEST_F(LinesExportTest, ZipLeavesOnlyTheArchiveWithDeflatedDatedEntries) {
    LinesExportRequest request = Request(DisplayType::ClockTime);
    request.zip = true;
    const ExportOutcome outcome = RunLinesExport(Race(), request);
    EXPECT_EQ(outcome.created, (std::vector<std::string>{folder / "export.zip"}));
    EXPECT_EQ(FolderEntries(folder.Path()), (std::vector<std::string>{"export.zip"}));
    std::vector<tm_unz> dates;
    const auto entries = ZipEntries(folder / "export.zip", &dates);
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries.at("export-31-2.qox"), "1\t31\t12\t1\t10:05:00.00\t1\r\n");
    EXPECT_EQ(entries.at("export-32-1.qox"), "1\t32\t7\t1\t10:30:00.00\t1\r\n");
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    EXPECT_EQ(static_cast<int>(dates.front().tm_year), local.tm_year + 1900);
    EXPECT_EQ(static_cast<int>(dates.front().tm_mday), local.tm_mday);
}

// Backdates a file as if a killed export had left it there a while ago.
void LeaveOld(const std::string& path, const std::string& content = "") {
    test::WriteFile(path, content);
    const struct timespec old[2] = {{std::time(nullptr) - 3600, 0}, {std::time(nullptr) - 3600, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), old, 0), 0);
}

TEST_F(LinesExportTest, StalePartFilesOfKilledExportsGoAtTheNextExportAndNobodyElsesFiles) {
    LeaveOld(folder / "export-31-1.qox.part");
    LeaveOld(folder / "export-99-4.qox.part");
    LeaveOld(folder / "export-31-1-ljk.txt.part");
    LeaveOld(folder / "export.zip.part");
    LeaveOld(folder / "other-31-1.qox.part");        // another export's name
    LeaveOld(folder / "export-notes.txt.part");     // not a name of this export
    test::WriteFile(folder / "export-32-9.qox.part", "");  // just written: it may be in use
    RunLinesExport(Race(), Request(DisplayType::ClockTime));
    EXPECT_EQ(FolderEntries(folder.Path()),
              (std::vector<std::string>{"export-31-1.qox", "export-31-2.qox", "export-32-1.qox", "export-32-9.qox.part",
                                        "export-notes.txt.part", "export.zip.part", "other-31-1.qox.part"}));

    // Zipping: the archive's own left-over goes too, and those in the working folder.
    fs::create_directories(folder / "export");
    LeaveOld(folder / "export/export-31-2.qox.part");
    LinesExportRequest zipped = Request(DisplayType::ClockTime);
    zipped.zip = true;
    RunLinesExport(Race(), zipped);
    EXPECT_FALSE(fs::exists(folder / "export.zip.part"));
    EXPECT_FALSE(fs::exists(folder / "export"));
    EXPECT_TRUE(fs::exists(folder / "export.zip"));
}

TEST_F(LinesExportTest, FileThatCannotBeWrittenIsReportedNotCreated) {
    // A folder where the file should be: it cannot be replaced.
    fs::create_directories(folder / "export-31-2.qox");
    const ExportOutcome outcome = RunLinesExport(Race(), Request(DisplayType::ClockTime));
    EXPECT_EQ(outcome.created, (std::vector<std::string>{folder / "export-31-1.qox", folder / "export-32-1.qox"}));
    EXPECT_EQ(outcome.notCreated, (std::vector<std::string>{folder / "export-31-2.qox"}));
    ASSERT_EQ(outcome.problems.size(), 1u);
    EXPECT_NE(outcome.problems[0].find("export-31-2.qox"), std::string::npos);
    const std::string text = outcome.CompletionText();
    EXPECT_NE(text.find("Les fichiers suivants n'ont pas pu être créés :\n  " + (folder / "export-31-2.qox")),
              std::string::npos)
        << text;
    EXPECT_FALSE(fs::exists(folder / "export-31-2.qox.part"));

    // A destination that does not exist: nothing is listed as created.
    LinesExportRequest missing = Request(DisplayType::ClockTime);
    missing.folder = folder / "no/such/folder";
    const ExportOutcome none = RunLinesExport(Race(), missing);
    EXPECT_TRUE(none.created.empty());
    EXPECT_EQ(none.notCreated.size(), 3u);
}

TEST_F(LinesExportTest, FailedArchiveKeepsTheFilesAndSaysSo) {
    fs::create_directories(folder / "export.zip");  // the archive's name is taken by a folder
    LinesExportRequest request = Request(DisplayType::ClockTime);
    request.zip = true;
    const ExportOutcome outcome = RunLinesExport(Race(), request);
    EXPECT_EQ(outcome.created.size(), 3u);
    EXPECT_EQ(outcome.created.front(), folder / "export/export-31-1.qox");
    EXPECT_EQ(outcome.notCreated, (std::vector<std::string>{folder / "export.zip"}));
    EXPECT_TRUE(fs::exists(folder / "export/export-32-1.qox"));
    EXPECT_FALSE(fs::exists(folder / "export.zip.part"));
}

TEST_F(LinesExportTest, TransfersGetEveryCreatedFileOrTheReasonTheyDidNot) {
    LinesExportRequest request = Request(DisplayType::ClockTime);
    request.zip = true;
    request.ftp = true;

    // No server chosen.
    ExportOutcome outcome = RunLinesExport(Race(), request);
    EXPECT_TRUE(outcome.ftpAsked);
    EXPECT_FALSE(outcome.ftpStarted);
    EXPECT_NE(outcome.CompletionText().find("\n\nErreur de lancement transfert FTP : No FTP server selected..."),
              std::string::npos);

    test::RecordingUploads uploads;
    InstallExportUploads(&uploads);
    request.ftpServers = "Main\\Backup";
    outcome = RunLinesExport(Race(), request);
    EXPECT_TRUE(outcome.ftpStarted);
    EXPECT_EQ(uploads.serverFiles, (std::vector<std::string>{folder / "export.zip"}));
    EXPECT_EQ(uploads.names, "Main\\Backup");
    EXPECT_NE(outcome.CompletionText().find("\n\nTransfert FTP lancé."), std::string::npos);

    uploads.defined = false;
    outcome = RunLinesExport(Race(), request);
    EXPECT_EQ(outcome.ftpError, "No FTP server defined...");

    SetLanguage(Language::English);
    EXPECT_EQ(outcome.CompletionText().rfind("Data export finished.\n\nThe following files were created:", 0), 0u);
}

TEST_F(LinesExportTest, FileNamesAndDetectorIdsThatWouldLeaveTheFolder) {
    EXPECT_EQ(LinesFileName("export", "31", 2, DisplayType::PassingTime), "export-31-2.qox");
    EXPECT_EQ(LinesFileName("export", "31", 2, DisplayType::Logica), "export-31-2-ljk.txt");
    EXPECT_EQ(LinesFileName("export", "../x", 1, DisplayType::ClockTime), "export-.._x-1.qox");
    EXPECT_EQ(PassingFileName("race", 3, DisplayType::ClockTime), "race-3.qox");
    EXPECT_EQ(PassingFileName("race", 3, DisplayType::Logica), "race-3-ljk.txt");
}

}  // namespace
}  // namespace lv

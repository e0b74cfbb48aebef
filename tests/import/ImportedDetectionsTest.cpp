// Imported detections: the correction goes to the time of day as a live race-day
// offset does, and the save writes a whole detection file or leaves the old one.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "base/Texts.h"
#include "import/ImportedDetections.h"
#include "support/TempFolder.h"

namespace lv {
namespace {

using test::ReadFile;
using test::TempFolder;
using test::WriteFile;

const CDetection kPassing{CChrono(9 * 3600 + 41 * 60 + 7, 50), CChrono(1715499667, 50), "12"};

TEST(ImportedDetectionsTest, TheCorrectionGoesToTheTimeOfDayNotToTheInstant) {
    auto times = ImportedTimesOf(kPassing, 2);
    EXPECT_EQ(times.ofDay, CChrono(48 * 3600 + 9 * 3600 + 41 * 60 + 7, 50));
    EXPECT_EQ(times.instant, kPassing.dateTime);
    EXPECT_EQ(ImportedRecord(kPassing, "12", 1, false).timeText, "33:41:07.05");
    auto absolute = ImportedRecord(kPassing, "12", 1, true);
    EXPECT_EQ(absolute.timeText, "1715499667.5");
    EXPECT_EQ(absolute.absoluteTime, 1);
    EXPECT_EQ(absolute.boxName, "12");
    EXPECT_EQ(absolute.label, "12");
}

TEST(ImportedDetectionsTest, SaveWritesNumberedDetectionLinesAndReplacesTheOldFileWhole) {
    TempFolder folder;
    const std::string path = folder / "out.qox";
    WriteFile(path, "old content\n");
    std::vector<CDetection> detections(250, kPassing);
    detections[1].code = "13";
    std::vector<std::size_t> progress;
    std::string error, reason;
    ASSERT_TRUE(SaveImportedDetections(path, detections, "31", 0, false,
                                       [&](std::size_t n) { progress.push_back(n); }, error, reason));
    const std::string content = ReadFile(path);
    EXPECT_EQ(content.substr(0, 50), "1\t31\t12\t1\t09:41:07.05\t1\r\n2\t31\t13\t1\t09:41:07.05\t1\r\n");
    EXPECT_NE(content.find("250\t31\t12\t1\t09:41:07.05\t1\r\n"), std::string::npos);
    EXPECT_EQ(progress, (std::vector<std::size_t>{100, 200}));
}

TEST(ImportedDetectionsTest, ASaveUnderAPathThatIsNoFolderFails) {
    SetLanguage(Language::English);
    TempFolder folder;
    WriteFile(folder / "plain", "a file, not a folder");
    std::string error, reason;
    EXPECT_FALSE(SaveImportedDetections(folder / "plain/out.qox", {kPassing}, "31", 0, false, nullptr, error, reason));
    EXPECT_EQ(error, "Error creating file " + (folder / "plain/out.qox"));
    EXPECT_FALSE(reason.empty());
    EXPECT_EQ(ReadFile(folder / "plain"), "a file, not a folder");
    SetLanguage(Language::French);
}

TEST(ImportedDetectionsTest, ASaveIntoAFolderThatCannotBeWrittenFailsAndLeavesTheOldFile) {
    if (::geteuid() == 0) GTEST_SKIP() << "root writes into any folder";
    SetLanguage(Language::English);
    TempFolder folder;
    const std::string locked = folder / "locked";
    WriteFile(locked + "/out.qox", "old content\n");
    ASSERT_EQ(::chmod(locked.c_str(), 0555), 0);
    std::string error, reason;
    EXPECT_FALSE(SaveImportedDetections(locked + "/out.qox", {kPassing}, "31", 0, false, nullptr, error, reason));
    EXPECT_EQ(error, "Error creating file " + locked + "/out.qox");
    EXPECT_FALSE(reason.empty());
    EXPECT_EQ(ReadFile(locked + "/out.qox"), "old content\n");
    ::chmod(locked.c_str(), 0755);
    SetLanguage(Language::French);
}

}  // namespace
}  // namespace lv

// Reads taken back from a decoder's stored files: which files cover a stretch of time,
// and which of their lines are reads of it.
#include <gtest/gtest.h>

#include "boxes/StoredPassings.h"

namespace lv {
namespace {

// 2024-05-01 10:00:00 in Paris.
constexpr int32_t kTenOClock = 1714550400;

std::unique_ptr<CDetectionFile> File(const std::string& id, const std::string& created) {
    auto file = std::make_unique<CDetectionFile>();
    file->fileId = id;
    file->created = created;
    file->detectionsPath = "http://box/media/passings_" + id + ".txt";
    return file;
}

std::string Line(int n, const std::string& chip, const std::string& time, const std::string& date = "2024-05-01") {
    return "#P;" + std::to_string(n) + ";" + chip + ";" + date + ";" + time + ";1;0;0;-62;1;0;0;0;0;0;0;0;SIM\r\n";
}

TEST(StoredPassings, TheFilesOfTheDaysTheGapTouchesAreChosen) {
    std::vector<std::unique_ptr<CDetectionFile>> files;
    files.push_back(File("1001", "30/04/2024"));
    files.push_back(File("1002", "01/05/2024"));
    files.push_back(File("1003", "02/05/2024"));
    files.push_back(File("1004", "03/05/2024"));
    auto chosen = FilesCovering(files, CChrono(kTenOClock, 0), CChrono(kTenOClock + 600, 0));
    ASSERT_EQ(chosen.size(), 1u);
    EXPECT_EQ(chosen[0]->fileId, "1002");
    // A gap over midnight takes both days' files.
    chosen = FilesCovering(files, CChrono(kTenOClock + 13 * 3600, 0), CChrono(kTenOClock + 15 * 3600, 0));
    ASSERT_EQ(chosen.size(), 2u);
    EXPECT_EQ(chosen[0]->fileId, "1002");
    EXPECT_EQ(chosen[1]->fileId, "1003");
}

TEST(StoredPassings, WithoutAFileOfThoseDaysTheLatestIsTaken) {
    std::vector<std::unique_ptr<CDetectionFile>> files;
    files.push_back(File("7", "01/01/2024"));
    files.push_back(File("8", "not a date"));
    auto chosen = FilesCovering(files, CChrono(kTenOClock, 0), CChrono(kTenOClock + 60, 0));
    ASSERT_EQ(chosen.size(), 1u);
    EXPECT_EQ(chosen[0]->fileId, "8");
    EXPECT_TRUE(FilesCovering({}, CChrono(kTenOClock, 0), CChrono(kTenOClock + 60, 0)).empty());
}

TEST(StoredPassings, OnlyTheReadsOfTheStretchAreTakenAndOtherLinesCounted) {
    const std::string content = Line(1, "C1", "09:59:59.990") + Line(2, "C2", "10:00:00.000") + "garbage\r\n" +
                                "\r\n" + Line(3, "C3", "10:00:05.500") + Line(4, "C4", "10:00:05.501") +
                                Line(5, "C5", "10:00:01.000").substr(0, 20);
    std::size_t unreadable = 0;
    const auto reads = ReadStoredPassings(content, CChrono(kTenOClock, 0), CChrono(kTenOClock + 5, 500), unreadable);
    ASSERT_EQ(reads.size(), 2u);
    EXPECT_EQ(reads[0].code, "C2");
    EXPECT_EQ(reads[0].instant, CChrono(kTenOClock, 0));
    EXPECT_EQ(reads[1].code, "C3");
    EXPECT_EQ(reads[1].clockOfDay, CChrono(36005, 500));
    // The garbage line and the line cut short.
    EXPECT_EQ(unreadable, 2u);
}

}  // namespace
}  // namespace lv

#include "core/DetectionJournal.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "base/Texts.h"
#include "core/DetectionTable.h"
#include "core/DetectionTexts.h"
#include "support/LogCapture.h"
#include "support/TempFolder.h"

namespace lv {
namespace {

using test::ReadFile;
using test::TempFolder;

CQoxResult Record(const std::string& label) {
    CQoxResult record;
    record.label = label;
    record.boxName = "Box2";
    record.timeText = "10:05:03.07";
    return record;
}

class JournalTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetLanguage(Language::English);
        Logger::Instance().SetFilePath(folder_ / "Lumivane.log");
    }
    void TearDown() override { SetLanguage(Language::French); }

    TempFolder folder_;
    LogCapture log_;  // the log window, open at every level
};

TEST_F(JournalTest, ReopeningTheOpenFileDoesNothing) {
    DetectionJournal journal;
    const std::string path = folder_ / "a.dat";
    ASSERT_TRUE(journal.Open(path));
    journal.WriteLine(1, Record("1"));
    ASSERT_TRUE(journal.Open(path));
    journal.WriteLine(2, Record("2"));
    EXPECT_EQ(log_.CountContaining("Opening detection file : " + path), 1);
    EXPECT_EQ(ReadFile(path),
              "1\tBox2\t1\t1\t10:05:03.07\t1\r\n2\tBox2\t2\t1\t10:05:03.07\t1\r\n");
}

TEST_F(JournalTest, AnotherNameSwitchesFilesAndAClosedFileIsContinued) {
    DetectionJournal journal;
    ASSERT_TRUE(journal.Open(folder_ / "a.dat"));
    journal.WriteLine(1, Record("1"));
    ASSERT_TRUE(journal.Open(folder_ / "b.dat"));
    journal.WriteLine(2, Record("2"));
    journal.Close();
    EXPECT_FALSE(journal.IsOpen());
    EXPECT_EQ(journal.Name(), folder_ / "b.dat");
    journal.WriteLine(3, Record("lost"));
    journal.WriteLine(4, Record("lost too"));
    // Lines with no file to go to are said, once until a file is open again.
    EXPECT_EQ(log_.CountContaining("### Detection not saved: no detection file open [" + (folder_ / "b.dat") + "]"), 1);
    ASSERT_TRUE(journal.Open(folder_ / "b.dat"));
    journal.WriteLine(4, Record("4"));
    EXPECT_EQ(ReadFile(folder_ / "a.dat"), "1\tBox2\t1\t1\t10:05:03.07\t1\r\n");
    EXPECT_EQ(ReadFile(folder_ / "b.dat"),
              "2\tBox2\t2\t1\t10:05:03.07\t1\r\n4\tBox2\t4\t1\t10:05:03.07\t1\r\n");
    EXPECT_EQ(log_.CountContaining("Opening detection file : "), 3);
}

TEST_F(JournalTest, UnopenablePathIsReportedAndRecordsStillLandInTheTable) {
    DetectionTable& table = DetectionTable::Instance();
    table.ClearTable();
    const std::string path = folder_ / "missing-folder/journal.dat";
    EXPECT_FALSE(table.Journal().Open(path));
    EXPECT_FALSE(table.Journal().IsOpen());
    EXPECT_EQ(log_.CountContaining("Opening detection file : " + path), 1);
    EXPECT_EQ(log_.CountContaining("Error opening detection file : " + path), 1);
    table.AddResult("55", "Box1", CChrono(1748772303, 0), CChrono(36000, 0), false, true);
    EXPECT_EQ(table.Count(), 1u);
    EXPECT_EQ(table.CountActive(), 1);
    table.ClearTable();
    // The journal retries its file in the background: the session ends with the test.
    table.Journal().Close();
}

TEST_F(JournalTest, LinesReachTheDiskThroughTheFlusher) {
    DetectionJournal journal;
    ASSERT_TRUE(journal.Open(folder_ / "a.dat"));
    const std::size_t before = journal.SyncCount();
    journal.WriteLine(1, Record("1"));
    EXPECT_TRUE(journal.WaitUntilSynced(10000));
    EXPECT_GT(journal.SyncCount(), before);
}

TEST_F(JournalTest, SyncEachLineSyncsBeforeReturning) {
    DetectionJournal journal;
    journal.SetSyncEachLine(true);
    ASSERT_TRUE(journal.Open(folder_ / "a.dat"));
    journal.WriteLine(1, Record("1"));
    journal.WriteLine(2, Record("2"));
    EXPECT_EQ(journal.SyncCount(), 2u);
}

TEST_F(JournalTest, WriteFailureIsReportedOnceNotAtEveryLine) {
    DetectionJournal journal;
    ASSERT_TRUE(journal.Open("/dev/full"));
    for (int i = 1; i <= 3; ++i) journal.WriteLine(i, Record(std::to_string(i)));
    EXPECT_EQ(log_.CountContaining("### Error writing detection file : /dev/full ("), 1);
}

TEST_F(JournalTest, DestroyingAJournalWhileTheFlusherRunsKeepsEveryLine) {
    const std::string path = folder_ / "a.dat";
    {
        DetectionJournal journal;
        ASSERT_TRUE(journal.Open(path));
        for (int i = 1; i <= 100; ++i) journal.WriteLine(i, Record(std::to_string(i)));
    }
    const std::string content = ReadFile(path);
    EXPECT_EQ(content.rfind("100\tBox2\t100\t1\t10:05:03.07\t1\r\n"),
              content.size() - std::string("100\tBox2\t100\t1\t10:05:03.07\t1\r\n").size());
}

TEST(DetectionTexts, ResetCountIsSingularUpToOne) {
    SetLanguage(Language::English);
    EXPECT_EQ(DetectionListResetText(0), "+ Detection list reset done. (0 detection)");
    EXPECT_EQ(DetectionListResetText(1), "+ Detection list reset done. (1 detection)");
    EXPECT_EQ(DetectionListResetText(2), "+ Detection list reset done. (2 detections)");
    SetLanguage(Language::French);
    EXPECT_EQ(DetectionListResetText(1),
              "+ Remise à zéro de la liste des détections effectuée. (1 détection)");
    EXPECT_EQ(DetectionListResetText(3),
              "+ Remise à zéro de la liste des détections effectuée. (3 détections)");
}

}  // namespace
}  // namespace lv

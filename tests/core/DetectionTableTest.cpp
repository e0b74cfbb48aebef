#include "core/DetectionTable.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "core/DetectionExport.h"
#include "core/DetectionJournal.h"
#include "support/LogCapture.h"
#include "support/TempFolder.h"

namespace lv {
namespace {

using test::ReadFile;
using test::TempFolder;

const CChrono kOfDay(10 * 3600 + 5 * 60 + 3, 79);  // 10:05:03.07
const CChrono kInstant(1748772303, 79);

class DetectionTableTest : public ::testing::Test {
protected:
    void SetUp() override {
        Logger::Instance().SetFilePath(folder_ / "Lumivane.log");
        Table().ClearTable();
        Table().Journal().Close();
    }
    void TearDown() override {
        Table().Journal().Close();
        Table().ClearTable();
    }

    static DetectionTable& Table() { return DetectionTable::Instance(); }

    static CQoxResult* Add(const std::string& label, bool absolute = false, bool toFile = true) {
        return Table().AddResult(label, "Box1", kInstant, kOfDay, absolute, toFile);
    }

    static std::vector<std::string> Lines(const std::string& content) {
        std::vector<std::string> lines;
        std::size_t start = 0;
        while (start < content.size()) {
            std::size_t end = content.find("\r\n", start);
            if (end == std::string::npos) {
                lines.push_back(content.substr(start) + "<no CR LF>");
                break;
            }
            lines.push_back(content.substr(start, end - start));
            start = end + 2;
        }
        return lines;
    }

    TempFolder folder_;
    LogCapture log_;  // the log window, open at every level
};

TEST_F(DetectionTableTest, ARecordOutlivesAResetUntilTheClearedRecordsAreFreed) {
    // A box thread may still push or show its record while the user resets the list.
    CQoxResult* record = Add("1234");
    Table().ClearTable();
    EXPECT_EQ(Table().Count(), 0u);
    EXPECT_EQ(Table().CountActive(), 0);
    EXPECT_EQ(record->label, "1234");
    EXPECT_EQ(FormatForTimingApp(*record), "1\tBox1\t1234\t1\t10:05:03.07");
    Table().FreeClearedRecords();
}

TEST_F(DetectionTableTest, RecordHoldsWhatTheIntakeGave) {
    Table().SetIdCounterForTests(0);
    CQoxResult* clock = Add("123");
    EXPECT_EQ(clock->label, "123");
    EXPECT_EQ(clock->boxName, "Box1");
    EXPECT_EQ(clock->timeText, "10:05:03.07");
    EXPECT_EQ(clock->absoluteTime, 0);
    EXPECT_EQ(clock->flagA, 1);
    EXPECT_EQ(clock->flagB, 0);
    EXPECT_EQ(clock->active, 1);
    EXPECT_EQ(clock->id, 1u);
    CQoxResult* absolute = Add("ABC", true);
    EXPECT_EQ(absolute->timeText, "1748772303.7");
    EXPECT_EQ(absolute->absoluteTime, 1);
    EXPECT_EQ(absolute->id, 2u);
}

TEST_F(DetectionTableTest, IdCounterNeverGivesTheLargestValue) {
    Table().SetIdCounterForTests(4294967293u);
    EXPECT_EQ(Add("a")->id, 4294967294u);
    EXPECT_EQ(Add("b")->id, 1u);
    EXPECT_EQ(Add("c")->id, 2u);
    Table().ClearTable();
    EXPECT_EQ(Add("d")->id, 3u) << "a reset of the list does not reset the counter";
}

TEST_F(DetectionTableTest, RemovedRecordsStayButDoNotCount) {
    std::vector<CQoxResult*> records;
    for (int i = 0; i < 5; ++i) records.push_back(Add(std::to_string(i)));
    Table().SetActive(records[1], false);
    Table().SetActive(records[3], false);
    EXPECT_EQ(Table().CountActive(), 3);
    EXPECT_EQ(Table().Count(), 5u);
    Table().SetActive(records[3], true);
    EXPECT_EQ(Table().CountActive(), 4);
    Table().ClearTable();
    EXPECT_EQ(Table().CountActive(), 0);
    EXPECT_EQ(Table().Count(), 0u);
}

TEST_F(DetectionTableTest, RecordsNeverMoveWhileTheTableGrows) {
    CQoxResult* first = Add("first");
    for (int i = 0; i < 5000; ++i) Add(std::to_string(i), false, false);
    EXPECT_EQ(first->label, "first");
    Table().WithRecords([&](const std::deque<CQoxResult>& records) {
        ASSERT_EQ(records.size(), 5001u);
        EXPECT_EQ(&records.front(), first);
    });
}

TEST_F(DetectionTableTest, JournalHasEveryLineExportOnlyTheActiveOnes) {
    ASSERT_TRUE(Table().Journal().Open(folder_ / "Lumivane-20250601-100000.dat"));
    Add("101");
    CQoxResult* second = Add("102");
    Add("ABC", true);
    Table().SetActive(second, false);
    EXPECT_EQ(ReadFile(folder_ / "Lumivane-20250601-100000.dat"),
              "1\tBox1\t101\t1\t10:05:03.07\t1\r\n"
              "2\tBox1\t102\t1\t10:05:03.07\t1\r\n"
              "3\tBox1\tABC\t1\t1748772303.7\t2\r\n");
    ASSERT_TRUE(ExportDetectionTable(folder_ / "Lumivane.qox"));
    EXPECT_EQ(ReadFile(folder_ / "Lumivane.qox"),
              "1\tBox1\t101\t1\t10:05:03.07\t1\r\n"
              "2\tBox1\tABC\t1\t1748772303.7\t2\r\n");
}

TEST_F(DetectionTableTest, JournalNumbersRestartAfterAReset) {
    ASSERT_TRUE(Table().Journal().Open(folder_ / "first.dat"));
    Add("1");
    Add("2");
    Table().ClearTable();
    Table().Journal().Close();
    ASSERT_TRUE(Table().Journal().Open(folder_ / "second.dat"));
    Add("3");
    EXPECT_EQ(ReadFile(folder_ / "second.dat"), "1\tBox1\t3\t1\t10:05:03.07\t1\r\n");
    EXPECT_EQ(Lines(ReadFile(folder_ / "first.dat")).size(), 2u);
}

TEST_F(DetectionTableTest, RecordsOutsideTheJournalLeaveNoLine) {
    ASSERT_TRUE(Table().Journal().Open(folder_ / "journal.dat"));
    Add("kept", false, false);
    Add("written");
    EXPECT_EQ(ReadFile(folder_ / "journal.dat"), "2\tBox1\twritten\t1\t10:05:03.07\t1\r\n");
}

TEST_F(DetectionTableTest, FieldsFromOutsideCannotBreakALine) {
    ASSERT_TRUE(Table().Journal().Open(folder_ / "journal.dat"));
    Table().AddResult("12\r\n3\tX", "Box\n2", kInstant, kOfDay, false, true);
    EXPECT_EQ(ReadFile(folder_ / "journal.dat"), "1\tBox 2\t12  3 X\t1\t10:05:03.07\t1\r\n");
}

TEST_F(DetectionTableTest, ExportWritesWhatItIsAskedAndReportsFailure) {
    Table().SetActive(Add("x"), false);
    ASSERT_TRUE(ExportDetectionTable(folder_ / "empty.qox"));
    EXPECT_EQ(ReadFile(folder_ / "empty.qox"), "");
    EXPECT_FALSE(ExportDetectionTable(folder_ / "no/such/folder/out.qox"));
    Add("y");
    EXPECT_FALSE(ExportDetectionTable("/dev/full")) << "a failed write is no success";
}

TEST_F(DetectionTableTest, ConcurrentRecordingKeepsJournalInTableOrder) {
    ASSERT_TRUE(Table().Journal().Open(folder_ / "busy.dat"));
    constexpr int kThreads = 4;
    constexpr int kPerThread = 500;
    std::vector<std::thread> boxes;
    for (int b = 0; b < kThreads; ++b) {
        boxes.emplace_back([b] {
            const std::string box = "Box" + std::to_string(b + 1);
            for (int i = 0; i < kPerThread; ++i) {
                Table().AddResult(std::to_string(b * 10000 + i), box, kInstant, kOfDay, false, true);
            }
        });
    }
    for (std::thread& t : boxes) t.join();

    const std::vector<std::string> lines = Lines(ReadFile(folder_ / "busy.dat"));
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(kThreads * kPerThread));
    Table().WithRecords([&](const std::deque<CQoxResult>& records) {
        ASSERT_EQ(records.size(), lines.size());
        uint32_t previousId = 0;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const CQoxResult& r = records[i];
            ASSERT_EQ(lines[i], std::to_string(i + 1) + "\t" + r.boxName + "\t" + r.label +
                                    "\t1\t10:05:03.07\t1")
                << "line " << i + 1;
            if (i > 0) {
                ASSERT_EQ(r.id, previousId + 1) << "ids follow the table order";
            }
            previousId = r.id;
        }
    });
}

// Threads recording together share writes to the journal: none may go on before the
// write that carries its own line is done. The lines are of one length but for their
// number, so the file's size tells whether the first n lines are in.
TEST_F(DetectionTableTest, ConcurrentRecordingReturnsOnlyOnceItsLineIsInTheFile) {
    const std::string path = folder_ / "shared.dat";
    ASSERT_TRUE(Table().Journal().Open(path));
    Table().SetIdCounterForTests(0);  // ids are then the lines' numbers
    const std::size_t sameForAll = std::string("\tBox1\t000000\t1\t10:05:03.07\t1\r\n").size();
    auto bytesUpTo = [&](std::size_t n) {
        std::size_t bytes = 0;
        for (std::size_t k = 1; k <= n; ++k) bytes += std::to_string(k).size() + sameForAll;
        return bytes;
    };
    constexpr int kThreads = 4;
    constexpr int kPerThread = 500;
    std::vector<std::thread> boxes;
    std::vector<int> early(kThreads, 0);
    for (int b = 0; b < kThreads; ++b) {
        boxes.emplace_back([&, b] {
            for (int i = 0; i < kPerThread; ++i) {
                char label[8];
                std::snprintf(label, sizeof label, "%06d", b * 10000 + i);
                const CQoxResult* record = Table().AddResult(label, "Box1", kInstant, kOfDay, false, true);
                struct stat file {};
                if (stat(path.c_str(), &file) != 0 ||
                    static_cast<std::size_t>(file.st_size) < bytesUpTo(record->id)) {
                    ++early[b];
                }
            }
        });
    }
    for (std::thread& t : boxes) t.join();
    for (int b = 0; b < kThreads; ++b) EXPECT_EQ(early[b], 0) << "box " << b + 1;
    EXPECT_EQ(ReadFile(path).size(), bytesUpTo(kThreads * kPerThread));
}

}  // namespace
}  // namespace lv

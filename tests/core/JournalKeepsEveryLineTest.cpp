// The journal under a full disk, a deleted file, a replaced folder and a planted link:
// every line ends in the file, whole, in order.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <string>

#include "base/Texts.h"
#include "core/DetectionJournal.h"
#include "support/LogCapture.h"
#include "support/TempFolder.h"
#include "support/WaitUntil.h"

namespace lv {
namespace {

using test::ReadFile;
using test::TempFolder;
using test::WaitUntil;

CQoxResult Record(int n) {
    CQoxResult record;
    record.label = std::to_string(n);
    record.boxName = "31";
    record.timeText = "10:05:03.07";
    return record;
}

std::string Lines(int from, int to) {
    std::string text;
    for (int n = from; n <= to; ++n) text += FormatDetectionLine(static_cast<std::size_t>(n), Record(n));
    return text;
}

// A disk with room for `room` more bytes: a write beyond it is cut short, the next one
// fails with ENOSPC.
class FillingDisk {
public:
    explicit FillingDisk(long room) : room_(room) {}
    DetectionJournal::WriteFunction Function() {
        return [this](int fd, const char* data, std::size_t size) -> long {
            long room = room_.load();
            if (room <= 0) {
                errno = ENOSPC;
                return -1;
            }
            long n = static_cast<long>(size) < room ? static_cast<long>(size) : room;
            long written = static_cast<long>(::write(fd, data, static_cast<std::size_t>(n)));
            if (written > 0) room_ -= written;
            return written;
        };
    }
    void MakeRoom() { room_ = 1L << 40; }

private:
    std::atomic<long> room_;
};

class JournalKeepsEveryLineTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetLanguage(Language::English);
        Logger::Instance().SetFilePath(folder_ / "Lumivane.log");
    }
    void TearDown() override { SetLanguage(Language::French); }

    TempFolder folder_;
    LogCapture log_;
};

TEST_F(JournalKeepsEveryLineTest, LinesThatFindNoSpaceWaitInOrderAndAreWrittenWholeWhenSpaceReturns) {
    const std::string path = folder_ / "logfiles/a.dat";
    std::filesystem::create_directories(folder_ / "logfiles");
    const long lineSize = static_cast<long>(Lines(1, 1).size());
    // Room for five lines and part of the sixth.
    FillingDisk disk(5 * lineSize + lineSize / 2);
    DetectionJournal journal;
    journal.SetWriteFunction(disk.Function());
    ASSERT_TRUE(journal.Open(path));
    for (int n = 1; n <= 20; ++n) journal.WriteLine(static_cast<std::size_t>(n), Record(n));

    // No torn line: the piece of the sixth was taken back.
    EXPECT_EQ(ReadFile(path), Lines(1, 5));
    EXPECT_EQ(journal.PendingLines(), 15u);
    EXPECT_EQ(log_.CountContaining("### Error writing detection file : " + path), 1);
    EXPECT_EQ(log_.CountContaining("### 1 detection line(s) kept in memory until the detection file can be written"),
              1);

    // Space comes back: the waiting lines go first, then the new one.
    disk.MakeRoom();
    journal.WriteLine(21, Record(21));
    EXPECT_EQ(ReadFile(path), Lines(1, 21));
    EXPECT_EQ(journal.PendingLines(), 0u);
    EXPECT_EQ(log_.CountContaining("+++ Detection file up to date again: 15 line(s) written late : " + path), 1);
    EXPECT_EQ(log_.CountContaining("### Error writing detection file"), 1);
}

TEST_F(JournalKeepsEveryLineTest, PendingLinesAreRetriedWithoutNewDetections) {
    const std::string path = folder_ / "a.dat";
    FillingDisk disk(0);
    DetectionJournal journal;
    journal.SetWriteFunction(disk.Function());
    ASSERT_TRUE(journal.Open(path));
    for (int n = 1; n <= 3; ++n) journal.WriteLine(static_cast<std::size_t>(n), Record(n));
    EXPECT_EQ(journal.PendingLines(), 3u);
    disk.MakeRoom();
    // The background retry writes them; nobody records anything more.
    ASSERT_TRUE(WaitUntil([&] { return journal.PendingLines() == 0; }));
    EXPECT_EQ(ReadFile(path), Lines(1, 3));
}

TEST_F(JournalKeepsEveryLineTest, ADeletedFileIsRecreatedWithEveryLineOfTheSession) {
    const std::string path = folder_ / "a.dat";
    DetectionJournal journal;
    ASSERT_TRUE(journal.Open(path));
    for (int n = 1; n <= 3; ++n) journal.WriteLine(static_cast<std::size_t>(n), Record(n));
    ASSERT_EQ(::unlink(path.c_str()), 0);
    journal.WriteLine(4, Record(4));
    // Noticed by the background check, without any help.
    ASSERT_TRUE(WaitUntil([&] { return ReadFile(path) == Lines(1, 4); }, std::chrono::seconds(5)));
    journal.WriteLine(5, Record(5));
    EXPECT_EQ(ReadFile(path), Lines(1, 5));
    EXPECT_EQ(log_.CountContaining("### Detection file removed or replaced: it is recreated with the 4 line(s)"), 1);
    EXPECT_EQ(log_.CountContaining("+++ Detection file recreated : " + path), 1);
}

TEST_F(JournalKeepsEveryLineTest, AFolderReplacedByAFileKeepsTheLinesUntilTheFolderCanBeMade) {
    const std::string logs = folder_ / "logfiles";
    const std::string path = logs + "/a.dat";
    std::filesystem::create_directories(logs);
    DetectionJournal journal;
    ASSERT_TRUE(journal.Open(path));
    journal.WriteLine(1, Record(1));
    std::filesystem::remove_all(logs);
    test::WriteFile(logs, "not a folder");
    journal.WriteLine(2, Record(2));
    journal.MaintainNow();
    journal.WriteLine(3, Record(3));
    journal.MaintainNow();
    EXPECT_EQ(journal.PendingLines(), 3u);
    EXPECT_EQ(ReadFile(logs), "not a folder");

    std::filesystem::remove(logs);
    journal.MaintainNow();
    EXPECT_EQ(ReadFile(path), Lines(1, 3));
    EXPECT_EQ(journal.PendingLines(), 0u);
    journal.Close();
}

TEST_F(JournalKeepsEveryLineTest, ALinkPlantedUnderTheNameIsNeverFollowed) {
    const std::string victim = folder_ / "victim.txt";
    const std::string path = folder_ / "a.dat";
    test::WriteFile(victim, "precious\n");
    ASSERT_EQ(::symlink(victim.c_str(), path.c_str()), 0);
    DetectionJournal journal;
    EXPECT_FALSE(journal.Open(path));
    journal.WriteLine(1, Record(1));
    journal.MaintainNow();
    EXPECT_EQ(ReadFile(victim), "precious\n");
    EXPECT_EQ(journal.PendingLines(), 1u);
    // Opening it again when the boxes connect says nothing new.
    EXPECT_FALSE(journal.Open(path));
    EXPECT_EQ(log_.CountContaining("Error opening detection file : " + path), 1);
    EXPECT_EQ(log_.CountContaining("Opening detection file : " + path), 1);

    // The link removed, the journal gets its file and its line.
    ASSERT_EQ(::unlink(path.c_str()), 0);
    journal.MaintainNow();
    EXPECT_EQ(ReadFile(path), Lines(1, 1));
    journal.Close();
}

TEST_F(JournalKeepsEveryLineTest, ClosingWithPendingLinesSaysHowManyAndAReopeningWritesThem) {
    const std::string path = folder_ / "a.dat";
    FillingDisk disk(0);
    DetectionJournal journal;
    journal.SetWriteFunction(disk.Function());
    ASSERT_TRUE(journal.Open(path));
    journal.WriteLine(1, Record(1));
    journal.WriteLine(2, Record(2));
    journal.Close();
    EXPECT_EQ(log_.CountContaining("######## Detection file closed with 2 line(s) not written : " + path), 1);
    disk.MakeRoom();
    ASSERT_TRUE(journal.Open(path));
    EXPECT_EQ(ReadFile(path), Lines(1, 2));
    journal.Close();
}

}  // namespace
}  // namespace lv

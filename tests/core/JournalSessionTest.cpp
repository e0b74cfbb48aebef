// A detection file as the run knows it: its lines kept and read back by number, the
// state beside it, and a stopped run's file read back for resuming.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <thread>

#include "core/DetectionJournal.h"
#include "core/JournalSession.h"
#include "core/NumberRanges.h"
#include "core/SessionResume.h"
#include "support/LogCapture.h"
#include "support/TempFolder.h"

namespace lv {
namespace {

using test::ReadFile;
using test::TempFolder;
using test::WriteFile;

std::string Line(int number, const std::string& label, const std::string& time = "10:00:00.00") {
    return std::to_string(number) + "\t31\t" + label + "\t1\t" + time + "\t1\r\n";
}

TEST(NumberRanges, KeepNumbersAsFewRanges) {
    NumberRanges set;
    for (std::size_t n : {5, 7, 6, 1, 3, 2, 10}) set.Insert(n);
    EXPECT_EQ(set.Format(), "1-3,5-7,10");
    set.Erase(6);
    set.Erase(1);
    set.Erase(42);
    EXPECT_EQ(set.Format(), "2-3,5,7,10");
    EXPECT_TRUE(set.Contains(7));
    EXPECT_FALSE(set.Contains(6));
    EXPECT_EQ(set.CountWithin(3, 9), 3u);
    NumberRanges read;
    ASSERT_TRUE(read.Parse(set.Format()));
    EXPECT_EQ(read, set);
    // Anything else is refused whole.
    for (const char* bad : {"3-1", "1,1", "2-4,3", "x", "1,", "-1", "99999999999999999999"}) {
        EXPECT_FALSE(read.Parse(bad)) << bad;
        EXPECT_EQ(read, set);
    }
    ASSERT_TRUE(read.Parse(""));
    EXPECT_TRUE(read.Empty());
}

TEST(JournalSession, LinesAreReadBackByNumberAcrossChunks) {
    JournalSession session("/nowhere/Lumivane-20260101-000000.dat");
    const std::string big(700000, 'x');
    session.Append(Line(1, "1") + Line(2, big));
    session.Append(Line(3, big) + Line(4, "4"));
    ASSERT_EQ(session.Lines(), 4u);
    std::string line;
    ASSERT_TRUE(session.CopyLine(3, line));
    EXPECT_EQ(line, Line(3, big));
    ASSERT_TRUE(session.CopyLine(4, line));
    EXPECT_EQ(line, Line(4, "4"));
    EXPECT_FALSE(session.CopyLine(5, line));
    EXPECT_FALSE(session.CopyLine(0, line));
    std::string joined;
    for (std::string_view piece : session.BytesFrom(0)) joined.append(piece);
    EXPECT_EQ(joined, Line(1, "1") + Line(2, big) + Line(3, big) + Line(4, "4"));
    // Whole lines within a byte count, and where each begins.
    EXPECT_EQ(session.LinesWithin(Line(1, "1").size()), 1u);
    EXPECT_EQ(session.LinesWithin(Line(1, "1").size() + 5), 1u);
    EXPECT_EQ(session.LineStart(2), Line(1, "1").size());
    EXPECT_EQ(session.LineStart(9), session.Bytes());
}

TEST(JournalSession, TheStateFileKeepsItsPositionInPlaceAndTheRestWhole) {
    TempFolder folder;
    JournalSession session(folder / "Lumivane-20260101-000000.dat");
    EXPECT_EQ(SessionStatePath(session.Path()), folder / "Lumivane-20260101-000000.sent");
    session.HoldBack(4);
    session.HoldBack(5);
    session.SetRemoved(2, true);
    session.SetForwarded(3);
    ASSERT_TRUE(session.SavePosition());  // the first writes the whole file
    EXPECT_EQ(ReadFile(folder / "Lumivane-20260101-000000.sent"),
              "sent 0000000003\nclean 0\nremoved 2\nheld 4-5\n");
    session.SetForwarded(12);
    session.SetForwarded(7);  // never backwards
    ASSERT_TRUE(session.SavePosition());
    SessionState state;
    ASSERT_TRUE(LoadSessionState(SessionStatePath(session.Path()), state));
    EXPECT_EQ(state.forwarded, 12u);
    EXPECT_FALSE(state.clean);
    EXPECT_EQ(state.removed.Format(), "2");
    EXPECT_EQ(state.heldBack.Format(), "4-5");
    ASSERT_TRUE(session.SaveState(true));
    ASSERT_TRUE(LoadSessionState(SessionStatePath(session.Path()), state));
    EXPECT_TRUE(state.clean);

    WriteFile(folder / "bad.sent", "sent 12\nremoved 3-1\n");
    EXPECT_FALSE(LoadSessionState(folder / "bad.sent", state));
    EXPECT_TRUE(state.clean);  // unchanged
    WriteFile(folder / "bad.sent", "clean 1\n");
    EXPECT_FALSE(LoadSessionState(folder / "bad.sent", state));
    EXPECT_FALSE(LoadSessionState(folder / "missing.sent", state));
}

class SessionResumeTest : public ::testing::Test {
protected:
    std::string Folder() { return folder / "logfiles"; }
    std::string Write(const std::string& name, const std::string& content, std::chrono::hours age = {}) {
        std::filesystem::create_directories(Folder());
        const std::string path = Folder() + "/" + name;
        WriteFile(path, content);
        std::filesystem::last_write_time(path, std::filesystem::file_time_type::clock::now() - age);
        return path;
    }
    TempFolder folder;
    const std::array<std::string, 4> raceDays{"20240501", "20240502", "20240503", "20240504"};
};

TEST_F(SessionResumeTest, OnlyTheMostRecentFileIsTakenAndOnlyWhileItIsRecent) {
    EXPECT_EQ(FindSessionToResume(Folder(), 2), "");
    Write("Lumivane-20240501-090000.dat", Line(1, "1"));
    const std::string newest = Write("Lumivane-20240501-100000.dat", Line(1, "2"), std::chrono::hours(1));
    Write("Lumivane.log", "not a detection file");
    Write("Lumivane-20240501-1000.dat", Line(1, "3"));
    EXPECT_EQ(FindSessionToResume(Folder(), 2), newest);
    // Resuming switched off, or the file too old: a new file.
    EXPECT_EQ(FindSessionToResume(Folder(), 0), "");
    EXPECT_EQ(FindSessionToResume(Folder(), 1), "");
    // A newer file without any detection (a start left at once) is the most recent.
    Write("Lumivane-20240501-110000.dat", "");
    EXPECT_EQ(FindSessionToResume(Folder(), 2), "");
}

TEST_F(SessionResumeTest, FilesOfTheSameSecondAreOrderedByTheirNumber) {
    // Instances started in the same second wrote "-2", "-10": the highest number is the newest.
    Write("Lumivane-20240501-100000.dat", Line(1, "1"));
    Write("Lumivane-20240501-100000-2.dat", Line(1, "2"));
    const std::string newest = Write("Lumivane-20240501-100000-10.dat", Line(1, "3"));
    Write("Lumivane-20240501-100000-x.dat", Line(1, "4"));
    EXPECT_EQ(FindSessionToResume(Folder(), 2), newest);
    const std::string later = Write("Lumivane-20240501-100001.dat", Line(1, "5"));
    EXPECT_EQ(FindSessionToResume(Folder(), 2), later);
}

TEST_F(SessionResumeTest, AFileIsReadBackWithItsStateAndAnUnfinishedLineCut) {
    const std::string path = Write("Lumivane-20240501-100000.dat",
                                   Line(1, "12", "10:00:00.07") + Line(2, "13", "34:00:01.50") +
                                       "3\t31\t14\t1\t1714550405.5\t2\r\n" + "4\t31\t1");
    WriteFile(SessionStatePath(path), "sent 0000000009\nclean 1\nremoved 2\nheld \n");
    ResumedSession resumed;
    std::string problem;
    ASSERT_TRUE(ReadBackSession(path, raceDays, resumed, problem)) << problem;
    ASSERT_EQ(resumed.records.size(), 3u);
    EXPECT_EQ(resumed.records[0].label, "12");
    EXPECT_EQ(resumed.records[0].boxName, "31");
    EXPECT_EQ(resumed.records[0].timeText, "10:00:00.07");
    EXPECT_EQ(resumed.records[1].ofDay.FormatHundredths(), "34:00:01.50");
    EXPECT_EQ(resumed.records[1].active, 0);  // removed before the stop
    // An absolute time: its time of day by the race-day rule.
    EXPECT_EQ(resumed.records[2].absoluteTime, 1);
    EXPECT_EQ(resumed.records[2].ofDay.FormatHundredths(), "10:00:05.05");
    EXPECT_EQ(resumed.lastTime, "1714550405.5");
    EXPECT_TRUE(resumed.stateFound);
    EXPECT_TRUE(resumed.state.clean);
    EXPECT_EQ(resumed.state.forwarded, 3u);  // no further than the file
    // The line a power failure cut is gone from the file too.
    EXPECT_EQ(resumed.cutBytes, 6u);
    EXPECT_EQ(ReadFile(path), resumed.content);
    EXPECT_EQ(resumed.content.substr(resumed.content.size() - 2), "\r\n");
}

TEST_F(SessionResumeTest, AFileWithALineThatDoesNotReadIsNotContinued) {
    ResumedSession resumed;
    std::string problem;
    for (const std::string& content :
         {Line(1, "12") + Line(3, "13"), Line(1, "12") + "2\t31\t13\t1\t10:00:00.00\r\n",
          Line(1, "12") + std::string("\0\0\0\r\n", 5), Line(1, "12") + "2\t31\t13\t2\t10:00:00.00\t1\r\n",
          Line(1, "12") + "2\t31\t13\t1\tsoon\t1\r\n", std::string("\r\n")}) {
        const std::string path = Write("Lumivane-20240501-100000.dat", content);
        EXPECT_FALSE(ReadBackSession(path, raceDays, resumed, problem)) << content;
        EXPECT_FALSE(problem.empty());
    }
}

TEST_F(SessionResumeTest, AContinuedFileGetsItsNewLinesAfterItsOldOnes) {
    LogCapture log;
    const std::string path = Write("Lumivane-20240501-100000.dat", Line(1, "12") + Line(2, "13"));
    ResumedSession resumed;
    std::string problem;
    ASSERT_TRUE(ReadBackSession(path, raceDays, resumed, problem));
    DetectionJournal journal;
    ASSERT_TRUE(journal.Continue(path, resumed.content, resumed.state));
    journal.WaitWritten(journal.QueueLine(3, "\t31\t14\t1\t10:00:02.00\t1\r\n"));
    EXPECT_EQ(journal.CurrentSession()->Lines(), 3u);
    journal.Close();
    EXPECT_EQ(ReadFile(path), Line(1, "12") + Line(2, "13") + Line(3, "14", "10:00:02.00"));
    // A run in progress: its end is not taken for a clean one until it says so.
    SessionState state;
    ASSERT_TRUE(LoadSessionState(SessionStatePath(path), state));
    EXPECT_FALSE(state.clean);
}

}  // namespace
}  // namespace lv

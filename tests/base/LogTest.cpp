#include <gtest/gtest.h>

#include <chrono>
#include <clocale>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <thread>
#include <vector>

#include "base/Log.h"
#include "base/LogRotation.h"
#include "base/Texts.h"
#include "base/NamedMutex.h"
#include "base/Clock.h"
#include "base/WriteCombiner.h"
#include "support/LocalTime.h"
#include "support/TempFolder.h"

namespace lv {
namespace {

using test::ReadFile;
using test::TempFolder;

// 7 March 2025, 09:05:03 in Paris.
std::chrono::system_clock::time_point FixedNow() { return test::LocalInstant(2025, 3, 7, 9, 5, 3); }

constexpr const char* kStamp = "07 March 2025 - 09:05:03";

class RecordingSink : public LogWindowSink {
public:
    void OnLogWindowLine(const std::string& line) override { lines.push_back(line); }
    void OnLogWindowPurged(std::size_t count) override { purged += count; }
    std::vector<std::string> lines;
    std::size_t purged = 0;
};

std::vector<std::string> SplitCrLf(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
        lines.push_back(text.substr(start, end - start));
    }
    EXPECT_EQ(start, text.size()) << "the file does not end with CR LF";
    return lines;
}

class LogTest : public ::testing::Test {
protected:
    void SetUp() override {
        previousLocale = std::setlocale(LC_TIME, nullptr);
        std::setlocale(LC_TIME, "C");
        previousLanguage = CurrentLanguage();
        SetLanguage(Language::English);
        SetWallClockSourceForTests(FixedNow);
        logger.SetFilePath(logFile);
        logger.SetWindowLevel(50);
        logger.SetWindowOpen(true);
        logger.SetSink(&sink);
        logger.ClearWindow();
    }
    void TearDown() override {
        logger.SetSink(nullptr);
        logger.SetWindowOpen(false);
        logger.ClearWindow();
        logger.SetFilePath("");
        logger.SetRotation(0, 1);
        logger.SetFileCheckInterval(Logger::kFileCheckInterval);
        SetWallClockSourceForTests({});
        std::setlocale(LC_TIME, previousLocale.c_str());
        SetLanguage(previousLanguage);
    }

    TempFolder folder;
    std::string logFile = folder / "Lumivane.log";
    Logger& logger = Logger::Instance();
    RecordingSink sink;
    std::string previousLocale;
    Language previousLanguage = Language::French;
};

TEST_F(LogTest, TimeStampUsesTheInjectedClock) { EXPECT_EQ(Logger::TimeStamp(), kStamp); }

TEST_F(LogTest, TimeStampMonthFollowsTheProgramLanguageWhateverTheSystemLocale) {
    // The C locale knows no French month: the name comes from the program's texts.
    SetLanguage(Language::French);
    EXPECT_EQ(Logger::TimeStamp(), "07 mars 2025 - 09:05:03");
    // And a French system locale does not put French months in the English program.
    if (std::setlocale(LC_TIME, "fr_FR.UTF-8") != nullptr) {
        SetLanguage(Language::English);
        EXPECT_EQ(Logger::TimeStamp(), kStamp);
    }
}

TEST_F(LogTest, LineBreaksAreSpelledOutInTheWindowAndKeptInTheFile) {
    Log(0, "+ first\r\nsecond");
    ASSERT_EQ(logger.WindowLines(), std::vector<std::string>{std::string(kStamp) + " + first<CR><LF>second"});
    EXPECT_EQ(sink.lines, logger.WindowLines());
    EXPECT_EQ(ReadFile(logFile), std::string(kStamp) + " : + first\r\nsecond\r\n");
}

TEST_F(LogTest, ALoneLineFeedWritesAnEmptyLine) {
    Log(0, "a");
    Log(0, "\n");
    Log(0, "b");
    EXPECT_EQ(ReadFile(logFile), std::string(kStamp) + " : a\r\n\r\n" + kStamp + " : b\r\n");
}

TEST_F(LogTest, TheWindowLevelFiltersTheWindowButNeverTheFile) {
    Log(0, "always");
    Log(50, "at level");
    Log(51, "too detailed");
    logger.SetWindowLevel(100);
    Log(100, ">> protocol");
    std::vector<std::string> window = logger.WindowLines();
    ASSERT_EQ(window.size(), 3u);
    EXPECT_EQ(window[2], std::string(kStamp) + " >> protocol");
    std::vector<std::string> file = SplitCrLf(ReadFile(logFile));
    ASSERT_EQ(file.size(), 4u);
    EXPECT_EQ(file[2], std::string(kStamp) + " : too detailed");
}

TEST_F(LogTest, BeforeTheWindowOpensMessagesReachTheFileOnly) {
    logger.SetWindowOpen(false);
    Log(0, "early");
    EXPECT_EQ(logger.WindowLineCount(), 0u);
    EXPECT_TRUE(sink.lines.empty());
    EXPECT_EQ(ReadFile(logFile), std::string(kStamp) + " : early\r\n");
}

TEST_F(LogTest, WriteLogFileNeverReachesTheWindow) {
    WriteLogFile("------------------------ Sortie Lumivane");
    EXPECT_EQ(logger.WindowLineCount(), 0u);
    EXPECT_EQ(ReadFile(logFile), std::string(kStamp) + " : ------------------------ Sortie Lumivane\r\n");
}

// The file stays open between messages, yet whoever moves or deletes it between two
// messages finds the next one in a new file at the path.
TEST_F(LogTest, AMovedOrDeletedFileIsFollowedByANewFileAtThePath) {
    logger.SetFileCheckInterval(std::chrono::milliseconds(0));
    Log(0, "first");
    const std::string moved = folder / "moved.log";
    ASSERT_EQ(std::rename(logFile.c_str(), moved.c_str()), 0);
    Log(0, "second");
    EXPECT_EQ(ReadFile(moved), std::string(kStamp) + " : first\r\n");
    EXPECT_EQ(ReadFile(logFile), std::string(kStamp) + " : second\r\n");
    ASSERT_EQ(std::remove(logFile.c_str()), 0);
    Log(0, "third");
    EXPECT_EQ(ReadFile(logFile), std::string(kStamp) + " : third\r\n");
    EXPECT_EQ(ReadFile(moved), std::string(kStamp) + " : first\r\n");
}

TEST_F(LogTest, AMissingLogFolderLosesTheFileLineButNotTheWindowLine) {
    logger.SetFilePath(folder / "missing/Lumivane.log");
    Log(0, "still shown");
    EXPECT_EQ(logger.WindowLineCount(), 1u);
}

TEST_F(LogTest, The8001stWindowLineDropsTheFirst2000) {
    for (int i = 1; i <= 8000; ++i) Log(0, std::to_string(i));
    EXPECT_EQ(logger.WindowLineCount(), 8000u);
    EXPECT_EQ(sink.purged, 0u);
    Log(0, "8001");
    std::vector<std::string> window = logger.WindowLines();
    ASSERT_EQ(window.size(), 6001u);
    EXPECT_EQ(window.front(), std::string(kStamp) + " 2001");
    EXPECT_EQ(window.back(), std::string(kStamp) + " 8001");
    EXPECT_EQ(sink.purged, 2000u);
    EXPECT_EQ(sink.lines.size(), 8001u);

    std::vector<std::string> file = SplitCrLf(ReadFile(logFile));
    ASSERT_EQ(file.size(), 8003u);
    EXPECT_EQ(file[8000], std::string(kStamp) + " : Purge Log Window content...");
    EXPECT_EQ(file[8001], std::string(kStamp) + " : Purge Log Window done");
    EXPECT_EQ(file[8002], std::string(kStamp) + " : 8001");
}

// A sink that logs must neither deadlock nor feed itself.
class LoggingSink : public LogWindowSink {
public:
    void OnLogWindowLine(const std::string& line) override {
        ++calls;
        Log(0, "sink saw " + std::to_string(line.size()));
        WriteLogFile("sink note");
    }
    int calls = 0;
};

TEST_F(LogTest, ASinkThatLogsWritesToTheFileOnly) {
    LoggingSink loggingSink;
    logger.SetSink(&loggingSink);
    Log(0, "outer");
    EXPECT_EQ(loggingSink.calls, 1);
    EXPECT_EQ(logger.WindowLineCount(), 1u);
    std::vector<std::string> file = SplitCrLf(ReadFile(logFile));
    ASSERT_EQ(file.size(), 3u);
    EXPECT_EQ(file[2], std::string(kStamp) + " : outer");
    logger.SetSink(&sink);
}

TEST_F(LogTest, AMessageNeverWaitsForTheLogWinMutex) {
    CNamedMutex other("LogWin", 120);
    std::thread holder;
    std::atomic<bool> held{false}, done{false};
    holder = std::thread([&] {
        other.Acquire("holder", 0);
        held = true;
        while (!done) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        other.Release("holder");
    });
    while (!held) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    Log(0, "while held elsewhere");
    done = true;
    holder.join();
    EXPECT_EQ(logger.WindowLineCount(), 1u);
    EXPECT_EQ(ReadFile(logFile), std::string(kStamp) + " : while held elsewhere\r\n");
}

TEST_F(LogTest, ThreadsLoseNoLineAndNeverInterleave) {
    logger.SetSink(nullptr);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < 25; ++i) Log(0, "thread " + std::to_string(t) + " line " + std::to_string(i));
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(logger.WindowLineCount(), 100u);
    std::vector<std::string> file = SplitCrLf(ReadFile(logFile));
    std::set<std::string> distinct(file.begin(), file.end());
    EXPECT_EQ(file.size(), 100u);
    EXPECT_EQ(distinct.size(), 100u);
    for (const std::string& line : file) EXPECT_EQ(line.rfind(std::string(kStamp) + " : thread ", 0), 0u) << line;
}

TEST_F(LogTest, LinesOfADeferredBurstReachTheFileInOrderWhenTheScopeCloses) {
    logger.SetSink(nullptr);
    const std::string stamp = std::string(kStamp) + " : ";
    {
        WriteCombiner::DeferredWaits burst;
        Log(0, "burst 1");
        Log(0, "burst 2");
        // Nobody has written them yet: this thread waits when the burst ends.
        EXPECT_EQ(ReadFile(logFile), "");
        // Another thread's message keeps its promise, and writes what was queued first.
        std::thread([] { Log(0, "other thread"); }).join();
        EXPECT_EQ(SplitCrLf(ReadFile(logFile)),
                  (std::vector<std::string>{stamp + "burst 1", stamp + "burst 2", stamp + "other thread"}));
        Log(0, "burst 3");
        {
            WriteCombiner::DeferredWaits inner;
            Log(0, "inner");
        }
        // The inner scope waited for its own line, which came after "burst 3".
        EXPECT_EQ(SplitCrLf(ReadFile(logFile)).size(), 5u);
        Log(0, "burst 4");
    }
    EXPECT_EQ(SplitCrLf(ReadFile(logFile)),
              (std::vector<std::string>{stamp + "burst 1", stamp + "burst 2", stamp + "other thread",
                                        stamp + "burst 3", stamp + "inner", stamp + "burst 4"}));
    // Outside a scope, a line is in the file when Log returns.
    Log(0, "after the burst");
    EXPECT_EQ(SplitCrLf(ReadFile(logFile)).back(), stamp + "after the burst");
}


// --- Rotation -------------------------------------------------------------------------------

class LogRotationTest : public LogTest {
protected:
    // The log's lines, oldest first: the numbered files from the highest, then the current one.
    std::vector<std::string> AllLines() const {
        std::vector<std::string> lines;
        for (int number = kMaxKeptLogFiles; number >= 1; --number) {
            const std::string old = RotatedLogPath(logFile, number);
            if (!std::filesystem::is_regular_file(old)) continue;
            for (std::string& line : SplitCrLf(ReadFile(old))) lines.push_back(std::move(line));
        }
        for (std::string& line : SplitCrLf(ReadFile(logFile))) lines.push_back(std::move(line));
        return lines;
    }
    std::set<std::string> FileNames() const {
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder.Path())) {
            names.insert(entry.path().filename().string());
        }
        return names;
    }
    static std::size_t Occurrences(const std::vector<std::string>& lines, const std::string& part) {
        std::size_t count = 0;
        for (const std::string& line : lines) count += line.find(part) != std::string::npos ? 1 : 0;
        return count;
    }
};

TEST_F(LogRotationTest, ThreadsLoseNoLineAcrossRotationsAndKeepTheirOrder) {
    logger.SetSink(nullptr);
    logger.SetWindowOpen(false);
    constexpr std::uint64_t kLimit = 8 * 1024;
    logger.SetRotation(kLimit, kMaxKeptLogFiles);
    constexpr int kThreads = 4;
    constexpr int kLinesPerThread = 1500;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < kLinesPerThread; ++i) {
                // Some lines in deferred bursts, as box threads write them.
                if (i % 50 == 0) {
                    WriteCombiner::DeferredWaits burst;
                    for (int j = 0; j < 5 && i < kLinesPerThread; ++j, ++i) {
                        Log(0, "thread " + std::to_string(t) + " line " + std::to_string(i));
                    }
                    --i;
                    continue;
                }
                Log(0, "thread " + std::to_string(t) + " line " + std::to_string(i));
            }
        });
    }
    for (auto& thread : threads) thread.join();

    std::map<int, int> nextOfThread;
    std::size_t count = 0;
    for (const std::string& line : AllLines()) {
        int t = -1;
        int i = -1;
        ASSERT_EQ(std::sscanf(line.c_str() + std::string(kStamp).size(), " : thread %d line %d", &t, &i), 2) << line;
        // Each thread's lines, one after the other: a lost or repeated line breaks the run.
        EXPECT_EQ(i, nextOfThread[t]) << "thread " << t;
        nextOfThread[t] = i + 1;
        ++count;
    }
    EXPECT_EQ(count, static_cast<std::size_t>(kThreads * kLinesPerThread));
    for (int t = 0; t < kThreads; ++t) EXPECT_EQ(nextOfThread[t], kLinesPerThread);
    // Rotated many times, and never past the limit.
    EXPECT_GT(FileNames().size(), 20u);
    for (const std::string& name : FileNames()) {
        EXPECT_LE(std::filesystem::file_size(folder / name), kLimit) << name;
    }
}

TEST_F(LogRotationTest, OnlyTheSetNumberOfOldFilesIsKept) {
    // Left by a larger setting before.
    test::WriteFile(RotatedLogPath(logFile, 7), "an old file\r\n");
    logger.SetRotation(1024, 3);
    for (int i = 0; i < 300; ++i) Log(0, "line " + std::to_string(i));
    EXPECT_EQ(FileNames(), (std::set<std::string>{"Lumivane.log", "Lumivane.log.1", "Lumivane.log.2", "Lumivane.log.3"}));
    const std::vector<std::string> lines = AllLines();
    EXPECT_EQ(lines.back(), std::string(kStamp) + " : line 299");
    // The oldest kept lines follow one another up to the last.
    int first = -1;
    ASSERT_EQ(std::sscanf(lines.front().c_str() + std::string(kStamp).size(), " : line %d", &first), 1);
    EXPECT_EQ(lines.size(), static_cast<std::size_t>(300 - first));
}

TEST_F(LogRotationTest, ARefusedRotationIsSaidOnceAndTheLinesGoOnInTheCurrentFile) {
    // A non-empty folder where the old file should go: no rename can replace it.
    test::WriteFile(RotatedLogPath(logFile, 1) + "/blocking", "");
    logger.SetRotation(1024, 1);
    for (int i = 0; i < 100; ++i) Log(0, "line " + std::to_string(i));
    std::vector<std::string> lines = SplitCrLf(ReadFile(logFile));
    EXPECT_EQ(Occurrences(lines, " : line "), 100u);
    EXPECT_EQ(Occurrences(lines, "### The log file cannot be rotated (rename "), 1u);
    EXPECT_EQ(Occurrences(logger.WindowLines(), "### The log file cannot be rotated"), 1u);

    // Once the way is free, the next try rotates.
    std::filesystem::remove_all(RotatedLogPath(logFile, 1));
    for (int i = 100; i < 200; ++i) Log(0, "line " + std::to_string(i));
    EXPECT_TRUE(std::filesystem::is_regular_file(RotatedLogPath(logFile, 1)));
    EXPECT_LE(std::filesystem::file_size(logFile), 1024u);
    EXPECT_EQ(SplitCrLf(ReadFile(logFile)).back(), std::string(kStamp) + " : line 199");
}

}  // namespace
}  // namespace lv

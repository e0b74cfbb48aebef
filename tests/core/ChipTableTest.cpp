#include "core/ChipTable.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "base/Environment.h"
#include "base/Texts.h"
#include "support/LogCapture.h"
#include "support/TempFolder.h"

namespace lv {
namespace {

using test::ReadFile;
using test::TempFolder;
using test::WriteFile;

class ChipTableTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetLanguage(Language::English);
        Logger::Instance().SetFilePath(folder_ / "Lumivane.log");
        ClearChipTable();
    }
    void TearDown() override {
        ClearChipTable();
        SetLanguage(Language::French);
    }

    // Loads `content` as a table file; true when the load succeeded.
    bool Load(const std::string& content) {
        WriteFile(folder_ / "table.dtb", content);
        return LoadChipTableFile(folder_ / "table.dtb");
    }

    static int32_t BibOf(const std::string& chip) {
        int32_t bib = -99;
        FindBib(chip, bib);
        return bib;
    }

    TempFolder folder_;
    LogCapture log_;  // the log window, open at every level
};

TEST_F(ChipTableTest, LoadingKeepsEntriesAndSkipsWhatIsNotAnEntry) {
    ASSERT_TRUE(Load("# comment 1 COMMENTED\n"
                     "; 2 ALSOCOMMENTED\n"
                     "0012 ABC123\n"
                     "A12 SKIPPED1\n"
                     "lonelyword\n"
                     "\n"
                     "\"34\" QUOTED\n"
                     "35; SEMI\n"
                     "36.0 POINT\n"
                     "37,5 COMMA\n"
                     "38\t\tTABBED extra words ignored\n"
                     "   39   LEADINGBLANKS\n"
                     "40 DUP\n"
                     "41 DUP\n"));
    EXPECT_EQ(ChipTableCount(), 9);
    EXPECT_EQ(BibOf("abc123"), 12);
    EXPECT_EQ(BibOf("ABC123"), 12);
    EXPECT_EQ(BibOf("QUOTED"), 34);
    EXPECT_EQ(BibOf("SEMI"), 35);
    EXPECT_EQ(BibOf("POINT"), 36);
    EXPECT_EQ(BibOf("COMMA"), 37);
    EXPECT_EQ(BibOf("TABBED"), 38);
    EXPECT_EQ(BibOf("LEADINGBLANKS"), 39);
    EXPECT_EQ(BibOf("DUP"), 40) << "the first entry in file order wins";
    EXPECT_EQ(BibOf("SKIPPED1"), -1);
    EXPECT_EQ(BibOf("COMMENTED"), -1);
    EXPECT_EQ(BibOf("ALSOCOMMENTED"), -1);
    EXPECT_EQ(BibOf("extra"), -1);
}

TEST_F(ChipTableTest, WindowsLineEndsAreAcceptedAndNotPartOfTheChip) {
    ASSERT_TRUE(Load("# made on Windows\r\n5 CRLFCHIP\r\n6 LAST"));
    EXPECT_EQ(ChipTableCount(), 2);
    EXPECT_EQ(BibOf("CRLFCHIP"), 5);
    EXPECT_EQ(BibOf("LAST"), 6);
    std::string chip;
    FindChip(5, chip);
    EXPECT_EQ(chip, "CRLFCHIP");
}

TEST_F(ChipTableTest, EachLoadReplacesTheTableAndAFailedOpenEmptiesIt) {
    ASSERT_TRUE(Load("1 FIRST\n2 SECOND\n"));
    ASSERT_TRUE(Load("3 THIRD\n"));
    EXPECT_EQ(ChipTableCount(), 1);
    EXPECT_EQ(BibOf("FIRST"), -1);
    EXPECT_FALSE(LoadChipTableFile(folder_ / "missing.dtb"));
    EXPECT_EQ(ChipTableCount(), 0);
}

TEST_F(ChipTableTest, FindBibOnEmptyTableLeavesOutputAndMissGivesMinusOne) {
    int32_t bib = 777;
    EXPECT_FALSE(FindBib("ANY", bib));
    EXPECT_EQ(bib, 777);
    ASSERT_TRUE(AddChip("KNOWN", 5));
    EXPECT_FALSE(FindBib("UNKNOWN", bib));
    EXPECT_EQ(bib, -1);
    EXPECT_FALSE(FindBib("KNOWNX", bib)) << "prefix is not a match";
    EXPECT_FALSE(FindBib("KNOW", bib));
}

TEST_F(ChipTableTest, FindChipGivesFirstChipOrTheBibAsText) {
    std::string chip = "stale";
    EXPECT_TRUE(FindChip(12, chip));
    EXPECT_EQ(chip, "12");
    AddChip("A1", 12);
    AddChip("A2", 12);
    EXPECT_TRUE(FindChip(12, chip));
    EXPECT_EQ(chip, "A1");
    EXPECT_TRUE(FindChip(-4, chip));
    EXPECT_EQ(chip, "-4");
}

TEST_F(ChipTableTest, ReadBibNumberCleansThenAcceptsDigitsOnly) {
    struct Case {
        const char* word;
        bool accepted;
        int32_t value;
    };
    const Case cases[] = {
        {"123", true, 123},       {"\"123\"", true, 123},   {"123;", true, 123},
        {"123.0", true, 123},     {"123,", true, 123},      {"\"\"12\"\"", true, 12},
        {"12,5;7", true, 12},     {"0012", true, 12},       {"2147483647", true, 2147483647},
        {"", false, 0},           {"\"\"", false, 0},       {"A12", false, 0},
        {"-5", false, 0},         {"+5", false, 0},         {"1.2.3", false, 0},
        {"12 ", false, 0},        {"2147483648", false, 0}, {"99999999999999999999", false, 0},
    };
    for (const Case& c : cases) {
        int32_t number = -1;
        EXPECT_EQ(ReadBibNumber(c.word, number), c.accepted) << c.word;
        EXPECT_EQ(number, c.value) << c.word;
    }
}

TEST_F(ChipTableTest, CapacityGrowsBy200AndKeepsEntries) {
    EXPECT_EQ(ChipTableCapacity(), 0);
    for (int i = 0; i < 200; ++i) ASSERT_TRUE(AddChip("C" + std::to_string(i), i));
    EXPECT_EQ(ChipTableCapacity(), 200);
    ASSERT_TRUE(AddChip("C200", 200));
    EXPECT_EQ(ChipTableCapacity(), 400);
    EXPECT_EQ(ChipTableCount(), 201);
    for (int i = 0; i <= 200; ++i) ASSERT_EQ(BibOf("C" + std::to_string(i)), i);
    ClearChipTable();
    EXPECT_EQ(ChipTableCapacity(), 0);
    EXPECT_EQ(ChipTableCount(), 0);
}

TEST_F(ChipTableTest, OverLongChipCodesAreLeftOutWithAWarning) {
    const std::string chip63(63, 'K');
    const std::string chip64 = std::string(63, 'L') + "M";
    EXPECT_FALSE(AddChip(chip64, 1));
    ASSERT_TRUE(Load("1 " + chip63 + "\n2 " + chip64 + "\n3 AFTER\n"));
    EXPECT_EQ(ChipTableCount(), 2);
    EXPECT_EQ(BibOf(chip63), 1);
    EXPECT_EQ(BibOf(std::string(63, 'L')), -1) << "never cut into another code";
    EXPECT_EQ(BibOf("AFTER"), 3);
    EXPECT_EQ(log_.CountContaining("line 2: chip code longer than 63 characters"), 1);
}

TEST_F(ChipTableTest, LongLinesAndWordsNeverOverflowAndDoNotDisturbTheNextLines) {
    const std::string longBib(300, '7');
    const std::string longComment = "#" + std::string(1500, 'c');
    const std::string longWord(1200, 'w');
    ASSERT_TRUE(Load(longBib + " BIGBIB\n" + longComment + "\n" + "8 " + longWord + "\n" +
                     "9 NEXT\n"));
    EXPECT_EQ(BibOf("BIGBIB"), -1);
    EXPECT_EQ(BibOf("NEXT"), 9);
    EXPECT_EQ(ChipTableCount(), 1);
}

TEST_F(ChipTableTest, LinesAreReadInPiecesOf510Characters) {
    // 510 characters: the first piece ends exactly there, the rest reads as a line.
    const std::string first = "1 " + std::string(507, 'x') + " ";
    ASSERT_EQ(first.size(), 510u);
    ASSERT_TRUE(Load("5 SENTINEL\n" + first + "X2 22 PIECECHIP\n"));
    EXPECT_EQ(BibOf("PIECECHIP"), -1) << "'X2' opens the second piece and is no bib";
    ASSERT_TRUE(Load(std::string(1, ' ') + first + "22 PIECECHIP\n"));
    EXPECT_EQ(BibOf("PIECECHIP"), 22);
}

TEST_F(ChipTableTest, OnlyCommentsLoadsZeroEntries) {
    TempFolder data;
    InitialiseEnvironment({folder_ / "prog/lumivane", data.Path()});
    WriteFile(data / "ChipTable.dtb", "# nothing yet\n; still nothing\n");
    std::string message;
    EXPECT_TRUE(LoadChipTable("TarvexTable.dtb", message));
    EXPECT_EQ(message, "+++ Chip translation table loaded (0 entries). File " +
                           (data / "ChipTable.dtb"));
}

class ChipTableSearchTest : public ChipTableTest {
protected:
    void SetUp() override {
        ChipTableTest::SetUp();
        InitialiseEnvironment({program_ / "lumivane", data_.Path()});
        std::filesystem::create_directories(program_.Path());
    }

    // Loads and tells which file won by the bib it gave to chip "WHO".
    int32_t Winner(std::string& message) {
        LoadChipTable("TarvexTable.dtb", message);
        return BibOf("WHO");
    }

    TempFolder data_;
    TempFolder program_;
};

TEST_F(ChipTableSearchTest, FirstExistingPathWinsInOrder) {
    std::string message;
    WriteFile(program_ / "TarvexTable.dtb", "4 WHO\n");
    EXPECT_EQ(Winner(message), 4);
    WriteFile(program_ / "ChipTable.dtb", "3 WHO\n");
    EXPECT_EQ(Winner(message), 3);
    WriteFile(data_ / "TarvexTable.dtb", "2 WHO\n");
    EXPECT_EQ(Winner(message), 2);
    WriteFile(data_ / "ChipTable.dtb", "1 WHO\n");
    EXPECT_EQ(Winner(message), 1);
    EXPECT_EQ(message,
              "+++ Chip translation table loaded (1 entries). File " + (data_ / "ChipTable.dtb"));
}

TEST_F(ChipTableSearchTest, NoFileKeepsThePreviousTable) {
    AddChip("WHO", 42);
    std::string message;
    EXPECT_FALSE(LoadChipTable("TarvexTable.dtb", message));
    EXPECT_EQ(message, "### No chip translation table found (file ChipTable.dtb or TarvexTable.dtb)");
    EXPECT_EQ(BibOf("WHO"), 42);
    SetLanguage(Language::French);
    LoadChipTable("Autre.dtb", message);
    EXPECT_EQ(message, "### Pas de table de correspondance trouvée (fichier ChipTable.dtb ou Autre.dtb)");
}

TEST_F(ChipTableSearchTest, AFileThatCannotBeReadIsReportedNotLoaded) {
    std::filesystem::create_directories(data_ / "ChipTable.dtb");
    WriteFile(data_ / "TarvexTable.dtb", "1 WHO\n");
    std::string message;
    EXPECT_FALSE(LoadChipTable("TarvexTable.dtb", message));
    EXPECT_EQ(message.rfind("### Chip translation table cannot be read (", 0), 0u) << message;
    EXPECT_NE(message.find(data_ / "ChipTable.dtb"), std::string::npos);
    EXPECT_EQ(ChipTableCount(), 0);
}

TEST_F(ChipTableTest, LookupsDuringReloadsAlwaysSeeAWholeTable) {
    std::string small = "1 SHARED\n", big = "1 SHARED\n";
    for (int i = 0; i < 1000; ++i) big += std::to_string(i + 2) + " CHIP" + std::to_string(i) + "\n";
    WriteFile(folder_ / "small.dtb", small);
    WriteFile(folder_ / "big.dtb", big);
    ASSERT_TRUE(LoadChipTableFile(folder_ / "small.dtb"));

    std::atomic<bool> done{false};
    std::atomic<int> misses{0};
    std::atomic<int> oddCounts{0};
    std::vector<std::thread> readers;
    for (int r = 0; r < 3; ++r) {
        readers.emplace_back([&] {
            while (!done.load()) {
                int32_t bib = 0;
                if (!FindBib("shared", bib) || bib != 1) ++misses;
                int count = ChipTableCount();
                if (count != 1 && count != 1001) ++oddCounts;
                std::string chip;
                FindChip(1, chip);
                if (chip != "SHARED") ++misses;
            }
        });
    }
    for (int i = 0; i < 60; ++i) {
        ASSERT_TRUE(LoadChipTableFile(folder_ / (i % 2 == 0 ? "big.dtb" : "small.dtb")));
    }
    done = true;
    for (std::thread& t : readers) t.join();
    EXPECT_EQ(misses.load(), 0);
    EXPECT_EQ(oddCounts.load(), 0);
}

TEST_F(ChipTableTest, LockerIsRecursiveAndHoldsOffOtherThreads) {
    std::atomic<bool> looked{false};
    std::thread other;
    {
        CQoxTableLocker outer;
        AddChip("INSIDE", 8);  // takes the lock again on the same thread
        other = std::thread([&] {
            int32_t bib = 0;
            FindBib("INSIDE", bib);
            looked = true;
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        EXPECT_FALSE(looked.load());
    }
    other.join();
    EXPECT_TRUE(looked.load());
}

}  // namespace
}  // namespace lv

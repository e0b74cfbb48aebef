// Large fields, a stop request during the load, and tables that contradict themselves.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "base/Texts.h"
#include "core/ChipTable.h"
#include "support/LogCapture.h"
#include "support/TempFolder.h"

namespace lv {
namespace {

using test::TempFolder;
using test::WriteFile;

std::string Field(int entries) {
    std::string content;
    content.reserve(static_cast<std::size_t>(entries) * 24);
    for (int bib = 1; bib <= entries; ++bib) content += std::to_string(bib) + " E2801160" + std::to_string(bib) + "\r\n";
    return content;
}

class ChipTableLoadingTest : public ::testing::Test {
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

    TempFolder folder_;
    LogCapture log_;
};

TEST_F(ChipTableLoadingTest, ALargeFieldLoadsWholeWithTheCapacityInStepsOf200) {
    WriteFile(folder_ / "ChipTable.dtb", Field(300000));
    ASSERT_TRUE(LoadChipTableFile(folder_ / "ChipTable.dtb"));
    EXPECT_EQ(ChipTableCount(), 300000);
    EXPECT_EQ(ChipTableCapacity(), 300000);
    int32_t bib = 0;
    ASSERT_TRUE(FindBib("e2801160299999", bib));
    EXPECT_EQ(bib, 299999);
    ASSERT_TRUE(FindBib("E28011601", bib));
    EXPECT_EQ(bib, 1);
}

TEST_F(ChipTableLoadingTest, AStopRequestEndsTheLoadAndLeavesTheTableEmpty) {
    WriteFile(folder_ / "ChipTable.dtb", Field(1000000));
    std::atomic<bool> finished{false};
    bool loaded = true;
    std::thread loading([&] {
        loaded = LoadChipTableFile(folder_ / "ChipTable.dtb");
        finished = true;
    });
    // As the signal watcher would, until the load gives up (a request made before the
    // load starts belongs to an earlier load).
    while (!finished.load()) {
        InterruptChipTableLoad();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    loading.join();
    EXPECT_FALSE(loaded);
    EXPECT_EQ(ChipTableCount(), 0);

    // The next load is not affected.
    WriteFile(folder_ / "ChipTable.dtb", Field(10));
    EXPECT_TRUE(LoadChipTableFile(folder_ / "ChipTable.dtb"));
    EXPECT_EQ(ChipTableCount(), 10);
}

TEST_F(ChipTableLoadingTest, AChipListedTwiceWithDifferentBibsIsSaidOnceAndTheFirstWins) {
    WriteFile(folder_ / "table.dtb",
              "12 ABC\r\n13 abc\r\n14 ABC\r\n15 DEF\r\n15 DEF\r\n");
    ASSERT_TRUE(LoadChipTableFile(folder_ / "table.dtb"));
    EXPECT_EQ(ChipTableCount(), 5);
    int32_t bib = 0;
    ASSERT_TRUE(FindBib("ABC", bib));
    EXPECT_EQ(bib, 12);
    const std::string path = folder_ / "table.dtb";
    EXPECT_EQ(log_.Count("### Chip translation table " + path +
                         ", line 2: chip abc already listed with bib 12, bib 13 ignored"),
              1);
    EXPECT_EQ(log_.Count("### Chip translation table " + path +
                         ", line 3: chip ABC already listed with bib 12, bib 14 ignored"),
              1);
    // The same chip with the same bib twice is harmless.
    EXPECT_EQ(log_.CountContaining("chip DEF"), 0);
}

}  // namespace
}  // namespace lv

// Which detections count as passings, how they are numbered, and the statistics rows.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "export/PassingStatistics.h"
#include "ExportFixture.h"

namespace lv {
namespace {

using test::Time;
using test::Work;

WorkRefs Refs(const WorkList& list) {
    WorkRefs refs;
    for (const CWorkResult& result : list) refs.push_back(&result);
    return refs;
}

std::vector<std::string> Times(const WorkRefs& refs) {
    std::vector<std::string> texts;
    for (const CWorkResult* result : refs) texts.push_back(result->label + "@" + result->time.FormatHundredths());
    return texts;
}

TEST(PassingStatisticsTest, ChainOfReadsWithinDeltaKeepsOnlyItsFirst) {
    const WorkList list{Work("31", "12", "10:00:00.00", 1), Work("31", "12", "10:00:20.00", 2),
                        Work("31", "12", "10:00:45.00", 3), Work("31", "12", "10:05:00.00", 4)};
    PassingStatistics statistics;
    std::string error;
    ASSERT_TRUE(ComputePassingStatistics(Refs(list), Time("00:00:30"), statistics, error));
    EXPECT_EQ(Times(statistics.kept), (std::vector<std::string>{"12@10:00:00.00", "12@10:05:00.00"}));
    EXPECT_EQ(statistics.maxPass, 2);
    EXPECT_EQ(statistics.runners, 1);

    WorkRefs second;
    ASSERT_TRUE(SelectPassing(statistics.kept, 2, second, error));
    EXPECT_EQ(Times(second), (std::vector<std::string>{"12@10:05:00.00"}));
}

TEST(PassingStatisticsTest, DetectionExactlyDeltaAfterThePreviousCounts) {
    const WorkList list{Work("31", "7", "10:00:00.00"), Work("31", "7", "10:00:30.00"),
                        Work("31", "7", "10:00:59.99")};
    PassingStatistics statistics;
    std::string error;
    ASSERT_TRUE(ComputePassingStatistics(Refs(list), Time("00:00:30"), statistics, error));
    EXPECT_EQ(Times(statistics.kept), (std::vector<std::string>{"7@10:00:00.00", "7@10:00:30.00"}));
}

TEST(PassingStatisticsTest, ChipCodeLabelsAreSeparateRunners) {
    // Chip codes read as bib 0: they must not merge into one runner.
    const WorkList list{Work("31", "AB12CD", "10:00:00.00"), Work("31", "EF34GH", "10:00:05.00"),
                        Work("31", "IJ56KL", "10:00:10.00"), Work("31", "AB12CD", "10:10:00.00")};
    ASSERT_EQ(list[0].bib, 0);
    PassingStatistics statistics;
    std::string error;
    ASSERT_TRUE(ComputePassingStatistics(Refs(list), Time("00:00:30"), statistics, error));
    EXPECT_EQ(statistics.runners, 3);
    EXPECT_EQ(statistics.kept.size(), 4u);
    EXPECT_EQ(statistics.maxPass, 2);
}

TEST(PassingStatisticsTest, ZeroDeltaKeepsEveryDetectionAndRowsCountRunners) {
    const WorkList list{Work("31", "1", "10:00:00.00"), Work("31", "1", "10:00:00.50"),
                        Work("31", "2", "09:59:00.00"), Work("31", "3", "10:01:00.00"),
                        Work("31", "3", "10:02:00.00"), Work("31", "3", "10:03:00.00")};
    PassingStatistics statistics;
    std::string error;
    ASSERT_TRUE(ComputePassingStatistics(Refs(list), CChrono(), statistics, error));
    ASSERT_EQ(statistics.entries.size(), 3u);
    EXPECT_EQ(statistics.entries[0].exactly, 1);  // runner 2
    EXPECT_EQ(statistics.entries[0].atLeast, 3);
    EXPECT_EQ(statistics.entries[0].label, "2");
    EXPECT_EQ(statistics.entries[0].time, Time("09:59:00"));
    EXPECT_EQ(statistics.entries[1].exactly, 1);  // runner 1
    EXPECT_EQ(statistics.entries[1].atLeast, 2);
    EXPECT_EQ(statistics.entries[1].label, "1");
    EXPECT_EQ(statistics.entries[2].exactly, 1);  // runner 3
    EXPECT_EQ(statistics.entries[2].atLeast, 1);
    EXPECT_EQ(statistics.entries[2].time, Time("10:03:00"));
    // Kept results come back in time order.
    EXPECT_EQ(Times(statistics.kept).front(), "2@09:59:00.00");
    EXPECT_EQ(Times(statistics.kept).back(), "3@10:03:00.00");
}

TEST(PassingStatisticsTest, AllDetectorsTogetherNumberPassingsAcrossDetectors) {
    // A runner seen once at each of three detectors: three passings together, one per
    // detector apart.
    const WorkList list{Work("31", "5", "10:00:00.00"), Work("32", "5", "10:20:00.00"),
                        Work("33", "5", "10:40:00.00"), Work("31", "8", "10:01:00.00"),
                        Work("32", "8", "10:19:00.00")};
    PassingStatistics together;
    std::string error;
    ASSERT_TRUE(ComputePassingStatistics(Refs(list), Time("00:01:00"), together, error));
    ASSERT_EQ(together.maxPass, 3);
    ASSERT_EQ(together.entries.size(), 3u);
    EXPECT_EQ(together.entries[0].atLeast, 2);
    EXPECT_EQ(together.entries[1].atLeast, 2);
    EXPECT_EQ(together.entries[1].label, "8");  // 10:19 beats 10:20
    EXPECT_EQ(together.entries[2].atLeast, 1);
    EXPECT_EQ(together.entries[2].exactly, 1);
    // No row 4: nobody has four passings.

    std::vector<CStatLineEntry> rows;
    std::vector<CDetectorResList> detectors;
    ASSERT_TRUE(GroupByDetector(list, rows, &detectors, error));
    ASSERT_EQ(rows.size(), 3u);
    for (const CDetectorResList& detector : detectors) {
        PassingStatistics apart;
        ASSERT_TRUE(ComputePassingStatistics(detector.results, Time("00:01:00"), apart, error));
        EXPECT_EQ(apart.maxPass, 1) << detector.detector;
    }
}

TEST(PassingStatisticsTest, GroupByDetectorOrdersByIdBytesAndTakesTheEarliest) {
    WorkList list{Work("B", "4", "11:00:00.00"), Work("A", "9", "10:30:00.00"), Work("a", "1", "09:00:00.00"),
                  Work("A", "2", "10:00:00.00"), Work("B", "3", "08:00:00.00")};
    list.push_back(Work("A", "6", "07:00:00.00"));
    list.back().active = 0;  // removed by the user: not exported
    std::vector<CStatLineEntry> rows;
    std::vector<CDetectorResList> detectors;
    std::string error;
    ASSERT_TRUE(GroupByDetector(list, rows, &detectors, error));
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].detector, "A");
    EXPECT_EQ(rows[0].count, 2);
    EXPECT_EQ(rows[0].bib, "2");
    EXPECT_EQ(rows[0].best, Time("10:00:00"));
    EXPECT_EQ(rows[1].detector, "B");
    EXPECT_EQ(rows[1].bib, "3");
    EXPECT_EQ(rows[2].detector, "a");  // lowercase after uppercase: byte order
    EXPECT_EQ(detectors[1].results.size(), 2u);
}

TEST(PassingStatisticsTest, SplitByPassingGivesWhatSelectPassingGivesForEveryNumber) {
    WorkList list;
    uint32_t id = 0;
    for (int runner = 1; runner <= 30; ++runner)
        for (int lap = 0; lap < runner % 5 + 1; ++lap) {
            CChrono time(36000 + lap * 600 + runner * 7 % 60, 0);
            list.push_back(Work("31", std::to_string(runner), time.FormatHundredths().c_str(), ++id));
        }
    PassingStatistics statistics;
    std::string error;
    std::vector<WorkRefs> numbered;
    ASSERT_TRUE(ComputePassingStatistics(Refs(list), Time("00:01:00"), statistics, error, &numbered));
    std::vector<WorkRefs> split;
    ASSERT_TRUE(SplitByPassing(statistics.kept, split, error));
    EXPECT_EQ(numbered, split);
    ASSERT_EQ(split.size(), static_cast<std::size_t>(statistics.maxPass));
    for (int n = 1; n <= statistics.maxPass + 1; ++n) {
        WorkRefs selected;
        ASSERT_TRUE(SelectPassing(statistics.kept, n, selected, error));
        if (n <= statistics.maxPass) {
            EXPECT_EQ(selected, split[n - 1]) << n;
            EXPECT_EQ(static_cast<int>(selected.size()), statistics.entries[n - 1].atLeast);
        } else {
            EXPECT_TRUE(selected.empty());
        }
    }
}

}  // namespace
}  // namespace lv

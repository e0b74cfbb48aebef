// The search of a decoder output file: which lines become detections, markers or
// invalid input, the range, the translation of chips, the per-day summary, the purge,
// the log lines and their counts, cancel, and files that are damaged or still growing.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <thread>
#include <string>
#include <vector>

#include "base/Log.h"
#include "base/Texts.h"
#include "core/ChipTable.h"
#include "import/DecoderFileSearch.h"
#include "import/DetectionTimeReader.h"
#include "import/ImportTestSupport.h"
#include "import/RepeatedReadPurge.h"
#include "support/TempFolder.h"

namespace lv {
namespace {

using test::DetectionLine;
using test::TempFolder;
using test::WriteFile;

class DecoderFileSearchTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetLanguage(Language::English);
        ClearChipTable();
        request.path = folder / "passings.txt";
        request.rangeStart = Instant("20240512", "090000");
        request.rangeEnd = Instant("20240512", "120000");
        request.sendNumbers = true;
        request.ignoreUnknownTags = false;
        request.purgeIntervalMs = 50;
        request.todayCompact = "20240512";
    }
    void TearDown() override {
        ClearChipTable();
        SetLanguage(Language::French);
    }

    static CChrono Instant(const std::string& date, const std::string& hhmmss) {
        CChrono c;
        EXPECT_TRUE(c.ParseDateTimeCompact(date, hhmmss, 0));
        return c;
    }

    DecoderFileSearchResult Search(const std::string& content) {
        WriteFile(request.path, content);
        return SearchDecoderFile(request, nullptr, nullptr);
    }

    static bool Has(const DecoderFileSearchResult& r, const std::string& text) {
        return std::any_of(r.log.begin(), r.log.end(), [&](const std::string& l) { return l == text; });
    }
    static int CountStarting(const DecoderFileSearchResult& r, const std::string& prefix) {
        return static_cast<int>(std::count_if(r.log.begin(), r.log.end(),
                                              [&](const std::string& l) { return l.rfind(prefix, 0) == 0; }));
    }
    static std::vector<std::string> Codes(const DecoderFileSearchResult& r) {
        std::vector<std::string> codes;
        for (const auto& d : r.detections) codes.push_back(d.code);
        return codes;
    }
    static void ExpectCountsAddUp(const DecoderFileSearchResult& r) {
        const auto& c = r.counts;
        EXPECT_EQ(c.lines, c.shortLines + c.detectionLines + c.markerLines + c.invalidLines);
    }

    TempFolder folder;
    DecoderFileSearchRequest request;
};

TEST_F(DecoderFileSearchTest, SeventeenFieldsMakeADetectionSixteenAreInvalidInputShownOnlyOnRequest) {
    const std::string content = DetectionLine(1, "AAA", "2024-05-12", "10:00:00.123") + "\n" +
                                test::SixteenFieldLine(2, "BBB", "2024-05-12", "10:00:01.000") + "\n" +
                                test::ExplorerLine(3, "CCC", "2024-05-12", "10:00:02.000") + "\n";
    auto quiet = Search(content);
    ASSERT_TRUE(quiet.opened);
    // The explorer's line with an empty device id ends in ';': it is read.
    EXPECT_EQ(Codes(quiet), (std::vector<std::string>{"AAA", "CCC"}));
    EXPECT_EQ(CountStarting(quiet, "+ Box fileBox invalid input: "), 0);
    EXPECT_EQ(quiet.counts.invalidLines, 1u);

    request.showAbnormal = true;
    auto shown = Search(content);
    EXPECT_TRUE(Has(shown, "+ Box fileBox invalid input: " + test::SixteenFieldLine(2, "BBB", "2024-05-12", "10:00:01.000")));
    ASSERT_EQ(shown.detections.size(), 2u);
    const CDetection& d = shown.detections[0];
    EXPECT_EQ(d.timeOfDay, CChrono(10 * 3600, 123));
    EXPECT_EQ(d.dateTime, CChrono(Instant("20240512", "100000").Seconds(), 123));
    ExpectCountsAddUp(shown);
}

TEST_F(DecoderFileSearchTest, TheRangeBoundsAreIncludedForDetectionsAndExcludedForMarkers) {
    request.showAbnormal = true;
    auto r = Search(DetectionLine(1, "START", "2024-05-12", "09:00:00.000") + "\n" +
                    DetectionLine(2, "END", "2024-05-12", "12:00:00.000") + "\n" +
                    DetectionLine(3, "BEFORE", "2024-05-12", "08:59:59.999") + "\n" +
                    DetectionLine(4, "AFTER", "2024-05-12", "12:00:00.001") + "\n" +
                    DetectionLine(5, "OTHERDAY", "2024-05-13", "10:00:00.000") + "\n" +
                    "GMark-20240512090000 at start\n"
                    "GMark-20240512120000 at end\n"
                    "GMark-20240512100000 inside\n"
                    // Its own date is another day: outside the range although 10:30 is inside.
                    "GMark-20240513103000 next day\n");
    EXPECT_EQ(Codes(r), (std::vector<std::string>{"START", "END"}));
    ASSERT_EQ(r.markers.size(), 1u);
    EXPECT_EQ(r.markers[0].markerLabel, "inside");
    EXPECT_TRUE(Has(r, "+ Sarvento Marker: inside"));
    EXPECT_EQ(r.counts.markerLines, 4u);
    EXPECT_EQ(r.counts.detectionLines, 5u);
    ExpectCountsAddUp(r);
}

TEST_F(DecoderFileSearchTest, AZeroDateStandsForTodayAndBadDatesAndTimesAreInvalidInput) {
    request.showAbnormal = true;
    request.todayCompact = "20240512";
    auto r = Search(DetectionLine(1, "TODAY", "0000-00-00", "10:00:00.5") + "\n" +
                    DetectionLine(2, "BADDATE", "2024-13-45", "10:00:00.000") + "\n" +
                    DetectionLine(3, "BADTIME", "2024-05-12", "25:61:00.000") + "\n" +
                    DetectionLine(4, "", "2024-05-12", "10:00:00.000") + "\n" +
                    DetectionLine(5, "NOTIME", "2024-05-12", "") + "\n");
    ASSERT_EQ(Codes(r), std::vector<std::string>{"TODAY"});
    EXPECT_EQ(r.detections[0].timeOfDay, CChrono(36000, 500));  // "10:00:00.5" is 500 ms
    EXPECT_EQ(r.counts.invalidLines, 4u);
    EXPECT_EQ(CountStarting(r, "+ Box fileBox invalid input: "), 4);
    ExpectCountsAddUp(r);
}

TEST_F(DecoderFileSearchTest, ChipsAreTranslatedUnknownOnesKeptAndCountedOrDiscarded) {
    AddChip("AAA", 12);
    AddChip("BBB", 13);
    const std::string content = DetectionLine(1, "aaa", "2024-05-12", "10:00:00.000") + "\n" +
                                DetectionLine(2, "ZZZ", "2024-05-12", "10:00:01.000") + "\n" +
                                DetectionLine(3, "YYY", "2024-05-12", "10:00:02.000") + "\n" +
                                DetectionLine(4, "ZZZ", "2024-05-12", "10:00:03.000") + "\n" +
                                DetectionLine(5, "X1", "2024-05-12", "10:00:04.000") + "\n" +
                                DetectionLine(6, "X2", "2024-05-12", "10:00:05.000") + "\n" +
                                DetectionLine(7, "X3", "2024-05-12", "13:00:05.000") + "\n";
    auto kept = Search(content);
    EXPECT_EQ(Codes(kept), (std::vector<std::string>{"12", "ZZZ", "YYY", "ZZZ", "X1", "X2"}));
    EXPECT_EQ(kept.unknownChips, (std::vector<std::string>{"ZZZ", "YYY", "X1", "X2", "X3"}));
    EXPECT_TRUE(kept.alert);
    EXPECT_TRUE(Has(kept, "* 5 chips not found in TARVEXTABLE.DTB:   ZZZ  YYY  X1  X2  ..."));
    EXPECT_EQ(CountStarting(kept, "* 5 detection"), 0);

    request.ignoreUnknownTags = true;
    request.showAbnormal = true;
    auto discarded = Search(content);
    EXPECT_EQ(Codes(discarded), std::vector<std::string>{"12"});
    EXPECT_TRUE(Has(discarded, "+ Unknown chip [ZZZ]. Detection discarded!"));
    EXPECT_TRUE(Has(discarded, "* 5 detections rejected: unknown chips"));  // X3 lies outside the range
    EXPECT_TRUE(Has(discarded, "* 1 suitable detection found in selected time range"));

    request.sendNumbers = false;
    auto raw = Search(content);
    EXPECT_EQ(raw.detections.size(), 6u);
    EXPECT_TRUE(raw.unknownChips.empty());
    EXPECT_EQ(raw.detections[0].code, "aaa");
}

TEST_F(DecoderFileSearchTest, EachDayIsSummarisedWhateverTheRangeAndTheLogEndsWithTheCounts) {
    auto r = Search(DetectionLine(1, "A", "2024-05-11", "23:59:58.000") + "\n" +
                    DetectionLine(2, "B", "2024-05-12", "08:00:00.000") + "\n" +
                    DetectionLine(3, "C", "2024-05-12", "10:00:00.250") + "\n" + "\n" + "ab\n" + "garbage line\n");
    const std::vector<std::string> expected{
        "+++ Importing Tarvex detections file " + request.path,
        "* Sat 11 May 2024 - First detection at 23:59:58.00",
        "* Sat 11 May 2024 - First detection at 23:59:58.00, last detection at 23:59:58.00. Total 1 detections",
        "* Sun 12 May 2024 - First detection at 08:00:00.00",
        "* Sun 12 May 2024 - First detection at 08:00:00.00, last detection at 10:00:00.25. Total 2 detections",
        "* 1 suitable detection found in selected time range",
        "* 1 detections before purge",
        "* 1 detections after purge (50 ms)",
        "* 6 lines read: 3 detection lines, 0 marker lines, 1 invalid lines, 2 short lines ignored",
        "+++ Parsing Tarvex detections file done"};
    EXPECT_EQ(r.log, expected);
}

TEST_F(DecoderFileSearchTest, FrenchLogLinesAgreeInNumber) {
    SetLanguage(Language::French);
    auto none = Search("x;y\n");
    EXPECT_TRUE(Has(none, "* Aucune détection pertinente trouvée dans la période sélectionnée"));
    auto two = Search(DetectionLine(1, "A", "2024-05-12", "10:00:00.000") + "\n" +
                      DetectionLine(2, "B", "2024-05-12", "10:00:01.000") + "\n");
    EXPECT_TRUE(Has(two, "* 2 détections pertinentes trouvées dans la période sélectionnée"));
    EXPECT_EQ(SearchProgressText(100, 1), "100 lignes traitées - 1 détection trouvée dans la période sélectionnée");
    EXPECT_EQ(SearchProgressText(200, 2), "200 lignes traitées - 2 détections trouvées dans la période sélectionnée");
}

TEST_F(DecoderFileSearchTest, RepeatedReadsArePurgedAlongTheChainOfEachChip) {
    auto r = Search(DetectionLine(1, "A", "2024-05-12", "10:00:00.000") + "\n" +
                    DetectionLine(2, "A", "2024-05-12", "10:00:00.030") + "\n" +
                    DetectionLine(3, "A", "2024-05-12", "10:00:00.060") + "\n" +  // 60 ms after the first
                    DetectionLine(4, "B", "2024-05-12", "10:00:00.000") + "\n" +
                    DetectionLine(5, "C", "2024-05-12", "10:00:00.000") + "\n" +
                    DetectionLine(6, "C", "2024-05-12", "10:00:00.000") + "\n" +
                    DetectionLine(7, "A", "2024-05-12", "10:00:00.110") + "\n");  // 50 ms after the third
    EXPECT_EQ(Codes(r), (std::vector<std::string>{"A", "B", "C", "A"}));
    EXPECT_EQ(r.detections.back().dateTime.Milliseconds(), 110);
    EXPECT_TRUE(Has(r, "* 7 detections before purge"));
    EXPECT_TRUE(Has(r, "* 4 detections after purge (50 ms)"));

    request.purgeIntervalMs = 0;
    EXPECT_EQ(Search(test::ReadFile(request.path)).detections.size(), 7u);
}

TEST_F(DecoderFileSearchTest, ACancelledReadingKeepsWhatItFoundAndSumsItUp) {
    std::string content;
    for (int i = 0; i < 1000; ++i) content += DetectionLine(i, "C" + std::to_string(i), "2024-05-12", "10:00:00.000") + "\n";
    WriteFile(request.path, content);
    std::atomic<bool> cancel{false};
    std::vector<std::string> texts;
    auto r = SearchDecoderFile(
        request,
        [&](const std::string& text, std::size_t lines, std::size_t) {
            texts.push_back(text);
            if (lines >= 300) cancel = true;
        },
        &cancel);
    EXPECT_TRUE(r.cancelled);
    EXPECT_EQ(r.detections.size(), 300u);
    EXPECT_EQ(r.counts.beforePurge, 300u);
    const auto cancelled = std::find(r.log.begin(), r.log.end(), "* Reading cancelled: the detections read so far are kept");
    ASSERT_NE(cancelled, r.log.end());
    EXPECT_NE(std::find(cancelled, r.log.end(), "* 300 detections before purge"), r.log.end());
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(texts.front(), "100 lines parsed - 100 detections found in selected time range");
}

TEST_F(DecoderFileSearchTest, AFileThatGrowsWhileReadIsReadToItsEndAndEveryLineCounted) {
    std::string content;
    for (int i = 0; i < 5000; ++i) content += DetectionLine(i, "G" + std::to_string(i), "2024-05-12", "10:00:00.000") + "\n";
    WriteFile(request.path, content);
    int appended = 0;
    auto r = SearchDecoderFile(
        request,
        [&](const std::string&, std::size_t, std::size_t) {
            if (appended < 3) {
                std::ofstream out(request.path, std::ios::app | std::ios::binary);
                out << DetectionLine(9000 + appended, "NEW", "2024-05-12", "11:00:0") << "\n" << std::string(2000, 'z');
                ++appended;
            }
        },
        nullptr);
    ASSERT_TRUE(r.opened);
    ExpectCountsAddUp(r);
    EXPECT_GE(r.counts.detectionLines, 5000u);
}

TEST_F(DecoderFileSearchTest, AMissingFileCannotBeOpened) {
    request.path = folder / "none.txt";
    auto r = SearchDecoderFile(request, nullptr, nullptr);
    EXPECT_FALSE(r.opened);
    EXPECT_EQ(r.error, "File " + request.path + " cannot be opened");
    EXPECT_TRUE(r.log.empty());
}

TEST_F(DecoderFileSearchTest, BinaryAndOverLongLinesAreInvalidInputAndNothingCrashes) {
    request.showAbnormal = true;
    std::string content = std::string("\x01\x02\x00\xff\xfe;;;;", 9) + "\n" + std::string(100 * 1024, ';') + "\r" +
                          DetectionLine(1, "OK", "2024-05-12", "10:00:00.000") + "\r";
    auto r = Search(content);
    EXPECT_EQ(Codes(r), std::vector<std::string>{"OK"});
    EXPECT_EQ(r.counts.invalidLines, 2u);
    ExpectCountsAddUp(r);
    for (const auto& line : r.log) EXPECT_LT(line.size(), 1200u);
}

TEST_F(DecoderFileSearchTest, ChipCodesWithControlBytesAreInvalidInputAndNeverKept) {
    // A NUL or a control byte in a chip code would reach the saved file and break every
    // reader of it.
    request.showAbnormal = true;
    const std::string withNul = DetectionLine(1, std::string("C\0 001", 6), "2024-05-12", "10:00:00.000");
    const std::string withControls = DetectionLine(2, "C\x01\xFF" "002", "2024-05-12", "10:00:01.000");
    const std::string withBlank = DetectionLine(3, "C 003", "2024-05-12", "10:00:02.000");
    const std::string good = DetectionLine(4, "C004", "2024-05-12", "10:00:03.000");
    auto r = Search(withNul + "\n" + withControls + "\n" + withBlank + "\n" + good + "\n");
    EXPECT_EQ(Codes(r), std::vector<std::string>{"C004"});
    EXPECT_EQ(r.counts.invalidLines, 3u);
    EXPECT_EQ(r.counts.detectionLines, 1u);
    EXPECT_EQ(CountStarting(r, "+ Box fileBox invalid input: 1;C. 001;"), 1);
    EXPECT_EQ(CountStarting(r, "+ Box fileBox invalid input: 2;C.\xFF" "002;"), 1);
    ExpectCountsAddUp(r);
    for (const auto& line : r.log) {
        for (char c : line) EXPECT_GE(static_cast<unsigned char>(c), 0x20u) << line;
    }
}

TEST_F(DecoderFileSearchTest, ChipCodesLongerThanTheTableHoldsAreInvalidInput) {
    const std::string longest(63, 'L');
    auto r = Search(DetectionLine(1, longest, "2024-05-12", "10:00:00.000") + "\n" +
                    DetectionLine(2, longest + "X", "2024-05-12", "10:00:01.000") + "\n" +
                    DetectionLine(3, std::string(470, 'Y'), "2024-05-12", "10:00:02.000") + "\n");
    EXPECT_EQ(Codes(r), std::vector<std::string>{longest});
    EXPECT_EQ(r.counts.invalidLines, 2u);
    ExpectCountsAddUp(r);
}

TEST_F(DecoderFileSearchTest, AFifoOrADeviceIsNotARegularFile) {
    const std::string fifo = folder / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // Opening a FIFO with no writer must not hang the reading.
    for (const std::string& path : {fifo, std::string("/dev/zero"), folder.Path()}) {
        request.path = path;
        auto r = SearchDecoderFile(request, nullptr, nullptr);
        EXPECT_FALSE(r.opened) << path;
        EXPECT_EQ(r.error, "File to import is not a regular file\n" + path);
    }
}

// The quick reading of a line's date and time gives what the general parsers give,
// on ordinary days and across both daylight saving changes.
TEST(DetectionTimeReaderTest, ReadsAsTheGeneralParsersDo) {
    DetectionTimeReader reader;
    for (const char* date : {"20240512", "20240331", "20241027", "20000101", "20371231"}) {
        for (int h = 0; h < 24; ++h) {
            for (const char* rest : {":00:00.000", ":30:15.999", ":59:59.001"}) {
                const std::string time = fmt::format("{:02d}{}", h, rest);
                CChrono quickInstant, quickOfDay, instant, ofDay;
                const bool ok = instant.ParseDateTime(date, time) && ofDay.ParseTimeMs(time);
                ASSERT_EQ(reader.Read(date, time, quickInstant, quickOfDay), ok) << date << " " << time;
                if (!ok) continue;
                EXPECT_EQ(quickInstant, instant) << date << " " << time;
                EXPECT_EQ(quickOfDay, ofDay) << date << " " << time;
            }
        }
    }
    CChrono a, b;
    EXPECT_FALSE(reader.Read("20241345", "10:00:00.000", a, b));
    EXPECT_FALSE(reader.Read("20240512", "25:61:00.000", a, b));
    EXPECT_FALSE(reader.Read("20240230", "10:00:00.000", a, b));
    EXPECT_TRUE(reader.Read("20240512", "9:5:3.100", a, b));  // the general way
    EXPECT_EQ(b, CChrono(9 * 3600 + 5 * 60 + 3, 100));
}

}  // namespace
}  // namespace lv

namespace lv {
namespace {

// The purge on a list already in time order (closed up in place) and on one out of
// order (sorted): the same reads are kept, in time order.
TEST(RepeatedReadPurgeTest, KeepsTheSameReadsWhateverTheListsOrder) {
    auto read = [](const std::string& code, int ms) { return CDetection{CChrono(36000, 0), CChrono(1715500800 + ms / 1000, static_cast<uint16_t>(ms % 1000)), code}; };
    std::vector<CDetection> inOrder{read("A", 0),   read("B", 0),   read("A", 30),  read("A", 60),
                                    read("C", 100), read("C", 100), read("A", 110), read("B", 2000)};
    std::vector<CDetection> shuffled{inOrder[7], inOrder[3], inOrder[0], inOrder[5],
                                     inOrder[1], inOrder[6], inOrder[2], inOrder[4]};
    auto summary = [](const std::vector<CDetection>& list) {
        std::string text;
        for (const auto& d : list) text += d.code + "@" + std::to_string(d.dateTime.Seconds() - 1715500800) + "." +
                                           std::to_string(d.dateTime.Milliseconds()) + " ";
        return text;
    };
    PurgeRepeatedReads(inOrder, 50);
    PurgeRepeatedReads(shuffled, 50);
    EXPECT_EQ(summary(inOrder), "A@0.0 B@0.0 C@0.100 A@0.110 B@2.0 ");
    EXPECT_EQ(summary(shuffled), summary(inOrder));

    std::vector<CDetection> all{read("A", 0), read("A", 0), read("A", 10)};
    PurgeRepeatedReads(all, 0);
    EXPECT_EQ(all.size(), 3u);
    std::vector<CDetection> none;
    PurgeRepeatedReads(none, 50);
    EXPECT_TRUE(none.empty());
}

}  // namespace
}  // namespace lv

namespace lv {
namespace {

// The window runs the search on a worker while the chip table may be reloaded and the
// user may cancel: nothing is shared without its lock.
TEST(DecoderFileSearchThreadTest, ASearchOnAWorkerMeetsATableReloadAndACancel) {
    SetLanguage(Language::English);
    test::TempFolder folder;
    std::string content;
    for (int i = 0; i < 20000; ++i) {
        content += test::DetectionLine(i, "C" + std::to_string(i % 300), "2024-05-12", "10:00:00.000") + "\n";
    }
    test::WriteFile(folder / "f.txt", content);
    DecoderFileSearchRequest request;
    request.path = folder / "f.txt";
    request.rangeStart.ParseDateTimeCompact("20240512", "000000", 0);
    request.rangeEnd.ParseDateTimeCompact("20240512", "235959", 0);
    ClearChipTable();
    AddChip("C1", 1);

    for (bool cancelIt : {false, true}) {
        std::atomic<bool> cancel{false};
        std::atomic<std::size_t> progressCalls{0};
        DecoderFileSearchResult result;
        std::thread worker([&] {
            result = SearchDecoderFile(request, [&](const std::string&, std::size_t, std::size_t) { ++progressCalls; },
                                       &cancel);
        });
        for (int i = 0; i < 50; ++i) {
            ClearChipTable();
            AddChip("C" + std::to_string(i % 300), i);
        }
        if (cancelIt) cancel = true;
        worker.join();
        EXPECT_TRUE(result.opened);
        EXPECT_GT(progressCalls.load(), 0u);
        if (cancelIt && result.cancelled) {
            EXPECT_LE(result.detections.size(), result.counts.detectionLines);
        }
        if (!cancelIt) {
            EXPECT_EQ(result.counts.detectionLines, 20000u);
        }
    }
    ClearChipTable();
    SetLanguage(Language::French);
}

}  // namespace
}  // namespace lv

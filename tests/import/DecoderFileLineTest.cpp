// Reading a decoder output file into lines and fields, whatever its line ends, its
// binary bytes or its over-long lines.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "import/DecoderFileLine.h"
#include "import/DecoderFileReader.h"
#include "import/ImportTestSupport.h"
#include "support/TempFolder.h"

namespace lv {
namespace {

using test::TempFolder;
using test::WriteFile;

struct ReadLine {
    std::string text;
    bool tooLong;
};

std::vector<ReadLine> ReadAll(const std::string& path) {
    DecoderFileReader reader;
    std::string error;
    EXPECT_TRUE(reader.Open(path, error)) << error;
    std::vector<ReadLine> lines;
    std::string_view line;
    bool tooLong = false;
    while (reader.Next(line, tooLong)) lines.push_back({std::string(line), tooLong});
    EXPECT_TRUE(reader.Error().empty());
    return lines;
}

TEST(DecoderFileReaderTest, LfCrLfAndLoneCrAllEndLinesAndALastLineWithoutEndCounts) {
    TempFolder folder;
    WriteFile(folder / "f.txt", "a\nb\r\nc\rd\r\r\ne");
    auto lines = ReadAll(folder / "f.txt");
    std::vector<std::string> texts;
    for (auto& l : lines) texts.push_back(l.text);
    EXPECT_EQ(texts, (std::vector<std::string>{"a", "b", "c", "d", "", "e"}));
}

TEST(DecoderFileReaderTest, CrLfSplitAcrossTwoBlocksIsOneLineEnd) {
    TempFolder folder;
    std::string content;
    // The CR is the last byte of the first 256 KiB block, its LF the first of the next.
    const std::size_t block = 256 * 1024;
    while (content.size() + 100 < block) content += std::string(99, 'x') + "\n";
    content += std::string(block - content.size() - 1, 'y');
    content += "\r\nlast\n";
    WriteFile(folder / "f.txt", content);
    auto lines = ReadAll(folder / "f.txt");
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines.back().text, "last");
    EXPECT_EQ(lines[lines.size() - 2].text.back(), 'y');
    for (auto& l : lines) EXPECT_TRUE(l.text.empty() || l.text.back() != '\r');
}

TEST(DecoderFileReaderTest, AnOverLongLineComesOnceCutAndFlaggedAndTheNextLineIsIntact) {
    TempFolder folder;
    const std::string exact(511, 'a');
    const std::string longer(512, 'b');
    const std::string huge(100 * 1024, 'c');
    WriteFile(folder / "f.txt", exact + "\n" + longer + "\n" + huge + "\r\nnext\n" + std::string(300000, 'd'));
    auto lines = ReadAll(folder / "f.txt");
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0].text, exact);
    EXPECT_FALSE(lines[0].tooLong);
    EXPECT_TRUE(lines[1].tooLong);
    EXPECT_EQ(lines[1].text, std::string(511, 'b'));
    EXPECT_TRUE(lines[2].tooLong);
    EXPECT_EQ(lines[2].text.size(), 511u);
    EXPECT_EQ(lines[3].text, "next");
    EXPECT_FALSE(lines[3].tooLong);
    EXPECT_TRUE(lines[4].tooLong);  // the last line, over-long and without end
}

TEST(DecoderFileReaderTest, BinaryBytesStayInTheirLineAndAMissingFileSaysWhy) {
    TempFolder folder;
    WriteFile(folder / "f.txt", std::string("a\0b\x01\xff", 5) + "\nz");
    auto lines = ReadAll(folder / "f.txt");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].text, std::string("a\0b\x01\xff", 5));
    EXPECT_EQ(PrintableLine(lines[0].text), std::string("a.b.\xff"));

    DecoderFileReader reader;
    std::string error;
    EXPECT_FALSE(reader.Open(folder / "missing.txt", error));
    EXPECT_FALSE(error.empty());
}

TEST(DecoderFileLineTest, FieldsCountEmptyOnesAndTheTextAfterTheLastSemicolonOnlyWhenNotEmpty) {
    std::string_view fields[4];
    const std::string line = test::DetectionLine(1, "ABC", "2024-05-12", "10:00:00.000");
    EXPECT_EQ(SplitDecoderFields(line, fields, 4), 17u);
    EXPECT_EQ(fields[1], "ABC");
    EXPECT_EQ(fields[3], "10:00:00.000");
    const std::string sixteen = test::SixteenFieldLine(1, "ABC", "2024-05-12", "10:00:00.000");
    EXPECT_EQ(SplitDecoderFields(sixteen, fields, 4), 16u);
    const std::string explorer = test::ExplorerLine(1, "ABC", "2024-05-12", "10:00:00.000");
    EXPECT_EQ(SplitDecoderFields(explorer, fields, 4), 16u);
    const std::string explorerWithDevice = test::ExplorerLine(1, "ABC", "2024-05-12", "10:00:00.000", "D1");
    EXPECT_EQ(SplitDecoderFields(explorerWithDevice, fields, 4), 17u);
    EXPECT_EQ(SplitDecoderFields("a;;b", fields, 4), 3u);
    EXPECT_EQ(fields[1], "");
    EXPECT_EQ(SplitDecoderFields("a;b;", fields, 4), 2u);
    EXPECT_EQ(SplitDecoderFields("abc", fields, 4), 1u);
    EXPECT_EQ(SplitDecoderFields("", fields, 4), 0u);
    EXPECT_EQ(TrimDecoderLine(" \t\r\nabc \r\n"), "abc");
    EXPECT_EQ(CompactDate("2024-05-12"), "20240512");
}

TEST(DecoderFileLineTest, AMarkerShorterThanItsFixedPartIsNotReadPastItsEnd) {
    CTarvexMarker marker;
    ASSERT_TRUE(ParseMarkerLine("GMark-20240512093000 Start wave 1", marker));
    EXPECT_EQ(marker.markerDate, "20240512");
    EXPECT_EQ(marker.markerTime, "093000");
    EXPECT_EQ(marker.markerLabel, "Start wave 1");
    EXPECT_EQ(marker.value, 0);
    EXPECT_EQ(marker.ClockText(), "09:30:00");
    ASSERT_TRUE(ParseMarkerLine("GMark-20240512093000 ", marker));
    EXPECT_EQ(marker.markerLabel, "");
    EXPECT_FALSE(ParseMarkerLine("GMark-20240512093000", marker));
    EXPECT_FALSE(ParseMarkerLine("GMark-2024", marker));
    EXPECT_FALSE(ParseMarkerLine("Mark-20240512093000 x", marker));
}

}  // namespace
}  // namespace lv

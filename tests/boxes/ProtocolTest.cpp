// The decoder protocol's pure parts: splitting, classification, expected responses,
// command texts.
#include <gtest/gtest.h>

#include "BoxTestSupport.h"
#include "boxes/DecoderProtocol.h"

namespace lv {
namespace {

using Fields = std::vector<std::string>;

TEST(SplitFields, CountsEmptyFieldsBeforeSeparatorsButNotAnEmptyLastOne) {
    EXPECT_EQ(SplitFields("a;b;c", ";"), (Fields{"a", "b", "c"}));
    EXPECT_EQ(SplitFields("a;;c", ";"), (Fields{"a", "", "c"}));
    EXPECT_EQ(SplitFields(";a", ";"), (Fields{"", "a"}));
    EXPECT_EQ(SplitFields("a;b;", ";"), (Fields{"a", "b"}));
    EXPECT_EQ(SplitFields("a;;", ";"), (Fields{"a", ""}));
    EXPECT_EQ(SplitFields("", ";"), Fields{});
    EXPECT_EQ(SplitFields("abc", ";"), Fields{"abc"});
}

TEST(SplitFields, CutsAtAnyOfSeveralSeparators) {
    EXPECT_EQ(SplitFields("A/B+C\\D-E", "+\\/-"), (Fields{"A", "B", "C", "D", "E"}));
}

TEST(ClassifyResponse, ComparesKeywordsByPrefixAndPassingsByFieldCount) {
    const std::pair<const char*, int> cases[] = {
        {"SETPROTOCOL;2.0;OK", kRespSetProtocol},
        {"INFOFGET;1", kRespInfoGet},
        {"COMMANDNOTEXISTING", kRespCommandNotExisting},
        {"#P;1;C1;2024-05-01;10:00:00.000;;;;;;;;;;;;;x", kRespPassing},
    };
    for (const auto& [text, expected] : cases) {
        std::string response;
        int code = -5;
        EXPECT_TRUE(ClassifyResponse(text, response, code)) << text;
        EXPECT_EQ(code, expected) << text;
        EXPECT_EQ(response, text);
    }
}

TEST(ClassifyResponse, TrimsAndLogsEachLineAsTraffic) {
    LogCapture log;
    std::string response;
    int code = -1;
    ASSERT_TRUE(ClassifyResponse("  \tSTARTOPERATION\r\nsecond line \r\n", response, code));
    EXPECT_EQ(response, "STARTOPERATION\r\nsecond line");
    EXPECT_EQ(code, kRespStartOperation);
    EXPECT_TRUE(log.HasContaining("<<-<< STARTOPERATION"));
    EXPECT_TRUE(log.HasContaining("<<--- second line"));
}

TEST(ClassifyResponse, RefusesPassingsWithoutExactly18FieldsAndUnknownTexts) {
    LogCapture log;
    const std::string seventeen = "#P;1;C1;2024-05-01;10:00:00.000;;;;;;;;;;;;x";
    const std::string nineteen = "#P;1;C1;2024-05-01;10:00:00.000;;;;;;;;;;;;;x;y";
    for (const std::string& text : {std::string("#P;1;2"), seventeen, nineteen, std::string("HELLO")}) {
        std::string response;
        int code = 7;
        EXPECT_FALSE(ClassifyResponse(text, response, code)) << text;
        EXPECT_EQ(code, kRespNone);
    }
    EXPECT_TRUE(log.HasContaining(".. Unknown command: #P;1;2"));
    EXPECT_TRUE(log.HasContaining(".. Unknown command: HELLO"));
}

TEST(ClassifyResponse, ShowsBinaryBytesEscapedInTheLog) {
    LogCapture log;
    std::string response;
    int code = 0;
    EXPECT_FALSE(ClassifyResponse(std::string("\x01\xff""AB", 4), response, code));
    EXPECT_TRUE(log.HasContaining(".. Unknown command: \\x01\\xFFAB"));
}

TEST(MatchesExpected, AcceptsAResponseBeginningWithOneAlternative) {
    EXPECT_TRUE(MatchesExpected("SETPROTOCOL;2.0;OK", "SETPROTOCOL"));
    EXPECT_TRUE(MatchesExpected("COMMANDNOTEXISTING", "ASCII/COMMANDNOTEXISTING"));
    EXPECT_TRUE(MatchesExpected("ASCII", "ASCII/COMMANDNOTEXISTING"));
    EXPECT_TRUE(MatchesExpected("STOPOPERATION", "STOP"));
    EXPECT_TRUE(MatchesExpected("B", "A+B"));
    EXPECT_TRUE(MatchesExpected("C;1", "A\\C"));
    EXPECT_TRUE(MatchesExpected("D", "A-D"));
    EXPECT_FALSE(MatchesExpected("STARTOPERATION", "STOP"));
    EXPECT_FALSE(MatchesExpected("SET", "SETTIME"));
    EXPECT_FALSE(MatchesExpected("anything", ""));
    // An empty alternative names nothing; it must not match every response.
    EXPECT_FALSE(MatchesExpected("GETTIME;x;y", "ASCII//INFOGET"));
}

TEST(BuildCommandText, RefusesAnUnknownCode) {
    std::string command, error;
    EXPECT_FALSE(BuildCommandText(6, "x", command, error));
    EXPECT_EQ(error, "Unknown command code: 6");
    EXPECT_TRUE(command.empty());
}

TEST(PrintableExcerpt, ShortensLongTextsWithTheirSize) {
    std::string shown = PrintableExcerpt(std::string(6000, 'Z'), 10);
    EXPECT_EQ(shown, "ZZZZZZZZZZ... (6000 bytes)");
    EXPECT_EQ(PrintableExcerpt("A\tB\rC"), "A\tB\rC");
}

}  // namespace
}  // namespace lv

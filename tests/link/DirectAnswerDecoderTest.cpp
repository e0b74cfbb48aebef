#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/AnswerText.h"
#include "link/DirectAnswerDecoder.h"

namespace lv {
namespace {

struct Runner {
    std::string pass = "1";
    std::string dist = "12.5";
    std::string nation = "FRA";
    std::string race = "Trail 25 km";
    std::string gal = "12";
    std::string cat = "1";
    std::string sex = "3";
    std::string number = "157";
    std::string last = "Martin";
    std::string first = "Anne";
    std::string sexText = "F";
    std::string scat = "SEF";
    std::string category = "Senior Femme";
    std::string team = "AC Vanelles";
    std::string time = "01:02:03";
    std::string spare = "-";
    std::string status = "3";
};

std::string Join(const std::vector<std::string>& fields) {
    std::string line;
    for (std::size_t i = 0; i < fields.size(); ++i) line += (i ? "\\" : "") + fields[i];
    return line;
}

std::vector<std::string> Tail(const Runner& r) {
    return {r.gal,      r.cat,  r.sex,  r.number, r.last,  r.first, r.sexText, r.scat,
            r.category, r.team, r.time, r.spare,  r.status};
}

std::string Gm04(const Runner& r) {
    std::vector<std::string> f = {"gm04", r.pass};
    for (auto& x : Tail(r)) f.push_back(x);
    return Join(f);
}
std::string Gm05(const Runner& r) {
    std::vector<std::string> f = {"gm05", r.pass, r.dist, r.nation};
    for (auto& x : Tail(r)) f.push_back(x);
    return Join(f);
}
std::string Gm06(const Runner& r) {
    std::vector<std::string> f = {"gm06", r.pass, r.dist, r.nation, r.race};
    for (auto& x : Tail(r)) f.push_back(x);
    return Join(f);
}
std::string Res1(const Runner& r) {
    std::vector<std::string> f = {"RES:1", "A", "B", r.pass, r.dist, r.nation, r.race};
    for (auto& x : Tail(r)) f.push_back(x);
    return Join(f);
}

std::vector<std::string> Texts(const DirectAnswer& answer) {
    std::vector<std::string> texts;
    for (const auto& line : answer.log) texts.push_back(line.text);
    return texts;
}

using ::testing::ElementsAre;

// ---- Error and information answers -------------------------------------------------

TEST(DirectAnswerCodes, ErrorAnswersLogTheFixedResultText) {
    DirectAnswer answer = DecodeDirectResponse("ERR:-5", Language::French);
    EXPECT_EQ(answer.code, -5);
    ASSERT_EQ(answer.log.size(), 1u);
    EXPECT_EQ(answer.log[0].level, 0);
    EXPECT_EQ(answer.log[0].text, "$$$ Coureur inconnu");
    EXPECT_FALSE(answer.display);
    EXPECT_FALSE(answer.summary);

    EXPECT_EQ(Texts(DecodeDirectResponse("ERR:7", Language::English))[0], "$$$ unknown status");
    EXPECT_EQ(Texts(DecodeDirectResponse("ERR:7", Language::French))[0], "$$$ Status inconnu");
    // Fixed texts do not follow the language.
    EXPECT_EQ(Texts(DecodeDirectResponse("ERR:1000 whatever", Language::English))[0],
              "$$$ Connexion refusée");
}

TEST(DirectAnswerCodes, InformationAnswersLogTheirNameAndValue) {
    EXPECT_TRUE(DecodeDirectResponse("NFO:20", Language::French).log.empty());
    EXPECT_TRUE(DecodeDirectResponse("NFO:20 still a ping", Language::French).log.empty());
    EXPECT_THAT(Texts(DecodeDirectResponse("NFO:5 Trail des Vanelles", Language::French)),
                ElementsAre("$$$ Competition name: Trail des Vanelles"));
    EXPECT_THAT(Texts(DecodeDirectResponse("NFO:5", Language::French)),
                ElementsAre("$$$ Competition name"));
    EXPECT_THAT(Texts(DecodeDirectResponse("NFO:7 1,2,3", Language::English)),
                ElementsAre("$$$ Detector list: 1,2,3"));
    EXPECT_THAT(Texts(DecodeDirectResponse("NFO:77 x", Language::English)),
                ElementsAre("$$$ unknown command: x"));
    EXPECT_THAT(Texts(DecodeDirectResponse("NFO:77", Language::French)),
                ElementsAre("$$$ Commande inconnue"));
    EXPECT_EQ(DecodeDirectResponse("NFO:5 x", Language::French).code, kResultInformation);
}

TEST(DirectAnswerCodes, ControlBytesAreEscapedBeforeTheyReachTheLog) {
    // A terminal escape sequence (red text, a bell) and an 8-bit control in UTF-8.
    EXPECT_THAT(Texts(DecodeDirectResponse("NFO:5 Caf\x1b[31mRed\x07 \xc2\x9b" "2J", Language::English)),
                ElementsAre("$$$ Competition name: Caf\\x1B[31mRed\\x07 \\x9B2J"));
    // Not UTF-8: read as Windows-1252, the controls escaped all the same.
    EXPECT_EQ(AnswerTextToUtf8("Caf\xe9\x1b[2J\tok"), "Caf\xc3\xa9\\x1B[2J\tok");
}

TEST(DirectAnswerCodes, PrefixWithoutNumberCannotBeDecoded) {
    EXPECT_THAT(Texts(DecodeDirectResponse("ERR:", Language::French)),
                ElementsAre("$$$ Can't decode ERR:"));
    EXPECT_THAT(Texts(DecodeDirectResponse("NFO:abc def", Language::English)),
                ElementsAre("$$$ Can't decode NFO:abc def"));
    EXPECT_THAT(Texts(DecodeDirectResponse("ERR:-", Language::English)),
                ElementsAre("$$$ Can't decode ERR:-"));
}

TEST(DirectAnswerCodes, HugeCodesSaturateInsteadOfOverflowing) {
    DirectAnswer answer = DecodeDirectResponse("ERR:99999999999999999999", Language::English);
    EXPECT_THAT(Texts(answer), ElementsAre("$$$ unknown status"));
}

// ---- Version check -------------------------------------------------------------------

TEST(DirectAnswerVersion, OlderVersionRaisesTheAlert) {
    DirectAnswer answer = DecodeDirectResponse("NFO:27 4,3,5,2", Language::French);
    ASSERT_TRUE(answer.version);
    EXPECT_EQ(answer.version->text, "4.35b");
    EXPECT_TRUE(answer.versionIncompatible);
    EXPECT_THAT(Texts(answer), ElementsAre("$$$ Version: 4,3,5,2"));
}

TEST(DirectAnswerVersion, MinimumVersionAndNewerPass) {
    DirectAnswer minimum = DecodeDirectResponse("NFO:27 4,4,0,0", Language::French);
    ASSERT_TRUE(minimum.version);
    EXPECT_EQ(minimum.version->text, "4.40_");
    EXPECT_FALSE(minimum.versionIncompatible);

    DirectAnswer lettered = DecodeDirectResponse("NFO:27 4,4,0,1", Language::French);
    EXPECT_EQ(lettered.version->text, "4.40a");
    EXPECT_FALSE(lettered.versionIncompatible);

    // Compared number by number: a two-digit minor or major is newer, not older.
    DirectAnswer wideMinor = DecodeDirectResponse("NFO:27 4,10,0,0", Language::French);
    EXPECT_EQ(wideMinor.version->text, "4.100_");
    EXPECT_FALSE(wideMinor.versionIncompatible);
    EXPECT_FALSE(DecodeDirectResponse("NFO:27 10,0,0,0", Language::French).versionIncompatible);
    EXPECT_TRUE(DecodeDirectResponse("NFO:27 3,9,9,26", Language::French).versionIncompatible);
}

TEST(DirectAnswerVersion, TextThatIsNotFourIntegersIsNotChecked) {
    for (const char* line : {"NFO:27 4.40", "NFO:27", "NFO:27 4,4,0", "NFO:27 a,b,c,d",
                             "NFO:27 4,4,0,27", "NFO:27 4,4,0,-1", "NFO:27 "}) {
        DirectAnswer answer = DecodeDirectResponse(line, Language::French);
        EXPECT_FALSE(answer.version) << line;
        EXPECT_FALSE(answer.versionIncompatible) << line;
        ASSERT_EQ(answer.log.size(), 1u) << line;
    }
}

// ---- Runner answers ------------------------------------------------------------------

TEST(DirectAnswerRunner, EveryLayoutGivesTheSameRunner) {
    Runner runner;
    for (const std::string& line : {Gm04(runner), Gm05(runner), Gm06(runner), Res1(runner)}) {
        DirectAnswer answer = DecodeDirectResponse(line, Language::French);
        ASSERT_TRUE(answer.display) << line;
        ASSERT_TRUE(answer.summary) << line;
        EXPECT_EQ(answer.code, 3);
        EXPECT_EQ(answer.display->name, "Anne Martin                   ");
        EXPECT_EQ(answer.display->time, "01:02:03");
        EXPECT_EQ(answer.display->rank, "12ème - 3ème F - 1ère SEF");
        EXPECT_EQ(answer.summary->name, answer.display->name);
        EXPECT_EQ(answer.summary->bib, 157);
        EXPECT_EQ(answer.summary->time, "01:02:03");
        EXPECT_EQ(answer.summary->info, ".");
        EXPECT_EQ(answer.summary->rank, "12ème - 3ème F - 1ère SEF");
        EXPECT_EQ(answer.summary->status, 0);
        EXPECT_EQ(answer.speech, "Anne  Martin");
        EXPECT_TRUE(answer.log.empty()) << line;
    }
}

TEST(DirectAnswerRunner, RankTextInEnglish) {
    Runner runner;
    DirectAnswer answer = DecodeDirectResponse(Gm06(runner), Language::English);
    EXPECT_EQ(answer.display->rank, "12th - 3rd F - 1st SEF");
}

TEST(DirectAnswerRunner, OrdinalsInBothLanguages) {
    EXPECT_EQ(RankOrdinal(1, "M", Language::French), "1er");
    EXPECT_EQ(RankOrdinal(1, "F", Language::French), "1ère");
    EXPECT_EQ(RankOrdinal(1, "X", Language::French), "1ème");
    EXPECT_EQ(RankOrdinal(1, "", Language::French), "1ème");
    EXPECT_EQ(RankOrdinal(2, "F", Language::French), "2ème");
    EXPECT_EQ(RankOrdinal(0, "F", Language::French), "?ème");
    EXPECT_EQ(RankOrdinal(0, "F", Language::English), "?th");
    const std::vector<std::pair<int, const char*>> english = {
        {1, "1st"},   {2, "2nd"},   {3, "3rd"},   {4, "4th"},     {11, "11th"},  {12, "12th"},
        {13, "13th"}, {21, "21st"}, {22, "22nd"}, {101, "101st"}, {111, "111th"}, {113, "113th"}};
    for (const auto& [rank, text] : english) EXPECT_EQ(RankOrdinal(rank, "M", Language::English), text);
}

TEST(DirectAnswerRunner, UnrankedRunnerShowsSexAndCategory) {
    Runner runner;
    runner.gal = "0";
    DirectAnswer answer = DecodeDirectResponse(Gm05(runner), Language::French);
    EXPECT_EQ(answer.display->rank, "F - Senior Femme");
    EXPECT_EQ(answer.summary->rank, "F - Senior Femme");
}

TEST(DirectAnswerRunner, ControlTimeShowsNothing) {
    Runner runner;
    runner.status = "-8";
    DirectAnswer answer = DecodeDirectResponse(Gm04(runner), Language::French);
    EXPECT_EQ(answer.code, -8);
    EXPECT_FALSE(answer.display);
    EXPECT_FALSE(answer.summary);
    EXPECT_TRUE(answer.speech.empty());
    EXPECT_TRUE(answer.log.empty());
}

TEST(DirectAnswerRunner, OtherStatusesCarryTheirTextInTheSummary) {
    Runner runner;
    runner.status = "1";
    runner.pass = "4";
    DirectAnswer answer = DecodeDirectResponse(Gm06(runner), Language::French);
    EXPECT_THAT(Texts(answer), ElementsAre("------------------------ Temps du coureur corrigé"));
    EXPECT_EQ(answer.summary->rank, "Temps du coureur corrigé");
    EXPECT_EQ(answer.summary->status, 1);
    EXPECT_EQ(answer.summary->info, "p4");
    EXPECT_EQ(answer.display->rank, "12ème - 3ème F - 1ère SEF");

    runner.status = "-7";
    answer = DecodeDirectResponse(Res1(runner), Language::English);
    EXPECT_EQ(answer.summary->rank, "Détection refusée pour le coureur");
    EXPECT_EQ(answer.summary->status, 1);
}

TEST(DirectAnswerRunner, ZeroTimeIsShownBlank) {
    Runner runner;
    runner.time = "00:00:00";
    DirectAnswer answer = DecodeDirectResponse(Gm04(runner), Language::French);
    EXPECT_EQ(answer.display->time, "        ");
    EXPECT_EQ(answer.summary->time, "        ");
}

TEST(DirectAnswerRunner, NamesArePaddedByCharactersAndSpokenTrimmed) {
    Runner runner;
    runner.first = "Élodie";
    runner.last = "Lefèvre";
    DirectAnswer answer = DecodeDirectResponse(Gm04(runner), Language::French);
    EXPECT_EQ(answer.display->name, "Élodie Lefèvre" + std::string(16, ' '));
    EXPECT_EQ(answer.speech, "Élodie  Lefèvre");

    runner.first = "";
    runner.last = "  Martin ";
    EXPECT_EQ(DecodeDirectResponse(Gm04(runner), Language::French).speech, "Martin");
    runner.last = "  ";
    EXPECT_EQ(DecodeDirectResponse(Gm04(runner), Language::French).speech, "");
}

// ---- Undecodable and hostile answers -------------------------------------------------

TEST(DirectAnswerBadInput, SingleWordIsADecodingError) {
    DirectAnswer answer = DecodeDirectResponse("hello", Language::English);
    EXPECT_EQ(answer.code, kResultDecodingFailed);
    ASSERT_TRUE(answer.display);
    EXPECT_EQ(answer.display->name, "Decoding");
    EXPECT_EQ(answer.display->time, "Error");
    EXPECT_EQ(answer.display->rank, "");
    EXPECT_FALSE(answer.summary);
    EXPECT_THAT(Texts(answer), ElementsAre("Error decoding response: (ret=1)"));
    EXPECT_THAT(Texts(DecodeDirectResponse("hello", Language::French)),
                ElementsAre("Erreur décodage réponse: (ret=1)"));
}

TEST(DirectAnswerBadInput, MissingFieldsFailEveryTaggedLayout) {
    Runner runner;
    std::string line = Gm06(runner);
    line = line.substr(0, line.rfind('\\'));  // no status
    DirectAnswer answer = DecodeDirectResponse(line, Language::English);
    EXPECT_FALSE(answer.summary);
    EXPECT_THAT(Texts(answer), ElementsAre("Error decoding response: (ret=17)"));
}

TEST(DirectAnswerBadInput, NumberFieldWithTextStopsTheScan) {
    Runner runner;
    runner.gal = "12x";
    RunnerAnswer fields;
    bool matched = true;
    EXPECT_EQ(ScanTaggedRunnerAnswer(Gm04(runner), RunnerLayout::Gm04, fields, matched), 3);
    EXPECT_FALSE(matched);
    runner.gal = "abc";
    EXPECT_EQ(ScanTaggedRunnerAnswer(Gm04(runner), RunnerLayout::Gm04, fields, matched), 2);
}

TEST(DirectAnswerBadInput, TagMustMatchTheLayout) {
    Runner runner;
    std::string line = Gm04(runner);
    line.replace(0, 4, "gm99");
    RunnerAnswer fields;
    bool matched = true;
    EXPECT_EQ(ScanTaggedRunnerAnswer(line, RunnerLayout::Gm04, fields, matched), 15);
    EXPECT_FALSE(matched);
    EXPECT_FALSE(DecodeDirectResponse(line, Language::French).summary);
}

TEST(DirectAnswerBadInput, OverlongFieldsAreCutToTheirLimits) {
    Runner runner;
    runner.last = std::string(3000, 'L');
    runner.sexText = "F" + std::string(100, 'x');
    runner.scat = std::string(40, 'S');
    runner.category = std::string(80, 'C');
    runner.time = std::string(400, '9');
    runner.spare = std::string(500, '-');
    RunnerAnswer fields;
    bool matched = false;
    ScanTaggedRunnerAnswer(Gm06(runner), RunnerLayout::Gm06, fields, matched);
    ASSERT_TRUE(matched);
    EXPECT_EQ(fields.lastName.size(), 255u);
    EXPECT_EQ(fields.sex.size(), 19u);
    EXPECT_EQ(fields.shortCategory.size(), 19u);
    EXPECT_EQ(fields.category.size(), 49u);
    EXPECT_EQ(fields.time.size(), 255u);
    EXPECT_EQ(fields.spare.size(), 19u);
    EXPECT_EQ(fields.status, 3);

    RunnerAnswer res = ReadRes1RunnerAnswer(Res1(runner));
    EXPECT_EQ(res.lastName.size(), 255u);
    EXPECT_EQ(res.category.size(), 49u);
    EXPECT_EQ(res.status, 3);
    EXPECT_EQ(res.bib, 157);
}

TEST(DirectAnswerBadInput, LimitsNeverCutACharacterInTwo) {
    std::string text;
    for (int i = 0; i < 30; ++i) text += "é";
    EXPECT_EQ(CutToChars(text, 19), text.substr(0, 38));
}

TEST(DirectAnswerBadInput, Res1ReadsMissingFieldsAsEmptyAndNumbersLeniently) {
    RunnerAnswer runner = ReadRes1RunnerAnswer("RES:1\\a\\b\\3x\\\\FRA");
    EXPECT_EQ(runner.passing, 3);
    EXPECT_EQ(runner.nation, "FRA");
    EXPECT_EQ(runner.bib, 0);
    EXPECT_EQ(runner.lastName, "");
    EXPECT_EQ(runner.status, 0);

    DirectAnswer answer = DecodeDirectResponse("RES:1", Language::French);
    ASSERT_TRUE(answer.summary);
    EXPECT_EQ(answer.summary->rank, "Temps du coureur inchangé");
    EXPECT_EQ(answer.display->rank, " - ");
}

TEST(DirectAnswerBadInput, HugeAndBinaryLinesAreHandled) {
    std::string huge(8000, 'x');
    EXPECT_THAT(Texts(DecodeDirectResponse(huge, Language::English)),
                ElementsAre("Error decoding response: (ret=1)"));
    std::string separators(8000, '\\');
    EXPECT_FALSE(DecodeDirectResponse(separators, Language::English).summary);
    std::string binary;
    for (int c = 1; c < 256; ++c) binary += static_cast<char>(c);
    binary += std::string("\0\\\0", 3);
    DirectAnswer answer = DecodeDirectResponse(binary, Language::English);
    EXPECT_FALSE(answer.summary);
    EXPECT_EQ(answer.log.size(), 1u);
    std::string errorWithBytes = "ERR:-5\xff\xfe";
    EXPECT_THAT(Texts(DecodeDirectResponse(errorWithBytes, Language::French)),
                ElementsAre("$$$ Coureur inconnu"));
}

TEST(DirectAnswerBadInput, Windows1252NamesBecomeUtf8) {
    Runner runner;
    runner.first = "\xc9lodie";  // É in Windows-1252
    runner.last = "Lef\xe8vre";
    DirectAnswer answer = DecodeDirectResponse(Gm04(runner), Language::French);
    EXPECT_EQ(answer.speech, "Élodie  Lefèvre");
    EXPECT_EQ(AnswerTextToUtf8("NFO:5 Course \x80 \x81"), "NFO:5 Course € \xef\xbf\xbd");
    EXPECT_EQ(AnswerTextToUtf8(std::string("a\0b", 3)), "a b");
}

}  // namespace
}  // namespace lv

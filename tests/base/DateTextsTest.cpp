// Month and day names from the program's own texts, whatever the system's locale.
#include <gtest/gtest.h>

#include <clocale>
#include <ctime>
#include <string>

#include "base/DateTexts.h"
#include "base/Texts.h"

namespace lv {
namespace {

std::tm Tuesday8December2026() {
    std::tm t{};
    t.tm_year = 126;
    t.tm_mon = 11;
    t.tm_mday = 8;
    t.tm_wday = 2;
    t.tm_hour = 9;
    t.tm_min = 5;
    t.tm_sec = 3;
    return t;
}

TEST(DateTextsTest, FrenchAndEnglishNamesWithoutAnyFrenchLocale) {
    const std::string previous = std::setlocale(LC_TIME, nullptr);
    std::setlocale(LC_TIME, "C");
    const std::tm t = Tuesday8December2026();
    SetLanguage(Language::French);
    EXPECT_EQ(FormatLogStamp(t), "08 décembre 2026 - 09:05:03");
    EXPECT_EQ(FormatClockDate(t), "mardi 8 décembre 2026");
    EXPECT_STREQ(MonthName(1), "février");
    EXPECT_STREQ(MonthName(7), "août");
    EXPECT_STREQ(DayName(0), "dimanche");
    SetLanguage(Language::English);
    EXPECT_EQ(FormatLogStamp(t), "08 December 2026 - 09:05:03");
    EXPECT_EQ(FormatClockDate(t), "Tuesday 8 December 2026");
    EXPECT_EQ(FormatClockTime(t), "09:05:03");
    EXPECT_STREQ(MonthName(12), "?");
    EXPECT_STREQ(DayName(-1), "?");
    SetLanguage(Language::French);
    std::setlocale(LC_TIME, previous.c_str());
}

}  // namespace
}  // namespace lv

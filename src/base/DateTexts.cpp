#include "base/DateTexts.h"

#include <fmt/format.h>

#include "base/Texts.h"

namespace lv {

const char* MonthName(int month) {
    static const char* const kEnglish[12] = {"January", "February", "March",     "April",   "May",      "June",
                                             "July",    "August",   "September", "October", "November", "December"};
    static const char* const kFrench[12] = {"janvier", "février", "mars",      "avril",   "mai",      "juin",
                                            "juillet", "août",    "septembre", "octobre", "novembre", "décembre"};
    if (month < 0 || month > 11) return "?";
    return Tr(kEnglish[month], kFrench[month]);
}

const char* DayName(int weekday) {
    static const char* const kEnglish[7] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday",
                                            "Saturday"};
    static const char* const kFrench[7] = {"dimanche", "lundi", "mardi", "mercredi", "jeudi", "vendredi", "samedi"};
    if (weekday < 0 || weekday > 6) return "?";
    return Tr(kEnglish[weekday], kFrench[weekday]);
}

std::string FormatLogStamp(const std::tm& local) {
    return fmt::format("{:02d} {} {:04d} - {:02d}:{:02d}:{:02d}", local.tm_mday, MonthName(local.tm_mon),
                       local.tm_year + 1900, local.tm_hour, local.tm_min, local.tm_sec);
}

std::string FormatClockTime(const std::tm& local) {
    return fmt::format("{:02d}:{:02d}:{:02d}", local.tm_hour, local.tm_min, local.tm_sec);
}

std::string FormatClockDate(const std::tm& local) {
    return fmt::format("{} {} {} {:04d}", DayName(local.tm_wday), local.tm_mday, MonthName(local.tm_mon),
                       local.tm_year + 1900);
}

}  // namespace lv

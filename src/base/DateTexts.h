#pragma once
// Month and day names in the program's language, from the program's own texts: the
// system's locale may lack French (or be French in the English window).
#include <ctime>
#include <string>

namespace lv {

// month 0..11, weekday 0..6 (0 = Sunday), as in std::tm; "?" outside.
const char* MonthName(int month);
const char* DayName(int weekday);

// The log's time stamp, "%d %B %Y - %H:%M:%S" with the month in the program's
// language: "08 December 2026 - 10:42:13", "08 décembre 2026 - 10:42:13".
std::string FormatLogStamp(const std::tm& local);
// The window's clock: "10:42:13".
std::string FormatClockTime(const std::tm& local);
// The date under it: "Tuesday 8 December 2026", "mardi 8 décembre 2026".
std::string FormatClockDate(const std::tm& local);

}  // namespace lv

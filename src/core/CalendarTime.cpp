#include "core/CalendarTime.h"

#include <limits>

namespace lv {
namespace {

bool IsLeapYear(int64_t year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
int64_t DaysFromCivil(int64_t year, int month, int day) {
    year -= month <= 2 ? 1 : 0;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const int64_t yearOfEra = year - era * 400;
    const int64_t dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

// mktime with the daylight saving left to the library; it reports failure as -1, which
// is also a valid instant, so success is told by the weekday it fills in.
std::optional<int64_t> MakeLocal(std::tm tm) {
    tm.tm_isdst = -1;
    tm.tm_wday = -1;
    const std::time_t t = std::mktime(&tm);
    if (t == static_cast<std::time_t>(-1) && tm.tm_wday == -1) return std::nullopt;
    return static_cast<int64_t>(t);
}

bool ToTimeT(int64_t instant, std::time_t& out) {
    if (instant < std::numeric_limits<std::time_t>::min() ||
        instant > std::numeric_limits<std::time_t>::max()) {
        return false;
    }
    out = static_cast<std::time_t>(instant);
    return true;
}

}  // namespace

bool LocalTimeOf(int64_t instant, std::tm& out) {
    std::time_t t;
    if (!ToTimeT(instant, t)) return false;
#ifdef _WIN32
    return localtime_s(&out, &t) == 0;
#else
    return localtime_r(&t, &out) != nullptr;
#endif
}

bool UtcTimeOf(int64_t instant, std::tm& out) {
    std::time_t t;
    if (!ToTimeT(instant, t)) return false;
#ifdef _WIN32
    return gmtime_s(&out, &t) == 0;
#else
    return gmtime_r(&t, &out) != nullptr;
#endif
}

bool IsValidCalendar(const CalendarFields& f) {
    return f.year >= 1900 && f.month >= 1 && f.month <= 12 && f.day >= 1 &&
           f.day <= DaysInMonth(f.year, f.month) && f.hour >= 0 && f.hour <= 23 &&
           f.minute >= 0 && f.minute <= 59 && f.second >= 0 && f.second <= 59;
}

std::optional<int64_t> LocalInstantOf(const CalendarFields& f) {
    if (!IsValidCalendar(f)) return std::nullopt;
    std::tm tm{};
    tm.tm_year = f.year - 1900;
    tm.tm_mon = f.month - 1;
    tm.tm_mday = f.day;
    tm.tm_hour = f.hour;
    tm.tm_min = f.minute;
    tm.tm_sec = f.second;
    return MakeLocal(tm);
}

std::optional<int64_t> UtcInstantOf(const CalendarFields& f) {
    if (!IsValidCalendar(f)) return std::nullopt;
    return DaysFromCivil(f.year, f.month, f.day) * 86400 + f.hour * 3600 + f.minute * 60 +
           f.second;
}

std::optional<int64_t> LocalWallClockInstant(int64_t instant, int64_t secondsOfDay) {
    std::tm tm{};
    if (!LocalTimeOf(instant, tm)) return std::nullopt;
    // Whole fields, not an overflowing tm_sec: mktime adds excess seconds as elapsed
    // time, which would skip over a daylight saving change instead of reading the clock.
    int64_t days = secondsOfDay / 86400;
    int64_t rest = secondsOfDay % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    tm.tm_mday += static_cast<int>(days);
    tm.tm_hour = static_cast<int>(rest / 3600);
    tm.tm_min = static_cast<int>(rest % 3600 / 60);
    tm.tm_sec = static_cast<int>(rest % 60);
    return MakeLocal(tm);
}

bool FitsIn32Bits(int64_t instant) {
    return instant >= std::numeric_limits<int32_t>::min() &&
           instant <= std::numeric_limits<int32_t>::max();
}

}  // namespace lv

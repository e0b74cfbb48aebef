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

// Seconds the local clock is ahead of UTC at an instant.
std::optional<int64_t> OffsetAt(int64_t instant) {
    std::tm tm{};
    if (!LocalTimeOf(instant, tm)) return std::nullopt;
    const int64_t wall = DaysFromCivil(int64_t{tm.tm_year} + 1900, tm.tm_mon + 1, tm.tm_mday) * 86400 +
                         tm.tm_hour * 3600 + tm.tm_min * 60 + tm.tm_sec;
    return wall - instant;
}

// The instants whose local wall clock reads `wall` (the wall clock's fields counted as
// if they were UTC): none in the hour skipped in spring, two in the hour repeated in
// autumn. Offsets are taken a day either side, so only one change in two days is seen.
struct WallClockMatches {
    std::optional<int64_t> first;
    std::optional<int64_t> second;
    std::optional<int64_t> offsetBefore;
};

WallClockMatches MatchesOf(int64_t wall) {
    WallClockMatches found;
    const auto before = OffsetAt(wall - 86400);
    const auto after = OffsetAt(wall + 86400);
    found.offsetBefore = before;
    for (const auto& offset : {before, after}) {
        if (!offset) continue;
        const int64_t candidate = wall - *offset;
        if (OffsetAt(candidate) != offset) continue;  // that offset is not in force then
        if (!found.first) {
            found.first = candidate;
        } else if (candidate < *found.first) {
            found.second = found.first;
            found.first = candidate;
        } else if (candidate > *found.first) {
            found.second = candidate;
        }
    }
    return found;
}

// Every reading of a local wall clock goes through here, never through mktime with the
// daylight saving left open: glibc resolves the repeated autumn hour by whatever it
// converted before, so the same text read twice could differ by an hour. The rule:
// the first occurrence of a repeated time; a time in the skipped spring hour is read
// with the offset before the change, so it lands after the change.
std::optional<int64_t> LocalOfWall(int64_t wall) {
    const WallClockMatches found = MatchesOf(wall);
    if (found.first) return found.first;
    if (found.offsetBefore) return wall - *found.offsetBefore;
    return std::nullopt;
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
    return LocalOfWall(DaysFromCivil(f.year, f.month, f.day) * 86400 + f.hour * 3600 + f.minute * 60 + f.second);
}

std::optional<int64_t> UtcInstantOf(const CalendarFields& f) {
    if (!IsValidCalendar(f)) return std::nullopt;
    return DaysFromCivil(f.year, f.month, f.day) * 86400 + f.hour * 3600 + f.minute * 60 +
           f.second;
}

std::optional<int64_t> LocalWallClockInstant(int64_t instant, int64_t secondsOfDay) {
    std::tm tm{};
    if (!LocalTimeOf(instant, tm)) return std::nullopt;
    // The day's midnight on the wall clock plus the seconds, read as a wall clock again:
    // adding elapsed time instead would skip over a daylight saving change.
    const int64_t midnight = DaysFromCivil(int64_t{tm.tm_year} + 1900, tm.tm_mon + 1, tm.tm_mday) * 86400;
    constexpr int64_t kBound = int64_t{1} << 40;  // far beyond any time, far from overflow
    if (secondsOfDay > kBound || secondsOfDay < -kBound) return std::nullopt;
    return LocalOfWall(midnight + secondsOfDay);
}

std::optional<int64_t> RepeatedLocalInstant(int64_t firstOccurrence) {
    std::tm tm{};
    if (!LocalTimeOf(firstOccurrence, tm)) return std::nullopt;
    const int64_t wall = DaysFromCivil(int64_t{tm.tm_year} + 1900, tm.tm_mon + 1, tm.tm_mday) * 86400 +
                         tm.tm_hour * 3600 + tm.tm_min * 60 + tm.tm_sec;
    const WallClockMatches found = MatchesOf(wall);
    if (!found.first || *found.first != firstOccurrence || !found.second) return std::nullopt;
    return found.second;
}

int64_t ResolveRepeatedLocal(int64_t firstOccurrence, std::optional<int64_t> previous) {
    if (!previous || *previous <= firstOccurrence) return firstOccurrence;
    const auto second = RepeatedLocalInstant(firstOccurrence);
    return second ? *second : firstOccurrence;
}

bool FitsIn32Bits(int64_t instant) {
    return instant >= std::numeric_limits<int32_t>::min() &&
           instant <= std::numeric_limits<int32_t>::max();
}

}  // namespace lv

#include "app/RaceDays.h"

#include <algorithm>
#include <ctime>

#include <fmt/printf.h>

#include "base/Clock.h"

namespace lv {

namespace {

// Beyond any race, and far from overflowing the calendar fields.
constexpr int kMaxDayOffset = 100000;

std::tm LocalTime(std::chrono::system_clock::time_point instant) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(instant);
    std::tm local {};
    ::localtime_r(&seconds, &local);
    return local;
}

std::string Compact(const std::tm& date) {
    return fmt::sprintf("%d%02d%02d", date.tm_year + 1900, date.tm_mon + 1, date.tm_mday);
}

// The local date `offset` calendar days after the date of `today`.
std::string ShiftedDate(const std::tm& today, int offset) {
    std::tm date {};
    date.tm_year = today.tm_year;
    date.tm_mon = today.tm_mon;
    date.tm_mday = today.tm_mday + offset;
    date.tm_hour = 12;  // noon exists on every day, whatever the change of time
    date.tm_isdst = -1;
    std::mktime(&date);
    return Compact(date);
}

}  // namespace

std::string CompactLocalDate(std::chrono::system_clock::time_point instant) {
    return Compact(LocalTime(instant));
}

RaceDays ComputeRaceDays(int daysToAdd, std::chrono::system_clock::time_point now) {
    const std::tm today = LocalTime(now);
    const int back = daysToAdd > 0 ? std::min(daysToAdd, kMaxDayOffset) : 0;
    RaceDays days;
    for (int k = 0; k < 4; ++k) days.dates[k] = ShiftedDate(today, k - back);
    return days;
}

RaceDays ComputeRaceDays(int daysToAdd) { return ComputeRaceDays(daysToAdd, WallNow()); }

int DayCheckIndex(const RaceDays& days, std::chrono::system_clock::time_point now) {
    const std::string today = CompactLocalDate(now);
    for (int k = 0; k < 4; ++k) {
        if (days.dates[k] == today) return k;
    }
    return 0;
}

int DayCheckIndex(const RaceDays& days) { return DayCheckIndex(days, WallNow()); }

}  // namespace lv

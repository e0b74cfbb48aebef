#pragma once
// The four reference dates D0..D3 of a race that may last several days, as compact
// local dates "YYYYMMDD". With GDaysToAdd = N above 0 the race began N days ago:
// Dk = today + k - N; otherwise Dk = today + k. A passing dated Dk is k days into the
// race (24 hours are added per day to its time of day).
#include <array>
#include <chrono>
#include <string>

namespace lv {

struct RaceDays {
    std::array<std::string, 4> dates;
};

// "%d%02d%02d" of the local date of an instant.
std::string CompactLocalDate(std::chrono::system_clock::time_point instant);

// Dates are counted in calendar days, so a day of 23 or 25 hours (change of summer
// time) never repeats or skips a date.
RaceDays ComputeRaceDays(int daysToAdd, std::chrono::system_clock::time_point now);
RaceDays ComputeRaceDays(int daysToAdd);  // at WallNow()

// The index of today's compact date among D0..D3, 0 when it is none of them (the new
// value of GDaysToAdd for the main window's periodic day check).
int DayCheckIndex(const RaceDays& days, std::chrono::system_clock::time_point now);
int DayCheckIndex(const RaceDays& days);  // at WallNow()

}  // namespace lv

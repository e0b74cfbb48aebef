#pragma once
// The race-day rule: a passing dated on the k-th race day (k = 0..3) is k days into the
// race, so 24 hours per day are added to its time of day; a passing dated outside the
// race days keeps its time of day (and its source says the dates disagree).
#include <array>
#include <string>

#include "core/Chrono.h"

namespace lv {

// The index of a local date ("YYYYMMDD") among the race days, -1 when none.
int RaceDayIndex(const std::string& date, const std::array<std::string, 4>& raceDays);

// The race time of day of a passing: `clockOfDay` (the instant's local time of day when
// unset) plus the days of its race day, the day of `clockDate` (the instant's local
// date when empty). `raceDay` gets the day's index, -1 when the passing is dated
// outside the race days.
CChrono RaceTimeOfDay(const CChrono& instant, const CChrono& clockOfDay, const std::string& clockDate,
                      const std::array<std::string, 4>& raceDays, int& raceDay);

// The time of day plus whole days (a correction the timekeeper chose).
CChrono AddDays(const CChrono& ofDay, int days);

// "### Caution: Box and Computer dates seem incompatible!" in the program's language.
const char* DatesIncompatibleText();

}  // namespace lv

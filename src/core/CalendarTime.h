#pragma once
// Conversions between instants (seconds since 1970 UTC) and calendar fields, safe to
// call from any thread and alike on every platform.
#include <cstdint>
#include <ctime>
#include <optional>

namespace lv {

struct CalendarFields {
    int year = 1970;
    int month = 1;  // 1..12
    int day = 1;    // 1..31
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// Broken-down local / UTC time of an instant; false when the library cannot convert it.
bool LocalTimeOf(int64_t instant, std::tm& out);
bool UtcTimeOf(int64_t instant, std::tm& out);

// Year from 1900, month 1..12, a day that exists in that month, hour 0..23, minute and
// second 0..59.
bool IsValidCalendar(const CalendarFields& fields);

// Instant of local calendar fields. A time the clock shows twice (the hour repeated
// when summer time ends) reads as its first occurrence, whatever was converted before;
// a time in the hour skipped in spring reads with the offset before the change, so it
// lands after it. Nothing when the fields fail the check or the library cannot
// represent them.
std::optional<int64_t> LocalInstantOf(const CalendarFields& fields);

// Instant of UTC calendar fields; nothing when the fields fail the check.
std::optional<int64_t> UtcInstantOf(const CalendarFields& fields);

// The instant at which the local wall clock of the day containing `instant` shows
// `secondsOfDay` past midnight (beyond 24 h: the following days). Nothing when the
// library cannot represent it.
std::optional<int64_t> LocalWallClockInstant(int64_t instant, int64_t secondsOfDay);

// The second instant at which the local wall clock shows what it shows at
// `firstOccurrence`, when that is the first of two (the repeated autumn hour).
std::optional<int64_t> RepeatedLocalInstant(int64_t firstOccurrence);

// The rule for a decoder's local clock, which says nothing of summer time: a repeated
// time is its first occurrence, unless the previous detection of the same box was
// already past it (the box has gone through the change), then it is the second.
int64_t ResolveRepeatedLocal(int64_t firstOccurrence, std::optional<int64_t> previous);

// Whether an instant fits the 32-bit seconds of a race-time value.
bool FitsIn32Bits(int64_t instant);

}  // namespace lv

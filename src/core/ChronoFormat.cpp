// The text forms of a race-time value shown in the windows and written to files.
#include <fmt/printf.h>

#include <array>
#include <charconv>
#include <ctime>

#include "base/Texts.h"
#include "core/CalendarTime.h"
#include "core/Chrono.h"

namespace lv {
namespace {

// A duration as sign and magnitude in milliseconds. A negative value (a difference)
// is written as a minus sign before the text of its magnitude.
struct Magnitude {
    const char* sign;
    int64_t ms;
};

Magnitude MagnitudeOf(int32_t seconds, uint16_t milliseconds) {
    const int64_t total = int64_t{seconds} * 1000 + milliseconds;
    return total < 0 ? Magnitude{"-", -total} : Magnitude{"", total};
}

// Whole seconds of a magnitude, a started second counting as a full one: a time is
// never shown better than it was.
int64_t SecondsRoundedUp(int64_t ms) { return (ms + 999) / 1000; }

// "%02ld" of a value that is never negative here: at least two digits. Times are made
// for every detection, without a format string to read each time.
void AppendTwoDigitsAtLeast(std::string& text, int64_t value) {
    if (value < 10) text += '0';
    char digits[24];
    text.append(digits, std::to_chars(digits, digits + sizeof digits, value).ptr);
}

// sign, then HH:MM:SS ("%s%02ld:%02ld:%02ld").
std::string HoursMinutesSeconds(const char* sign, int64_t seconds) {
    // No reserve: the usual "HH:MM:SS.hh" fits in the string itself, and a detection
    // record keeps this text for the whole race.
    std::string text(sign);
    AppendTwoDigitsAtLeast(text, seconds / 3600);
    text += ':';
    AppendTwoDigitsAtLeast(text, (seconds % 3600) / 60);
    text += ':';
    AppendTwoDigitsAtLeast(text, seconds % 60);
    return text;
}

constexpr std::array<const char*, 7> kWeekdaysEn = {"Sun", "Mon", "Tue", "Wed",
                                                    "Thu", "Fri", "Sat"};
constexpr std::array<const char*, 7> kWeekdaysFr = {"Dim", "Lun", "Mar", "Mer",
                                                    "Jeu", "Ven", "Sam"};
constexpr std::array<const char*, 12> kMonthsEn = {
    "January", "February", "March",     "April",   "May",      "June",
    "July",    "August",   "September", "October", "November", "December"};
constexpr std::array<const char*, 12> kMonthsFr = {
    "Janvier", "Février", "Mars",      "Avril",   "Mai",      "Juin",
    "Juillet", "Août",    "Septembre", "Octobre", "Novembre", "Décembre"};

}  // namespace

std::string CChrono::FormatHundredths() const {
    const Magnitude m = MagnitudeOf(seconds_, milliseconds_);
    const int64_t seconds = m.ms / 1000;
    std::string text = HoursMinutesSeconds(m.sign, seconds);
    text += '.';
    AppendTwoDigitsAtLeast(text, (m.ms % 1000) / 10);
    return text;
}

std::string CChrono::FormatSeconds() const {
    const Magnitude m = MagnitudeOf(seconds_, milliseconds_);
    return HoursMinutesSeconds(m.sign, m.ms / 1000);
}

std::string CChrono::FormatSecondsUp() const {
    const Magnitude m = MagnitudeOf(seconds_, milliseconds_);
    return HoursMinutesSeconds(m.sign, SecondsRoundedUp(m.ms));
}

std::string CChrono::FormatDayWrap() const {
    const Magnitude m = MagnitudeOf(seconds_, milliseconds_);
    const int64_t seconds = SecondsRoundedUp(m.ms);
    const int64_t hours = seconds / 3600;
    if (*m.sign != 0 || hours < 24) return HoursMinutesSeconds(m.sign, seconds);
    // A time of day past midnight of a later day: "+24h 01:00:00".
    return fmt::sprintf("+%dh %02ld:%02ld:%02ld", hours / 24 * 24, hours % 24,
                        (seconds % 3600) / 60, seconds % 60);
}

std::string CChrono::FormatDigits() const {
    std::string text = FormatSecondsUp();
    const size_t start = text[0] == '-' ? 1 : 0;
    size_t out = start;
    bool leading = true;
    for (size_t i = start; i < text.size(); ++i) {
        const char c = text[i];
        if (c == ':' || (leading && c == '0')) continue;
        leading = false;
        text[out++] = c;
    }
    text.resize(out == start ? 0 : out);
    return text;
}

std::string CChrono::FormatClock() const {
    if (!IsSet()) return "00:00:00";
    std::tm tm{};
    if (!LocalTimeOf(seconds_, tm)) return "ErrorTime";
    return fmt::sprintf("%02d:%02d:%02d", tm.tm_hour, tm.tm_min, tm.tm_sec);
}

std::string CChrono::FormatClockHundredths() const {
    if (!IsSet()) return "00:00:00.00";
    std::tm tm{};
    if (!LocalTimeOf(seconds_, tm)) return "ErrorTime";
    return fmt::sprintf("%02d:%02d:%02d.%02d", tm.tm_hour, tm.tm_min, tm.tm_sec,
                        milliseconds_ / 10);
}

std::string CChrono::FormatDate() const {
    std::tm tm{};
    if (!LocalTimeOf(seconds_, tm)) return "00/00/0000";
    return fmt::sprintf("%02d/%02d/%2d", tm.tm_mday, tm.tm_mon + 1, tm.tm_year + 1900);
}

std::string CChrono::FormatDateCompact() const {
    std::tm tm{};
    if (!LocalTimeOf(seconds_, tm)) return "00000000";
    return fmt::sprintf("%4d%02d%02d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday);
}

std::string CChrono::FormatLongDate() const {
    std::tm tm{};
    if (!LocalTimeOf(seconds_, tm)) return std::string();
    return fmt::sprintf("%s %02d %s %4d", WeekdayName(tm.tm_wday), tm.tm_mday,
                        MonthName(tm.tm_mon), tm.tm_year + 1900);
}

std::string CChrono::FormatIsoMs() const {
    std::tm tm{};
    if (!LocalTimeOf(seconds_, tm)) return "0000-00-00;00:00:00.000";
    // An unset value keeps the date of instant 0 but shows no time of day.
    if (!IsSet()) tm.tm_hour = tm.tm_min = tm.tm_sec = 0;
    return fmt::sprintf("%04d-%02d-%02d;%02d:%02d:%02d.%03d", tm.tm_year + 1900, tm.tm_mon + 1,
                        tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, milliseconds_);
}

std::string CChrono::WeekdayName(int index) {
    if (index < 0 || index >= static_cast<int>(kWeekdaysEn.size())) return std::string();
    return Tr(kWeekdaysEn[index], kWeekdaysFr[index]);
}

std::string CChrono::MonthName(int index) {
    if (index < 0 || index >= static_cast<int>(kMonthsEn.size())) return std::string();
    return Tr(kMonthsEn[index], kMonthsFr[index]);
}

}  // namespace lv

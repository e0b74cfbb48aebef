#pragma once
// CChrono: the one value type for every time the program handles, either a time of
// day / duration (seconds from midnight, may exceed 24 h) or an absolute instant
// (seconds since 1970 UTC, shown in local time). The kind is not stored: the code
// that creates a value knows it. Both fields zero means "no time"; unset sorts last.
#include <cstdint>
#include <string>
#include <string_view>

namespace lv {

class CChrono {
public:
    enum Mode { kUnset = 0, kNowAbsolute = 1, kNowOfDay = 2 };

    constexpr CChrono() = default;
    // Whole seconds in `milliseconds` are carried into the seconds, so the fraction
    // always stays within 0..999.
    constexpr CChrono(int32_t seconds, uint16_t milliseconds)
        : seconds_(static_cast<int32_t>(int64_t{seconds} + milliseconds / 1000)),
          milliseconds_(static_cast<uint16_t>(milliseconds % 1000)) {}
    explicit CChrono(Mode mode);

    int32_t Seconds() const { return seconds_; }
    uint16_t Milliseconds() const { return milliseconds_; }

    void Reset() { seconds_ = 0; milliseconds_ = 0; }
    void SetNowAbsolute();
    void SetNowOfDay();
    bool IsSet() const { return seconds_ != 0 || milliseconds_ != 0; }

    // Kind conversions (local time zone, daylight saving decided by the C library).
    // OfDayToAbsolute reads the seconds as today's local wall clock (beyond 24 h: the
    // following days), so it stays right on the days daylight saving changes.
    void OfDayToAbsolute();
    void AbsoluteToOfDay();

    // Sum and difference keep the low 32 bits of the seconds (no overflow).
    friend CChrono operator-(const CChrono& a, const CChrono& b);
    friend CChrono operator+(const CChrono& a, const CChrono& b);
    friend bool operator==(const CChrono& a, const CChrono& b) {
        return a.seconds_ == b.seconds_ && a.milliseconds_ == b.milliseconds_;
    }
    friend bool operator<(const CChrono& a, const CChrono& b);
    friend bool operator<=(const CChrono& a, const CChrono& b);
    friend bool operator>(const CChrono& a, const CChrono& b);
    friend bool operator>=(const CChrono& a, const CChrono& b);

    // Parsers: true on success; on failure the value is left unchanged. Fields are read
    // the way sscanf reads "%ld" (blanks skipped, text after the last field ignored);
    // a number beyond 32 bits or a result beyond the 32-bit seconds is a failure.
    // A minus sign before the hours alone makes the whole time negative ("-00:00:05.00").
    bool ParseTime(std::string_view text);      // fraction in hundredths, 0..99
    bool ParseTimeMs(std::string_view text);    // fraction in milliseconds, 1000s carried
    // Local calendar fields; fails on a date that does not exist or lies outside the
    // 32-bit seconds. ParseDateTime takes the fraction as milliseconds, 0..999.
    bool ParseDateTimeCompact(std::string_view date, std::string_view time, int hundredths);
    bool ParseDateTime(std::string_view date, std::string_view time);
    // "2018-05-12T09:41:07.25Z": the fraction is padded or cut to milliseconds; with
    // convertFromUtc, a trailing Z makes the fields universal time.
    bool ParseIsoTimestamp(std::string_view text, bool convertFromUtc);

    // Brings the fraction after the last point to exactly three digits.
    static void NormalizeFraction(std::string& text);

    // Formatters for a time of day or a duration. A negative duration is written as a
    // minus sign before the text of its magnitude.
    std::string FormatHundredths() const;  // HH:MM:SS.hh, hours not wrapped
    std::string FormatSeconds() const;     // HH:MM:SS truncated
    std::string FormatSecondsUp() const;   // HH:MM:SS rounded up
    std::string FormatDayWrap() const;     // as FormatSecondsUp, "+24h HH:MM:SS" past a day
    std::string FormatDigits() const;      // FormatSecondsUp without colons and leading zeros

    // Formatters for an absolute instant (local time).
    std::string FormatClock() const;             // HH:MM:SS
    std::string FormatClockHundredths() const;   // HH:MM:SS.hh
    std::string FormatDate() const;              // DD/MM/YYYY
    std::string FormatDateCompact() const;       // YYYYMMDD
    std::string FormatLongDate() const;          // "Sun 05 January 2025" in the program's language
                                                 // (empty when the instant cannot be converted)
    std::string FormatIsoMs() const;             // YYYY-MM-DD;HH:MM:SS.mmm

    // Weekday (0 = Sunday) and month (0 = January) names in the program's language;
    // empty outside their ranges.
    static std::string WeekdayName(int index);
    static std::string MonthName(int index);

private:
    int32_t seconds_ = 0;
    uint16_t milliseconds_ = 0;
};

}  // namespace lv

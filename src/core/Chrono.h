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
    constexpr CChrono(int32_t seconds, uint16_t milliseconds)
        : seconds_(seconds), milliseconds_(milliseconds) {}
    explicit CChrono(Mode mode);

    int32_t Seconds() const { return seconds_; }
    uint16_t Milliseconds() const { return milliseconds_; }

    void Reset() { seconds_ = 0; milliseconds_ = 0; }
    void SetNowAbsolute();
    void SetNowOfDay();
    bool IsSet() const { return seconds_ != 0 || milliseconds_ != 0; }

    // Kind conversions (local time zone, daylight saving decided by the C library).
    void OfDayToAbsolute();
    void AbsoluteToOfDay();

    friend CChrono operator-(const CChrono& a, const CChrono& b);
    friend CChrono operator+(const CChrono& a, const CChrono& b);
    friend bool operator==(const CChrono& a, const CChrono& b) {
        return a.seconds_ == b.seconds_ && a.milliseconds_ == b.milliseconds_;
    }
    friend bool operator<(const CChrono& a, const CChrono& b);
    friend bool operator<=(const CChrono& a, const CChrono& b);
    friend bool operator>(const CChrono& a, const CChrono& b);
    friend bool operator>=(const CChrono& a, const CChrono& b);

    // Parsers: true on success; on failure the value is left unchanged.
    bool ParseTime(std::string_view text);      // fraction in hundredths
    bool ParseTimeMs(std::string_view text);    // fraction in milliseconds
    bool ParseDateTimeCompact(std::string_view date, std::string_view time, int hundredths);
    bool ParseDateTime(std::string_view date, std::string_view time);
    bool ParseIsoTimestamp(std::string_view text, bool convertFromUtc);

    // Brings the fraction after the last point to exactly three digits.
    static void NormalizeFraction(std::string& text);

    // Formatters for a time of day or a duration.
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

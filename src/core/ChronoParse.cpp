// Reading the text forms that decoders, files, the user and the cloud service deliver.
#include <initializer_list>
#include <optional>
#include <span>

#include "core/CalendarTime.h"
#include "core/Chrono.h"
#include "core/ScanNumbers.h"

namespace lv {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

enum class Match { Yes, No, TooLarge };

// Tries the forms in order; the first whose `count` numbers all convert wins. A number
// too large for 32 bits rejects the text outright, so that a shorter form cannot
// succeed by ignoring it.
Match FirstMatch(std::string_view text, std::initializer_list<std::string_view> forms,
                 std::span<ScannedNumber> out, int count) {
    for (std::string_view form : forms) {
        const int converted = ScanNumbers(text, form, out);
        if (converted == kScanTooLarge) return Match::TooLarge;
        if (converted == count) return Match::Yes;
    }
    return Match::No;
}

// Total milliseconds split into a value whose fraction stays within 0..999; nothing when
// the seconds leave the 32-bit range.
std::optional<CChrono> FromMilliseconds(int64_t total) {
    int64_t seconds = total / 1000;
    int64_t ms = total % 1000;
    if (ms < 0) {
        ms += 1000;
        --seconds;
    }
    if (!FitsIn32Bits(seconds)) return std::nullopt;
    return CChrono(static_cast<int32_t>(seconds), static_cast<uint16_t>(ms));
}

// Hours, minutes and seconds as read, plus a fraction already in milliseconds.
// A minus sign on the hours alone ("-00:00:05.00", the way negative durations are
// written) makes the whole value negative. Otherwise every field counts with its own
// sign, as scanf reads them, so "00:00:-1.95" (how earlier versions wrote -0.05 s)
// still reads back as the same value.
std::optional<CChrono> FromClockFields(const ScannedNumber& h, const ScannedNumber& m,
                                       const ScannedNumber& s, int64_t fractionMs) {
    // Fields are within 32 bits, so none of these products overflows 64 bits.
    if (h.sign == '-' && m.sign == 0 && s.sign == 0) {
        const int64_t magnitude = (-h.value * 3600 + m.value * 60 + s.value) * 1000 + fractionMs;
        return FromMilliseconds(-magnitude);
    }
    return FromMilliseconds((h.value * 3600 + m.value * 60 + s.value) * 1000 + fractionMs);
}

CalendarFields ToCalendar(const ScannedNumber* date, const ScannedNumber* time) {
    CalendarFields f;
    f.year = static_cast<int>(date[0].value);
    f.month = static_cast<int>(date[1].value);
    f.day = static_cast<int>(date[2].value);
    f.hour = static_cast<int>(time[0].value);
    f.minute = static_cast<int>(time[1].value);
    f.second = static_cast<int>(time[2].value);
    return f;
}

// A fraction written without sign within 0..limit.
bool IsPlainFraction(const ScannedNumber& fraction, int64_t limit) {
    return fraction.sign == 0 && fraction.value >= 0 && fraction.value <= limit;
}

}  // namespace

bool CChrono::ParseTime(std::string_view text) {
    ScannedNumber f[4];
    int64_t fractionMs = 0;
    const Match withFraction = FirstMatch(text, {"%ld:%ld:%ld.%ld", "%ld.%ld.%ld.%ld"}, f, 4);
    if (withFraction == Match::TooLarge) return false;
    if (withFraction == Match::Yes) {
        // The fraction counts hundredths: three digits are not a time of this form.
        if (!IsPlainFraction(f[3], 99)) return false;
        fractionMs = f[3].value * 10;
    } else if (FirstMatch(text, {"%ld.%ld.%ld", "%ld:%ld:%ld"}, f, 3) != Match::Yes) {
        return false;
    }
    const auto value = FromClockFields(f[0], f[1], f[2], fractionMs);
    if (!value) return false;
    *this = *value;
    return true;
}

bool CChrono::ParseTimeMs(std::string_view text) {
    ScannedNumber f[4];
    if (FirstMatch(text, {"%ld:%ld:%ld.%ld", "%ld.%ld.%ld.%ld"}, f, 4) != Match::Yes) {
        return false;
    }
    // Whole thousands of the fraction are carried into the seconds.
    if (f[3].sign != 0) return false;
    const auto value = FromClockFields(f[0], f[1], f[2], f[3].value);
    if (!value) return false;
    *this = *value;
    return true;
}

bool CChrono::ParseDateTimeCompact(std::string_view date, std::string_view time,
                                   int hundredths) {
    ScannedNumber d[3];
    ScannedNumber t[3];
    if (ScanNumbers(date, "%4d%02d%02d", d) != 3 || ScanNumbers(time, "%02d%02d%02d", t) != 3) {
        return false;
    }
    if (hundredths < 0 || hundredths > 99) return false;
    const auto instant = LocalInstantOf(ToCalendar(d, t));
    if (!instant || !FitsIn32Bits(*instant)) return false;
    seconds_ = static_cast<int32_t>(*instant);
    milliseconds_ = static_cast<uint16_t>(hundredths * 10);
    return true;
}

bool CChrono::ParseDateTime(std::string_view date, std::string_view time) {
    ScannedNumber d[3];
    ScannedNumber t[4];
    if (ScanNumbers(date, "%4d%02d%02d", d) != 3) return false;
    if (FirstMatch(time, {"%ld:%ld:%ld.%ld", "%02d%02d%02d.%d"}, t, 4) != Match::Yes) {
        return false;
    }
    // The fraction is read as milliseconds as it stands (callers bring it to three
    // digits first); more than 999 is not a fraction.
    if (!IsPlainFraction(t[3], 999)) return false;
    const auto instant = LocalInstantOf(ToCalendar(d, t));
    if (!instant || !FitsIn32Bits(*instant)) return false;
    seconds_ = static_cast<int32_t>(*instant);
    milliseconds_ = static_cast<uint16_t>(t[3].value);
    return true;
}

bool CChrono::ParseIsoTimestamp(std::string_view text, bool convertFromUtc) {
    // Timestamps are short; a longer text is not one.
    char buffer[80];
    bool isUtc = !text.empty() && text.back() == 'Z';
    while (!text.empty() && text.back() == 'Z') text.remove_suffix(1);
    if (text.size() >= sizeof buffer) return false;
    size_t length = 0;
    for (char c : text) buffer[length++] = (c == 'T' || c == '-') ? ' ' : c;
    const std::string_view work(buffer, length);

    // The fraction: up to three digits after the last point, padded on the right
    // (".25" is 250 ms); further digits are below the millisecond and dropped.
    std::string_view dateTime = work;
    int fractionMs = 0;
    if (const size_t point = work.rfind('.'); point != std::string_view::npos) {
        dateTime = work.substr(0, point);
        const std::string_view fraction = work.substr(point + 1);
        if (!fraction.empty() && !IsDigit(fraction[0])) return false;
        int scale = 100;
        for (size_t i = 0; i < fraction.size() && i < 3 && IsDigit(fraction[i]); ++i) {
            fractionMs += (fraction[i] - '0') * scale;
            scale /= 10;
        }
    }

    ScannedNumber f[6];
    if (ScanNumbers(dateTime, "%4d %02d %02d %ld:%ld:%ld", f) != 6) return false;
    const CalendarFields fields = ToCalendar(f, f + 3);
    // A trailing Z marks universal time: the instant comes straight from the UTC fields,
    // which stays right in the hours around a daylight saving change.
    const auto instant =
        convertFromUtc && isUtc ? UtcInstantOf(fields) : LocalInstantOf(fields);
    if (!instant || !FitsIn32Bits(*instant)) return false;
    seconds_ = static_cast<int32_t>(*instant);
    milliseconds_ = static_cast<uint16_t>(fractionMs);
    return true;
}

void CChrono::NormalizeFraction(std::string& text) {
    const size_t point = text.rfind('.');
    if (point == std::string::npos) {
        text += ".000";
        return;
    }
    // The digits right after the point become exactly three; anything after them (a
    // stray end of line) stays where it is instead of being counted as digits.
    const size_t begin = point + 1;
    size_t end = begin;
    while (end < text.size() && IsDigit(text[end])) ++end;
    const size_t digits = end - begin;
    if (digits < 3) {
        text.insert(end, 3 - digits, '0');
    } else if (digits > 3) {
        text.erase(begin + 3, digits - 3);
    }
}

}  // namespace lv

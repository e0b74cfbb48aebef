#include "core/ScanNumbers.h"

#include <algorithm>
#include <limits>

namespace lv {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

void SkipBlanks(std::string_view text, size_t& pos) {
    while (pos < text.size() && IsBlank(text[pos])) ++pos;
}

enum class Read { Ok, Mismatch, TooLarge };

// One "%d" conversion at pos; width 0 means unlimited.
Read ReadNumber(std::string_view text, size_t& pos, size_t width, ScannedNumber& out) {
    SkipBlanks(text, pos);
    const size_t limit = width == 0 ? text.size() : std::min(text.size(), pos + width);
    size_t at = pos;
    char sign = 0;
    if (at < limit && (text[at] == '+' || text[at] == '-')) {
        sign = text[at];
        ++at;
    }
    constexpr int64_t kMaxMagnitude = int64_t{std::numeric_limits<int32_t>::max()} + 1;
    int64_t magnitude = 0;
    bool tooBig = false;
    const size_t firstDigit = at;
    while (at < limit && IsDigit(text[at])) {
        magnitude = magnitude * 10 + (text[at] - '0');
        if (magnitude > kMaxMagnitude) {
            tooBig = true;
            magnitude = kMaxMagnitude;  // keeps the loop free of overflow
        }
        ++at;
    }
    if (at == firstDigit) return Read::Mismatch;
    const int64_t value = sign == '-' ? -magnitude : magnitude;
    if (tooBig || value > std::numeric_limits<int32_t>::max()) return Read::TooLarge;
    out.value = value;
    out.sign = sign;
    pos = at;
    return Read::Ok;
}

}  // namespace

int ScanNumbers(std::string_view text, std::string_view format, std::span<ScannedNumber> out) {
    size_t pos = 0;
    size_t converted = 0;
    for (size_t f = 0; f < format.size(); ++f) {
        const char c = format[f];
        if (IsBlank(c)) {
            SkipBlanks(text, pos);
            continue;
        }
        if (c != '%' || (f + 1 < format.size() && format[f + 1] == '%')) {
            if (c == '%') ++f;
            if (pos >= text.size() || text[pos] != c) break;
            ++pos;
            continue;
        }
        size_t width = 0;
        ++f;
        while (f < format.size() && IsDigit(format[f])) width = width * 10 + (format[f++] - '0');
        if (f < format.size() && format[f] == 'l') ++f;
        if (f >= format.size() || format[f] != 'd' || converted >= out.size()) break;
        const Read read = ReadNumber(text, pos, width, out[converted]);
        if (read == Read::TooLarge) return kScanTooLarge;
        if (read == Read::Mismatch) break;
        ++converted;
    }
    return static_cast<int>(converted);
}

}  // namespace lv

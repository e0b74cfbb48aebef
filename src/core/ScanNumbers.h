#pragma once
// Reads decimal fields out of a text with a scanf-style format, matching the way the C
// library's scanf family does, without its undefined behaviour on huge numbers.
//
// Format: "%d" / "%ld" with an optional width ("%4d", "%02d"), a blank (matches any
// run of white space, none included), "%%", or any other character, which must be the
// next input character. A number skips leading white space, takes an optional sign
// and at least one digit, at most `width` characters counting the sign. Text after the
// last directive is ignored, as with sscanf.
#include <cstdint>
#include <span>
#include <string_view>

namespace lv {

struct ScannedNumber {
    int64_t value = 0;
    char sign = 0;  // '+' or '-' when written with an explicit sign ("-0" included)
};

// Returns how many numbers converted before the first mismatch (like sscanf, without
// its EOF), or kScanTooLarge when a number lies outside the signed 32-bit range (the
// files and boxes this reads come from a platform whose long is 32 bits): such a text
// is unreadable, not merely a mismatch.
inline constexpr int kScanTooLarge = -1;
int ScanNumbers(std::string_view text, std::string_view format, std::span<ScannedNumber> out);

}  // namespace lv

#pragma once
// A network decoder's passing line: "#P;<n>;<chip>;<YYYY-MM-DD>;<HH:MM:SS.fff>;..."
// with exactly 18 ';' fields, as the decoder pushes it and as it keeps it in its stored
// files. Gives the chip code as read, the absolute instant and the box's time of day;
// what the passing becomes (race day, bib number) is the recorder's business.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/Chrono.h"

namespace lv {

struct PassingRead {
    std::string code;   // the chip code as the box sent it
    CChrono instant;    // absolute instant
    CChrono clockOfDay; // the box's time of day, as written
    std::string date;   // its date as YYYYMMDD (today's for a date of zeros)
};

// False for a line that is not a passing or whose chip, date or time does not read
// (never a read with a made-up time). A date of 0000-00-00 stands for today.
bool ReadPassingLine(std::string_view line, PassingRead& read);

// Applies the rule of a decoder's clock in the repeated autumn hour to a read of one box
// (ResolveRepeatedLocal against `previous`, the instant of that box's read before) and
// keeps the read's instant as the next `previous`.
void FollowBoxClock(PassingRead& read, std::optional<int64_t>& previous);

}  // namespace lv

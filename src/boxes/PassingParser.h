#pragma once
// A network decoder's pushed passing: "#P;<n>;<chip>;<YYYY-MM-DD>;<HH:MM:SS.fff>;..."
// with exactly 18 ';' fields. Gives the label to record (chip code, or bib number when
// translated), the absolute instant and the race time of day.
#include <string>

#include "boxes/BoxHost.h"
#include "core/Chrono.h"

namespace lv {

struct ParsedPassing {
    std::string label;  // bib number as decimal text when translated, else the chip code
    std::string chip;   // the chip code as the box sent it
    CChrono instant;    // absolute instant
    CChrono ofDay;      // time of day plus the race-day offset
};

// False with an empty error for a line that is not a passing or whose date or time
// does not parse (the caller reports it as an invalid detection); false with
// "## Unknown chip [%s]. Detection discarded" for an unknown chip when unknown chips
// are ignored. A date outside the race days logs the dates warning (level 0) and keeps
// the time of day unshifted. A date of 0000-00-00 stands for today.
bool ParsePassing(const std::string& line, const IntakeSettings& settings, ParsedPassing& passing,
                  std::string& error);

}  // namespace lv

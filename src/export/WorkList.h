#pragma once
// Export copies of the detection table's active records: taken under the table's lock
// once, then numbered, filtered and written without it.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/Chrono.h"
#include "core/DetectionRecords.h"

namespace lv {

struct CWorkResult : CQoxResult {
    int32_t bib = 0;  // the label read as a decimal number (0 for a chip code)
    CChrono time;     // the passing's time of day
};

using WorkList = std::vector<CWorkResult>;

// The time of day of a record: the one it was recorded with, else read from its time
// text (the seconds-since-1970 form taken as an instant and brought to local time).
CChrono WorkTimeOf(const CQoxResult& record);

// The copy of one record with its bib and time.
CWorkResult MakeWorkResult(const CQoxResult& record);

// Fills `list` with a copy of every active record whose box is `detectorFilter`; an
// empty filter or "*" takes every detector.
void BuildWorkList(WorkList& list, std::string_view detectorFilter);

}  // namespace lv

#pragma once
// "Correct the bib...": a detection read under the wrong bib (a swapped chip, a typo
// in a manual entry) is removed as the remove command does, and the same box and
// instant are recorded again under the right bib as a manual entry is. The journal and
// the timing application therefore see nothing they do not see for those two today.
#include <string>
#include <string_view>
#include <vector>

#include "app/ManualInsertion.h"
#include "core/DetectionRecords.h"

namespace lv {

// Whether a record may be corrected: an active one, of at most three days past its
// race's first day (what a manual entry can hold). False with the reason.
bool CanCorrectBib(const CQoxResult& record, std::string& reason);

// The manual entry standing for `record` under the bib typed, checked as the insertion
// dialog checks its OK (bib, chip code when codes are sent).
ManualValidation ValidateBibCorrection(const CQoxResult& record, std::string_view bibText, bool sendNumbers);

// The detections whose bib (the label, or the bib of its chip code in the table) is the
// one typed, in table order; nothing for a text that is no bib.
std::vector<const CQoxResult*> FindBibDetections(const std::vector<const CQoxResult*>& records,
                                                 std::string_view bibText);

}  // namespace lv

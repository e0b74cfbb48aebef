#pragma once
// The text of a detection's line in the detections window, made where it is shown (on
// the UI thread) from the record: the box's description or the source's marker, then
// the label, with the bib or a mark of the chip table's answer.
#include <string>

#include "core/DetectionRecords.h"

namespace lv {

// After the time of day: "<description>\t# <bib>" and its variants by source and by
// what the chip table said. `boxDescription` is the transport's description of the box
// that read it (ignored for manual entries and imports); `sendNumbers` is
// GTarvexSendNumbers.
std::string DetectionLineText(const CQoxResult& record, const std::string& boxDescription, bool sendNumbers);

// The whole line: the time of day (wrapped past a day), a tab, then the text above.
CDetectionItem DetectionLine(CQoxResult& record, const std::string& boxDescription, bool sendNumbers);

}  // namespace lv

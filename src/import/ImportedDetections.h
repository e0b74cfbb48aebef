#pragma once
// What becomes of imported detections: their times with the correction, and the
// detection file they are saved into.
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "core/Chrono.h"
#include "core/DetectionRecords.h"
#include "import/ImportRecords.h"

namespace lv {

// The correction is added where the race-day offset of a live detection goes: to the
// time of day; the instant stays the instant of the passing. A detection imported
// after the race and the same passing received live therefore read the same.
struct ImportedTimes {
    CChrono instant;
    CChrono ofDay;
};
ImportedTimes ImportedTimesOf(const CDetection& detection, int correction);

// The record a detection becomes for the detector `boxId` (time text in the clock
// form of the program: absolute or time of day).
CQoxResult ImportedRecord(const CDetection& detection, const std::string& boxId, int correction, bool absoluteMode);

// Called every 100 lines with the number written so far.
using SaveProgress = std::function<void(std::size_t written)>;

// Writes one detection-file line per detection, numbered from 1, into a new file that
// replaces `path` only once it is complete. False with `error` (the message to show,
// "Error creating file %s") and `reason` (the system's words) on failure; the old file
// is then untouched.
bool SaveImportedDetections(const std::string& path, const std::vector<CDetection>& detections,
                            const std::string& boxId, int correction, bool absoluteMode, const SaveProgress& progress,
                            std::string& error, std::string& reason);

}  // namespace lv

#pragma once
// The purge of repeated reads in a list of imported detections.
#include <vector>

#include "import/ImportRecords.h"

namespace lv {

// Keeps, for each chip code, only the reads that come `intervalMs` or more after the
// read of that chip just before them (kept or dropped: a chain of close reads keeps
// its first read only); reads at the same instant count as repeats. An interval of 0
// or less keeps everything. The list ends sorted by instant, equal instants in the
// order of the list. A list of a million reads is purged in a fraction of a second.
void PurgeRepeatedReads(std::vector<CDetection>& detections, int intervalMs);

}  // namespace lv

#pragma once
// Passing numbering: which detections of a runner count as passings (the Delta
// filter), the n-th passing of every runner, and the statistics both export dialogs
// show. All text comparisons are byte comparisons.
#include <cstdint>
#include <string>
#include <vector>

#include "core/Chrono.h"
#include "export/WorkList.h"

namespace lv {

using WorkRefs = std::vector<const CWorkResult*>;

// One detector's row of the detection-lines export dialog.
struct CStatLineEntry {
    int32_t count = 0;     // detections (after Filter: those the Delta filter kept)
    std::string detector;
    std::string bib;       // label of the detector's earliest detection
    CChrono best;          // time of that detection
    CChrono handicap;
    int32_t maxPass = 0;
};

// The work results of one detector.
struct CDetectorResList {
    std::string detector;
    WorkRefs results;
};

// One passing number's statistics.
struct CStatEntry {
    int32_t passing = 0;      // n, from 1
    int32_t exactly = 0;      // runners with exactly n kept passings
    int32_t atLeast = 0;      // runners with at least n kept passings
    std::string label;        // earliest n-th passing
    CChrono time;
};

struct PassingStatistics {
    WorkRefs kept;                    // in time order
    int32_t runners = 0;
    int32_t maxPass = 0;
    std::vector<CStatEntry> entries;  // entries[n - 1] for passing n
};

// The orderings: runner (label, time), time (time, label), detector (box, time, label).
// The record id breaks the remaining ties so that every run gives the same files.
bool RunnerOrder(const CWorkResult* a, const CWorkResult* b);
bool TimeOrder(const CWorkResult* a, const CWorkResult* b);
bool DetectorOrder(const CWorkResult* a, const CWorkResult* b);

// One row and one list (in list order) per detector id, in ascending byte order of
// the id; rows have the detector's count and its earliest detection. False with `error` when memory ran out.
bool GroupByDetector(const WorkList& list, std::vector<CStatLineEntry>& rows,
                     std::vector<CDetectorResList>* lists, std::string& error);

// Drops each detection of a runner earlier than the previous one (kept or not) plus
// delta, numbers the rest. With `byPassing`, also what SplitByPassing would give for
// the kept list. False with `error` when memory ran out.
bool ComputePassingStatistics(const WorkRefs& results, const CChrono& delta, PassingStatistics& out,
                              std::string& error, std::vector<WorkRefs>* byPassing = nullptr);

// The n-th (from 1) kept passing of every runner that has one, in time order.
bool SelectPassing(const WorkRefs& kept, int n, WorkRefs& out, std::string& error);

// Every passing number at once: result[n - 1] is what SelectPassing(kept, n) gives.
bool SplitByPassing(const WorkRefs& kept, std::vector<WorkRefs>& out, std::string& error);

}  // namespace lv

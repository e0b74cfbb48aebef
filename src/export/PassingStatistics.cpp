#include "export/PassingStatistics.h"

#include <algorithm>
#include <new>


namespace lv {

namespace {

constexpr const char* kSortMemoryError = "Error #8254047\nCan't allocate memory for sorting";
constexpr const char* kGroupMemoryError = "Error #8254047.2\nCan't allocate memory for sorting";

// Unset times sort after every set one.
int CompareTimes(const CChrono& a, const CChrono& b) {
    if (a < b) return -1;
    if (b < a) return 1;
    return 0;
}

template <typename Each>
void ForEachRunner(const WorkRefs& sorted, Each each) {
    std::size_t begin = 0;
    while (begin < sorted.size()) {
        std::size_t end = begin + 1;
        // A runner is a run of equal labels: chip codes all read as bib 0.
        while (end < sorted.size() && sorted[end]->label == sorted[begin]->label) ++end;
        each(begin, end);
        begin = end;
    }
}

}  // namespace

bool RunnerOrder(const CWorkResult* a, const CWorkResult* b) {
    if (int c = a->label.compare(b->label); c != 0) return c < 0;
    if (int c = CompareTimes(a->time, b->time); c != 0) return c < 0;
    return a->id < b->id;
}

bool TimeOrder(const CWorkResult* a, const CWorkResult* b) {
    if (int c = CompareTimes(a->time, b->time); c != 0) return c < 0;
    if (int c = a->label.compare(b->label); c != 0) return c < 0;
    return a->id < b->id;
}

bool DetectorOrder(const CWorkResult* a, const CWorkResult* b) {
    if (int c = a->boxName.compare(b->boxName); c != 0) return c < 0;
    return TimeOrder(a, b);
}

bool GroupByDetector(const WorkList& list, std::vector<CStatLineEntry>& rows,
                     std::vector<CDetectorResList>* lists, std::string& error) {
    rows.clear();
    if (lists) lists->clear();
    try {
        WorkRefs sorted;
        sorted.reserve(list.size());
        for (const CWorkResult& result : list)
            if (result.active != 0) sorted.push_back(&result);
        std::sort(sorted.begin(), sorted.end(), DetectorOrder);
        std::size_t begin = 0;
        while (begin < sorted.size()) {
            std::size_t end = begin + 1;
            while (end < sorted.size() && sorted[end]->boxName == sorted[begin]->boxName) ++end;
            CStatLineEntry row;
            row.detector = sorted[begin]->boxName;
            row.count = static_cast<int32_t>(end - begin);
            row.bib = sorted[begin]->label;
            row.best = sorted[begin]->time;
            rows.push_back(std::move(row));
            if (lists) lists->push_back({sorted[begin]->boxName, WorkRefs(sorted.begin() + begin, sorted.begin() + end)});
            begin = end;
        }
    } catch (const std::bad_alloc&) {
        rows.clear();
        if (lists) lists->clear();
        error = kGroupMemoryError;
        return false;
    }
    return true;
}

bool ComputePassingStatistics(const WorkRefs& results, const CChrono& delta, PassingStatistics& out,
                              std::string& error) {
    out = PassingStatistics{};
    try {
        WorkRefs sorted(results);
        std::sort(sorted.begin(), sorted.end(), RunnerOrder);
        out.kept.reserve(sorted.size());
        ForEachRunner(sorted, [&](std::size_t begin, std::size_t end) {
            ++out.runners;
            int32_t passings = 0;
            for (std::size_t i = begin; i < end; ++i) {
                // Compared with the previous detection whether or not it was kept: a
                // chain of reads each within delta of the last keeps only its first.
                if (i > begin && sorted[i]->time < sorted[i - 1]->time + delta) continue;
                const CWorkResult* result = sorted[i];
                out.kept.push_back(result);
                ++passings;
                if (static_cast<std::size_t>(passings) > out.entries.size()) {
                    CStatEntry entry;
                    entry.passing = passings;
                    entry.label = result->label;
                    entry.time = result->time;
                    out.entries.push_back(std::move(entry));
                } else {
                    CStatEntry& entry = out.entries[passings - 1];
                    if (result->time < entry.time ||
                        (!(entry.time < result->time) && result->label < entry.label)) {
                        entry.label = result->label;
                        entry.time = result->time;
                    }
                }
            }
            if (passings > 0) ++out.entries[passings - 1].exactly;
            out.maxPass = std::max(out.maxPass, passings);
        });
        int32_t atLeast = 0;
        for (auto entry = out.entries.rbegin(); entry != out.entries.rend(); ++entry) {
            atLeast += entry->exactly;
            entry->atLeast = atLeast;
        }
        std::sort(out.kept.begin(), out.kept.end(), TimeOrder);
    } catch (const std::bad_alloc&) {
        out = PassingStatistics{};
        error = kSortMemoryError;
        return false;
    }
    return true;
}

bool SelectPassing(const WorkRefs& kept, int n, WorkRefs& out, std::string& error) {
    out.clear();
    try {
        WorkRefs sorted(kept);
        std::sort(sorted.begin(), sorted.end(), RunnerOrder);
        ForEachRunner(sorted, [&](std::size_t begin, std::size_t end) {
            if (n >= 1 && static_cast<std::size_t>(n) <= end - begin) out.push_back(sorted[begin + n - 1]);
        });
        std::sort(out.begin(), out.end(), TimeOrder);
    } catch (const std::bad_alloc&) {
        out.clear();
        error = kSortMemoryError;
        return false;
    }
    return true;
}

bool SplitByPassing(const WorkRefs& kept, std::vector<WorkRefs>& out, std::string& error) {
    out.clear();
    try {
        WorkRefs sorted(kept);
        std::sort(sorted.begin(), sorted.end(), RunnerOrder);
        ForEachRunner(sorted, [&](std::size_t begin, std::size_t end) {
            if (out.size() < end - begin) out.resize(end - begin);
            for (std::size_t i = begin; i < end; ++i) out[i - begin].push_back(sorted[i]);
        });
        for (WorkRefs& passing : out) std::sort(passing.begin(), passing.end(), TimeOrder);
    } catch (const std::bad_alloc&) {
        out.clear();
        error = kSortMemoryError;
        return false;
    }
    return true;
}

}  // namespace lv

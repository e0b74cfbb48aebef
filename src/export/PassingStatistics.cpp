#include "export/PassingStatistics.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <new>


namespace lv {

namespace {

constexpr const char* kSortMemoryError = "Error #8254047\nCan't allocate memory for sorting";
constexpr const char* kGroupMemoryError = "Error #8254047.2\nCan't allocate memory for sorting";

// The time as one number (unset after every set time), so that the sorts of a large
// export compare integers.
inline int64_t TimeKey(const CChrono& time) {
    if (!time.IsSet()) return INT64_MAX;
    return int64_t{time.Seconds()} * 1000 + time.Milliseconds();
}

inline int CompareTimes(const CChrono& a, const CChrono& b) {
    const int64_t ka = TimeKey(a);
    const int64_t kb = TimeKey(b);
    return ka < kb ? -1 : (kb < ka ? 1 : 0);
}

// A result with what the orderings compare, side by side in one array: sorting tens of
// thousands of results then compares numbers held together instead of following each
// pointer to its record. The label's first eight bytes (big-endian, zero padded) and
// its length decide the label order unless both labels are longer than that.
struct Keyed {
    int64_t time;
    uint64_t prefix;
    uint32_t length;
    uint32_t id;
    const CWorkResult* ref;
};

Keyed KeyOf(const CWorkResult* result) {
    uint64_t prefix = 0;
    const std::string& label = result->label;
    for (std::size_t i = 0; i < 8; ++i)
        prefix = (prefix << 8) | (i < label.size() ? static_cast<unsigned char>(label[i]) : 0u);
    return {TimeKey(result->time), prefix, static_cast<uint32_t>(std::min<std::size_t>(label.size(), UINT32_MAX)),
            result->id, result};
}

inline int CompareLabels(const Keyed& a, const Keyed& b) {
    if (a.prefix != b.prefix) return a.prefix < b.prefix ? -1 : 1;
    if (a.length <= 8 && b.length <= 8) return a.length == b.length ? 0 : (a.length < b.length ? -1 : 1);
    return a.ref->label.compare(b.ref->label);
}

bool KeyedRunnerOrder(const Keyed& a, const Keyed& b) {
    if (int c = CompareLabels(a, b); c != 0) return c < 0;
    if (a.time != b.time) return a.time < b.time;
    return a.id < b.id;
}

bool KeyedTimeOrder(const Keyed& a, const Keyed& b) {
    if (a.time != b.time) return a.time < b.time;
    if (int c = CompareLabels(a, b); c != 0) return c < 0;
    return a.id < b.id;
}

// Sorts `refs` as RunnerOrder or TimeOrder would.
void SortBy(WorkRefs& refs, bool (*order)(const Keyed&, const Keyed&)) {
    std::vector<Keyed> keyed;
    keyed.reserve(refs.size());
    for (const CWorkResult* result : refs) keyed.push_back(KeyOf(result));
    std::sort(keyed.begin(), keyed.end(), order);
    for (std::size_t i = 0; i < keyed.size(); ++i) refs[i] = keyed[i].ref;
}

void SortInRunnerOrder(WorkRefs& refs) { SortBy(refs, KeyedRunnerOrder); }
void SortInTimeOrder(WorkRefs& refs) { SortBy(refs, KeyedTimeOrder); }

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
        // A handful of detectors: gathered in one pass, then put in id order.
        std::vector<CDetectorResList> groups;
        std::size_t last = 0;
        for (const CWorkResult& result : list) {
            if (result.active == 0) continue;
            if (last >= groups.size() || groups[last].detector != result.boxName) {
                last = 0;
                while (last < groups.size() && groups[last].detector != result.boxName) ++last;
                if (last == groups.size()) groups.push_back({result.boxName, {}});
            }
            groups[last].results.push_back(&result);
        }
        std::sort(groups.begin(), groups.end(),
                  [](const CDetectorResList& a, const CDetectorResList& b) { return a.detector < b.detector; });
        for (CDetectorResList& group : groups) {
            const CWorkResult* earliest = *std::min_element(group.results.begin(), group.results.end(), TimeOrder);
            CStatLineEntry row;
            row.detector = group.detector;
            row.count = static_cast<int32_t>(group.results.size());
            row.bib = earliest->label;
            row.best = earliest->time;
            rows.push_back(std::move(row));
        }
        if (lists) *lists = std::move(groups);
    } catch (const std::bad_alloc&) {
        rows.clear();
        if (lists) lists->clear();
        error = kGroupMemoryError;
        return false;
    }
    return true;
}

bool ComputePassingStatistics(const WorkRefs& results, const CChrono& delta, PassingStatistics& out,
                              std::string& error, std::vector<WorkRefs>* byPassing) {
    out = PassingStatistics{};
    if (byPassing) byPassing->clear();
    try {
        // Keys are taken once; the numbering and the sorts after it use them alone.
        std::vector<Keyed> sorted;
        sorted.reserve(results.size());
        for (const CWorkResult* result : results) sorted.push_back(KeyOf(result));
        std::sort(sorted.begin(), sorted.end(), KeyedRunnerOrder);
        const int64_t deltaMs = int64_t{delta.Seconds()} * 1000 + delta.Milliseconds();
        std::vector<Keyed> kept;
        kept.reserve(sorted.size());
        std::vector<std::vector<Keyed>> passingsKeyed;
        std::vector<const Keyed*> earliest;
        std::size_t begin = 0;
        while (begin < sorted.size()) {
            std::size_t end = begin + 1;
            // A runner is a run of equal labels: chip codes all read as bib 0.
            while (end < sorted.size() && CompareLabels(sorted[end], sorted[begin]) == 0) ++end;
            ++out.runners;
            int32_t passings = 0;
            for (std::size_t i = begin; i < end; ++i) {
                // Compared with the previous detection whether or not it was kept: a
                // chain of reads each within delta of the last keeps only its first.
                // (An unset time sorts last and is never within delta of anything.)
                if (i > begin && sorted[i - 1].time != INT64_MAX && sorted[i].time != INT64_MAX &&
                    sorted[i].time < sorted[i - 1].time + deltaMs)
                    continue;
                kept.push_back(sorted[i]);
                ++passings;
                if (passingsKeyed.size() < static_cast<std::size_t>(passings)) {
                    passingsKeyed.resize(passings);
                    out.entries.emplace_back();
                    out.entries.back().passing = passings;
                    earliest.push_back(&sorted[i]);
                } else if (KeyedTimeOrder(sorted[i], *earliest[passings - 1])) {
                    earliest[passings - 1] = &sorted[i];
                }
                if (byPassing) passingsKeyed[passings - 1].push_back(sorted[i]);
            }
            if (passings > 0) ++out.entries[passings - 1].exactly;
            out.maxPass = std::max(out.maxPass, passings);
            begin = end;
        }
        int32_t atLeast = 0;
        for (std::size_t n = out.entries.size(); n-- > 0;) {
            atLeast += out.entries[n].exactly;
            out.entries[n].atLeast = atLeast;
            out.entries[n].label = earliest[n]->ref->label;
            out.entries[n].time = earliest[n]->ref->time;
        }
        std::sort(kept.begin(), kept.end(), KeyedTimeOrder);
        out.kept.reserve(kept.size());
        for (const Keyed& key : kept) out.kept.push_back(key.ref);
        if (byPassing) {
            byPassing->resize(passingsKeyed.size());
            for (std::size_t n = 0; n < passingsKeyed.size(); ++n) {
                std::sort(passingsKeyed[n].begin(), passingsKeyed[n].end(), KeyedTimeOrder);
                (*byPassing)[n].reserve(passingsKeyed[n].size());
                for (const Keyed& key : passingsKeyed[n]) (*byPassing)[n].push_back(key.ref);
            }
        }
    } catch (const std::bad_alloc&) {
        out = PassingStatistics{};
        if (byPassing) byPassing->clear();
        error = kSortMemoryError;
        return false;
    }
    return true;
}

bool SelectPassing(const WorkRefs& kept, int n, WorkRefs& out, std::string& error) {
    out.clear();
    try {
        WorkRefs sorted(kept);
        SortInRunnerOrder(sorted);
        ForEachRunner(sorted, [&](std::size_t begin, std::size_t end) {
            if (n >= 1 && static_cast<std::size_t>(n) <= end - begin) out.push_back(sorted[begin + n - 1]);
        });
        SortInTimeOrder(out);
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
        SortInRunnerOrder(sorted);
        ForEachRunner(sorted, [&](std::size_t begin, std::size_t end) {
            if (out.size() < end - begin) out.resize(end - begin);
            for (std::size_t i = begin; i < end; ++i) out[i - begin].push_back(sorted[i]);
        });
        for (WorkRefs& passing : out) SortInTimeOrder(passing);
    } catch (const std::bad_alloc&) {
        out.clear();
        error = kSortMemoryError;
        return false;
    }
    return true;
}

}  // namespace lv

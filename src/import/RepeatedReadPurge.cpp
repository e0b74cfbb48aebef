#include "import/RepeatedReadPurge.h"

#include <algorithm>
#include <cstdint>

namespace lv {

namespace {

int64_t Milliseconds(const CChrono& value) { return int64_t{value.Seconds()} * 1000 + value.Milliseconds(); }

}  // namespace

void PurgeRepeatedReads(std::vector<CDetection>& detections, int intervalMs) {
    if (detections.empty()) return;
    std::sort(detections.begin(), detections.end(), [](const CDetection& a, const CDetection& b) {
        if (int order = a.code.compare(b.code); order != 0) return order < 0;
        return a.dateTime < b.dateTime;
    });
    if (intervalMs > 0) {
        // Compacted in place: `kept` elements are kept so far; the read just examined
        // (kept and moved, or dropped and left) is at `previous`.
        std::size_t kept = 1;
        std::size_t previous = 0;
        for (std::size_t i = 1; i < detections.size(); ++i) {
            CDetection& read = detections[i];
            const CDetection& before = detections[previous];
            const bool drop = read.code == before.code &&
                              Milliseconds(read.dateTime) - Milliseconds(before.dateTime) < intervalMs;
            if (drop) {
                previous = i;
            } else {
                if (kept != i) detections[kept] = std::move(read);
                previous = kept;
                ++kept;
            }
        }
        detections.resize(kept);
    }
    std::stable_sort(detections.begin(), detections.end(),
                     [](const CDetection& a, const CDetection& b) { return a.dateTime < b.dateTime; });
}

}  // namespace lv

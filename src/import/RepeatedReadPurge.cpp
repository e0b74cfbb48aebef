#include "import/RepeatedReadPurge.h"

#include "import/CodeHash.h"

#include <algorithm>
#include <cstdint>
#include <string_view>
#include <unordered_map>

namespace lv {

namespace {

int64_t Milliseconds(const CChrono& value) { return int64_t{value.Seconds()} * 1000 + value.Milliseconds(); }

// What the sort moves instead of the detections themselves.
struct SortKey {
    int64_t ms;
    uint32_t index;  // place in the list: equal instants keep the list's order
};

}  // namespace

// Walking the reads in time order and remembering the last read of each code gives
// each read the read of its chip just before it, kept or dropped, which is the chain
// rule; no sort by code is needed, and a file in time order needs no sort at all.
void PurgeRepeatedReads(std::vector<CDetection>& detections, int intervalMs) {
    if (detections.empty()) return;
    std::vector<SortKey> keys(detections.size());
    for (std::size_t i = 0; i < detections.size(); ++i) {
        keys[i] = SortKey{Milliseconds(detections[i].dateTime), static_cast<uint32_t>(i)};
    }
    const auto byInstant = [](const SortKey& a, const SortKey& b) {
        return a.ms != b.ms ? a.ms < b.ms : a.index < b.index;
    };
    const bool inOrder = std::is_sorted(keys.begin(), keys.end(), byInstant);
    if (!inOrder) std::sort(keys.begin(), keys.end(), byInstant);

    if (intervalMs > 0) {
        std::unordered_map<std::string_view, int64_t, CodeHash> lastRead;
        lastRead.reserve(4096);
        std::size_t kept = 0;
        for (const SortKey& key : keys) {
            auto [last, first] = lastRead.try_emplace(detections[key.index].code, key.ms);
            // Reads at the same instant, or closer than the interval, repeat the one before.
            const bool drop = !first && key.ms - last->second < intervalMs;
            last->second = key.ms;
            if (!drop) keys[kept++] = key;
        }
        keys.resize(kept);
    }

    if (inOrder) {
        // The kept reads close up in place (each moves to a place before its own).
        for (std::size_t k = 0; k < keys.size(); ++k) {
            if (keys[k].index != k) detections[k] = std::move(detections[keys[k].index]);
        }
        detections.resize(keys.size());
        return;
    }
    std::vector<CDetection> result;
    result.reserve(keys.size());
    for (const auto& key : keys) result.push_back(std::move(detections[key.index]));
    detections.swap(result);
}

}  // namespace lv

#include "core/NumberRanges.h"

#include <algorithm>

#include "base/PlainText.h"

namespace lv {
namespace {

using Range = std::pair<std::size_t, std::size_t>;

}  // namespace

void NumberRanges::Insert(std::size_t number) {
    // The first range that ends at or after number - 1 (it may touch it from below).
    auto it = std::lower_bound(ranges_.begin(), ranges_.end(), number,
                               [](const Range& r, std::size_t n) { return r.second + 1 < n; });
    if (it != ranges_.end() && it->first <= number && number <= it->second) return;
    if (it != ranges_.end() && it->second + 1 == number) {
        it->second = number;
        auto next = std::next(it);
        if (next != ranges_.end() && next->first == number + 1) {
            it->second = next->second;
            ranges_.erase(next);
        }
        return;
    }
    if (it != ranges_.end() && it->first == number + 1) {
        it->first = number;
        return;
    }
    ranges_.insert(it, Range{number, number});
}

void NumberRanges::Erase(std::size_t number) {
    auto it = std::lower_bound(ranges_.begin(), ranges_.end(), number,
                               [](const Range& r, std::size_t n) { return r.second < n; });
    if (it == ranges_.end() || number < it->first) return;
    if (it->first == it->second) {
        ranges_.erase(it);
    } else if (number == it->first) {
        ++it->first;
    } else if (number == it->second) {
        --it->second;
    } else {
        const Range upper{number + 1, it->second};
        it->second = number - 1;
        ranges_.insert(std::next(it), upper);
    }
}

bool NumberRanges::Contains(std::size_t number) const {
    auto it = std::lower_bound(ranges_.begin(), ranges_.end(), number,
                               [](const Range& r, std::size_t n) { return r.second < n; });
    return it != ranges_.end() && it->first <= number;
}

std::size_t NumberRanges::CountWithin(std::size_t first, std::size_t last) const {
    std::size_t count = 0;
    for (const Range& r : ranges_) {
        if (r.second < first) continue;
        if (r.first > last) break;
        count += std::min(r.second, last) - std::max(r.first, first) + 1;
    }
    return count;
}

std::string NumberRanges::Format() const {
    std::string text;
    for (const Range& r : ranges_) {
        if (!text.empty()) text += ',';
        text += std::to_string(r.first);
        if (r.second != r.first) text += '-' + std::to_string(r.second);
    }
    return text;
}

bool NumberRanges::Parse(std::string_view text) {
    std::vector<Range> read;
    while (!text.empty()) {
        const std::size_t comma = text.find(',');
        const std::string_view item = text.substr(0, comma);
        const std::size_t dash = item.find('-');
        Range range{0, 0};
        if (!ReadWholeNumber(item.substr(0, dash), range.first)) return false;
        range.second = range.first;
        if (dash != std::string_view::npos && !ReadWholeNumber(item.substr(dash + 1), range.second)) return false;
        // Ascending and disjoint, as Format writes them.
        if (range.second < range.first || (!read.empty() && range.first <= read.back().second)) return false;
        read.push_back(range);
        if (comma == std::string_view::npos) break;
        text.remove_prefix(comma + 1);
        if (text.empty()) return false;  // a comma with nothing after it
    }
    ranges_ = std::move(read);
    return true;
}

}  // namespace lv

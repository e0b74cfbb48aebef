#pragma once
// A set of detection numbers kept as ascending, disjoint ranges: the detections held
// back from the timing application come by the thousand in a row (an import), the
// removed ones one by one; both stay small whatever their count.
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace lv {

class NumberRanges {
public:
    void Insert(std::size_t number);
    void Erase(std::size_t number);
    bool Contains(std::size_t number) const;
    // How many of [first, last] are in the set.
    std::size_t CountWithin(std::size_t first, std::size_t last) const;
    bool Empty() const { return ranges_.empty(); }
    const std::vector<std::pair<std::size_t, std::size_t>>& Ranges() const { return ranges_; }
    friend bool operator==(const NumberRanges& a, const NumberRanges& b) { return a.ranges_ == b.ranges_; }

    // "3,17,100-200"; Parse takes it back (false, set unchanged, on anything else).
    std::string Format() const;
    bool Parse(std::string_view text);

private:
    std::vector<std::pair<std::size_t, std::size_t>> ranges_;  // [first, last], ascending
};

}  // namespace lv

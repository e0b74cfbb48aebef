#pragma once
// Reads the date and time of a detection line as an absolute instant and a time of
// day, exactly as CChrono::ParseDateTime and CChrono::ParseTimeMs read them, but
// without a calendar conversion per line: the instant of each local date and hour is
// worked out once and the minutes and seconds are added to it. Files of a million
// lines then read in a fraction of a second.
// A reader follows one decoder's clock: a time of the repeated autumn hour reads as its
// first occurrence unless the line read before was already past it (ResolveRepeatedLocal).
#include <cstdint>
#include <optional>
#include <string_view>
#include <unordered_map>

#include "core/Chrono.h"

namespace lv {

class DetectionTimeReader {
public:
    // date: YYYYMMDD; time: a normalised clock text ("hh:mm:ss.mmm" on the quick way,
    // anything ParseDateTime takes otherwise). False when either reading fails.
    bool Read(std::string_view date, std::string_view time, CChrono& dateTime, CChrono& timeOfDay);

private:
    static constexpr std::size_t kMaxCachedHours = 4096;
    std::unordered_map<int64_t, int64_t> hourStarts_;  // YYYYMMDDHH -> instant of HH:00:00
    int64_t lastKey_ = -1;
    int64_t lastStart_ = 0;
    std::optional<int64_t> previous_;  // instant of the line read before
};

}  // namespace lv

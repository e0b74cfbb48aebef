#include "import/DetectionTimeReader.h"

#include <string>

#include "core/CalendarTime.h"

namespace lv {

namespace {

bool Digits(std::string_view text, std::size_t from, std::size_t count, int& value) {
    value = 0;
    for (std::size_t i = from; i < from + count; ++i) {
        const char c = text[i];
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    return true;
}

// Any other form goes through the general parsers.
bool ReadSlowly(std::string_view date, std::string_view time, CChrono& dateTime, CChrono& timeOfDay) {
    CChrono instant;
    CChrono ofDay;
    if (!instant.ParseDateTime(date, time) || !ofDay.ParseTimeMs(time)) return false;
    dateTime = instant;
    timeOfDay = ofDay;
    return true;
}

}  // namespace

bool DetectionTimeReader::Read(std::string_view date, std::string_view time, CChrono& dateTime,
                               CChrono& timeOfDay) {
    CalendarFields fields;
    int fraction = 0;
    const bool quick = date.size() == 8 && time.size() == 12 && time[2] == ':' && time[5] == ':' &&
                       time[8] == '.' && Digits(date, 0, 4, fields.year) && Digits(date, 4, 2, fields.month) &&
                       Digits(date, 6, 2, fields.day) && Digits(time, 0, 2, fields.hour) &&
                       Digits(time, 3, 2, fields.minute) && Digits(time, 6, 2, fields.second) &&
                       Digits(time, 9, 3, fraction);
    if (!quick) {
        if (!ReadSlowly(date, time, dateTime, timeOfDay)) return false;
        const int64_t resolved = ResolveRepeatedLocal(dateTime.Seconds(), previous_);
        if (!FitsIn32Bits(resolved)) return false;
        dateTime = CChrono(static_cast<int32_t>(resolved), dateTime.Milliseconds());
        previous_ = resolved;
        return true;
    }
    if (!IsValidCalendar(fields)) return false;

    const int64_t key = ((int64_t{fields.year} * 100 + fields.month) * 100 + fields.day) * 100 + fields.hour;
    int64_t hourStart;
    if (key == lastKey_) {
        hourStart = lastStart_;
    } else if (auto found = hourStarts_.find(key); found != hourStarts_.end()) {
        hourStart = found->second;
    } else {
        CalendarFields top = fields;
        top.minute = 0;
        top.second = 0;
        const auto instant = LocalInstantOf(top);
        if (!instant) return false;
        if (hourStarts_.size() >= kMaxCachedHours) hourStarts_.clear();
        hourStart = *instant;
        hourStarts_.emplace(key, hourStart);
    }
    lastKey_ = key;
    lastStart_ = hourStart;

    const int64_t instant = ResolveRepeatedLocal(hourStart + fields.minute * 60 + fields.second, previous_);
    if (!FitsIn32Bits(instant)) return false;
    previous_ = instant;
    dateTime = CChrono(static_cast<int32_t>(instant), static_cast<uint16_t>(fraction));
    timeOfDay = CChrono(fields.hour * 3600 + fields.minute * 60 + fields.second, static_cast<uint16_t>(fraction));
    return true;
}

}  // namespace lv

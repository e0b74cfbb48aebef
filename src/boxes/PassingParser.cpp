#include "boxes/PassingParser.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "boxes/DecoderProtocol.h"
#include "core/CalendarTime.h"

namespace lv {

namespace {

bool IsDigits(std::string_view text) {
    if (text.empty()) return false;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

// YYYY-MM-DD; the calendar itself is checked by the instant parser.
bool HasDateShape(std::string_view date) {
    return date.size() == 10 && date[4] == '-' && date[7] == '-' && IsDigits(date.substr(0, 4)) &&
           IsDigits(date.substr(5, 2)) && IsDigits(date.substr(8, 2));
}

// H:MM:SS or HH:MM:SS with an optional fraction of digits, nothing else; the ranges of
// the fields are checked here because a time of day parser accepts any count.
bool HasTimeShape(std::string_view time) {
    std::size_t point = time.find('.');
    std::string_view clock = time.substr(0, point);
    if (point != std::string_view::npos) {
        std::string_view fraction = time.substr(point + 1);
        if (!fraction.empty() && !IsDigits(fraction)) return false;
    }
    std::size_t first = clock.find(':');
    if (first == std::string_view::npos || first == 0 || first > 2) return false;
    if (clock.size() != first + 6 || clock[first + 3] != ':') return false;
    std::string_view hours = clock.substr(0, first);
    std::string_view minutes = clock.substr(first + 1, 2);
    std::string_view seconds = clock.substr(first + 4, 2);
    if (!IsDigits(hours) || !IsDigits(minutes) || !IsDigits(seconds)) return false;
    return std::stoi(std::string(hours)) < 24 && std::stoi(std::string(minutes)) < 60 &&
           std::stoi(std::string(seconds)) < 60;
}

// A chip code is printable text without blanks; anything else is line noise.
bool IsChipText(std::string_view chip) {
    if (chip.empty()) return false;
    for (char c : chip) {
        unsigned char u = static_cast<unsigned char>(c);
        if (u <= 0x20 || u >= 0x7F) return false;
    }
    return true;
}

// The fields of a passing line that are read (marker, ..., chip, date, time).
constexpr std::size_t kFieldsRead = 5;
static_assert(kFieldsRead <= kPassingFieldCount);

// Cuts the fields that are read in one pass that counts the others, by SplitFieldViews'
// rule (a separator at the very end opens no field), without a list of all of them.
// False unless the line has exactly kPassingFieldCount fields.
bool CutPassingFields(std::string_view line, std::array<std::string_view, kFieldsRead>& read) {
    std::size_t count = 0;
    std::size_t start = 0;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] != ';') continue;
        if (count < kFieldsRead) read[count] = line.substr(start, i - start);
        ++count;
        start = i + 1;
    }
    if (start < line.size()) {
        if (count < kFieldsRead) read[count] = line.substr(start);
        ++count;
    }
    return count == kPassingFieldCount;
}

int Digits(std::string_view text) {
    int value = 0;
    for (char c : text) value = value * 10 + (c - '0');
    return value;
}

// A box's passings share their date: the instant of its local midnight is worked out
// once per thread and date, and a passing's instant is that plus its time of day,
// unless the day has a change of summer time (then the calendar is asked each time).
struct DayStart {
    std::string date;
    int64_t midnight = 0;
    bool known = false;  // the date exists
    bool plain = false;  // a day of 24 hours
};

const DayStart& DayStartOf(const std::string& date) {
    thread_local DayStart day;
    if (day.date == date && !day.date.empty()) return day;
    day = DayStart{};
    day.date = date;
    CalendarFields fields;
    fields.year = Digits(std::string_view(date).substr(0, 4));
    fields.month = Digits(std::string_view(date).substr(4, 2));
    fields.day = Digits(std::string_view(date).substr(6, 2));
    const std::optional<int64_t> midnight = LocalInstantOf(fields);
    fields.hour = 23;
    fields.minute = 59;
    fields.second = 59;
    const std::optional<int64_t> last = LocalInstantOf(fields);
    day.known = midnight.has_value() && last.has_value();
    if (day.known) {
        day.midnight = *midnight;
        day.plain = *last - *midnight == 24 * 3600 - 1;
    }
    return day;
}

std::string RemoveDashes(std::string_view date) {
    std::string compact;
    compact.reserve(date.size());
    for (char c : date) {
        if (c != '-') compact.push_back(c);
    }
    return compact;
}

}  // namespace

bool ReadPassingLine(std::string_view line, PassingRead& read) {
    read = PassingRead{};
    std::array<std::string_view, kFieldsRead> fields;
    if (!CutPassingFields(line, fields) || fields[0] != "#P") return false;
    const std::string_view chip = fields[2];
    const std::string_view dateText = fields[3];
    std::string time(fields[4]);
    if (!IsChipText(chip) || !HasDateShape(dateText) || !HasTimeShape(time)) return false;

    std::string date = RemoveDashes(dateText);
    if (date == "00000000") {
        CChrono now(CChrono::kNowAbsolute);
        date = now.FormatDateCompact();
    }
    CChrono::NormalizeFraction(time);
    const DayStart& day = DayStartOf(date);
    if (!day.known) return false;
    if (day.plain) {
        // H:MM:SS or HH:MM:SS, then a point and three digits (checked above).
        const std::size_t colon = time.find(':');
        const int32_t seconds = Digits(std::string_view(time).substr(0, colon)) * 3600 +
                                Digits(std::string_view(time).substr(colon + 1, 2)) * 60 +
                                Digits(std::string_view(time).substr(colon + 4, 2));
        const auto milliseconds = static_cast<uint16_t>(Digits(std::string_view(time).substr(colon + 7, 3)));
        if (!FitsIn32Bits(day.midnight + seconds)) return false;
        read.instant = CChrono(static_cast<int32_t>(day.midnight + seconds), milliseconds);
        read.clockOfDay = CChrono(seconds, milliseconds);
    } else if (!read.instant.ParseDateTime(date, time) || !read.clockOfDay.ParseTimeMs(time)) {
        read = PassingRead{};
        return false;
    }
    read.code = chip;
    read.date = std::move(date);
    return true;
}

void FollowBoxClock(PassingRead& read, std::optional<int64_t>& previous) {
    const int64_t resolved = ResolveRepeatedLocal(read.instant.Seconds(), previous);
    if (FitsIn32Bits(resolved)) read.instant = CChrono(static_cast<int32_t>(resolved), read.instant.Milliseconds());
    previous = read.instant.Seconds();
}

}  // namespace lv

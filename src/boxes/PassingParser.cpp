#include "boxes/PassingParser.h"

#include <array>
#include <string>
#include <string_view>

#include "boxes/DecoderProtocol.h"

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
    if (!read.instant.ParseDateTime(date, time) || !read.clockOfDay.ParseTimeMs(time)) {
        read = PassingRead{};
        return false;
    }
    read.code = chip;
    return true;
}

}  // namespace lv

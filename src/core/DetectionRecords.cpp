#include "core/DetectionRecords.h"

#include <algorithm>
#include <iterator>

#include <fmt/format.h>
#include <fmt/printf.h>

namespace lv {

const CBoxDetection* CLastBoxDetectionList::Find(const std::string& chip) const {
    for (const CBoxDetection& item : items_) {
        if (item.chip == chip) return &item;
    }
    return nullptr;
}

void CLastBoxDetectionList::RemoveChip(const std::string& chip) {
    auto it = std::find_if(items_.begin(), items_.end(),
                           [&](const CBoxDetection& item) { return item.chip == chip; });
    if (it != items_.end()) items_.erase(it);
}

void CLastBoxDetectionList::AddRead(const std::string& chip, const CChrono& time) {
    CChrono previous;
    Record(chip, time, previous);
}

bool CLastBoxDetectionList::Record(const std::string& chip, const CChrono& time, CChrono& previous) {
    // One walk, and no allocation once the list is full: the element of the label, or
    // else the oldest one, becomes the head.
    auto it = std::find_if(items_.begin(), items_.end(),
                           [&](const CBoxDetection& item) { return item.chip == chip; });
    const bool found = it != items_.end();
    if (found) {
        previous = it->time;
    } else if (maxCount_ > 0 && static_cast<int>(items_.size()) >= maxCount_) {
        it = std::prev(items_.end());
        it->chip = chip;
    } else {
        items_.push_front(CBoxDetection{time, chip});
        it = items_.begin();
    }
    it->time = time;
    items_.splice(items_.begin(), items_, it);
    while (static_cast<int>(items_.size()) > maxCount_ && !items_.empty()) items_.pop_back();
    return found;
}

std::string MakeTimeText(const CChrono& instant, const CChrono& ofDay, bool absoluteMode) {
    if (absoluteMode) {
        return fmt::format("{}.{}", static_cast<long>(instant.Seconds()),
                           static_cast<long>(instant.Milliseconds() / 10));
    }
    return ofDay.FormatHundredths();
}

bool IsRepeatedRead(CLastBoxDetectionList& list, const std::string& label,
                    const CChrono& instant, int windowMs) {
    CChrono previous;
    if (!list.Record(label, instant, previous) || windowMs < 1) return false;
    // Windows of a second or more behave alike (only differences below one second can
    // be repeats); the cap keeps the value within the milliseconds field.
    const CChrono window(0, static_cast<uint16_t>(std::min(windowMs, 1000)));
    if (instant == previous) return true;
    return instant > previous && (instant - previous) < window;
}

std::string FormatForTimingApp(const CQoxResult& result) {
    // Made for every detection: appended in place rather than through a format string.
    std::string line;
    line.reserve(8 + result.boxName.size() + result.label.size() + result.timeText.size());
    line += "1\t";
    AppendDetectionFields(line, result);
    return line;
}

void AppendDetectionFields(std::string& line, const CQoxResult& record) {
    AppendSingleLineField(line, record.boxName);
    line += '\t';
    AppendSingleLineField(line, record.label);
    line += "\t1\t";
    AppendSingleLineField(line, record.timeText);
}

std::string SingleLineField(std::string_view text) {
    std::string field;
    AppendSingleLineField(field, text);
    return field;
}

void AppendSingleLineField(std::string& line, std::string_view text) {
    const std::size_t start = line.size();
    line.append(text);
    for (std::size_t i = start; i < line.size(); ++i) {
        if (line[i] == '\t' || line[i] == '\r' || line[i] == '\n') line[i] = ' ';
    }
}

}  // namespace lv

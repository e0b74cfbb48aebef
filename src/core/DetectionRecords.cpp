#include "core/DetectionRecords.h"

#include <algorithm>
#include <functional>
#include <iterator>

#include <fmt/format.h>
#include <fmt/printf.h>

namespace lv {

std::vector<CLastBoxDetectionList::Entry>::iterator CLastBoxDetectionList::Locate(const std::string& chip,
                                                                                   std::size_t hash) {
    return std::find_if(items_.begin(), items_.end(),
                        [&](const Entry& entry) { return entry.hash == hash && entry.read.chip == chip; });
}

const CBoxDetection* CLastBoxDetectionList::Find(const std::string& chip) const {
    const std::size_t hash = std::hash<std::string>{}(chip);
    for (const Entry& entry : items_) {
        if (entry.hash == hash && entry.read.chip == chip) return &entry.read;
    }
    return nullptr;
}

void CLastBoxDetectionList::RemoveChip(const std::string& chip) {
    auto it = Locate(chip, std::hash<std::string>{}(chip));
    if (it == items_.end()) return;
    *it = std::move(items_.back());
    items_.pop_back();
}

void CLastBoxDetectionList::AddRead(const std::string& chip, const CChrono& time) {
    CChrono previous;
    Record(chip, time, previous);
}

bool CLastBoxDetectionList::Record(const std::string& chip, const CChrono& time, CChrono& previous) {
    const std::size_t hash = std::hash<std::string>{}(chip);
    auto it = Locate(chip, hash);
    const bool found = it != items_.end();
    if (found) {
        previous = it->read.time;
    } else if (maxCount_ > 0 && static_cast<int>(items_.size()) >= maxCount_) {
        // No allocation once full: the least recently read label's place is taken.
        it = std::min_element(items_.begin(), items_.end(),
                              [](const Entry& a, const Entry& b) { return a.used < b.used; });
        it->hash = hash;
        it->read.chip = chip;
    } else {
        items_.push_back(Entry{hash, 0, CBoxDetection{time, chip}});
        it = std::prev(items_.end());
    }
    it->read.time = time;
    it->used = ++uses_;
    while (static_cast<int>(items_.size()) > maxCount_ && !items_.empty()) {
        RemoveChip(std::min_element(items_.begin(), items_.end(),
                                    [](const Entry& a, const Entry& b) { return a.used < b.used; })
                       ->read.chip);
    }
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

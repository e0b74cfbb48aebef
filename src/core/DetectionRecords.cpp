#include "core/DetectionRecords.h"

#include <algorithm>

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
    RemoveChip(chip);
    items_.push_front(CBoxDetection{time, chip});
    while (static_cast<int>(items_.size()) > maxCount_ && !items_.empty()) items_.pop_back();
}

std::string MakeTimeText(const CChrono& instant, const CChrono& ofDay, bool absoluteMode) {
    if (absoluteMode) {
        return fmt::sprintf("%ld.%ld", static_cast<long>(instant.Seconds()),
                            static_cast<long>(instant.Milliseconds() / 10));
    }
    return ofDay.FormatHundredths();
}

bool IsRepeatedRead(CLastBoxDetectionList& list, const std::string& label,
                    const CChrono& instant, int windowMs) {
    bool repeated = false;
    if (windowMs >= 1) {
        if (const CBoxDetection* previous = list.Find(label)) {
            // Windows of a second or more behave alike (only differences below one second
            // can be repeats); the cap keeps the value within the milliseconds field.
            const CChrono window(0, static_cast<uint16_t>(std::min(windowMs, 1000)));
            if (instant == previous->time) {
                repeated = true;
            } else if (instant > previous->time) {
                repeated = (instant - previous->time) < window;
            }
        }
    }
    list.AddRead(label, instant);
    return repeated;
}

std::string FormatForTimingApp(const CQoxResult& result) {
    return fmt::sprintf("%d\t%s\t%s\t%d\t%s", 1, SingleLineField(result.boxName),
                        SingleLineField(result.label), 1, SingleLineField(result.timeText));
}

std::string SingleLineField(std::string_view text) {
    std::string field(text);
    for (char& c : field) {
        if (c == '\t' || c == '\r' || c == '\n') c = ' ';
    }
    return field;
}

}  // namespace lv

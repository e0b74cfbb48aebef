#include "export/WorkList.h"

#include <charconv>
#include <deque>

#include "core/DetectionTable.h"

namespace lv {

namespace {

// "<seconds since 1970>.<hundredths>", the hundredths written without leading zeros
// (".5" is 5 hundredths); the text is read with the same rule.
bool ParseAbsoluteTimeText(std::string_view text, CChrono& instant) {
    const std::size_t point = text.find('.');
    const std::string_view whole = text.substr(0, point);
    long seconds = 0;
    auto [end, error] = std::from_chars(whole.data(), whole.data() + whole.size(), seconds);
    if (error != std::errc() || end != whole.data() + whole.size() || seconds < 0 ||
        seconds > INT32_MAX)
        return false;
    int hundredths = 0;
    if (point != std::string_view::npos) {
        const std::string_view fraction = text.substr(point + 1);
        auto [fend, ferror] = std::from_chars(fraction.data(), fraction.data() + fraction.size(), hundredths);
        if (ferror != std::errc() || fend != fraction.data() + fraction.size() || hundredths < 0 ||
            hundredths > 99)
            return false;
    }
    instant = CChrono(static_cast<int32_t>(seconds), static_cast<uint16_t>(hundredths * 10));
    return true;
}

int32_t ReadBib(const std::string& label) {
    // As "%d" reads it: leading blanks, a sign, digits; anything else gives 0.
    std::size_t i = 0;
    while (i < label.size() && (label[i] == ' ' || label[i] == '\t')) ++i;
    int64_t value = 0;
    bool negative = false;
    if (i < label.size() && (label[i] == '-' || label[i] == '+')) negative = label[i++] == '-';
    for (; i < label.size() && label[i] >= '0' && label[i] <= '9'; ++i) {
        value = value * 10 + (label[i] - '0');
        if (value > INT32_MAX) return 0;
    }
    return static_cast<int32_t>(negative ? -value : value);
}

}  // namespace

CChrono WorkTimeOf(const CQoxResult& record) {
    if (record.ofDay.IsSet()) return record.ofDay;
    CChrono time;
    if (record.absoluteTime != 0) {
        if (ParseAbsoluteTimeText(record.timeText, time)) time.AbsoluteToOfDay();
        return time;
    }
    time.ParseTime(record.timeText);
    return time;
}

CWorkResult MakeWorkResult(const CQoxResult& record) {
    CWorkResult work;
    static_cast<CQoxResult&>(work) = record;
    work.bib = ReadBib(record.label);
    work.time = WorkTimeOf(record);
    return work;
}

void BuildWorkList(WorkList& list, std::string_view detectorFilter) {
    const bool all = detectorFilter.empty() || detectorFilter == "*";
    list.clear();
    DetectionTable::Instance().WithRecords([&](const std::deque<CQoxResult>& records) {
        list.reserve(records.size());
        for (const CQoxResult& record : records) {
            if (record.active == 0) continue;
            if (!all && record.boxName != detectorFilter) continue;
            list.push_back(MakeWorkResult(record));
        }
    });
}

}  // namespace lv

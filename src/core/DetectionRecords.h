#pragma once
// The records a passing travels through after a box reported it.
#include <cstdint>
#include <vector>
#include <string>
#include <string_view>

#include "core/Chrono.h"
#include "core/Detection.h"

namespace lv {

// The last read of one label on one box.
struct CBoxDetection {
    CChrono time;       // absolute instant of the read
    std::string chip;   // label as recorded (bib text or chip code)
};

// The last reads of one box, at most one per label; beyond maxCount the least recently
// read label goes. Touched by one thread at a time (its owner's lock).
class CLastBoxDetectionList {
public:
    explicit CLastBoxDetectionList(int maxCount = 50) : maxCount_(maxCount) {}
    const CBoxDetection* Find(const std::string& chip) const;
    void RemoveChip(const std::string& chip);
    void AddRead(const std::string& chip, const CChrono& time);
    // AddRead that also tells the time of the label's previous read: false when the
    // list held none.
    bool Record(const std::string& chip, const CChrono& time, CChrono& previous);
    void Clear() { items_.clear(); }
    int Count() const { return static_cast<int>(items_.size()); }
    int MaxCount() const { return maxCount_; }
    void SetMaxCount(int maxCount) { maxCount_ = maxCount; }

private:
    // Looked up for every read of a box: a short contiguous array, each label's hash
    // compared before its text, its last use for the choice of the one to drop.
    struct Entry {
        std::size_t hash;
        uint64_t used;
        CBoxDetection read;
    };
    std::vector<Entry>::iterator Locate(const std::string& chip, std::size_t hash);

    std::vector<Entry> items_;
    uint64_t uses_ = 0;
    int maxCount_;
};

// What the chip table said of a detection's chip when it was recorded.
enum class ChipLookup : std::uint8_t {
    NotAsked,    // chips are not translated, or the label came translated
    Found,       // the label is the bib number
    NotFound,    // the label is the chip code
    TableEmpty,  // no chip table: the label is the chip code
};

// One accepted detection.
struct CQoxResult {
    std::string label;     // chip code, or the bib number as decimal text
    std::string timeText;  // HH:MM:SS.hh, or "<seconds since 1970>.<hundredths>"
    std::string boxName;
    int32_t absoluteTime = 0;
    int32_t flagA = 1;
    int32_t flagB = 0;
    int32_t active = 1;    // 0 = removed by the user (kept, marked)
    uint32_t id = 0;
    // The passing's time of day in hundredths (race-day offset included), whatever the
    // form of timeText: the exports number passings and subtract handicaps from it.
    // Unset in a record not made by AddResult.
    CChrono ofDay;
    // Its place in the detection file of its session (1, 2, ...), the line number the
    // journal gave it; 0 for a record that has no line.
    uint32_t number = 0;
    // Where it came from, the box slot that read it (0: none) and what the chip table
    // said: the window makes the detection's line from these when it shows it.
    DetectionSource source = DetectionSource::Decoder;
    uint8_t box = 0;
    ChipLookup lookup = ChipLookup::NotAsked;
};

// The data behind a line of the detections window.
struct CDetectionItem {
    CQoxResult* result = nullptr;  // owned by the detection table
    std::string line;              // columns separated by tabs
};

// The data behind a line of the summary window (a runner's result).
struct CSummaryItem {
    std::string name;
    int32_t bib = 0;
    std::string time;
    std::string info;
    std::string rank;
    int32_t status = 0;  // 0: rank holds a rank; otherwise a status text
};

// The record's time text: "%ld.%ld" of the instant in absolute mode, else the time of
// day as HH:MM:SS.hh.
std::string MakeTimeText(const CChrono& instant, const CChrono& ofDay, bool absoluteMode);

// The repeat filter: true when the read is to be discarded. Always records the read
// in the list (the window slides). windowMs below 1 switches the filter off.
bool IsRepeatedRead(CLastBoxDetectionList& list, const std::string& label,
                    const CChrono& instant, int windowMs);

// "1\t<box>\t<label>\t1\t<time>": the record as the timing application takes it.
std::string FormatForTimingApp(const CQoxResult& result);

// The text with every tab, CR and LF replaced by a blank, so that a field taken from
// a box or a file can never split or add a line of a tab-separated line format.
std::string SingleLineField(std::string_view text);
// The same, appended to a line being made.
void AppendSingleLineField(std::string& line, std::string_view text);
// Appends "<box>\t<label>\t1\t<time>", the part of a detection that the journal line
// and the line pushed to the timing application share.
void AppendDetectionFields(std::string& line, const CQoxResult& record);

}  // namespace lv

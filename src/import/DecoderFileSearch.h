#pragma once
// The search of a decoder output file: reads it line by line, keeps the detections of
// one time range (chip codes translated, unknown chips kept or discarded), lists the
// markers of that range, logs a summary per day, and purges repeated reads. It runs on
// any thread: the caller hands it a progress callback and a cancel flag, and gets back
// the whole outcome (the dialog's log lines included).
#include <atomic>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "core/Chrono.h"
#include "import/ImportRecords.h"

namespace lv {

struct DecoderFileSearchRequest {
    std::string path;
    CChrono rangeStart;               // absolute, included
    CChrono rangeEnd;                 // absolute, included
    bool showAbnormal = false;        // "Display all abnormal events found in file"
    bool sendNumbers = true;          // GTarvexSendNumbers
    bool ignoreUnknownTags = false;   // GTarvexIgnoreUnknownTags
    int purgeIntervalMs = 50;         // GTarvexIgnoreInputMsDelta
    std::string todayCompact;         // YYYYMMDD that "0000-00-00" stands for
};

struct DecoderFileSearchCounts {
    std::size_t lines = 0;            // lines read
    std::size_t shortLines = 0;       // 3 characters or fewer: ignored
    std::size_t detectionLines = 0;   // valid detection lines, whatever their time
    std::size_t markerLines = 0;      // valid marker lines, whatever their time
    std::size_t invalidLines = 0;     // anything else
    std::size_t inRange = 0;          // detection lines of the range
    std::size_t rejectedUnknown = 0;  // of those, discarded as unknown chips
    std::size_t beforePurge = 0;
};

struct DecoderFileSearchResult {
    std::string path;                         // the file searched
    bool opened = false;
    bool cancelled = false;
    bool readFailed = false;
    std::string error;                        // the message to show when not opened / failed
    std::vector<CDetection> detections;       // kept, purged, sorted by instant
    std::vector<CTarvexMarker> markers;       // of the range, in file order
    std::vector<std::string> unknownChips;    // distinct, in order of appearance
    std::vector<std::string> log;             // the dialog's log lines
    DecoderFileSearchCounts counts;
    bool alert = false;                       // unknown chips: the alert sound
};

// Called every 100 lines and at every non-zero hundred of kept detections, with the
// progress text and the counts.
using SearchProgress = std::function<void(const std::string& text, std::size_t lines, std::size_t kept)>;

DecoderFileSearchResult SearchDecoderFile(const DecoderFileSearchRequest& request, const SearchProgress& progress,
                                          const std::atomic<bool>* cancel);

// "File to import is not a regular file\n%s": a FIFO, a device, a folder.
std::string NotRegularFileText(const std::string& path);

// "%d lines parsed - %d detection%s found in selected time range".
std::string SearchProgressText(std::size_t lines, std::size_t kept);

}  // namespace lv

#pragma once
// A detection as its source hands it over, before anything is decided about it: which
// box read which chip (or which bib the timekeeper typed) at which instant, and where
// it came from. The recorder (DetectionRecorder.h) decides the rest, in one place for
// every source.
#include <cstdint>
#include <string>

#include "core/Chrono.h"

namespace lv {

enum class DetectionSource : std::uint8_t {
    Decoder,   // pushed by a network decoder
    UsbBox,    // read from a USB TimingBox's memory
    Manual,    // typed by the timekeeper
    Import,    // imported from a decoder output file
    Recovery,  // fetched from a decoder's memory after an outage
    Resumed,   // read back from the detection file of a resumed session
};

// Days added to the time of day by the race-day rule (the passing's date among the
// race days), rather than a number of days chosen by the timekeeper.
inline constexpr int kRaceDayRule = -1;

struct Detection {
    DetectionSource source = DetectionSource::Decoder;
    int box = 0;              // box slot 1..4; 0 when no box of this program read it
    std::string detectorId;   // recorded as the detection's box name
    std::string code;         // the chip code as read; with codeIsLabel, the label itself
    bool codeIsLabel = false; // a bib typed, or a label translated already (imports)
    CChrono instant;          // absolute instant of the read
    // The time of day and the local date ("YYYYMMDD") as the box wrote them (a pushed
    // line carries them); unset or empty: those of the instant.
    CChrono clockOfDay;
    std::string clockDate;
    // Whole days added to the time of day, or kRaceDayRule.
    int dayOffset = kRaceDayRule;
    // False for detections the timekeeper chose not to send to the timing application.
    bool forward = true;
};

// A detection whose label is known already: a bib typed, or an imported line.
inline Detection LabelledDetection(DetectionSource source, const std::string& detectorId, const std::string& label,
                                   const CChrono& instant) {
    Detection detection;
    detection.source = source;
    detection.detectorId = detectorId;
    detection.code = label;
    detection.codeIsLabel = true;
    detection.instant = instant;
    return detection;
}

}  // namespace lv

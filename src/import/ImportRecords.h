#pragma once
// What a search of a decoder output file keeps: the detections of the chosen range and
// the marker lines written by the sibling acquisition module.
#include <string>

#include "core/Chrono.h"

namespace lv {

// One detection kept from the file.
struct CDetection {
    CChrono timeOfDay;  // the line's time of day
    CChrono dateTime;   // the line's date and time as an absolute instant
    std::string code;   // the chip code, or the bib number when the chip was translated
};

// One marker line found in the file ("GMark-YYYYMMDDHHMMSS<sep><label>").
struct CTarvexMarker {
    std::string markerDate;   // YYYYMMDD
    std::string markerTime;   // HHMMSS
    std::string markerLabel;  // free label
    int32_t value = 0;        // always 0

    // "HH:MM:SS" of markerTime.
    std::string ClockText() const;
};

}  // namespace lv

#pragma once
// A detection handed to the one way in as a box thread would, with its label and time
// of day given: for the tests that record without a box.
#include <string>

#include "core/Detection.h"

namespace lv::test {

inline Detection GivenDetection(const std::string& label, const std::string& detectorId, const CChrono& instant,
                                const CChrono& ofDay, int box = 0) {
    Detection detection = LabelledDetection(DetectionSource::Decoder, detectorId, label, instant);
    detection.box = box;
    detection.clockOfDay = ofDay;
    detection.dayOffset = 0;
    return detection;
}

}  // namespace lv::test

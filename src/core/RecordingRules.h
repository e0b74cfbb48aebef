#pragma once
// The settings that decide what becomes of a detection (section "Settings"), with the
// race days computed from GDaysToAdd. The main window publishes a new version whenever
// they change; the recorder applies it from the next detection on.
#include <array>
#include <string>

#include "base/SettingsSchema.h"

namespace lv {

struct RecordingRules {
    int ignoreInputMsDelta = setting::GTarvexIgnoreInputMsDelta.defaultValue;
    bool sendNumbers = setting::GTarvexSendNumbers.defaultValue;
    bool ignoreUnknownTags = setting::GTarvexIgnoreUnknownTags.defaultValue;
    bool absoluteClock = setting::BAbsClock.defaultValue;
    std::array<std::string, 4> raceDays;  // day0..day3 as YYYYMMDD
};

}  // namespace lv

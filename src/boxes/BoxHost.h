#pragma once
// What a box thread needs of the main window: its settings, the one way in of its
// detections, alerting, sounds and the box-state message. Implemented by the
// controller's intake; called from box threads, so every operation is thread-safe and
// returns quickly (window work is posted).
#include <array>
#include <cstdint>
#include <string>

#include "base/SettingsSchema.h"
#include "base/Sounds.h"
#include "core/Detection.h"
#include "core/DetectionRecorder.h"

namespace lv {

// The settings a box thread works with, a view of the settings schema (section
// "Settings"). The host publishes a new version whenever they change; a running box
// takes it from its next line on. What becomes of a detection is the recorder's
// business (RecordingRules).
struct IntakeSettings {
    int readMsDelta = setting::GTarvexReadMsDelta.defaultValue;
    int reconnectSeconds = setting::GBoxReconnectSeconds.defaultValue;
    bool ignoreFSDetections = setting::GTarvexIgnoreFSDetections.defaultValue;
    bool ignoreLSDetections = setting::GTarvexIgnoreLSDetections.defaultValue;
    int secondsBetweenSerialRead = setting::SecondsBetweenSerialRead.defaultValue;
    int connectionTimeoutSeconds = setting::GTarvexConnectionTimeout.defaultValue;
};

class BoxHost {
public:
    virtual ~BoxHost() = default;

    virtual IntakeSettings CurrentIntakeSettings() const = 0;
    // Changes whenever CurrentIntakeSettings does; a box thread compares it at every
    // line (one atomic load) and fetches the settings only when it moved.
    virtual uint64_t IntakeSettingsVersion() const = 0;

    // The one way in of the box's detections (DetectionRecorder::Record).
    virtual RecordResult Record(const Detection& detection) = 0;
    // The box's memory of its last reads starts empty (thread start and end).
    virtual void ForgetLastReads(int boxNumber) = 0;

    // "######## " + text in the log at level 0; with show, also a message box.
    virtual void AlertLine(const std::string& text, bool show) = 0;
    // Something the operator must act on or know now (a box's passings wait, a box's
    // memory started again): in the log at level 0 and before the operator (headless:
    // an "[alert]" line).
    virtual void OperatorAlert(const std::string& text) { AlertLine(text, false); }
    // A message box with the warning icon (the caller has logged the text).
    virtual void ShowWarning(const std::string& text) { (void)text; }
    virtual void PlaySound(Sound sound) = 0;
    // The box-state message: unexpected = true when the box stopped answering.
    virtual void PostBoxState(int boxNumber, bool unexpected) = 0;
};

}  // namespace lv

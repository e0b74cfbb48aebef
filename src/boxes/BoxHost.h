#pragma once
// What a box thread needs of the main window: recording, showing, alerting, sounds and
// the box-state message. Implemented by MainController; called from box threads, so
// every operation is thread-safe and returns quickly (window work is posted).
#include <array>
#include <cstdint>
#include <string>

#include "base/SettingsSchema.h"
#include "base/Sounds.h"
#include "core/Chrono.h"
#include "core/DetectionRecords.h"

namespace lv {

// The acquisition settings a box thread works with, a view of the settings schema
// (section "Settings") with the race days computed from GDaysToAdd. The host publishes
// a new version whenever they change; a running box takes it from its next passing on.
struct IntakeSettings {
    int readMsDelta = setting::GTarvexReadMsDelta.defaultValue;
    int reconnectSeconds = setting::GBoxReconnectSeconds.defaultValue;
    int ignoreInputMsDelta = setting::GTarvexIgnoreInputMsDelta.defaultValue;
    bool sendNumbers = setting::GTarvexSendNumbers.defaultValue;
    bool ignoreUnknownTags = setting::GTarvexIgnoreUnknownTags.defaultValue;
    bool ignoreFSDetections = setting::GTarvexIgnoreFSDetections.defaultValue;
    bool ignoreLSDetections = setting::GTarvexIgnoreLSDetections.defaultValue;
    bool beepDetections = setting::GTarvexBeepDetections.defaultValue;
    int secondsBetweenSerialRead = setting::SecondsBetweenSerialRead.defaultValue;
    int connectionTimeoutSeconds = setting::GTarvexConnectionTimeout.defaultValue;
    std::array<std::string, 4> raceDays;  // day0..day3 as YYYYMMDD
};

class BoxHost {
public:
    virtual ~BoxHost() = default;

    virtual IntakeSettings CurrentIntakeSettings() const = 0;
    // Changes whenever CurrentIntakeSettings does; a box thread compares it at every
    // passing (one atomic load) and fetches the settings only when it moved.
    virtual uint64_t IntakeSettingsVersion() const = 0;
    virtual bool LogDetectionsEnabled() const = 0;  // BLogDetections

    // Records the detection (table, journal, push to the timing application).
    virtual const CQoxResult* RecordDetection(const std::string& label, const std::string& boxName,
                                              const CChrono& instant, const CChrono& ofDay) = 0;
    // Adds a line to the detections window (posted to the UI thread).
    virtual void ShowDetection(const std::string& text, const CQoxResult* record,
                               const CChrono& ofDay) = 0;
    virtual void RefreshCounters() = 0;
    // "######## " + text in the log at level 0; with show, also a message box.
    virtual void AlertLine(const std::string& text, bool show) = 0;
    // A message box with the warning icon (the caller has logged the text).
    virtual void ShowWarning(const std::string& text) { (void)text; }
    virtual void PlaySound(Sound sound) = 0;
    // The box-state message: unexpected = true when the box stopped answering.
    virtual void PostBoxState(int boxNumber, bool unexpected) = 0;
};

}  // namespace lv

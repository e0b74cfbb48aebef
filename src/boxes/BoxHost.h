#pragma once
// What a box thread needs of the main window: recording, showing, alerting, sounds and
// the box-state message. Implemented by MainController; called from box threads, so
// every operation is thread-safe and returns quickly (window work is posted).
#include <array>
#include <string>

#include "base/Sounds.h"
#include "core/Chrono.h"
#include "core/DetectionRecords.h"

namespace lv {

// The acquisition settings a box thread reads when it starts (section "Settings").
struct IntakeSettings {
    int readMsDelta = 1;             // GTarvexReadMsDelta
    int reconnectSeconds = 30;       // GBoxReconnectSeconds
    int ignoreInputMsDelta = 50;     // GTarvexIgnoreInputMsDelta
    bool sendNumbers = true;         // GTarvexSendNumbers
    bool ignoreUnknownTags = false;  // GTarvexIgnoreUnknownTags
    bool ignoreFSDetections = false; // GTarvexIgnoreFSDetections
    bool ignoreLSDetections = false; // GTarvexIgnoreLSDetections
    bool beepDetections = true;      // GTarvexBeepDetections
    int secondsBetweenSerialRead = 2;
    int connectionTimeoutSeconds = 2;  // GTarvexConnectionTimeout
    std::array<std::string, 4> raceDays;  // day0..day3 as YYYYMMDD
};

class BoxHost {
public:
    virtual ~BoxHost() = default;

    virtual IntakeSettings CurrentIntakeSettings() const = 0;
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
    virtual void PlaySound(Sound sound) = 0;
    // The box-state message: unexpected = true when the box stopped answering.
    virtual void PostBoxState(int boxNumber, bool unexpected) = 0;
};

}  // namespace lv

#pragma once
// The main window's settings, cached: the acquisition settings it publishes to the
// box threads, and its own window keys. Everything is read through the settings
// schema. The intake settings are published as a whole with a version number, so a
// box thread notices a change with one atomic load and takes it from its next passing
// on, without reconnecting.
//
// The rules of recording (RecordingRules) are published with them to the recorder,
// which applies them from the next detection on.
//
// Threads: the UI thread reads and changes everything; box threads call only
// CurrentIntake, IntakeVersion, AbsoluteClock, LogDetections and BeepDetections.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>

#include "boxes/BoxHost.h"
#include "core/RecordingRules.h"

namespace lv {

class DetectionRecorder;

class ControllerSettings {
public:
    ControllerSettings();
    // The recorder that gets the rules of recording whenever they change.
    void AttachRecorder(DetectionRecorder* recorder);

    // --- Acquisition settings (published to the box threads) ---
    // Reads them from the settings file, computes the race days from GDaysToAdd as at
    // start, and publishes them as a new version.
    void ReadIntake();
    IntakeSettings CurrentIntake() const;
    RecordingRules CurrentRules() const;
    // GTarvexBeepDetections: the detection sound, whatever the box.
    bool BeepDetections() const { return beepDetections_.load(); }
    uint64_t IntakeVersion() const { return intakeVersion_.load(std::memory_order_acquire); }

    // The day check: GDaysToAdd becomes the index of today's date among the race days
    // (0 when none matches). When that changes it, the value is written and the
    // acquisition settings are read and published again. True when it changed.
    bool FollowRaceDay(std::chrono::system_clock::time_point now);
    // GDaysToAdd as stored.
    int StoredDaysToAdd() const;

    bool BeepWhenQuit() const;

    // --- The window's keys ---
    // Read when the window opens, each written straight back so the file lists it.
    void ReadWindowKeys();
    bool AbsoluteClock() const { return absClock_.load(); }
    bool LogDetections() const { return logDetections_.load(); }
    void SetLogDetections(bool on);
    bool ScrollDetections() const { return scrollDetections_; }
    void SetScrollDetections(bool on);
    int LogWindowLevel() const { return logWinLevel_; }
    void SetLogWindowLevel(int level);
    int LogFileLevel() const { return logFileLevel_; }
    int SecondsBetweenSerialRead() const { return secondsBetweenSerialRead_; }

private:
    void PublishIntake(IntakeSettings settings, RecordingRules rules, bool beepWhenQuit);
    void PublishRules();

    mutable std::mutex lock_;
    IntakeSettings intake_;
    RecordingRules rules_;
    DetectionRecorder* recorder_ = nullptr;
    std::atomic<bool> beepDetections_{setting::GTarvexBeepDetections.defaultValue};
    bool beepWhenQuit_;
    std::atomic<uint64_t> intakeVersion_{0};

    std::atomic<bool> absClock_;
    std::atomic<bool> logDetections_;
    bool scrollDetections_;
    int logWinLevel_;
    int logFileLevel_;
    int secondsBetweenSerialRead_;
};

}  // namespace lv

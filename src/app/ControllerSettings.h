#pragma once
// The main window's settings, cached: the acquisition settings it publishes to the
// box threads, and its own window keys. Everything is read through the settings
// schema. The intake settings are published as a whole with a version number, so a
// box thread notices a change with one atomic load and takes it from its next passing
// on, without reconnecting.
//
// Threads: the UI thread reads and changes everything; box threads call only
// CurrentIntake, IntakeVersion, AbsoluteClock and LogDetections.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>

#include "boxes/BoxHost.h"

namespace lv {

class ControllerSettings {
public:
    ControllerSettings();

    // --- Acquisition settings (published to the box threads) ---
    // Reads them from the settings file, computes the race days from GDaysToAdd as at
    // start, and publishes them as a new version.
    void ReadIntake();
    IntakeSettings CurrentIntake() const;
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
    void PublishIntake(IntakeSettings settings, bool beepWhenQuit);

    mutable std::mutex lock_;
    IntakeSettings intake_;
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

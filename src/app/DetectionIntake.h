#pragma once
// The intake of detections: the BoxHost that box threads call, and the manual
// insertion's way in. It records (table, journal, push to the timing application),
// hands detection lines to the window in batches, and turns the counters, alerts,
// sounds and box-state messages of threads into work on the UI thread. It also keeps
// the current detection file, reopened whenever something may record into it.
#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "app/ControllerSettings.h"
#include "app/MainView.h"
#include "base/UiLoop.h"
#include "boxes/BoxHost.h"

namespace lv {

class DirectLinkSession;

// What the intake hands on to the UI thread.
struct IntakeHandlers {
    std::function<void()> refreshCounters;                        // the window's counters
    std::function<void(int boxNumber, bool unexpected)> boxState; // a box thread's state message
    // Benchmarks time the intake with it: runs on the recording thread after each record.
    std::function<void(const CQoxResult& record)> recorded;
};

class DetectionIntake : public BoxHost {
public:
    DetectionIntake(UiLoop& ui, MainView& view, const ControllerSettings& settings, IntakeHandlers handlers,
                    std::string sessionFileName);

    // The session that detections are pushed to; set before any box thread starts.
    void SetLink(DirectLinkSession* link) { link_ = link; }

    // --- BoxHost (any thread) ---
    IntakeSettings CurrentIntakeSettings() const override { return settings_.CurrentIntake(); }
    uint64_t IntakeSettingsVersion() const override { return settings_.IntakeVersion(); }
    bool LogDetectionsEnabled() const override { return settings_.LogDetections(); }
    const CQoxResult* RecordDetection(const std::string& label, const std::string& boxName,
                                      const CChrono& instant, const CChrono& ofDay) override;
    void ShowDetection(const std::string& text, const CQoxResult* record, const CChrono& ofDay) override;
    void RefreshCounters() override;
    void AlertLine(const std::string& text, bool show) override;
    void ShowWarning(const std::string& text) override;
    void PlaySound(Sound sound) override;
    void PostBoxState(int boxNumber, bool unexpected) override;

    // --- UI thread ---
    // Detection lines not handed to the window yet are dropped (the window is cleared).
    void DropPendingLines();
    // Exit: a resting counter refresh ends with its timer.
    void StopDeferredRefresh();

    // The current detection file: opened at start, closed by "disconnect all" and at
    // exit, replaced by a reset of the detection list.
    const std::string& SessionFileName() const { return sessionFileName_; }
    // Opens the current file when it is closed, continued (appended) when it exists;
    // call it before anything that records can start.
    void OpenJournal();
    void CloseJournal();
    // A new file for a new detection list; the previous one is closed with no gap in
    // which a detection would find no file.
    void StartNewJournal();

private:
    static constexpr int kCounterRefreshMs = 50;
    void FlushDetectionLines();
    void RefreshCountersAndRest();

    UiLoop& ui_;
    MainView& view_;
    const ControllerSettings& settings_;
    IntakeHandlers handlers_;
    std::string sessionFileName_;  // UI thread only
    DirectLinkSession* link_ = nullptr;

    // Detection lines from box threads, handed to the view in batches.
    std::mutex pendingLinesLock_;
    std::vector<CDetectionItem> pendingLines_;
    std::atomic<bool> refreshPending_{false};  // a refresh is posted or resting
    std::atomic<bool> refreshWanted_{false};   // a box thread asked since the last refresh
    std::atomic<bool> detectionSoundPending_{false};
};

}  // namespace lv

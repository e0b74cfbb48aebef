#pragma once
// The box threads' way into the main window (BoxHost): their settings, the one way in
// of detections (the recorder), and their alerts, sounds and box-state messages turned
// into work on the UI thread. It also keeps the current detection file, reopened
// whenever something may record into it.
#include <functional>
#include <string>

#include "app/ControllerSettings.h"
#include "app/MainView.h"
#include "base/UiLoop.h"
#include "boxes/BoxHost.h"
#include "core/DetectionRecorder.h"

namespace lv {

class DetectionIntake : public BoxHost {
public:
    // `boxState`: a box thread's state message, on the UI thread.
    DetectionIntake(UiLoop& ui, MainView& view, const ControllerSettings& settings, DetectionRecorder& recorder,
                    std::function<void(int boxNumber, bool unexpected)> boxState, std::string sessionFileName);

    // --- BoxHost (any thread) ---
    IntakeSettings CurrentIntakeSettings() const override { return settings_.CurrentIntake(); }
    uint64_t IntakeSettingsVersion() const override { return settings_.IntakeVersion(); }
    RecordResult Record(const Detection& detection) override { return recorder_.Record(detection); }
    void ForgetLastReads(int boxNumber) override { recorder_.ForgetLastReads(boxNumber); }
    void AlertLine(const std::string& text, bool show) override;
    void ShowWarning(const std::string& text) override;
    void OperatorAlert(const std::string& text) override;
    void PlaySound(Sound sound) override;
    void PostBoxState(int boxNumber, bool unexpected) override;

    DetectionRecorder& Recorder() { return recorder_; }

    // The current detection file: opened at start, closed by "disconnect all" and at
    // exit, replaced by a reset of the detection list.
    const std::string& SessionFileName() const { return sessionFileName_; }
    // A start that resumed an earlier file continues it under its name.
    void SetSessionFileName(std::string name) { sessionFileName_ = std::move(name); }
    // The current name becomes a file of this session alone (created exclusively; the
    // next free name when it is taken). Before the first opening of a new session.
    void ClaimSessionFile();
    // Opens the current file when it is closed, continued (appended) when it exists;
    // call it before anything that records can start.
    void OpenJournal();
    void CloseJournal();
    // A new file for a new detection list; the previous one is closed with no gap in
    // which a detection would find no file.
    void StartNewJournal();

private:
    UiLoop& ui_;
    MainView& view_;
    const ControllerSettings& settings_;
    DetectionRecorder& recorder_;
    std::function<void(int, bool)> boxState_;
    std::string sessionFileName_;  // UI thread only
};

}  // namespace lv

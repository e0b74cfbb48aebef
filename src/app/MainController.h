#pragma once
// Everything the main window does that is not drawing: the intake of detections from
// the box threads, the counters, the commands, the timers and the exit sequence. It
// never draws; it asks a MainView, and it runs on the UI thread of a UiLoop except
// for the BoxHost operations, which box threads call.
#include <array>
#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "base/Log.h"
#include "app/DirectLinkViewBridge.h"
#include "app/MainView.h"
#include "app/ManualInsertion.h"
#include "base/UiLoop.h"
#include "boxes/BoxConfigRules.h"
#include "boxes/BoxHost.h"

namespace lv {

class CTarvexBox;
class DirectLinkSession;

struct ControllerOptions {
    std::string sessionFileName;   // the current detection file of this run
    bool headless = false;         // no dialog opens by itself; the link comes back after a loss
};

// Main-window timer ids.
enum MainTimer {
    kTimerDayCheck = 33861,
    kTimerBackgroundExport = 34966,
    kTimerStartupConfig = 22662,
    kTimerPing = 34137,
    kTimerDeferredRefresh = 17732,
};

class MainController : public BoxHost, private LogWindowSink {
public:
    static constexpr int kBoxCount = 4;

    MainController(UiLoop& ui, MainView& view, ControllerOptions options);
    ~MainController() override;
    MainController(const MainController&) = delete;
    MainController& operator=(const MainController&) = delete;

    // The window's opening steps: its settings, banner, journal, chip table, timers.
    void Open();
    // Exit: the question (unless Control is held), then boxes disconnected, journal
    // closed, chip table freed. False when the user answered no.
    bool Exit(bool controlHeld);
    bool IsOpen() const { return opened_; }

    // --- BoxHost (any thread) ---
    IntakeSettings CurrentIntakeSettings() const override;
    bool LogDetectionsEnabled() const override { return logDetections_.load(); }
    const CQoxResult* RecordDetection(const std::string& label, const std::string& boxName,
                                      const CChrono& instant, const CChrono& ofDay) override;
    void ShowDetection(const std::string& text, const CQoxResult* record,
                       const CChrono& ofDay) override;
    void RefreshCounters() override;
    void AlertLine(const std::string& text, bool show) override;
    void PlaySound(Sound sound) override;
    void PostBoxState(int boxNumber, bool unexpected) override;

    // --- Window commands (UI thread) ---
    void RefreshCountersNow();
    void ExportAllDetections();
    void ConfirmResetDetections();
    void ResetDetections();
    void ClearLogWindow();
    void ClearDetectionsWindow();
    void ClearSummaryWindow();
    void SetLogDetections(bool on);
    void SetScrollDetections(bool on);
    bool ScrollDetections() const { return scrollDetections_; }
    void SetLogWindowLevel(int level);
    int LogWindowLevel() const { return logWinLevel_; }
    bool AbsoluteClock() const { return absClock_.load(); }
    // Remove (active = 0) or restore (active = 1) the given records after the question.
    void RemoveOrRestoreDetections(const std::vector<CQoxResult*>& records, bool remove);
    // The day check of the 500 ms timer: GDaysToAdd follows today's place in the race days.
    void CheckRaceDay();
    // Re-reads the acquisition settings (after the configuration dialog's OK).
    void ReloadSettings();

    // --- Configuration dialog (UI thread) ---
    // Its OK: the boxes not locked take their new declarations, the settings are
    // written in the window's order, then the four boxSlots, then the race days and the
    // acquisition settings are read again.
    void ApplyConfiguration(const ConfigValues& values, const std::array<BoxSlotState, kBoxCount>& boxSlots);
    // After the dialog closed, whatever its outcome.
    void OnConfigurationClosed();
    // Loads "TarvexTable.dtb" again; the outcome is logged and shown.
    void ReloadChipTable();

    // --- Boxes (UI thread) ---
    CTarvexBox& Box(int index);
    void ConnectAllBoxes();
    // The two-state connect button: released asks before disconnecting.
    void OnConnectButton(bool pressed);
    void DisconnectAllBoxes();
    void StartBoxThread(int index);
    void DisconnectBox(int index);
    void OnBoxState(int boxNumber, bool unexpected);
    void SynchronizeBoxes();
    void RequestBoxesTime();
    // The box menu: a protocol command sent without waiting (its response comes
    // through the box thread); a failure is logged.
    void SendBoxCommand(int index, const std::string& command);
    // The box menu's Disconnect: asks first.
    void ConfirmDisconnectBox(int index);
    bool AnyBoxConnected() const;
    bool AnyBoxInUse() const;
    // Box boxSlots from section "TarvexBoxes" (kind of transport from the host text).
    void LoadBoxDeclarations();
    void SaveBoxDeclarations();
    // Sets one slot's declaration, replacing the transport when its kind changes.
    void DeclareBox(int index, const std::string& host, int port, const std::string& detectorId);

    // --- Manual insertion (UI thread) ---
    // False, after the warning, when no time may be inserted (chip codes recorded
    // and no chip table).
    bool CanInsertManualTime();
    // The detector ids of the declared boxes, for the dialog.
    std::vector<std::string> ManualDetectors() const;
    ManualInsertion& Insertion() { return insertion_; }
    // Records an accepted entry like a box detection (table, journal, push, line, log).
    const CQoxResult* RecordManualEntry(const ManualEntry& entry);

    // --- Direct connection ---
    DirectLinkSession& Link();
    // What a direct-link session of this window reports to.
    DirectLinkListener& LinkListener() { return linkBridge_; }
    void SetLinkSession(std::unique_ptr<DirectLinkSession> session);

    UiLoop& Ui() { return ui_; }
    MainView& View() { return view_; }

private:
    void OnLogWindowLine(const std::string& line) override;
    void OnLogWindowPurged(std::size_t count) override;
    void FlushDetectionLines();
    void ShowBoxState(int index);
    void UpdateDayOffsetIndicator();
    void StartTimers();
    void ReadIntakeSettings();

    UiLoop& ui_;
    MainView& view_;
    ControllerOptions options_;
    bool opened_ = false;

    // Window settings.
    std::atomic<bool> absClock_{false};
    std::atomic<bool> logDetections_{false};
    bool scrollDetections_ = false;
    int logWinLevel_ = 50;
    int logFileLevel_ = 75;
    int secondsBetweenSerialRead_ = 2;

    mutable std::mutex settingsLock_;
    IntakeSettings intake_;
    bool beepWhenQuit_ = true;

    // Detection lines from box threads, handed to the view in batches.
    std::mutex pendingLinesLock_;
    std::vector<CDetectionItem> pendingLines_;
    static constexpr int kCounterRefreshMs = 50;
    void RefreshCountersAndRest();
    std::atomic<bool> refreshPending_{false};  // a refresh is posted or resting
    std::atomic<bool> refreshWanted_{false};   // a box thread asked since the last refresh
    std::atomic<bool> detectionSoundPending_{false};

    std::array<std::unique_ptr<CTarvexBox>, kBoxCount> boxes_;
    DirectLinkViewBridge linkBridge_{view_};
    std::unique_ptr<DirectLinkSession> link_;
    ManualInsertion insertion_;  // remembers the last detector until exit
};

}  // namespace lv

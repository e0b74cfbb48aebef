#pragma once
// The main window's logic, as the window and the headless front end see it: a small
// composition of the parts that do the work (the intake of detections, the supervision
// of the boxes, the window commands, the log window's feed, the direct link) with the
// window's settings, its opening and exit sequences and the configuration dialog's
// outcome. It never draws; it asks a MainView, and it runs on the UI thread of a
// UiLoop (box threads call the intake only).
#include <array>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/BoxSupervisor.h"
#include "app/ControllerSettings.h"
#include "app/DetectionFeed.h"
#include "app/DetectionImport.h"
#include "app/DetectionIntake.h"
#include "app/DirectLinkViewBridge.h"
#include "app/FtpJobLog.h"
#include "app/LogWindowFeed.h"
#include "app/MainView.h"
#include "app/ManualInsertion.h"
#include "app/StatusCollector.h"
#include "app/WindowCommands.h"
#include "base/UiLoop.h"
#include "boxes/BoxConfigRules.h"
#include "export/BackgroundExport.h"
#include "status/StatusServer.h"

namespace lv {

class DirectLinkSession;

struct ControllerOptions {
    std::string sessionFileName;  // the current detection file of this run
    // A detection file of an earlier run to continue (start-up found it recent enough);
    // when it cannot be read back, a new file is started as usual.
    std::string resumeFile;
    // Benchmarks time the intake with it: called on the recording thread after each
    // detection is recorded.
    std::function<void(const CQoxResult& record)> recorded;
};

class MainController {
public:
    static constexpr int kBoxCount = BoxSupervisor::kBoxCount;
    // How often the status page's facts are taken anew.
    static constexpr int kStatusSnapshotMs = 500;
    // How often the journal's pending lines and the forwarding backlog are looked at.
    static constexpr int kBacklogStatusMs = 250;
    // Unattended mode: the longest pause between two rounds of connection attempts.
    static constexpr int kUnattendedRoundMaxSeconds = 30;

    MainController(UiLoop& ui, MainView& view, ControllerOptions options);
    ~MainController();
    MainController(const MainController&) = delete;
    MainController& operator=(const MainController&) = delete;

    // The window's opening steps: its settings, banner, journal (a resumed session read
    // back first), chip table, timers.
    void Open();
    // Exit: the question (unless Control is held; with the number of detections not yet
    // sent to the timing application when some wait), then background work ended, boxes
    // disconnected, journal closed, chip table freed. False when the user answered no.
    bool Exit(bool controlHeld);
    bool IsOpen() const { return opened_; }

    // What box threads call (tests drive it as a box thread would).
    BoxHost& Intake() { return detectionIntake_; }
    // The one way in of every detection.
    DetectionRecorder& Recorder() { return recorder_; }
    // The resumed session's notice (empty when none, or dismissed).
    const std::string& ResumeNotice() const { return resumeNotice_; }
    void DismissResumeNotice();

    // --- Settings the intake reads (any thread) ---
    IntakeSettings CurrentIntakeSettings() const;
    uint64_t IntakeSettingsVersion() const { return settings_.IntakeVersion(); }
    bool LogDetectionsEnabled() const { return settings_.LogDetections(); }
    bool AbsoluteClock() const { return settings_.AbsoluteClock(); }

    // --- Window commands (UI thread) ---
    void ExportAllDetections() { commands_.ExportAllDetections(); }
    // A reset also ends the notice of a resumed session: its file is left behind.
    void ConfirmResetDetections() {
        if (commands_.ConfirmResetDetections() && !resumeNotice_.empty()) DismissResumeNotice();
    }
    void ClearLogWindow() { commands_.ClearLogWindow(); }
    void ClearDetectionsWindow() { commands_.ClearDetectionsWindow(); }
    void ClearSummaryWindow() { commands_.ClearSummaryWindow(); }
    void RemoveOrRestoreDetections(const std::vector<CQoxResult*>& records, bool remove) {
        commands_.RemoveOrRestoreDetections(records, remove);
    }
    void RefreshCountersNow() { boxes_.RefreshCountersNow(); }
    void SetLogDetections(bool on);
    void SetScrollDetections(bool on);
    bool ScrollDetections() const { return settings_.ScrollDetections(); }
    void SetLogWindowLevel(int level);
    int LogWindowLevel() const { return settings_.LogWindowLevel(); }
    // The day check of the 500 ms timer: GDaysToAdd follows today's place in the race
    // days; running boxes take a change from their next passing on.
    void CheckRaceDay();
    // The configuration dialog shortly after start, unless it opened meanwhile.
    void ScheduleStartupConfiguration(int delayMs, std::function<void()> open);
    void CancelStartupConfiguration();

    // --- Configuration dialog (UI thread) ---
    // The four box slots as the dialog starts from: declarations, and which are locked.
    std::array<BoxSlotState, kBoxCount> BoxSlotStates() const { return boxes_.SlotStates(); }
    // Its OK: the boxes not locked take their new declarations, the settings are
    // written in the window's order, then the four boxSlots, then the race days and the
    // acquisition settings are read again; running boxes use them from their next
    // passing on.
    void ApplyConfiguration(const ConfigValues& values, const std::array<BoxSlotState, kBoxCount>& boxSlots);
    // The advanced dialog's OK: its three values stored at once, and taken by running
    // boxes from their next passing on.
    void ApplyAdvancedConfiguration(const AdvancedValues& values);
    // After the dialog closed, whatever its outcome.
    void OnConfigurationClosed();
    // Loads "TarvexTable.dtb" again; the outcome is logged and shown.
    void ReloadChipTable();

    // --- Boxes (UI thread) ---
    BoxStatus BoxStatusOf(int index) const { return boxes_.StatusOf(index); }
    // "Explore box content": the explorer on the declared boxes, this one first.
    BoxFilesSource BoxFilesSourceFor(int index) const { return boxes_.BoxFilesSourceFor(index); }
    bool AnyBoxInUse() const { return boxes_.AnyBoxInUse(); }
    // Connecting, or a clock command under way (the view shows itself busy).
    bool IsBusy() const { return boxes_.IsBusy(); }
    void ConnectAllBoxes() { boxes_.ConnectAll(); }
    // The two-state connect button: released asks before disconnecting.
    void OnConnectButton(bool pressed) { boxes_.OnConnectButton(pressed); }
    void DisconnectAllBoxes() { boxes_.DisconnectAll(); }
    void OnBoxState(int boxNumber, bool unexpected) { boxes_.OnBoxState(boxNumber, unexpected); }
    void SynchronizeBoxes() { boxes_.SynchronizeClocks(); }
    // The lost-box alert: seen by the operator (hidden until another loss).
    void DismissLostBoxAlert() { boxes_.DismissLostBoxAlert(); }
    std::string LostBoxAlertText() const { return boxes_.LostBoxAlertText(); }
    // The lost-box alert's "Reconnect now".
    void ReconnectLostBoxesNow() { boxes_.ReconnectLostBoxesNow(); }
    // The boxes' activity to the window now (the 1 s timer does it too); tests give the time.
    void ShowBoxActivity();
    void ShowBoxActivityAt(std::chrono::steady_clock::time_point now) { boxes_.ShowActivity(now); }
    void RequestBoxesTime() { boxes_.RequestClocks(); }
    // The box menu: Connect, Disconnect (asks first), a protocol command.
    void ConnectBox(int index) { boxes_.ConnectBox(index); }
    void ConfirmDisconnectBox(int index) { boxes_.ConfirmDisconnectBox(index); }
    void SendBoxCommand(int index, const std::string& command) { boxes_.SendCommand(index, command); }
    // The USB TimingBox items of the box menu (BoxSupervisor.h).
    void ToggleUsbPeriodicReading(int index) { boxes_.ToggleUsbPeriodicReading(index); }
    void ResetUsbPassingIndex(int index) { boxes_.ResetUsbPassingIndex(index); }
    void RunUsbCommand(int index, UsbMenuCommand command) { boxes_.RunUsbCommand(index, command); }
    // Serial boxes read their passings periodically from their declaration on (headless).
    void SetUsbPeriodicReadingByDefault(bool on) { boxes_.SetUsbPeriodicReadingByDefault(on); }
    // Box slots from section "TarvexBoxes".
    void LoadBoxDeclarations() { boxes_.LoadDeclarations(); }
    // Unattended (headless) mode: a declared box that is not connected (never reached,
    // or its reconnection period ran out) is tried again every GBoxReconnectSeconds, at
    // least every 30 s, for as long as the program runs.
    void StartUnattendedMode();
    void RetryIdleBoxes() { boxes_.RetryIdleBoxes(UnattendedRoundSeconds()); }

    // --- Manual insertion (UI thread) ---
    // False, after the warning, when no time may be inserted (chip codes recorded
    // and no chip table).
    bool CanInsertManualTime();
    // What the dialog shows when it opens now.
    ManualOpening OpenManualInsertion() const;
    // The dialog's OK (remembers the detector for the next opening).
    ManualValidation ValidateManualEntry(std::string_view bibText, std::string_view timeText,
                                         const std::vector<std::string>& detectors, int detectorIndex,
                                         int correction);
    // The detector ids of the declared boxes, for the dialog.
    std::vector<std::string> ManualDetectors() const;
    // Records an accepted entry like a box detection (table, journal, push, line, log);
    // the detection file is opened first when closed.
    const CQoxResult* RecordManualEntry(const ManualEntry& entry);
    // "Correct the bib...": records the detection's box and instant again under the
    // bib typed, as a manual entry, then removes the detection as the remove command
    // does. Refused (nothing changed) with the warning of the insertion dialog.
    ManualValidation CorrectBib(CQoxResult& record, std::string_view bibText);

    // --- Exports ---
    // The periodic detection-lines export of the one-second tick (runs headless too).
    BackgroundExport& PeriodicExport() { return backgroundExport_; }
    // --- Import of decoder output files (UI thread) ---
    // The import dialog ended with import or save: the detections are imported into
    // the running table (in slices) or saved into a detection file.
    void HandleImportResult(ImportDialogResult result) { import_.Handle(std::move(result)); }
    // An import is under way: the import button waits for its end.
    bool ImportBusy() const { return import_.Busy(); }
    const DetectionImport::Tally& LastImportTally() const { return import_.LastTally(); }

    // --- Status page ---
    // The port it listens on; 0 when it is off (or could not start).
    int StatusPagePort() const { return statusServer_.Port(); }
    // The facts as the page shows them now.
    std::shared_ptr<const StatusFacts> StatusSnapshot() const;

    // --- Direct connection ---
    // What a direct-link session of this window reports to.
    DirectLinkListener& LinkListener() { return linkBridge_; }
    void SetLinkSession(std::unique_ptr<DirectLinkSession> session);
    bool IsLinkSwitchedOn() const;
    // The toggle: on or off.
    void SwitchLink(bool on);
    // The lost link's "Reconnect now": an attempt at once.
    void ReconnectLinkNow();

private:
    // Hands each recorded detection to the benchmarks' callback.
    class RecordedHook : public DetectionFollower {
    public:
        explicit RecordedHook(std::function<void(const CQoxResult&)> hook) : hook_(std::move(hook)) {}
        void DetectionRecorded(const CQoxResult& record) override { hook_(record); }

    private:
        std::function<void(const CQoxResult&)> hook_;
    };

    // The journal of this run: the resumed session continued, or a file of its own.
    void OpenSessionJournal();
    bool ResumeSession(const std::string& path);
    void UpdateDayOffsetIndicator();
    void StartTimers();
    // The journal's pending lines and the detections waiting for the timing
    // application, told to the view when they change.
    void ShowBacklogs();
    int UnattendedRoundSeconds() const;
    // Section "StatusPage": the page started when a port is given, refused with a log
    // line when its settings do not allow it.
    void StartStatusPage();
    void PublishStatus();
    void DeclareBox(int index, const std::string& host, int port, const std::string& detectorId) {
        boxes_.Declare(index, BoxDeclaration{host, port, detectorId});
    }
    void SaveBoxDeclarations() { boxes_.SaveDeclarations(); }
    void ReadIntakeSettings();

    UiLoop& ui_;
    // Every call to the view goes through it: the status page shows what the view is told.
    StatusCollector statusView_;
    MainView& view_;
    bool opened_ = false;

    ControllerSettings settings_;
    ControllerOptions options_;

    // In this order: the box threads (stopped with boxes_) use the recorder, its
    // followers, the intake and the link.
    DetectionRecorder recorder_;
    DetectionFeed feed_;
    std::unique_ptr<RecordedHook> recordedHook_;
    DirectLinkViewBridge linkBridge_{view_};
    std::unique_ptr<DirectLinkSession> link_;
    DetectionIntake detectionIntake_;
    BoxSupervisor boxes_;
    WindowCommands commands_{view_, detectionIntake_, feed_, boxes_};
    LogWindowFeed logFeed_{ui_, view_};
    ManualInsertion insertion_;  // remembers the last detector until exit
    BackgroundExport backgroundExport_{ui_};
    FtpJobLog ftpLog_;            // logs the program's FTP jobs while the window is open
    StatusServer statusServer_;
    std::size_t shownJournalPending_ = 0;
    std::size_t shownForwardingBacklog_ = 0;
    std::string resumeNotice_;
    DetectionImport import_{ui_, view_, recorder_, [this] { return link_.get(); },
                            [this] { return settings_.AbsoluteClock(); }, [this] { detectionIntake_.OpenJournal(); }};
};

}  // namespace lv

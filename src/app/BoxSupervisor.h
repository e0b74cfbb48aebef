#pragma once
// The main window's control of the four boxes: connect and disconnect, the box-state
// message with the automatic restart, the clock commands, the declarations, and the
// window's counters (box states, buttons, detection count). Connecting and the clock
// commands run on a BoxWorker, never on the UI thread; the window shows itself busy
// meanwhile. Everything here is called on the UI thread.
#include <array>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "app/BoxWatch.h"
#include "app/BoxWorker.h"
#include "cloud/explorer/BoxFilesSource.h"
#include "app/DetectionIntake.h"
#include "app/GapRecovery.h"
#include "app/MainView.h"
#include "app/ManualInsertion.h"
#include "base/UiLoop.h"
#include "boxes/BoxConfigRules.h"

namespace lv {

class CTarvexBox;

// The USB TimingBox items of the box menu that talk to the box.
enum class UsbMenuCommand {
    Reset,             // USBbox:RESET
    TimestampGet,      // USBbox:TIMESTAMPGET
    EpochRefGet,       // USBbox:EPOCHREFGET
    EpochRefSet,       // USBbox:EPOCHREFSET
    EpochRefAdjust1D,  // USBbox:EPOCHREFADJ1D
    PassingGet,        // USBbox:PASSINGGET
    PassingInfoGet,    // USBbox:PASSINGINFOGET (then the question)
    InfoDecoderId,     // USBbox:INFOGET items
    InfoFirmware,
    InfoHardware,
    InfoBoxType,
};

// A box as the window's menus and tests see it.
struct BoxStatus {
    bool configured = false;
    bool inUse = false;            // connected, or automatic connection attempts running
    bool connected = false;
    bool serial = false;
    bool threadRunning = false;
    bool busy = false;             // connecting or a clock command under way
    bool periodicPassingRequest = false;
};

class BoxSupervisor {
public:
    static constexpr int kBoxCount = 4;

    BoxSupervisor(UiLoop& ui, MainView& view, DetectionIntake& intake);
    // Ends background work, then the boxes' threads (each box's destructor stops its own).
    ~BoxSupervisor();
    BoxSupervisor(const BoxSupervisor&) = delete;
    BoxSupervisor& operator=(const BoxSupervisor&) = delete;

    // --- Queries ---
    BoxStatus StatusOf(int index) const;
    bool AnyBoxInUse() const;
    // Connecting or a clock command under way.
    bool IsBusy() const { return worker_.IsBusy(); }
    // The one rule for a box row of the configuration dialog: its declaration cannot
    // change while anything works with the box (connected, in use, its thread still
    // running, or background work on it).
    bool IsDeclarationLocked(int index) const;
    std::array<BoxSlotState, kBoxCount> SlotStates() const;
    std::array<ManualBoxSlot, kBoxCount> ManualSlots() const;
    // The transport's description of box 1..4 (what the window shows with its lines).
    std::string DescriptionOf(int boxNumber) const;

    // --- Connection ---
    // The two-state connect button: released asks before disconnecting.
    void OnConnectButton(bool pressed);
    // Connects every declared box, or disconnects them all when any is in use. The
    // connections run in the background; their outcome continues on the UI thread
    // (alert, detection file, box threads, sound, counters). Nothing while busy.
    void ConnectAll();
    void DisconnectAll();
    // The box menu's Connect: the detection file is opened first, then the thread.
    void ConnectBox(int index);
    void StartBoxThread(int index);
    void DisconnectBox(int index);
    // The box menu's Disconnect: asks first.
    void ConfirmDisconnectBox(int index);
    void OnBoxState(int boxNumber, bool unexpected);
    // Unattended mode: starts a round of connection attempts (GBoxReconnectSeconds
    // long, at least one attempt) for every declared box that is neither connected nor
    // trying; each box's failed round is logged once, not each attempt.
    void RetryIdleBoxes(int roundSeconds);
    // Exit: background work (connections, clock commands, gap recoveries) ends without
    // its outcome; the UI loop keeps running.
    void StopBackgroundWork();
    // The gaps of outages, filled from the decoders' memory.
    GapRecovery& Recovery() { return recovery_; }

    // --- Commands ---
    // Asks, then sets the clocks of the connected network boxes (in the background).
    void SynchronizeClocks();
    // Asks each connected box its time (in the background); the answers come through
    // the box threads.
    void RequestClocks();
    // The box menu: a protocol command sent without waiting; a failure is logged.
    void SendCommand(int index, const std::string& command);
    // A reset of the detection list: the boxes' repeated-read memories go too.
    void ForgetLastDetections();

    // --- The USB TimingBox items of the box menu ---
    // "USBbox:Request Passings Periodically" (the check mark follows it); remembered
    // per slot (BoxPeriodicReading, on unless the operator unticked it).
    void ToggleUsbPeriodicReading(int index);
    // "USBbox:Reset Passings Index": asks first, No by default.
    void ResetUsbPassingIndex(int index);
    // An exchange with the box, run in the background (a connected serial box only);
    // PASSINGINFOGET then asks whether to read from the box's first index. RESET,
    // EPOCHREFSET and EPOCHREFADJ1D ask first, No by default.
    void RunUsbCommand(int index, UsbMenuCommand command);
    // A serial box reads its passings periodically whatever its remembered choice (the
    // headless front end, where no menu item can be ticked).
    void SetUsbPeriodicReadingByDefault(bool on) { usbPeriodicByDefault_ = on; }

    // --- Declarations (section "TarvexBoxes") ---
    void LoadDeclarations();
    void SaveDeclarations();
    // Sets one slot's declaration (creating its transport the first time).
    void Declare(int index, const BoxDeclaration& declaration);

    // The box files explorer on the declared boxes, `firstBox` (0..3) listed first.
    BoxFilesSource BoxFilesSourceFor(int firstBox) const;

    // The box states, the buttons that follow them and the detection counter.
    void RefreshCountersNow();

    // --- Activity and the lost-box alert (every second) ---
    // Each box's reads and last read age to the window; the alert sound again while a
    // lost box's alert shows.
    void ShowActivity(std::chrono::steady_clock::time_point now);
    // The operator has seen the lost-box alert.
    void DismissLostBoxAlert();
    // The alert's "Reconnect now": a lost box whose attempts are over starts a new round
    // at once (one still trying goes on with its own).
    void ReconnectLostBoxesNow();
    std::string LostBoxAlertText() const { return lostAlert_.Text(); }

private:
    void ShowBoxState(int index);
    void FinishConnection(const BoxWorker::Boxes& initialised);
    // A box that failed while connected or connecting: the loss sound, then the
    // reconnection cycle unless GBoxReconnectSeconds is 0.
    void RestartLostBox(int index);
    // Starts background work on the marked boxes, the window busy until its outcome.
    void StartWork(const BoxWorker::Boxes& boxes, BoxWorker::Task task, BoxWorker::Outcome outcome);
    // Makes a box's background task return soon.
    void InterruptBox(int index);
    // The lost-box alert to the window when its text changed.
    void PublishLostBoxAlert();
    // A maintenance command of a USB TimingBox (texts with the box's number and
    // description): true when the operator answered yes.
    bool ConfirmUsbMaintenance(int index, const char* english, const char* french);

    UiLoop& ui_;
    MainView& view_;
    DetectionIntake& intake_;
    std::array<std::unique_ptr<CTarvexBox>, kBoxCount> boxes_;
    LostBoxAlert lostAlert_;
    std::string shownLostAlert_;
    bool usbPeriodicByDefault_ = false;
    // When each box was seen connected (its silence counts from there); empty otherwise.
    std::array<std::chrono::steady_clock::time_point, kBoxCount> connectedSince_{};
    std::array<int, kBoxCount> unattendedRounds_{};  // rounds started since last connected
    // Declared after the boxes, so destroyed (and their threads joined) before them.
    BoxWorker worker_;
    GapRecovery recovery_;
};

}  // namespace lv

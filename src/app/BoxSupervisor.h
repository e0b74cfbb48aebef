#pragma once
// The main window's control of the four boxes: connect and disconnect, the box-state
// message with the automatic restart, the clock commands, the declarations, and the
// window's counters (box states, buttons, detection count). Connecting and the clock
// commands run on a BoxWorker, never on the UI thread; the window shows itself busy
// meanwhile. Everything here is called on the UI thread.
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "app/BoxWorker.h"
#include "cloud/explorer/BoxFilesSource.h"
#include "app/DetectionIntake.h"
#include "app/MainView.h"
#include "app/ManualInsertion.h"
#include "base/UiLoop.h"
#include "boxes/BoxConfigRules.h"

namespace lv {

class CTarvexBox;

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
    // Exit: background work ends without its outcome; the UI loop keeps running.
    void StopBackgroundWork();

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

    // --- Declarations (section "TarvexBoxes") ---
    void LoadDeclarations();
    void SaveDeclarations();
    // Sets one slot's declaration (creating its transport the first time).
    void Declare(int index, const BoxDeclaration& declaration);

    // The box files explorer on the declared boxes, `firstBox` (0..3) listed first.
    BoxFilesSource BoxFilesSourceFor(int firstBox) const;

    // The box states, the buttons that follow them and the detection counter.
    void RefreshCountersNow();

private:
    void ShowBoxState(int index);
    void FinishConnection(const BoxWorker::Boxes& initialised);
    // Starts background work on the marked boxes, the window busy until its outcome.
    void StartWork(const BoxWorker::Boxes& boxes, BoxWorker::Task task, BoxWorker::Outcome outcome);
    // Makes a box's background task return soon.
    void InterruptBox(int index);

    UiLoop& ui_;
    MainView& view_;
    DetectionIntake& intake_;
    std::array<std::unique_ptr<CTarvexBox>, kBoxCount> boxes_;
    // Declared after the boxes, so destroyed (and its threads joined) before them.
    BoxWorker worker_;
};

}  // namespace lv

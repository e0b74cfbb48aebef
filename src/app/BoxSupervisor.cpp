#include "app/BoxSupervisor.h"

#include <fmt/printf.h>

#include <chrono>
#include <ctime>

#include "base/Clock.h"
#include "base/Log.h"
#include "base/SettingsSchema.h"
#include "base/Texts.h"
#include "boxes/BoxCommands.h"
#include "boxes/BoxDeclarations.h"
#include "boxes/BoxThread.h"
#include "boxes/TarvexBox.h"
#include "boxes/UsbBoxProtocol.h"
#include "boxes/transport/SerialComBox.h"
#include "boxes/transport/TcpComBox.h"
#include "core/DetectionTable.h"

namespace lv {

namespace {

// The counter under the detections window.
std::string DetectionCountText(int n) {
    if (n <= 0) return Tr("No recorded detection", "Aucune détection enregistrée");
    const char* plural = n > 1 ? "s" : "";
    if (CurrentLanguage() == Language::English) return fmt::sprintf("%d detection%s recorded", n, plural);
    return fmt::sprintf("%d détection%s enregistrée%s", n, plural, plural);
}

}  // namespace

BoxSupervisor::BoxSupervisor(UiLoop& ui, MainView& view, DetectionIntake& intake)
    : ui_(ui),
      view_(view),
      intake_(intake),
      worker_(ui),
      recovery_(
          ui, intake.Recorder(),
          [this](int box) { return box >= 1 && box <= kBoxCount ? boxes_[static_cast<std::size_t>(box - 1)].get() : nullptr; },
          [] { return setting::BRecoverGaps.Read(); }) {
    for (int i = 0; i < kBoxCount; ++i) {
        boxes_[i] = std::make_unique<CTarvexBox>();
        boxes_[i]->number = i + 1;
        boxes_[i]->AttachHost(&intake_);
    }
}

BoxSupervisor::~BoxSupervisor() {
    recovery_.Stop();
    worker_.Abandon([this](int index) { InterruptBox(index); }, false);
    // The boxes' own destructors stop their threads, which may still call the intake.
    for (auto& box : boxes_) box.reset();
}

// ---------------------------------------------------------------------------
// Queries

BoxStatus BoxSupervisor::StatusOf(int index) const {
    const CTarvexBox& box = *boxes_.at(static_cast<std::size_t>(index));
    BoxStatus status;
    status.configured = box.IsConfigured();
    status.inUse = box.IsInUse();
    status.connected = box.IsConnected();
    status.serial = box.IsSerial();
    status.threadRunning = box.threadRunning.load();
    status.busy = worker_.Covers(index);
    status.periodicPassingRequest = box.periodicPassingRequest.load();
    return status;
}

bool BoxSupervisor::AnyBoxInUse() const {
    for (const auto& box : boxes_) {
        if (box->IsConfigured() && box->IsInUse()) return true;
    }
    return false;
}

bool BoxSupervisor::IsDeclarationLocked(int index) const {
    const CTarvexBox& box = *boxes_.at(static_cast<std::size_t>(index));
    return box.IsInUse() || box.IsConnected() || box.threadRunning.load() || worker_.Covers(index);
}

std::array<BoxSlotState, BoxSupervisor::kBoxCount> BoxSupervisor::SlotStates() const {
    std::array<BoxSlotState, kBoxCount> slots{};
    for (int i = 0; i < kBoxCount; ++i) {
        BoxDeclaration& d = slots[i].declaration;
        boxes_[i]->GetParameters(d.detectorId, d.host, d.port);
        slots[i].locked = IsDeclarationLocked(i);
    }
    return slots;
}

std::array<ManualBoxSlot, BoxSupervisor::kBoxCount> BoxSupervisor::ManualSlots() const {
    std::array<ManualBoxSlot, kBoxCount> slots;
    for (int i = 0; i < kBoxCount; ++i) {
        int port = 0;
        boxes_[i]->GetParameters(slots[i].detectorId, slots[i].host, port);
    }
    return slots;
}

// ---------------------------------------------------------------------------
// Counters

void BoxSupervisor::ShowBoxState(int index) {
    CTarvexBox& box = *boxes_[index];
    BoxVisualState state;
    const char* text;
    if (!box.Transport() || !box.IsConfigured()) {
        state = BoxVisualState::Undefined;
        text = Tr("Box undefined", "Boîtier non défini");
    } else if (!box.IsInUse()) {
        state = BoxVisualState::NotConnected;
        text = Tr("Box not connected", "Boîtier non connecté");
    } else if (box.IsPending()) {
        state = BoxVisualState::Reconnecting;
        text = Tr("Reconnecting...", "Reconnexion en cours...");
    } else {
        state = BoxVisualState::Connected;
        text = Tr("Box connected", "Boîtier connecté");
    }
    std::string label = state == BoxVisualState::Undefined
                            ? std::string(text)
                            : fmt::sprintf("Boîtier %d %s\n%s", index + 1, box.GetDescription(), text);
    view_.SetBoxState(index, state, label);
    // The silence of a box counts from its connection, not from the program's start.
    auto& since = connectedSince_[static_cast<std::size_t>(index)];
    if (state != BoxVisualState::Connected) {
        since = {};
    } else if (since == std::chrono::steady_clock::time_point{}) {
        since = std::chrono::steady_clock::now();
    }
    // A thread just started has not begun its attempts yet: it is reconnecting.
    const bool attemptsAhead = state == BoxVisualState::NotConnected && box.threadRunning.load();
    lostAlert_.Follow(index, attemptsAhead ? BoxVisualState::Reconnecting : state);
    PublishLostBoxAlert();
}

void BoxSupervisor::PublishLostBoxAlert() {
    std::string text = lostAlert_.Text();
    if (text == shownLostAlert_) return;
    shownLostAlert_ = std::move(text);
    view_.ShowLostBoxAlert(shownLostAlert_);
}

void BoxSupervisor::ShowActivity(std::chrono::steady_clock::time_point now) {
    for (int i = 0; i < kBoxCount; ++i) {
        const CTarvexBox& box = *boxes_[i];
        const auto last = box.LastReadAt();
        int age = -1;
        if (last.time_since_epoch().count() != 0) {
            age = static_cast<int>(std::chrono::duration_cast<std::chrono::seconds>(now - last).count());
        }
        const int silent = BoxSilence::SilentSeconds(box.IsConnected(), connectedSince_[static_cast<std::size_t>(i)],
                                                     last, now);
        view_.SetBoxActivity(i, DescribeBoxActivity(box.IsConfigured(), box.ReadCount(), age, silent));
    }
    view_.BoxActivityShown();
    if (lostAlert_.SoundDue(now)) view_.PlaySound(Sound::BoxLost);
}

void BoxSupervisor::DismissLostBoxAlert() {
    lostAlert_.Dismiss();
    PublishLostBoxAlert();
}

void BoxSupervisor::ReconnectLostBoxesNow() {
    for (int i = 0; i < kBoxCount; ++i) {
        CTarvexBox& box = *boxes_[i];
        const bool idle = box.IsConfigured() && !box.IsInUse() && !box.IsConnected() && !box.threadRunning.load() &&
                          !worker_.Covers(i);
        if (!lostAlert_.IsLost(i) || !idle) continue;
        Log(0, fmt::sprintf(Tr("+ Box %d %s : reconnection asked by the operator",
                               "+ Boîtier %d %s : reconnexion demandée par l'opérateur"),
                            i + 1, box.GetDescription()));
        intake_.OpenJournal();
        StartBoxThread(i);
    }
    RefreshCountersNow();
}

void BoxSupervisor::RefreshCountersNow() {
    int connected = 0;
    for (int i = 0; i < kBoxCount; ++i) {
        ShowBoxState(i);
        if (boxes_[i]->IsConnected()) ++connected;
    }
    view_.SetClockButtonsEnabled(connected > 0);
    view_.SetConnectButtonDown(AnyBoxInUse());
    view_.SetCounterText(DetectionCountText(DetectionTable::Instance().CountActive()));
}

// ---------------------------------------------------------------------------
// Background work

void BoxSupervisor::StartWork(const BoxWorker::Boxes& boxes, BoxWorker::Task task, BoxWorker::Outcome outcome) {
    if (!worker_.Start(boxes, std::move(task), [this, outcome = std::move(outcome)](const BoxWorker::Boxes& results) {
            view_.SetBusy(false);
            if (outcome) outcome(results);
        }))
        return;
    view_.SetBusy(true);
}

void BoxSupervisor::InterruptBox(int index) {
    CTarvexBox& box = *boxes_[index];
    box.cancelRequested = true;
    box.Close();
}

void BoxSupervisor::StopBackgroundWork() {
    recovery_.Stop();
    if (!worker_.IsBusy()) return;
    worker_.Abandon([this](int index) { InterruptBox(index); }, true);
    view_.SetBusy(false);
}

// ---------------------------------------------------------------------------
// Connection

void BoxSupervisor::StartBoxThread(int index) {
    CTarvexBox& box = *boxes_[index];
    // The thread clears the cancel request itself once it knows no older thread runs.
    if (!lv::StartBoxThread(intake_, box)) {
        Log(0, fmt::sprintf(Tr("## Box %d : its previous thread is still running",
                               "## Boîtier %d : son thread précédent tourne encore"),
                            index + 1));
    }
    ShowBoxState(index);
}

void BoxSupervisor::ConnectBox(int index) {
    if (worker_.Covers(index)) return;
    // After "disconnect all" the detection file is closed: what this box records goes
    // to the same file, continued.
    intake_.OpenJournal();
    StartBoxThread(index);
    RefreshCountersNow();
}

void BoxSupervisor::DisconnectBox(int index) {
    CTarvexBox& box = *boxes_[index];
    box.cancelRequested = true;
    if (box.IsConnected()) box.Close();
    // The ending thread posts its state; keep delivering while it finishes.
    ui_.pumpUntil([&box] { return !box.threadRunning.load(); });
    box.JoinThread();
}

void BoxSupervisor::DisconnectAll() {
    for (int i = 0; i < kBoxCount; ++i) {
        // Deliberate: no box of this disconnection is lost.
        lostAlert_.Forget(i);
        DisconnectBox(i);
    }
    // Let the last state messages of the threads arrive before the file is closed.
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(1000);
    ui_.pumpUntil([until] { return std::chrono::steady_clock::now() >= until; });
    intake_.CloseJournal();
    RefreshCountersNow();
}

void BoxSupervisor::OnConnectButton(bool pressed) {
    // A click while connecting starts nothing more.
    if (worker_.IsBusy()) return;
    if (!pressed) {
        if (!view_.AskYesNo(Tr("Are you sure you want to disconnect from the boxes?",
                               "Etes vous certain de vouloir vous déconnecter des boîtiers ?"), /*defaultYes=*/false)) {
            RefreshCountersNow();
            return;
        }
    }
    ConnectAll();
}

void BoxSupervisor::ConnectAll() {
    if (worker_.IsBusy()) return;
    BoxWorker::Boxes configured{};
    int count = 0;
    for (int i = 0; i < kBoxCount; ++i) {
        configured[i] = boxes_[i]->IsConfigured();
        if (configured[i]) ++count;
    }
    if (count == 0) {
        intake_.AlertLine(Tr("No Tarvex box has been declared in your configuration !!!",
                             "Aucun boîtier Tarvex n'est déclaré dans votre configuration !!!"),
                          true);
        return;
    }
    if (AnyBoxInUse()) {
        DisconnectAll();
        return;
    }
    // Each box on its own thread: its log lines keep their order, and an unreachable
    // box no longer holds up the others.
    StartWork(
        configured, [this](int index) { return InitializeBox(*boxes_[index]); },
        [this](const BoxWorker::Boxes& initialised) { FinishConnection(initialised); });
}

void BoxSupervisor::FinishConnection(const BoxWorker::Boxes& initialised) {
    int count = 0;
    BoxWorker::Boxes lost{};
    for (int i = 0; i < kBoxCount; ++i) {
        // A box that lost its connection during (or right after) its handshake is no
        // success, whatever the initialisation said: it fails like a lost box.
        const bool connected = initialised[i] && boxes_[i]->IsConnected();
        if (connected) ++count;
        lost[i] = !connected && (boxes_[i]->HandshakeLost() || initialised[i]);
    }
    if (count == 0) {
        intake_.AlertLine(Tr("No Tarvex box has been successfully initialized in your configuration !!!",
                             "Aucun boîtier Tarvex n'a été initialisé avec succès dans votre configuration !!!"),
                          true);
        view_.BringToFront();
    }
    RefreshCountersNow();
    bool anyLost = false;
    for (bool b : lost) anyLost = anyLost || b;
    if (count == 0 && !anyLost) return;
    intake_.OpenJournal();
    for (int i = 0; i < kBoxCount; ++i) {
        if (boxes_[i]->IsConnected()) StartBoxThread(i);
    }
    if (count > 0) view_.PlaySound(Sound::BoxesConnected);
    for (int i = 0; i < kBoxCount; ++i) {
        if (lost[i]) RestartLostBox(i);
    }
    RefreshCountersNow();
}

void BoxSupervisor::RestartLostBox(int index) {
    CTarvexBox& box = *boxes_[index];
    view_.PlaySound(Sound::BoxLost);
    const bool reconnect = intake_.CurrentIntakeSettings().reconnectSeconds != 0;
    const std::time_t wall = std::chrono::system_clock::to_time_t(WallNow());
    std::tm since{};
    localtime_r(&wall, &since);
    lostAlert_.Lost(index, box.GetDescription(), since, reconnect, std::chrono::steady_clock::now());
    PublishLostBoxAlert();
    if (!reconnect) return;
    Log(0, fmt::sprintf("APP FOUND UNEXPECTED CNX ERROR for box %d and will restart BoxThread", index + 1));
    // What the restarted thread records needs the detection file open.
    intake_.OpenJournal();
    StartBoxThread(index);
}

void BoxSupervisor::OnBoxState(int boxNumber, bool unexpected) {
    int index = boxNumber - 1;
    if (index < 0 || index >= kBoxCount) return;
    CTarvexBox& box = *boxes_[index];
    ShowBoxState(index);
    if (box.IsConnected() || box.IsInUse()) return;
    // Still running threads end here; this may deliver further messages meanwhile.
    if (box.threadRunning.load()) {
        DisconnectBox(index);
    } else {
        box.JoinThread();
    }
    if (unexpected) {
        // What the box reads until it is back stays in its memory.
        recovery_.BoxLost(boxNumber);
        RestartLostBox(index);
    }
    RefreshCountersNow();
}

void BoxSupervisor::RetryIdleBoxes(int roundSeconds) {
    for (int i = 0; i < kBoxCount; ++i) {
        CTarvexBox& box = *boxes_[i];
        const bool idle = box.IsConfigured() && !box.IsInUse() && !box.IsConnected() &&
                          !box.threadRunning.load() && !worker_.Covers(i);
        if (!idle) {
            if (box.IsConnected()) {
                unattendedRounds_[i] = 0;
                box.quietConnectFailures = false;
            }
            continue;
        }
        // One line per box and round, however many attempts the round makes.
        if (unattendedRounds_[i] > 0) {
            Log(0, fmt::sprintf(Tr("## Box %d %s : still not connected; trying again (every %d s)",
                                   "## Boîtier %d %s : toujours pas connecté ; nouvel essai (toutes les %d s)"),
                                i + 1, box.GetDescription(), roundSeconds));
        }
        ++unattendedRounds_[i];
        box.quietConnectFailures = true;
        intake_.OpenJournal();
        StartBoxThread(i);
    }
    RefreshCountersNow();
}

void BoxSupervisor::ConfirmDisconnectBox(int index) {
    if (worker_.Covers(index)) return;
    if (!view_.AskYesNo(Tr("Are you sure you want to disconnect from this box?",
                           "Etes vous certain de vouloir vous déconnecter de ce boîtier ?"), /*defaultYes=*/false))
        return;
    lostAlert_.Forget(index);
    DisconnectBox(index);
    RefreshCountersNow();
}

// ---------------------------------------------------------------------------
// Commands

void BoxSupervisor::SynchronizeClocks() {
    if (worker_.IsBusy()) return;
    if (!view_.AskYesNo(Tr("Are you sure you want to synchronize connected Tarvex boxes ?\n"
                           "This will update their internal clock,\nand exit temporarily from the "
                           "acquisition mode.",
                           "Etes vous certain de vouloir synchroniser les boîtiers connectés ?\n"
                           "Cela provoque une mise à jour de leur horloge interne,\net les sort "
                           "temporairement du mode acquisition."), /*defaultYes=*/false))
        return;
    BoxWorker::Boxes boxes{};
    for (int i = 0; i < kBoxCount; ++i) {
        const CTarvexBox& box = *boxes_[i];
        boxes[i] = box.IsConfigured() && box.IsConnected();
    }
    StartWork(
        boxes,
        [this](int index) {
            CTarvexBox& box = *boxes_[index];
            if (box.IsSerial()) return SynchronizeUsbBox(box);
            SetBoxClock(box);
            return true;
        },
        {});
}

void BoxSupervisor::RequestClocks() {
    if (worker_.IsBusy()) return;
    BoxWorker::Boxes boxes{};
    for (int i = 0; i < kBoxCount; ++i) boxes[i] = boxes_[i]->IsConnected();
    StartWork(
        boxes,
        [this](int index) {
            RequestBoxTime(*boxes_[index]);
            return true;
        },
        {});
}

void BoxSupervisor::SendCommand(int index, const std::string& command) {
    CTarvexBox& box = *boxes_.at(static_cast<std::size_t>(index));
    std::string error;
    if (!box.SendCommand(command, error)) Log(0, fmt::sprintf("## %s : %s", box.CommandLabel(), error));
}

void BoxSupervisor::ForgetLastDetections() { intake_.ForgetLastReads(0); }

std::string BoxSupervisor::DescriptionOf(int boxNumber) const {
    if (boxNumber < 1 || boxNumber > kBoxCount) return {};
    return boxes_[static_cast<std::size_t>(boxNumber - 1)]->GetDescription();
}

// ---------------------------------------------------------------------------
// The USB TimingBox items of the box menu

void BoxSupervisor::ToggleUsbPeriodicReading(int index) {
    CTarvexBox& box = *boxes_.at(static_cast<std::size_t>(index));
    if (!box.IsSerial()) return;
    const bool on = !box.periodicPassingRequest.load();
    box.periodicPassingRequest = on;
    // Remembered for the box's next start.
    setting::BoxPeriodicReading.Write(index, on ? 1 : 0);
}

bool BoxSupervisor::ConfirmUsbMaintenance(int index, const char* english, const char* french) {
    const std::string question = fmt::sprintf(Tr(english, french), index + 1, boxes_[index]->GetDescription());
    return view_.AskYesNo(question, /*defaultYes=*/false);
}

void BoxSupervisor::ResetUsbPassingIndex(int index) {
    CTarvexBox& box = *boxes_.at(static_cast<std::size_t>(index));
    if (!box.IsSerial()) return;
    // Every passing the box holds would be read and recorded again.
    if (!ConfirmUsbMaintenance(index,
                               "Read again every passing of box %d %s from its index 0?\n"
                               "The passings already read are recorded a second time.",
                               "Relire toutes les détections du boîtier %d %s depuis l'index 0 ?\n"
                               "Les détections déjà lues sont enregistrées une seconde fois."))
        return;
    box.passingIndex = 0;
}

void BoxSupervisor::RunUsbCommand(int index, UsbMenuCommand command) {
    CTarvexBox& box = *boxes_.at(static_cast<std::size_t>(index));
    if (worker_.IsBusy() || !box.IsSerial() || !box.IsConnected()) return;
    // The maintenance commands change the box itself: asked first, No by default.
    if (command == UsbMenuCommand::Reset &&
        !ConfirmUsbMaintenance(index,
                               "Restart box %d %s (RESET)?\nIt reads nothing while it restarts.",
                               "Redémarrer le boîtier %d %s (RESET) ?\nIl ne lit rien pendant son redémarrage."))
        return;
    if (command == UsbMenuCommand::EpochRefSet &&
        !ConfirmUsbMaintenance(index,
                               "Set the clock reference of box %d %s to this computer's clock (EPOCHREFSET)?\n"
                               "The times of its passings follow the new reference.",
                               "Régler la référence d'horloge du boîtier %d %s sur l'horloge de cet ordinateur "
                               "(EPOCHREFSET) ?\nLes heures de ses détections suivent la nouvelle référence."))
        return;
    if (command == UsbMenuCommand::EpochRefAdjust1D &&
        !ConfirmUsbMaintenance(index,
                               "Shift the clock reference of box %d %s by one day (EPOCHREFADJ1D)?\n"
                               "The times of its passings follow the new reference.",
                               "Décaler d'un jour la référence d'horloge du boîtier %d %s (EPOCHREFADJ1D) ?\n"
                               "Les heures de ses détections suivent la nouvelle référence."))
        return;
    BoxWorker::Boxes marked{};
    marked[static_cast<std::size_t>(index)] = true;
    auto info = std::make_shared<UsbPassingInfo>();
    StartWork(
        marked,
        [&box, command, info](int) {
            switch (command) {
                case UsbMenuCommand::Reset: ResetUsbBox(box); return true;
                case UsbMenuCommand::TimestampGet: return GetUsbBoxTime(box);
                case UsbMenuCommand::EpochRefGet: return GetEpochReference(box);
                case UsbMenuCommand::EpochRefSet: return SynchronizeUsbBox(box);
                case UsbMenuCommand::EpochRefAdjust1D: return AdjustEpochReference(box);
                case UsbMenuCommand::PassingGet: GetPassings(box); return true;
                case UsbMenuCommand::PassingInfoGet: return GetPassingInfo(box, *info);
                case UsbMenuCommand::InfoDecoderId: ShowBoxInfo(box, kUsbDecoderId); return true;
                case UsbMenuCommand::InfoFirmware: ShowBoxInfo(box, kUsbFirmware); return true;
                case UsbMenuCommand::InfoHardware: ShowBoxInfo(box, kUsbHardware); return true;
                case UsbMenuCommand::InfoBoxType: ShowBoxInfo(box, kUsbBoxType); return true;
            }
            return false;
        },
        [this, &box, index, command, info](const BoxWorker::Boxes& results) {
            if (command != UsbMenuCommand::PassingInfoGet || !results[static_cast<std::size_t>(index)]) return;
            if (info->count <= 0) return;
            const std::string question = fmt::sprintf(
                Tr("Do you want to start the reading of the %d passing(s) at the first index (%d) of the USB TimingBox?",
                   "Voulez vous redémarrer la lecture des %d détection(s) au premier index (%d) de l'USB TimingBox ?"),
                info->count, info->firstIndex);
            if (view_.AskYesNo(question)) box.passingIndex = info->firstIndex;
        });
}

// ---------------------------------------------------------------------------
// Declarations

void BoxSupervisor::Declare(int index, const BoxDeclaration& declaration) {
    CTarvexBox& box = *boxes_.at(static_cast<std::size_t>(index));
    // The host tells the kind of transport; a box changing kind gets a new one.
    const bool serial = IsSerialHost(declaration.host);
    if (!box.Transport() || box.IsSerial() != serial) {
        if (serial) {
            box.SetTransport(std::make_unique<CSerialComBox>());
        } else {
            box.SetTransport(std::make_unique<CTcpComBox>());
        }
        box.periodicPassingRequest = false;
    }
    if (serial) box.periodicPassingRequest = usbPeriodicByDefault_ || setting::BoxPeriodicReading.Read(index) != 0;
    box.SetParameters(declaration.detectorId, declaration.host, declaration.port);
}

void BoxSupervisor::LoadDeclarations() {
    for (int i = 0; i < kBoxCount; ++i) Declare(i, LoadBoxSettings(i));
}

void BoxSupervisor::SaveDeclarations() {
    for (int i = 0; i < kBoxCount; ++i) {
        BoxDeclaration d;
        boxes_[i]->GetParameters(d.detectorId, d.host, d.port);
        SaveBoxSettings(i, d);
    }
}

}  // namespace lv

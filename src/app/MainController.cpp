#include "app/MainController.h"

#include <fmt/printf.h>

#include <chrono>

#include "base/Clock.h"
#include "base/Texts.h"
#include "base/TimerIds.h"
#include "core/ChipTable.h"
#include "core/DetectionJournal.h"
#include "core/DetectionTable.h"
#include "core/DetectionTexts.h"
#include "link/DirectLinkSession.h"

namespace lv {

MainController::MainController(UiLoop& ui, MainView& view, ControllerOptions options)
    : ui_(ui),
      view_(view),
      detectionIntake_(ui, view, settings_,
                       IntakeHandlers{[this] { boxes_.RefreshCountersNow(); },
                                      [this](int boxNumber, bool unexpected) { boxes_.OnBoxState(boxNumber, unexpected); },
                                      std::move(options.recorded)},
                       std::move(options.sessionFileName)),
      boxes_(ui, view, detectionIntake_) {
    ReadIntakeSettings();
}

MainController::~MainController() {
    SetFtpJobObserver(nullptr);
    Logger::Instance().SetSink(nullptr);
    Logger::Instance().SetWindowOpen(false);
}

void MainController::ReadIntakeSettings() { settings_.ReadIntake(); }

IntakeSettings MainController::CurrentIntakeSettings() const { return settings_.CurrentIntake(); }

void MainController::Open() {
    // The window's own keys, written straight back so the file lists them.
    settings_.ReadWindowKeys();
    ReadIntakeSettings();

    Logger& logger = Logger::Instance();
    logger.SetWindowLevel(settings_.LogWindowLevel());
    logger.SetSink(&logFeed_);
    logger.SetWindowOpen(true);

    RefreshCountersNow();
    SetFtpJobObserver(&ftpLog_);

    WriteLogFile("\n");
    WriteLogFile(fmt::sprintf(Tr("------------------------ Starting Lumivane version %s",
                                 "------------------------ Lancement Lumivane version %s"),
                              LUMIVANE_VERSION));

    Log(0, IncomingDetectionsSavedText(detectionIntake_.SessionFileName()));
    detectionIntake_.OpenJournal();

    std::string message;
    LoadChipTable("TarvexTable.dtb", message);
    Log(0, message);

    UpdateDayOffsetIndicator();
    StartTimers();
    opened_ = true;
}

void MainController::StartTimers() {
    ui_.setTimer(kTimerDayCheck, 500, true, [this] { CheckRaceDay(); });
    ShowBoxActivity();
    ui_.setTimer(kTimerBoxActivity, 1000, true, [this] { ShowBoxActivity(); });
    ui_.setTimer(kTimerBacklogStatus, kBacklogStatusMs, true, [this] { ShowBacklogs(); });
    backgroundExport_.Start();
    if (link_) link_->StartPingTimer();
}

void MainController::ShowBacklogs() {
    const std::size_t pending = DetectionTable::Instance().Journal().PendingLines();
    if (pending != shownJournalPending_) {
        shownJournalPending_ = pending;
        view_.ShowJournalPending(pending);
    }
    const std::size_t waiting = link_ ? link_->ForwardingBacklog() : 0;
    if (waiting != shownForwardingBacklog_) {
        shownForwardingBacklog_ = waiting;
        view_.ShowForwardingBacklog(waiting);
    }
}

int MainController::UnattendedRoundSeconds() const {
    const int reconnect = CurrentIntakeSettings().reconnectSeconds;
    return reconnect > 0 && reconnect < kUnattendedRoundMaxSeconds ? reconnect : kUnattendedRoundMaxSeconds;
}

void MainController::StartUnattendedMode() {
    ui_.setTimer(kTimerUnattendedBoxes, UnattendedRoundSeconds() * 1000, true,
                 [this] { boxes_.RetryIdleBoxes(UnattendedRoundSeconds()); });
}

bool MainController::Exit(bool controlHeld) {
    if (!controlHeld) {
        if (settings_.BeepWhenQuit()) view_.PlaySound(Sound::Quit);
        if (!view_.AskYesNo(Tr("Do you really want to exit the acquisition module ?",
                               "Souhaitez vraiment quitter le module d'acquisition ?"), /*defaultYes=*/false))
            return false;
    }
    // A background export under way finishes its files (and queues their uploads)
    // before the transfers stop and the table goes.
    backgroundExport_.Stop();
    // A running upload may finish (bounded wait), but logs nothing more.
    StopFtpTransfers(true);
    SetFtpJobObserver(nullptr);
    ui_.killTimer(kTimerStartupConfig);
    ui_.killTimer(kTimerDayCheck);
    ui_.killTimer(kTimerBoxActivity);
    ui_.killTimer(kTimerBacklogStatus);
    ui_.killTimer(kTimerUnattendedBoxes);
    import_.Stop();
    detectionIntake_.StopDeferredRefresh();
    if (link_) {
        link_->StopTimers();
        link_->SwitchOff();
    }
    // A connection or clock command under way ends first, without its outcome.
    boxes_.StopBackgroundWork();
    DisconnectAllBoxes();
    ClearChipTable();
    if (DetectionTable::Instance().CountActive() > 0) {
        view_.ClearDetectionLines();
        DetectionTable::Instance().ClearTable();
    }
    // No box thread runs any more: records of earlier resets can go.
    DetectionTable::Instance().FreeClearedRecords();
    // These two texts exist in French only.
    Log(0, "+ Sortie du module d'acquisition...");
    WriteLogFile("------------------------ Sortie Lumivane");
    opened_ = false;
    return true;
}

void MainController::ShowBoxActivity() { boxes_.ShowActivity(std::chrono::steady_clock::now()); }

void MainController::ScheduleStartupConfiguration(int delayMs, std::function<void()> open) {
    ui_.setTimer(kTimerStartupConfig, delayMs, false, std::move(open));
}

void MainController::CancelStartupConfiguration() { ui_.killTimer(kTimerStartupConfig); }

// ---------------------------------------------------------------------------
// Window settings

void MainController::SetLogDetections(bool on) { settings_.SetLogDetections(on); }

void MainController::SetScrollDetections(bool on) { settings_.SetScrollDetections(on); }

void MainController::SetLogWindowLevel(int level) {
    Logger::Instance().SetWindowLevel(level);
    Log(0, fmt::sprintf(Tr("+ Log level set to %d", "+ Niveau de traces fixé à %d"), level));
    settings_.SetLogWindowLevel(level);
}

void MainController::CheckRaceDay() {
    settings_.FollowRaceDay(WallNow());
    UpdateDayOffsetIndicator();
}

void MainController::UpdateDayOffsetIndicator() {
    int days = settings_.StoredDaysToAdd();
    view_.SetDayOffsetIndicator(days > 0 ? days * 24 : 0);
}

// ---------------------------------------------------------------------------
// Manual insertion

bool MainController::CanInsertManualTime() {
    std::string warning;
    if (ManualInsertion::CanInsert(CurrentIntakeSettings().sendNumbers, warning)) return true;
    view_.ShowMessage(warning, MessageIcon::Warning);
    return false;
}

std::vector<std::string> MainController::ManualDetectors() const {
    return ManualInsertion::DetectorList(boxes_.ManualSlots());
}

ManualOpening MainController::OpenManualInsertion() const {
    return insertion_.Open(ManualDetectors(), CurrentIntakeSettings().raceDays);
}

ManualValidation MainController::ValidateManualEntry(std::string_view bibText, std::string_view timeText,
                                                     const std::vector<std::string>& detectors, int detectorIndex,
                                                     int correction) {
    return insertion_.Validate(bibText, timeText, detectors, detectorIndex, correction,
                               CurrentIntakeSettings().sendNumbers);
}

const CQoxResult* MainController::RecordManualEntry(const ManualEntry& entry) {
    // After "disconnect all" the detection file is closed: the entry goes to the same
    // file, continued.
    detectionIntake_.OpenJournal();
    return ManualInsertion::Record(detectionIntake_, entry);
}

// ---------------------------------------------------------------------------
// Direct connection

void MainController::SetLinkSession(std::unique_ptr<DirectLinkSession> session) {
    link_ = std::move(session);
    detectionIntake_.SetLink(link_.get());
}

bool MainController::IsLinkSwitchedOn() const { return link_ && link_->IsSwitchedOn(); }

void MainController::SwitchLink(bool on) {
    if (!link_) return;
    if (on) {
        link_->SwitchOn();
    } else {
        link_->SwitchOff();
    }
}

}  // namespace lv

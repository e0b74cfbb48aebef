#include "app/MainController.h"

#include <fmt/printf.h>

#include <chrono>

#include "app/BibCorrection.h"
#include "base/Clock.h"
#include "base/Texts.h"
#include "base/TimerIds.h"
#include "core/ChipTable.h"
#include "core/DetectionJournal.h"
#include "core/DetectionTable.h"
#include "core/DetectionTexts.h"
#include "core/SessionResume.h"
#include "link/DirectLinkSession.h"

namespace lv {

MainController::MainController(UiLoop& ui, MainView& view, ControllerOptions options)
    : ui_(ui),
      statusView_(view),
      view_(statusView_),
      options_(std::move(options)),
      recorder_(DetectionTable::Instance()),
      feed_(ui, view_, DetectionTable::Instance(),
            DetectionFeedHandlers{[this] { return settings_.LogDetections(); },
                                  [this] { return settings_.CurrentRules().sendNumbers; },
                                  [this] { return settings_.BeepDetections(); },
                                  [this](int box) { return boxes_.DescriptionOf(box); },
                                  [this] { boxes_.RefreshCountersNow(); }}),
      detectionIntake_(ui, view_, settings_, recorder_,
                       [this](int boxNumber, bool unexpected) { boxes_.OnBoxState(boxNumber, unexpected); },
                       options_.sessionFileName),
      boxes_(ui, view_, detectionIntake_) {
    settings_.AttachRecorder(&recorder_);
    recorder_.AddFollower(&feed_);
    if (options_.recorded) {
        recordedHook_ = std::make_unique<RecordedHook>(options_.recorded);
        recorder_.AddFollower(recordedHook_.get());
    }
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

    OpenSessionJournal();

    std::string message;
    const bool tableLoaded = LoadChipTable("TarvexTable.dtb", message);
    Log(0, message);
    // Without its table every detection would reach the timing application as a chip
    // code: the operator must see it, not only the log.
    if (!tableLoaded && settings_.CurrentRules().sendNumbers) {
        view_.ShowOperatorAlert(
            message + Tr(": detections are recorded under their chip codes until a table is loaded",
                         " : les détections sont enregistrées sous leur code de puce tant qu'aucune table n'est "
                         "chargée"));
    }

    UpdateDayOffsetIndicator();
    StartTimers();
    StartStatusPage();
    opened_ = true;
}

void MainController::StartStatusPage() {
    const StatusPageSettings settings = ReadStatusPageSettings();
    if (settings.port == 0) return;
    std::string error;
    if (!statusServer_.Start(settings, error)) {
        Log(0, error);
        return;
    }
    PublishStatus();
    ui_.setTimer(kTimerStatusPage, kStatusSnapshotMs, true, [this] { PublishStatus(); });
    const std::string host = settings.bind.find(':') != std::string::npos ? "[" + settings.bind + "]" : settings.bind;
    Log(0, fmt::sprintf(Tr("+ Status page at http://%s:%d/", "+ Page d'état sur http://%s:%d/"), host,
                        statusServer_.Port()));
}

std::shared_ptr<const StatusFacts> MainController::StatusSnapshot() const {
    return statusView_.Snapshot(std::chrono::system_clock::to_time_t(WallNow()));
}

void MainController::PublishStatus() { statusServer_.Publish(StatusSnapshot()); }

void MainController::OpenSessionJournal() {
    if (!options_.resumeFile.empty() && ResumeSession(options_.resumeFile)) return;
    // Another instance started in the same second never writes into this file.
    detectionIntake_.ClaimSessionFile();
    Log(0, IncomingDetectionsSavedText(detectionIntake_.SessionFileName()));
    detectionIntake_.OpenJournal();
}

bool MainController::ResumeSession(const std::string& path) {
    ResumedSession resumed;
    std::string problem;
    if (!ReadBackSession(path, settings_.CurrentRules().raceDays, resumed, problem)) {
        Log(0, fmt::sprintf(Tr("### Detection file %s not resumed (%s): a new one is started",
                               "### Fichier de détections %s non repris (%s) : un nouveau est commencé"),
                            path, problem));
        // The file of this start was taken for the one to resume: this start gets its own.
        if (detectionIntake_.SessionFileName() == path) detectionIntake_.SetSessionFileName(MakeSessionFileName());
        return false;
    }
    const std::size_t count = resumed.records.size();
    const std::size_t toSend = count - std::min(count, resumed.state.forwarded) -
                               resumed.state.heldBack.CountWithin(resumed.state.forwarded + 1, count);
    const bool clean = resumed.stateFound && resumed.state.clean;
    DetectionTable& table = DetectionTable::Instance();
    table.LoadRecords(std::move(resumed.records));
    feed_.ShowTableEnd();
    detectionIntake_.SetSessionFileName(path);
    Log(0, IncomingDetectionsSavedText(path));
    table.Journal().Continue(path, resumed.content, resumed.state);
    if (resumed.cutBytes > 0) {
        Log(0, fmt::sprintf(Tr("### Detection file %s ended with an unfinished line (%d bytes): cut",
                               "### Fichier de détections %s terminé par une ligne inachevée (%d octets) : coupée"),
                            path, static_cast<int>(resumed.cutBytes)));
    }
    resumeNotice_ = fmt::sprintf(
        Tr("Detection file %s resumed: %d detection(s), the last at %s; %d to send to Quillet-Pro",
           "Fichier de détections %s repris : %d détection(s), la dernière à %s ; %d à envoyer à Quillet-Pro"),
        path, static_cast<int>(count), resumed.lastTime, static_cast<int>(toSend));
    Log(0, "+++ " + resumeNotice_);
    if (!clean) {
        Log(0, Tr("### The previous run did not end normally (crash or power failure): detections it had sent "
                  "and not seen answered are sent again",
                  "### L'exécution précédente ne s'est pas terminée normalement (plantage ou coupure de courant) : "
                  "les détections envoyées sans réponse reçue sont envoyées de nouveau"));
    }
    view_.ShowResumeNotice(resumeNotice_);
    return true;
}

void MainController::DismissResumeNotice() {
    resumeNotice_.clear();
    view_.ShowResumeNotice(resumeNotice_);
}

void MainController::StartTimers() {
    ui_.setTimer(kTimerDayCheck, 500, true, [this] { CheckRaceDay(); });
    ShowBoxActivity();
    ui_.setTimer(kTimerBoxActivity, 1000, true, [this] { ShowBoxActivity(); });
    ui_.setTimer(kTimerBacklogStatus, kBacklogStatusMs, true, [this] { ShowBacklogs(); });
    backgroundExport_.SetAlert([this](const std::string& text) { view_.ShowOperatorAlert(text); });
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
        std::string question = Tr("Do you really want to exit the acquisition module ?",
                                  "Souhaitez vraiment quitter le module d'acquisition ?");
        // Counted now, not from the last 250 ms look: the answer may cost them.
        const std::size_t waiting = link_ ? link_->ForwardingBacklog() : 0;
        if (waiting > 0) {
            question = fmt::sprintf(Tr("%u detection(s) not yet sent to Quillet-Pro.\n",
                                       "%u détection(s) pas encore envoyée(s) à Quillet-Pro.\n"),
                                    static_cast<unsigned>(waiting)) +
                       question;
        }
        if (!view_.AskYesNo(question, /*defaultYes=*/false)) return false;
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
    ui_.killTimer(kTimerStatusPage);
    statusServer_.Stop();
    import_.Stop();
    feed_.Stop();
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
    // The state beside the detection file says the run ended normally.
    DetectionTable::Instance().Journal().EndOfRun();
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

void MainController::SetLogDetections(bool on) {
    settings_.SetLogDetections(on);
    // The detections recorded while the lines were off appear now, in their order.
    if (on && opened_) feed_.ShowHiddenLines();
}

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
    if (ManualInsertion::CanInsert(settings_.CurrentRules().sendNumbers, warning)) return true;
    view_.ShowMessage(warning, MessageIcon::Warning);
    return false;
}

std::vector<std::string> MainController::ManualDetectors() const {
    return ManualInsertion::DetectorList(boxes_.ManualSlots());
}

ManualOpening MainController::OpenManualInsertion() const {
    return insertion_.Open(ManualDetectors(), settings_.CurrentRules().raceDays);
}

ManualValidation MainController::ValidateManualEntry(std::string_view bibText, std::string_view timeText,
                                                     const std::vector<std::string>& detectors, int detectorIndex,
                                                     int correction) {
    return insertion_.Validate(bibText, timeText, detectors, detectorIndex, correction,
                               settings_.CurrentRules().sendNumbers);
}

const CQoxResult* MainController::RecordManualEntry(const ManualEntry& entry) {
    // After "disconnect all" the detection file is closed: the entry goes to the same
    // file, continued.
    detectionIntake_.OpenJournal();
    return ManualInsertion::Record(recorder_, entry);
}

ManualValidation MainController::CorrectBib(CQoxResult& record, std::string_view bibText) {
    ManualValidation validation = ValidateBibCorrection(record, bibText, settings_.CurrentRules().sendNumbers);
    if (!validation.ok) return validation;
    // The new one first: a recording that fails leaves the old one as it was.
    if (RecordManualEntry(validation.entry) == nullptr) {
        validation.ok = false;
        validation.warning = Tr("The corrected detection could not be recorded: nothing was changed.",
                                "La détection corrigée n'a pas pu être enregistrée : rien n'a été changé.");
        return validation;
    }
    Log(0, fmt::sprintf(Tr("+++ Bib corrected: detection %s of runner %s recorded again for runner %d",
                           "+++ Dossard corrigé : détection %s du dossard %s enregistrée de nouveau pour le coureur %d"),
                        record.timeText, record.label, validation.entry.bib));
    commands_.SetRemoved({&record}, true);
    return validation;
}

// ---------------------------------------------------------------------------
// Direct connection

void MainController::SetLinkSession(std::unique_ptr<DirectLinkSession> session) { link_ = std::move(session); }

bool MainController::IsLinkSwitchedOn() const { return link_ && link_->IsSwitchedOn(); }

void MainController::ReconnectLinkNow() {
    if (link_) link_->ReconnectNow();
}

void MainController::SwitchLink(bool on) {
    if (!link_) return;
    if (on) {
        link_->SwitchOn();
    } else {
        link_->SwitchOff();
    }
}

}  // namespace lv

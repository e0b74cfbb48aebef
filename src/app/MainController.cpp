#include "app/MainController.h"

#include <fmt/printf.h>

#include "base/Environment.h"
#include "app/RaceDays.h"
#include "base/Settings.h"
#include "base/Texts.h"
#include "boxes/TarvexBox.h"
#include "core/ChipTable.h"
#include "base/Clock.h"
#include "core/DetectionExport.h"
#include "core/DetectionJournal.h"
#include "core/DetectionTable.h"
#include "core/DetectionTexts.h"
#include "link/DirectLinkSession.h"

namespace lv {

namespace {
constexpr const char* kSettings = "Settings";

// The counter under the detections window.
std::string DetectionCountText(int n) {
    if (n <= 0) return Tr("No recorded detection", "Aucune détection enregistrée");
    const char* plural = n > 1 ? "s" : "";
    if (CurrentLanguage() == Language::English) return fmt::sprintf("%d detection%s recorded", n, plural);
    return fmt::sprintf("%d détection%s enregistrée%s", n, plural, plural);
}
}  // namespace

MainController::MainController(UiLoop& ui, MainView& view, ControllerOptions options)
    : ui_(ui), view_(view), options_(std::move(options)) {
    for (int i = 0; i < kBoxCount; ++i) {
        boxes_[i] = std::make_unique<CTarvexBox>();
        boxes_[i]->number = i + 1;
        boxes_[i]->AttachHost(this);
    }
    ReadIntakeSettings();
}

MainController::~MainController() {
    Logger::Instance().SetSink(nullptr);
    Logger::Instance().SetWindowOpen(false);
    // The boxes' own destructors stop their threads, which may still call this host.
    for (auto& box : boxes_) box.reset();
}

void MainController::ReadIntakeSettings() {
    IntakeSettings s;
    s.readMsDelta = ReadSettingInt(kSettings, "GTarvexReadMsDelta", 1);
    s.reconnectSeconds = ReadSettingInt(kSettings, "GBoxReconnectSeconds", 30);
    s.ignoreInputMsDelta = ReadSettingInt(kSettings, "GTarvexIgnoreInputMsDelta", 50);
    s.sendNumbers = ReadSettingBool(kSettings, "GTarvexSendNumbers", true);
    s.ignoreUnknownTags = ReadSettingBool(kSettings, "GTarvexIgnoreUnknownTags", false);
    s.ignoreFSDetections = ReadSettingBool(kSettings, "GTarvexIgnoreFSDetections", false);
    s.ignoreLSDetections = ReadSettingBool(kSettings, "GTarvexIgnoreLSDetections", false);
    s.beepDetections = ReadSettingBool(kSettings, "GTarvexBeepDetections", true);
    s.secondsBetweenSerialRead = secondsBetweenSerialRead_;
    s.connectionTimeoutSeconds = ReadSettingInt(kSettings, "GTarvexConnectionTimeout", 2);
    s.raceDays = ComputeRaceDays(ReadSettingInt(kSettings, "GDaysToAdd", 0), WallNow()).dates;
    std::lock_guard<std::mutex> guard(settingsLock_);
    intake_ = s;
    beepWhenQuit_ = ReadSettingBool(kSettings, "GTarvexBeepWhenQuit", true);
}

void MainController::ReloadSettings() { ReadIntakeSettings(); }

IntakeSettings MainController::CurrentIntakeSettings() const {
    std::lock_guard<std::mutex> guard(settingsLock_);
    return intake_;
}

void MainController::Open() {
    // The window's own keys, written straight back so the file lists them.
    absClock_ = ReadBackSettingBool(kSettings, "BAbsClock", false);
    logWinLevel_ = ReadBackSettingInt(kSettings, "LogWinLevel", 50);
    logFileLevel_ = ReadBackSettingInt(kSettings, "LogFileLevel", 75);
    logDetections_ = ReadBackSettingBool(kSettings, "BLogDetections", false);
    scrollDetections_ = ReadBackSettingBool(kSettings, "BScrollDetections", false);
    secondsBetweenSerialRead_ = ReadBackSettingInt(kSettings, "SecondsBetweenSerialRead", 2);
    if (secondsBetweenSerialRead_ < 1 || secondsBetweenSerialRead_ > 10) secondsBetweenSerialRead_ = 1;
    ReadIntakeSettings();

    Logger& logger = Logger::Instance();
    logger.SetWindowLevel(logWinLevel_);
    logger.SetSink(this);
    logger.SetWindowOpen(true);

    RefreshCountersNow();

    WriteLogFile("\n");
    WriteLogFile(fmt::sprintf(Tr("------------------------ Starting Lumivane version %s",
                                 "------------------------ Lancement Lumivane version %s"),
                              LUMIVANE_VERSION));

    Log(0, IncomingDetectionsSavedText(options_.sessionFileName));
    DetectionTable::Instance().Journal().Open(options_.sessionFileName);

    std::string message;
    LoadChipTable("TarvexTable.dtb", message);
    Log(0, message);

    UpdateDayOffsetIndicator();
    StartTimers();
    opened_ = true;
}

void MainController::StartTimers() {
    ui_.setTimer(kTimerDayCheck, 500, true, [this] { CheckRaceDay(); });
    if (link_) link_->StartPingTimer();
}

bool MainController::Exit(bool controlHeld) {
    if (!controlHeld) {
        bool beep;
        {
            std::lock_guard<std::mutex> guard(settingsLock_);
            beep = beepWhenQuit_;
        }
        if (beep) view_.PlaySound(Sound::Quit);
        if (!view_.AskYesNo(Tr("Do you really want to exit the acquisition module ?",
                               "Souhaitez vraiment quitter le module d'acquisition ?")))
            return false;
    }
    ui_.killTimer(kTimerPing);
    ui_.killTimer(kTimerStartupConfig);
    ui_.killTimer(kTimerDayCheck);
    ui_.killTimer(kTimerDeferredRefresh);
    refreshPending_ = false;  // its timer will not end the rest any more
    if (link_) {
        link_->StopTimers();
        link_->SwitchOff();
    }
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

// ---------------------------------------------------------------------------
// Intake from the box threads

const CQoxResult* MainController::RecordDetection(const std::string& label, const std::string& boxName,
                                                  const CChrono& instant, const CChrono& ofDay) {
    CQoxResult* record = DetectionTable::Instance().AddResult(label, boxName, instant, ofDay,
                                                              absClock_.load(), true);
    if (link_) link_->PushDetection(*record);
    return record;
}

void MainController::ShowDetection(const std::string& text, const CQoxResult* record,
                                   const CChrono& ofDay) {
    CDetectionItem item;
    item.result = const_cast<CQoxResult*>(record);
    item.line = ofDay.FormatDayWrap() + "\t" + text;
    bool first;
    {
        std::lock_guard<std::mutex> guard(pendingLinesLock_);
        first = pendingLines_.empty();
        pendingLines_.push_back(std::move(item));
    }
    // One hand-over per batch: under a mass start the view gets lines by the hundred.
    if (first) ui_.post([this] { FlushDetectionLines(); });
}

void MainController::FlushDetectionLines() {
    std::vector<CDetectionItem> batch;
    {
        std::lock_guard<std::mutex> guard(pendingLinesLock_);
        batch.swap(pendingLines_);
    }
    for (const auto& item : batch) view_.AddDetectionLine(item);
}

void MainController::RefreshCounters() {
    if (ui_.isUiThread()) {
        RefreshCountersNow();
        return;
    }
    refreshWanted_ = true;
    if (!refreshPending_.exchange(true)) ui_.post([this] { RefreshCountersAndRest(); });
}

// A refresh at once, then none for kCounterRefreshMs: the requests of that time are
// served together at its end. Refreshing after each passing of a mass start would wake
// the UI thread as often, and it would take the cores from the box threads.
void MainController::RefreshCountersAndRest() {
    refreshWanted_ = false;
    RefreshCountersNow();
    ui_.setTimer(kTimerDeferredRefresh, kCounterRefreshMs, false, [this] {
        refreshPending_ = false;
        if (refreshWanted_.load() && !refreshPending_.exchange(true)) RefreshCountersAndRest();
    });
}

void MainController::RefreshCountersNow() {
    int connected = 0;
    for (int i = 0; i < kBoxCount; ++i) {
        ShowBoxState(i);
        if (boxes_[i]->IsConnected()) ++connected;
    }
    view_.SetClockButtonsEnabled(connected > 0);
    view_.SetConnectButtonDown(AnyBoxInUse());
    view_.SetCounterText(DetectionCountText(DetectionTable::Instance().CountActive()));
}

void MainController::AlertLine(const std::string& text, bool show) {
    if (show) {
        ui_.post([this, text] {
            view_.BringToFront();
            view_.ShowMessage(text, MessageIcon::Warning);
        });
    }
    Log(0, "######## " + text);
}

void MainController::PlaySound(Sound sound) {
    if (ui_.isUiThread()) {
        view_.PlaySound(sound);
        return;
    }
    // A burst of detections plays one detection sound, not thousands queued.
    if (sound == Sound::Detection) {
        if (detectionSoundPending_.exchange(true)) return;
        ui_.post([this] {
            detectionSoundPending_ = false;
            view_.PlaySound(Sound::Detection);
        });
        return;
    }
    ui_.post([this, sound] { view_.PlaySound(sound); });
}

void MainController::PostBoxState(int boxNumber, bool unexpected) {
    ui_.post([this, boxNumber, unexpected] { OnBoxState(boxNumber, unexpected); });
}

// ---------------------------------------------------------------------------
// Log window

void MainController::OnLogWindowLine(const std::string& line) {
    ui_.post([this, line] { view_.AddLogLine(line); });
}

void MainController::OnLogWindowPurged(std::size_t count) {
    // Posted in order with the lines: the view drops exactly the lines the logger
    // dropped (rebuilding from the store would show lines posted meanwhile twice).
    ui_.post([this, count] { view_.DropOldestLogLines(count); });
}

// ---------------------------------------------------------------------------
// Window commands

void MainController::ClearLogWindow() {
    Logger::Instance().ClearWindow();
    view_.ClearLog();
    view_.PlaySound(Sound::Done);
}

void MainController::ClearDetectionsWindow() {
    {
        std::lock_guard<std::mutex> guard(pendingLinesLock_);
        pendingLines_.clear();
    }
    view_.ClearDetectionLines();
    view_.PlaySound(Sound::Done);
}

void MainController::ClearSummaryWindow() {
    view_.ClearSummary();
    view_.PlaySound(Sound::Done);
}

void MainController::SetLogDetections(bool on) {
    logDetections_ = on;
    WriteSettingBool(kSettings, "BLogDetections", on);
}

void MainController::SetScrollDetections(bool on) {
    scrollDetections_ = on;
    WriteSettingBool(kSettings, "BScrollDetections", on);
}

void MainController::SetLogWindowLevel(int level) {
    logWinLevel_ = level;
    Logger::Instance().SetWindowLevel(level);
    Log(0, fmt::sprintf(Tr("+ Log level set to %d", "+ Niveau de traces fixé à %d"), level));
    WriteSettingInt(kSettings, "LogWinLevel", level);
}

void MainController::CheckRaceDay() {
    IntakeSettings s = CurrentIntakeSettings();
    RaceDays days;
    days.dates = s.raceDays;
    int index = DayCheckIndex(days, WallNow());
    int stored = ReadSettingInt(kSettings, "GDaysToAdd", 0);
    if (index != stored) WriteSettingInt(kSettings, "GDaysToAdd", index);
    UpdateDayOffsetIndicator();
}

void MainController::UpdateDayOffsetIndicator() {
    int days = ReadSettingInt(kSettings, "GDaysToAdd", 0);
    view_.SetDayOffsetIndicator(days > 0 ? days * 24 : 0);
}

void MainController::ExportAllDetections() {
    if (DetectionTable::Instance().CountActive() <= 0) return;
    std::string path = ReadSettingText(kSettings, "GTarvexExportFile", GetDefaultExportFilePath());
    if (!ExportDetectionTable(path)) {
        AlertLine(fmt::sprintf(Tr("## Cannot write the export file [%s]",
                                  "## Impossible d'écrire le fichier d'export [%s]"),
                               path),
                  false);
    }
    Log(0, DetectionsExportedText(path));
    view_.PlaySound(Sound::Done);
}

void MainController::ConfirmResetDetections() {
    if (view_.AskYesNo(ConfirmResetDetectionsQuestion())) ResetDetections();
}

void MainController::ResetDetections() {
    DetectionTable& table = DetectionTable::Instance();
    int n = table.CountActive();
    {
        std::lock_guard<std::mutex> guard(pendingLinesLock_);
        pendingLines_.clear();
    }
    view_.ClearDetectionLines();
    table.ClearTable();
    for (auto& box : boxes_) box->RequestClearLastDetections();
    RefreshCountersNow();
    Log(0, DetectionListResetText(n));
    view_.PlaySound(Sound::Done);
    table.Journal().Close();
    options_.sessionFileName = MakeSessionFileName();
    table.Journal().Open(options_.sessionFileName);
    WriteLogFile("\n");
    Log(0, IncomingDetectionsSavedText(options_.sessionFileName));
}

void MainController::RemoveOrRestoreDetections(const std::vector<CQoxResult*>& records, bool remove) {
    if (records.empty()) return;
    std::string question;
    if (records.size() == 1) {
        question = fmt::sprintf(remove ? Tr("Remove detection %s of runner %s ?",
                                            "Supprimer la détection %s du dossard %s ?")
                                       : Tr("Restore detection %s of runner %s ?",
                                            "Restaurer la détection %s du dossard %s ?"),
                                records[0]->timeText, records[0]->label);
    } else {
        question = fmt::sprintf(remove ? Tr("Remove those %d detections?", "Supprimer ces %d détections?")
                                       : Tr("Restore those %d detections?", "Restaurer ces %d détections ?"),
                                static_cast<int>(records.size()));
    }
    if (!view_.AskYesNo(question)) return;
    for (CQoxResult* record : records) DetectionTable::Instance().SetActive(record, !remove);
    view_.RefreshDetectionLines();
    RefreshCountersNow();
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
    std::array<ManualBoxSlot, kBoxCount> slots;
    for (int i = 0; i < kBoxCount; ++i) {
        int port = 0;
        boxes_[i]->GetParameters(slots[i].detectorId, slots[i].host, port);
    }
    return ManualInsertion::DetectorList(slots);
}

const CQoxResult* MainController::RecordManualEntry(const ManualEntry& entry) {
    return ManualInsertion::Record(*this, entry);
}

// ---------------------------------------------------------------------------
// Direct connection

DirectLinkSession& MainController::Link() { return *link_; }

void MainController::SetLinkSession(std::unique_ptr<DirectLinkSession> session) {
    link_ = std::move(session);
}

}  // namespace lv

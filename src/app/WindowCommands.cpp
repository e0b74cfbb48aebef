#include "app/WindowCommands.h"

#include <fmt/printf.h>

#include "base/Environment.h"
#include "base/Log.h"
#include "base/SettingsSchema.h"
#include "base/Texts.h"
#include "core/DetectionExport.h"
#include "core/DetectionJournal.h"
#include "core/DetectionTable.h"
#include "core/DetectionTexts.h"

namespace lv {

void WindowCommands::ClearLogWindow() {
    Logger::Instance().ClearWindow();
    view_.ClearLog();
    view_.PlaySound(Sound::Done);
}

void WindowCommands::ClearDetectionsWindow() {
    feed_.SkipToEnd();
    view_.ClearDetectionLines();
    view_.PlaySound(Sound::Done);
}

void WindowCommands::ClearSummaryWindow() {
    view_.ClearSummary();
    view_.PlaySound(Sound::Done);
}

void WindowCommands::ExportAllDetections() {
    if (DetectionTable::Instance().CountActive() <= 0) return;
    std::string path = setting::GTarvexExportFile.Read();
    if (!ExportDetectionTable(path)) {
        intake_.AlertLine(fmt::sprintf(Tr("## Cannot write the export file [%s]",
                                          "## Impossible d'écrire le fichier d'export [%s]"),
                                       path),
                          false);
    }
    Log(0, DetectionsExportedText(path));
    view_.PlaySound(Sound::Done);
}

bool WindowCommands::ConfirmResetDetections() {
    if (!view_.AskYesNo(ConfirmResetDetectionsQuestion(), /*defaultYes=*/false)) return false;
    ResetDetections();
    return true;
}

void WindowCommands::ResetDetections() {
    DetectionTable& table = DetectionTable::Instance();
    int n = table.CountActive();
    view_.ClearDetectionLines();
    table.ClearTable();
    feed_.SkipToEnd();
    boxes_.ForgetLastDetections();
    boxes_.RefreshCountersNow();
    Log(0, DetectionListResetText(n));
    view_.PlaySound(Sound::Done);
    intake_.StartNewJournal();
    WriteLogFile("\n");
    Log(0, IncomingDetectionsSavedText(intake_.SessionFileName()));
}

void WindowCommands::RemoveOrRestoreDetections(const std::vector<CQoxResult*>& records, bool remove) {
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
    if (!view_.AskYesNo(question, /*defaultYes=*/false)) return;
    SetRemoved(records, remove);
}

void WindowCommands::SetRemoved(const std::vector<CQoxResult*>& records, bool remove) {
    DetectionTable& table = DetectionTable::Instance();
    std::shared_ptr<JournalSession> session = table.Journal().CurrentSession();
    for (CQoxResult* record : records) {
        table.SetActive(record, !remove);
        if (session && record->number != 0) session->SetRemoved(record->number, remove);
    }
    if (session) session->SaveState(false);
    view_.RefreshDetectionLines();
    boxes_.RefreshCountersNow();
}

}  // namespace lv

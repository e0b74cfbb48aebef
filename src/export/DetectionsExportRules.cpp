#include "export/DetectionsExportRules.h"

#include <mutex>

#include <fmt/printf.h>

#include "base/SettingsSchema.h"
#include "base/Texts.h"
#include "export/ExportFileSet.h"
#include "export/ExportTexts.h"
#include "export/ExportUploads.h"
#include "export/FtpExportUploads.h"

namespace lv {

void DetectionsExportRules::Open() {
    DetectionsDialogValues values;
    values.delta = setting::DetectionsDelta.Read();
    values.handicap.ParseTime(setting::DetectionsHandicap.Read());
    values.folder = setting::DetectionsExportPath.Read();
    values.genericName = setting::DetectionsGenericFilename.Read();
    values.zip = setting::DetectionsZip.Read();
    values.ftp = setting::DetectionsFtpExport.Read();
    values.displayType = DisplayTypeFromInt(setting::DetectionsDisplayType.Read());
    WorkList list;
    BuildWorkList(list, "");
    Open(values, std::move(list));
}

void DetectionsExportRules::Open(const DetectionsDialogValues& values, WorkList list) {
    values_ = values;
    list_ = std::move(list);
    statistics_ = PassingStatistics{};
}

std::string DetectionsExportRules::CountText() const {
    return fmt::sprintf(Tr("%d detections", "%d détections"), static_cast<int>(list_.size()));
}

std::string DetectionsExportRules::FtpTooltip(const std::string& site) {
    if (site.empty()) return NoFtpSettingsText();
    return std::string(Tr("Transfer to ", "Transfert vers ")) + site;
}

std::string DetectionsExportRules::FtpSite() {
    ExportUploads* uploads = InstalledExportUploads();
    return uploads ? uploads->SettingsServerSite() : ProgramFtpUploads().SettingsServerSite();
}

bool DetectionsExportRules::Filter(std::string& message) {
    CChrono delta;
    if (!delta.ParseTime(values_.delta)) {
        message = InvalidDeltaText();
        return false;
    }
    WorkRefs all;
    all.reserve(list_.size());
    for (const CWorkResult& result : list_) all.push_back(&result);
    PassingStatistics statistics;
    if (!ComputePassingStatistics(all, delta, statistics, message)) return false;
    statistics_ = std::move(statistics);
    return true;
}

PassingRowTexts DetectionsExportRules::RowTexts(const CStatEntry& row) const {
    PassingRowTexts texts;
    texts.passing = std::to_string(row.passing);
    texts.runners = fmt::sprintf(Tr("%d runner%s", "%d coureur%s"), row.atLeast, row.atLeast > 1 ? "s" : "");
    texts.bestTime = FormatShownTime(row.time, values_.handicap, values_.displayType);
    texts.bib = row.label;
    return texts;
}

std::optional<ExportOutcome> DetectionsExportRules::Export(const std::vector<int>& selectedRows,
                                                           const std::string& site, std::string& message) {
    message.clear();
    values_.genericName = TrimBlanks(values_.genericName);
    values_.folder = TrimBlanks(values_.folder);
    if (values_.genericName.empty()) {
        message = FilenameMandatoryText();
        return std::nullopt;
    }
    if (values_.folder.empty()) {
        message = FolderMandatoryText();
        return std::nullopt;
    }
    if (values_.ftp && site.empty()) {
        message = NoFtpSettingsText();
        return std::nullopt;
    }
    std::vector<WorkRefs> passings;
    if (!SplitByPassing(statistics_.kept, passings, message)) return std::nullopt;

    std::lock_guard<std::mutex> writing(ExportWritingLock());
    ExportOutcome outcome;
    ExportFileSet files(values_.folder, values_.genericName, values_.zip);
    if (files.Prepare(outcome)) {
        for (int row : selectedRows) {
            if (row < 0 || static_cast<std::size_t>(row) >= passings.size()) continue;
            const int n = row + 1;
            files.Write(PassingFileName(values_.genericName, n, values_.displayType),
                        FormatExportLines(passings[row], values_.displayType, values_.handicap), outcome);
        }
        files.Pack(outcome);
    }
    if (values_.ftp) QueueExportUploads(outcome, nullptr);
    return outcome;
}

RecalageRules DetectionsExportRules::Recalage(int row) const {
    const CStatEntry& entry = statistics_.entries.at(static_cast<std::size_t>(row));
    return RecalageRules(entry.passing, entry.label, entry.time, values_.handicap);
}

void DetectionsExportRules::Close() const {
    setting::DetectionsDelta.Write(values_.delta);
    setting::DetectionsHandicap.Write(values_.handicap.FormatHundredths());
    setting::DetectionsExportPath.Write(values_.folder);
    setting::DetectionsGenericFilename.Write(values_.genericName);
    setting::DetectionsZip.Write(values_.zip);
    setting::DetectionsFtpExport.Write(values_.ftp);
    setting::DetectionsDisplayType.Write(static_cast<int>(values_.displayType));
}

}  // namespace lv

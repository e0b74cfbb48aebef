#include "export/ExportLinesRules.h"

#include <fmt/printf.h>

#include "base/SettingsSchema.h"
#include "base/Texts.h"
#include "export/ExportTexts.h"
#include "export/FtpExportUploads.h"
#include "export/LinesExport.h"

namespace lv {

void ExportLinesRules::Open() {
    LinesDialogValues values;
    values.delta = setting::LinesDelta.Read();
    values.folder = setting::LinesExportPath.Read();
    values.genericName = setting::LinesGenericFilename.Read();
    values.zip = setting::LinesZip.Read();
    values.ftp = setting::LinesFtpExport.Read();
    values.displayType = DisplayTypeFromInt(setting::LinesDisplayType.Read());
    values.backgroundExport = setting::BackgroundExportOn.Read();
    values.periodText = std::to_string(setting::BackgroundExportPeriod.Mended(setting::BackgroundExportPeriod.Read()));
    values.ftpServers = setting::LinesFtpServersList.Read();
    WorkList list;
    BuildWorkList(list, "");
    Open(values, std::move(list));
}

void ExportLinesRules::Open(const LinesDialogValues& values, WorkList list) {
    values_ = values;
    list_ = std::move(list);
    rows_.clear();
}

bool ExportLinesRules::Filter(std::string& message) {
    CChrono delta;
    if (!delta.ParseTime(values_.delta)) {
        message = InvalidDeltaText();
        return false;
    }
    std::vector<CStatLineEntry> rows;
    std::vector<CDetectorResList> detectors;
    if (!GroupByDetector(list_, rows, &detectors, message)) return false;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        PassingStatistics statistics;
        if (!ComputePassingStatistics(detectors[i].results, delta, statistics, message)) return false;
        rows[i].count = static_cast<int32_t>(statistics.kept.size());
        rows[i].maxPass = statistics.maxPass;
        rows[i].handicap = ReadDetectorHandicap(rows[i].detector);
    }
    rows_ = std::move(rows);
    return true;
}

bool ExportLinesRules::ChooseDisplayType(DisplayType type, std::string& message) {
    values_.displayType = type;
    setting::LinesDisplayType.Write(static_cast<int>(type));
    return Filter(message);
}

int ExportLinesRules::FileCount() const {
    int count = 0;
    for (const CStatLineEntry& row : rows_) count += row.maxPass;
    return count;
}

std::string ExportLinesRules::BestTimeText(const CStatLineEntry& row) const {
    return FormatShownTime(row.best, row.handicap, values_.displayType);
}

std::string ExportLinesRules::DataToExportLine() const {
    const int files = FileCount();
    if (files == 0) return Tr("none", "aucune");
    const char* plural = files > 1 ? "s" : "";
    std::string line = CurrentLanguage() == Language::English
                           ? fmt::sprintf("%d detection file%s", files, plural)
                           : fmt::sprintf("%d fichier%s de détection%s", files, plural, plural);
    return line + " - " + DisplayTypeName(values_.displayType);
}

LinesSelectionState ExportLinesRules::Selection(const std::vector<int>& selectedRows) const {
    LinesSelectionState state;
    state.handicapText = "...";
    if (selectedRows.size() != 1) return state;
    const int row = selectedRows.front();
    if (row < 0 || static_cast<std::size_t>(row) >= rows_.size()) return state;
    state.handicapText = rows_[row].handicap.FormatHundredths();
    state.realignEnabled = true;
    state.resetEnabled = true;
    return state;
}

std::vector<std::string> ExportLinesRules::SelectedServers() const {
    std::vector<std::string> names;
    std::size_t start = 0;
    const std::string& list = values_.ftpServers;
    while (start <= list.size()) {
        std::size_t end = list.find('\\', start);
        if (end == std::string::npos) end = list.size();
        if (end > start) names.push_back(list.substr(start, end - start));
        start = end + 1;
    }
    return names;
}

void ExportLinesRules::SetSelectedServers(const std::vector<std::string>& names) {
    std::string joined;
    for (const std::string& name : names) {
        if (name.empty()) continue;
        if (!joined.empty()) joined += '\\';
        joined += name;
    }
    values_.ftpServers = joined;
    setting::LinesFtpServersList.Write(joined);
}

std::string ExportLinesRules::FtpTargetLine() const {
    const std::vector<std::string> names = SelectedServers();
    if (names.empty()) return std::string(Tr("Transfer to ", "Transfert vers ")) + Tr(" <No FTP server>", "<Aucun serveur FTP>");
    std::string line = Tr("Transfer to ", "Transfert vers ");
    for (std::size_t i = 0; i < names.size(); ++i) line += (i ? ", " : "") + names[i];
    // A chosen server whose line the servers file cannot give would get nothing.
    const std::string missing = FtpServersMissingText(FtpServersNotDefined(values_.ftpServers));
    if (!missing.empty()) line += " - " + missing;
    return line;
}

std::string ExportLinesRules::FtpTargetTooltip() const {
    if (SelectedServers().empty()) return NoFtpSettingsText();
    return FtpServersMissingText(FtpServersNotDefined(values_.ftpServers));
}

std::optional<ExportOutcome> ExportLinesRules::ExportNow(std::string& message) {
    message.clear();
    if (rows_.empty()) return std::nullopt;
    LinesExportRequest request;
    if (!request.delta.ParseTime(values_.delta)) {
        message = InvalidDeltaText();
        return std::nullopt;
    }
    values_.folder = TrimBlanks(values_.folder);
    values_.genericName = TrimBlanks(values_.genericName);
    if (values_.genericName.empty()) {
        message = FilenameMandatoryText();
        return std::nullopt;
    }
    if (values_.folder.empty()) {
        message = FolderMandatoryText();
        return std::nullopt;
    }
    if (values_.ftp && values_.ftpServers.empty()) {
        message = NoFtpSettingsText();
        return std::nullopt;
    }
    request.displayType = values_.displayType;
    request.folder = values_.folder;
    request.genericName = values_.genericName;
    request.zip = values_.zip;
    request.ftp = values_.ftp;
    request.ftpServers = values_.ftpServers;
    return RunLinesExport(list_, request);
}

RecalageRules ExportLinesRules::Recalage(int row) const {
    const CStatLineEntry& entry = rows_.at(static_cast<std::size_t>(row));
    return RecalageRules(1, entry.bib, entry.best, entry.handicap);
}

void ExportLinesRules::SetHandicap(int row, const CChrono& handicap) {
    CStatLineEntry& entry = rows_.at(static_cast<std::size_t>(row));
    entry.handicap = handicap;
    setting::LinesHandicap.Write(entry.detector, handicap.FormatHundredths());
}

void ExportLinesRules::Close() const {
    setting::LinesDelta.Write(values_.delta);
    setting::LinesExportPath.Write(values_.folder);
    setting::LinesGenericFilename.Write(values_.genericName);
    setting::LinesZip.Write(values_.zip);
    setting::LinesFtpExport.Write(values_.ftp);
    setting::LinesDisplayType.Write(static_cast<int>(values_.displayType));
    setting::LinesFtpServersList.Write(values_.ftpServers);
    setting::BackgroundExportOn.Write(values_.backgroundExport);
    // Anything but a number of at least 1 is stored as 2.
    int period = 0;
    const std::string text = TrimBlanks(values_.periodText);
    bool digits = !text.empty() && text.size() <= 6;
    for (char c : text) digits = digits && c >= '0' && c <= '9';
    if (digits) period = std::stoi(text);
    setting::BackgroundExportPeriod.Write(period >= 1 ? period : 2);
}

}  // namespace lv

#include "app/ImportCommand.h"

#include <fmt/printf.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/CommandOutput.h"
#include "app/DetectionImport.h"
#include "app/Startup.h"
#include "base/Log.h"
#include "base/SettingsSchema.h"
#include "base/Texts.h"
#include "core/ChipTable.h"
#include "import/DecoderFileSearch.h"
#include "import/DlgImportTarvex.h"

namespace lv {

namespace {

// "DD/MM/YYYY" within the dialog's date picker (1 January 2000 to 1 January 2038).
bool ReadDate(const std::string& text, CDlgImportTarvex::Date& date) {
    int day = 0, month = 0, year = 0;
    char extra = 0;
    if (std::sscanf(text.c_str(), "%2d/%2d/%4d%c", &day, &month, &year, &extra) != 3) return false;
    if (year < CDlgImportTarvex::kFirstYear || year > CDlgImportTarvex::kLastYear) return false;
    if (year == CDlgImportTarvex::kLastYear && (month != 1 || day != 1)) return false;
    CChrono check;
    if (!check.ParseDateTimeCompact(fmt::sprintf("%04d%02d%02d", year, month, day), "000000", 0)) return false;
    // The calendar check takes day 31 of any month; the date must exist.
    if (check.FormatDateCompact() != fmt::sprintf("%04d%02d%02d", year, month, day)) return false;
    date = CDlgImportTarvex::Date{day, month, year};
    return true;
}


}  // namespace

int RunImportCommand(const CommandLine& options, const char* programPath, std::FILE* out, std::FILE* err) {
    CommandOutput output(out, err, "import", /*logLines=*/true);
    const ImportCommandOptions& import = *options.import;

    Startup startup;
    StartupOutcome outcome = startup.Run(options, programPath ? programPath : "");
    if (!outcome.ok) return output.Fail(outcome.error);

    std::string tableMessage;
    LoadChipTable("TarvexTable.dtb", tableMessage);
    output.Line(tableMessage);

    CDlgImportTarvex::Date date;
    if (!ReadDate(import.date, date)) {
        return output.Fail(fmt::sprintf(Tr("Date %s is invalid (DD/MM/YYYY from 01/01/2000 to 01/01/2038)",
                                           "Date %s invalide (JJ/MM/AAAA du 01/01/2000 au 01/01/2038)"),
                                        import.date));
    }
    const auto boxes = CDlgImportTarvex::BoxIdEntries();
    const auto box = std::find_if(boxes.begin(), boxes.end(),
                                  [&](const std::string& entry) { return CDlgImportTarvex::BoxIdOf(entry) == import.box; });
    if (box == boxes.end()) {
        return output.Fail(fmt::sprintf(Tr("Box id %s is not one of 10 to 31", "L'Id. boîtier %s n'est pas entre 10 et 31"),
                                        import.box));
    }

    CDlgImportTarvex dialog;
    std::vector<std::string> header;
    auto start = dialog.PrepareSearch(date, import.from, import.to, import.file, false, header);
    if (!start.ok) return output.Fail(start.message);
    for (const auto& line : header) output.Line(line);

    DecoderFileSearchResult result = SearchDecoderFile(start.request, nullptr, nullptr);
    if (!result.opened || result.readFailed) {
        for (const auto& line : result.log) output.Line(line);
        return output.Fail(result.error);
    }
    for (const auto& line : result.log) output.Line(line);
    dialog.TakeSearchResult(std::move(result));
    if (dialog.Count() == 0) {
        return output.Fail(Tr("No detection kept: nothing to save", "Aucune détection retenue : rien à sauvegarder"));
    }

    auto save = dialog.PrepareSave(import.save);
    if (!save.ok) return output.Fail(save.message);
    if (!save.question.empty()) {
        // A script asked for this file by name: it is replaced, as the dialog does on yes.
        output.Line(fmt::sprintf(Tr("+++ File %s replaced", "+++ Fichier %s remplacé"), save.path));
    }

    const std::size_t dialogLines = dialog.LogLines().size();
    ImportDialogResult ended = dialog.Finish(CDlgImportTarvex::kSaveCode, *box, import.addHours / 24, save.path);
    const auto outcomeLines = ImportOutcomeLines(ended);
    // The dialog's lines were shown already; the main window's own lines follow.
    for (std::size_t i = dialogLines; i < outcomeLines.size(); ++i) output.Line(outcomeLines[i]);

    std::vector<std::string> lines;
    std::string message;
    const bool saved = SaveImportOutcome(ended, setting::BAbsClock.Read(), nullptr, lines, message);
    for (const auto& line : lines) output.Line(line);
    if (!saved) return output.Fail(message);
    std::fflush(out);
    return 0;
}

}  // namespace lv

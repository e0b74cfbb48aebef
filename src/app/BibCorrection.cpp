#include "app/BibCorrection.h"

#include "base/Texts.h"
#include "core/ChipTable.h"

namespace lv {
namespace {

constexpr int kSecondsPerDay = 24 * 3600;

// The bib a record stands for: a chip code's bib in the table, else the label itself
// when it is a number (a bib translated at recording, typed or imported).
bool RecordBib(const CQoxResult& record, int32_t& bib) {
    int32_t found = -1;
    if (record.lookup != ChipLookup::Found && FindBib(record.label, found) && found > 0) {
        bib = found;
        return true;
    }
    return ReadBibNumber(record.label, bib) && bib > 0;
}

}  // namespace

bool CanCorrectBib(const CQoxResult& record, std::string& reason) {
    if (record.active == 0) {
        reason = Tr("A removed detection cannot be corrected: restore it first.",
                    "Une détection supprimée ne peut être corrigée : restaurez-la d'abord.");
        return false;
    }
    const int32_t seconds = record.ofDay.Seconds();
    if (!record.ofDay.IsSet() || seconds < 0 || seconds / kSecondsPerDay >= ManualInsertion::kCorrectionCount) {
        reason = Tr("This detection's time cannot be entered again by hand.",
                    "L'heure de cette détection ne peut être saisie de nouveau manuellement.");
        return false;
    }
    return true;
}

ManualValidation ValidateBibCorrection(const CQoxResult& record, std::string_view bibText, bool sendNumbers) {
    ManualValidation refused;
    if (!CanCorrectBib(record, refused.warning)) return refused;
    const int32_t seconds = record.ofDay.Seconds();
    const CChrono timeOfDay(seconds % kSecondsPerDay, record.ofDay.Milliseconds());
    // A scratch insertion: the remembered detector of the dialog stays as it is.
    ManualInsertion insertion;
    return insertion.Validate(bibText, timeOfDay.FormatHundredths(), {record.boxName}, 0, seconds / kSecondsPerDay,
                              sendNumbers);
}

std::vector<const CQoxResult*> FindBibDetections(const std::vector<const CQoxResult*>& records,
                                                 std::string_view bibText) {
    std::vector<const CQoxResult*> found;
    const std::size_t first = bibText.find_first_not_of(" \t");
    if (first == std::string_view::npos) return found;
    bibText = bibText.substr(first, bibText.find_last_not_of(" \t") - first + 1);
    int32_t wanted = 0;
    if (!ReadBibNumber(bibText, wanted) || wanted <= 0) return found;
    for (const CQoxResult* record : records) {
        int32_t bib = 0;
        if (record && RecordBib(*record, bib) && bib == wanted) found.push_back(record);
    }
    return found;
}

}  // namespace lv

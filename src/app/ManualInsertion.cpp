#include "app/ManualInsertion.h"

#include <fmt/printf.h>

#include <cctype>
#include <climits>

#include "base/Log.h"
#include "base/Texts.h"
#include "core/ChipTable.h"

namespace lv {
namespace {

std::string_view Trim(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
    return text;
}

// The whole text must be a number: "4r2" is a typing error, not bib 4.
bool ReadWholeInt(std::string_view text, int32_t& value) {
    std::size_t pos = 0;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) negative = text[pos++] == '-';
    if (pos == text.size()) return false;
    long long magnitude = 0;
    for (; pos < text.size(); ++pos) {
        if (!std::isdigit(static_cast<unsigned char>(text[pos]))) return false;
        magnitude = magnitude * 10 + (text[pos] - '0');
        if (magnitude > INT_MAX) return false;
    }
    value = static_cast<int32_t>(negative ? -magnitude : magnitude);
    return true;
}

// The chip code of the first table entry carrying the bib.
bool FindChipOfBib(int32_t bib, std::string& chip) {
    CQoxTableLocker lock;
    if (ChipTableCount() == 0) return false;
    FindChip(bib, chip);
    const std::string bibText = std::to_string(bib);
    if (chip != bibText) return true;
    // FindChip gives the bib's own text when no entry carries it; that text is a
    // real entry only when it is a chip code mapped to this bib.
    int32_t found = -1;
    return FindBib(chip, found) && found == bib;
}

bool ChipTableLoaded() {
    CQoxTableLocker lock;
    return ChipTableCount() > 0;
}

}  // namespace

std::string ManualInsertion::DialogTitle() {
    return Tr("Manual bib number input", "Saisie manuelle de dossard");
}

std::vector<std::string> ManualInsertion::CorrectionChoices() {
    return {Tr("Use today times", "Utiliser le temps tel quel"),
            Tr("Add 24 hours to times", "Ajouter 24h aux temps"),
            Tr("Add 48 hours to times", "Ajouter 48h aux temps"),
            Tr("Add 72 hours to times", "Ajouter 72h aux temps")};
}

std::string ManualInsertion::CorrectionLabel(int correction) {
    if (correction <= 0) return {};
    return fmt::sprintf("+%dh", 24 * correction);
}

bool ManualInsertion::CanInsert(bool sendNumbers, std::string& warning) {
    if (sendNumbers || ChipTableLoaded()) return true;
    warning = Tr("No chip translation table could be loaded.\nYou cannot insert times manually...",
                 "Aucune table de correspondance n'a pu être chargée.\nVous ne pouvez saisir des temps "
                 "manuellement...");
    return false;
}

std::vector<std::string> ManualInsertion::DetectorList(const std::array<ManualBoxSlot, 4>& slots) {
    std::vector<std::string> detectors;
    for (const ManualBoxSlot& slot : slots) {
        if (!slot.detectorId.empty() && !slot.host.empty()) detectors.push_back(slot.detectorId);
    }
    return detectors;
}

int ManualInsertion::CorrectionForToday(const std::array<std::string, 4>& raceDays,
                                        const std::string& todayCompact) {
    for (int k = 0; k < kCorrectionCount; ++k) {
        if (!todayCompact.empty() && raceDays[k] == todayCompact) return k;
    }
    return 0;
}

ManualOpening ManualInsertion::Open(const std::vector<std::string>& detectors,
                                    const std::array<std::string, 4>& raceDays) const {
    ManualOpening opening;
    opening.moment.SetNowAbsolute();
    // At the second, the moment is shown as the detections list shows every time (a
    // started second counts as a full one), so the label and the list never disagree.
    CChrono ofDay = opening.moment;
    ofDay.AbsoluteToOfDay();
    opening.insertTimeLabel = Tr("Insert time: ", "Insertion du temps : ") + ofDay.FormatDayWrap();
    opening.timeText = opening.moment.FormatClockHundredths();
    opening.detectors = detectors;
    if (!detectors.empty()) {
        opening.detectorIndex =
            rememberedDetector_ >= 0 && rememberedDetector_ < static_cast<int>(detectors.size())
                ? rememberedDetector_
                : 0;
    }
    opening.correction = CorrectionForToday(raceDays, opening.moment.FormatDateCompact());
    return opening;
}

ManualValidation ManualInsertion::Validate(std::string_view bibText, std::string_view timeText,
                                           const std::vector<std::string>& detectors,
                                           int detectorIndex, int correction, bool sendNumbers) {
    ManualValidation validation;
    ManualEntry& entry = validation.entry;

    if (!ReadWholeInt(Trim(bibText), entry.bib) || entry.bib <= 0) {
        validation.warning = Tr("Empty or invalid runner bib!", "Dossard vide ou invalide !");
        validation.field = ManualField::Bib;
        validation.clearBib = true;
        return validation;
    }
    if (sendNumbers) {
        entry.label = fmt::sprintf("%d", entry.bib);
    } else if (!FindChipOfBib(entry.bib, entry.label)) {
        validation.warning = Tr("Runner bib not found in chip translation table!",
                                "Dossard non trouvé dans la table de correspondance !");
        validation.field = ManualField::Bib;
        return validation;
    }
    CChrono time;
    if (!time.ParseTime(Trim(timeText))) {
        validation.warning = Tr("Time is empty or invalid!", "Temps invalide !");
        validation.field = ManualField::Time;
        return validation;
    }
    time.OfDayToAbsolute();
    entry.time = time;
    if (detectorIndex < 0 || detectorIndex >= static_cast<int>(detectors.size())) {
        validation.warning = Tr("No Detector Id.!", "Pas de n° de détecteur !");
        validation.field = ManualField::Detector;
        return validation;
    }
    entry.detector = detectors[static_cast<std::size_t>(detectorIndex)];
    rememberedDetector_ = detectorIndex;
    entry.correction = correction >= 0 && correction < kCorrectionCount ? correction : 0;
    validation.ok = true;
    return validation;
}

CChrono ManualInsertion::EntryTimeOfDay(const ManualEntry& entry) {
    CChrono ofDay = entry.time;
    ofDay.AbsoluteToOfDay();
    if (entry.correction > 0) {
        CChrono days;
        days.ParseTime(fmt::sprintf("%d:0:0.0", 24 * entry.correction));
        ofDay = ofDay + days;
    }
    return ofDay;
}

const CQoxResult* ManualInsertion::Record(DetectionRecorder& recorder, const ManualEntry& entry) {
    Detection detection = LabelledDetection(DetectionSource::Manual, entry.detector, entry.label, entry.time);
    detection.dayOffset = entry.correction > 0 ? entry.correction : 0;
    const RecordResult result = recorder.Record(detection);
    if (result.record == nullptr) return nullptr;
    Log(0, fmt::sprintf(Tr("+++ Added manual detecttion for box %s at %s for runner %d",
                           "+++ Ajout manuel d'une détection Id. Boîtier %s à %s pour le coureur %d"),
                        entry.detector, EntryTimeOfDay(entry).FormatHundredths(), entry.bib));
    return result.record;
}

}  // namespace lv

#include "import/ImportedDetections.h"

#include <fmt/printf.h>

#include "base/AtomicFile.h"
#include "base/Texts.h"
#include "core/DetectionJournal.h"

namespace lv {

ImportedTimes ImportedTimesOf(const CDetection& detection, int correction) {
    ImportedTimes times;
    times.instant = detection.dateTime;
    times.ofDay = detection.timeOfDay;
    if (correction > 0) times.ofDay = times.ofDay + CChrono(24 * 3600 * correction, 0);
    return times;
}

CQoxResult ImportedRecord(const CDetection& detection, const std::string& boxId, int correction, bool absoluteMode) {
    const ImportedTimes times = ImportedTimesOf(detection, correction);
    CQoxResult record;
    record.label = detection.code;
    record.boxName = boxId;
    record.timeText = MakeTimeText(times.instant, times.ofDay, absoluteMode);
    record.absoluteTime = absoluteMode ? 1 : 0;
    return record;
}

bool SaveImportedDetections(const std::string& path, const std::vector<CDetection>& detections,
                            const std::string& boxId, int correction, bool absoluteMode, const SaveProgress& progress,
                            std::string& error, std::string& reason) {
    std::string content;
    content.reserve(detections.size() * 40);
    std::size_t number = 0;
    for (const CDetection& detection : detections) {
        content += FormatDetectionLine(++number, ImportedRecord(detection, boxId, correction, absoluteMode));
        if (progress && number % 100 == 0) progress(number);
    }
    if (!ReplaceFileAtomically(path, content, &reason)) {
        error = fmt::sprintf(Tr("Error creating file %s", "Erreur de création du fichier %s"), path);
        return false;
    }
    return true;
}

}  // namespace lv

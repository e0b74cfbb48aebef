#include "export/LinesExport.h"

#include <mutex>
#include <new>
#include <utility>
#include <vector>

#include "base/SettingsSchema.h"
#include "export/ExportFileSet.h"
#include "export/ParallelFor.h"
#include "export/PassingStatistics.h"

namespace lv {

CChrono ReadDetectorHandicap(const std::string& detector) {
    CChrono handicap;
    handicap.ParseTime(setting::LinesHandicap.Read(detector));
    return handicap;
}

namespace {

// What one detector gives: its files' names and contents, made apart from the others.
struct DetectorFiles {
    std::vector<std::pair<std::string, std::string>> files;
    std::string error;
};

}  // namespace

ExportOutcome RunLinesExport(const WorkList& list, const LinesExportRequest& request) {
    std::lock_guard<std::mutex> writing(ExportWritingLock());
    ExportOutcome outcome;
    ExportFileSet files(request.folder, request.genericName, request.zip);
    if (files.Prepare(outcome)) {
        std::vector<CStatLineEntry> rows;
        std::vector<CDetectorResList> detectors;
        std::string error;
        if (!GroupByDetector(list, rows, &detectors, error)) outcome.problems.push_back(error);
        std::vector<CChrono> handicaps;
        for (const CDetectorResList& detector : detectors)
            handicaps.push_back(request.handicapOf ? request.handicapOf(detector.detector)
                                                   : ReadDetectorHandicap(detector.detector));
        // The detectors are numbered and formatted side by side, then written in order.
        std::vector<DetectorFiles> made(detectors.size());
        ParallelFor(detectors.size(), [&](std::size_t i) {
            PassingStatistics statistics;
            std::vector<WorkRefs> passings;
            if (!ComputePassingStatistics(detectors[i].results, request.delta, statistics, made[i].error, &passings))
                return;
            try {
                for (std::size_t n = 1; n <= passings.size(); ++n) {
                    made[i].files.emplace_back(
                        LinesFileName(request.genericName, detectors[i].detector, static_cast<int>(n),
                                      request.displayType),
                        FormatExportLines(passings[n - 1], request.displayType, handicaps[i]));
                }
            } catch (const std::bad_alloc&) {
                made[i].files.clear();
                made[i].error = "Error #8254047\nCan't allocate memory for sorting";
            }
        });
        for (DetectorFiles& detector : made) {
            if (!detector.error.empty()) outcome.problems.push_back(detector.error);
            for (const auto& [name, content] : detector.files) files.Write(name, content, outcome);
        }
        files.Pack(outcome);
    }
    if (request.ftp) QueueExportUploads(outcome, &request.ftpServers);
    return outcome;
}

}  // namespace lv

#include "export/LinesExport.h"

#include <mutex>

#include "base/SettingsSchema.h"
#include "export/ExportFileSet.h"
#include "export/PassingStatistics.h"

namespace lv {

CChrono ReadDetectorHandicap(const std::string& detector) {
    CChrono handicap;
    handicap.ParseTime(setting::LinesHandicap.Read(detector));
    return handicap;
}

ExportOutcome RunLinesExport(const WorkList& list, const LinesExportRequest& request) {
    std::lock_guard<std::mutex> writing(ExportWritingLock());
    ExportOutcome outcome;
    ExportFileSet files(request.folder, request.genericName, request.zip);
    if (files.Prepare(outcome)) {
        std::vector<CStatLineEntry> rows;
        std::vector<CDetectorResList> detectors;
        std::string error;
        if (!GroupByDetector(list, rows, &detectors, error)) outcome.problems.push_back(error);
        for (const CDetectorResList& detector : detectors) {
            PassingStatistics statistics;
            std::vector<WorkRefs> passings;
            if (!ComputePassingStatistics(detector.results, request.delta, statistics, error, &passings)) {
                outcome.problems.push_back(error);
                continue;
            }
            const CChrono handicap = request.handicapOf ? request.handicapOf(detector.detector)
                                                        : ReadDetectorHandicap(detector.detector);
            for (std::size_t n = 1; n <= passings.size(); ++n) {
                files.Write(LinesFileName(request.genericName, detector.detector, static_cast<int>(n),
                                          request.displayType),
                            FormatExportLines(passings[n - 1], request.displayType, handicap), outcome);
            }
        }
        files.Pack(outcome);
    }
    if (request.ftp) QueueExportUploads(outcome, &request.ftpServers);
    return outcome;
}

}  // namespace lv

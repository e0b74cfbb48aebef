#pragma once
// The detection-lines export: per detector, one file per passing number, holding every
// runner's n-th passing at that detector; then the archive and the transfers.
#include <functional>
#include <string>

#include "core/Chrono.h"
#include "export/ExportFiles.h"
#include "export/ExportOutcome.h"
#include "export/WorkList.h"

namespace lv {

struct LinesExportRequest {
    CChrono delta;
    DisplayType displayType = DisplayType::ClockTime;
    std::string folder;
    std::string genericName;
    bool zip = false;
    bool ftp = false;
    std::string ftpServers;  // names separated by backslashes
    // A detector's handicap; unset: read from the settings ("Handicap-" + id).
    std::function<CChrono(const std::string& detector)> handicapOf;
};

// A detector's stored handicap (zero when the text does not read as a time).
CChrono ReadDetectorHandicap(const std::string& detector);

// Writes every file (see above) and, as asked, packs and hands them over. Takes the
// export writing lock for its whole run.
ExportOutcome RunLinesExport(const WorkList& list, const LinesExportRequest& request);

}  // namespace lv

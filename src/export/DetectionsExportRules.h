#pragma once
// The rules of the detections export dialog (CDlgExportDetections): every active
// detection numbered together, one statistics row per passing number, one file per
// selected passing number, one handicap for all, the single FTP server of the FTP
// settings.
#include <optional>
#include <string>
#include <vector>

#include "export/ExportFiles.h"
#include "export/ExportOutcome.h"
#include "export/PassingStatistics.h"
#include "export/RecalageRules.h"
#include "export/WorkList.h"

namespace lv {

struct DetectionsDialogValues {
    std::string delta;
    CChrono handicap;
    std::string folder;
    std::string genericName;
    bool zip = false;
    bool ftp = false;
    DisplayType displayType = DisplayType::ClockTime;
};

// One row's four cells.
struct PassingRowTexts {
    std::string passing;
    std::string runners;
    std::string bestTime;
    std::string bib;
};

class DetectionsExportRules {
public:
    void Open();
    void Open(const DetectionsDialogValues& values, WorkList list);

    DetectionsDialogValues& Values() { return values_; }
    const DetectionsDialogValues& Values() const { return values_; }
    // "%d détections".
    std::string CountText() const;
    // "Transfer to <site>" or "No FTP settings defined!"; `site` from the FTP settings.
    static std::string FtpTooltip(const std::string& site);
    // The site of the installed transfers' single server (empty: none).
    static std::string FtpSite();

    bool Filter(std::string& message);
    const std::vector<CStatEntry>& Rows() const { return statistics_.entries; }
    PassingRowTexts RowTexts(const CStatEntry& row) const;

    // Export of the selected rows (indexes into Rows()), in list order. nullopt with
    // the message when a check fails; `site` is the FTP settings' server address.
    std::optional<ExportOutcome> Export(const std::vector<int>& selectedRows, const std::string& site,
                                        std::string& message);

    RecalageRules Recalage(int row) const;
    void SetHandicap(const CChrono& handicap) { values_.handicap = handicap; }
    void ResetHandicap() { values_.handicap = CChrono(); }

    void Close() const;

private:
    DetectionsDialogValues values_;
    WorkList list_;
    PassingStatistics statistics_;
};

}  // namespace lv

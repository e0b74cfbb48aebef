#pragma once
// The rules of the detection-lines export dialog (CDlgExportDetectionLines): its
// settings, the detector rows, what the selection allows, the checks of "Export now"
// and what closing stores. The Qt dialog is a view over it.
#include <optional>
#include <string>
#include <vector>

#include "export/ExportFiles.h"
#include "export/ExportOutcome.h"
#include "export/PassingStatistics.h"
#include "export/RecalageRules.h"
#include "export/WorkList.h"

namespace lv {

struct LinesDialogValues {
    std::string delta;
    std::string folder;
    std::string genericName;
    bool zip = false;
    bool ftp = false;
    DisplayType displayType = DisplayType::ClockTime;
    bool backgroundExport = false;
    std::string periodText;   // the period edit, minutes
    std::string ftpServers;   // selected server names, backslash separated
};

struct LinesSelectionState {
    std::string handicapText;  // "..." unless exactly one row is selected
    bool realignEnabled = false;
    bool resetEnabled = false;
};

class ExportLinesRules {
public:
    // Reads the settings of both sections and copies the detection table (work list).
    void Open();
    // Opening from given values and a given work list (tests).
    void Open(const LinesDialogValues& values, WorkList list);

    LinesDialogValues& Values() { return values_; }
    const LinesDialogValues& Values() const { return values_; }
    std::size_t WorkCount() const { return list_.size(); }

    // Filter: false with the message when Delta is no time. Rows keep their order.
    bool Filter(std::string& message);
    // A display type chosen: stored, and the rows filtered again.
    bool ChooseDisplayType(DisplayType type, std::string& message);
    const std::vector<CStatLineEntry>& Rows() const { return rows_; }
    int FileCount() const;
    // The row's "best time" cell in the present display type.
    std::string BestTimeText(const CStatLineEntry& row) const;
    // "aucune" or "%d fichier%s de détection%s - <display type>".
    std::string DataToExportLine() const;

    LinesSelectionState Selection(const std::vector<int>& selectedRows) const;
    bool DisplayTypeButtonsEnabled() const { return !rows_.empty(); }
    bool ExportEnabled() const { return !rows_.empty(); }

    // "Transfer to a, b" or " <No FTP server>", and its tooltip (empty when the chosen
    // servers are all in the servers file). Chosen servers the file does not define are
    // named in both.
    std::string FtpTargetLine() const;
    std::string FtpTargetTooltip() const;
    std::vector<std::string> SelectedServers() const;
    void SetSelectedServers(const std::vector<std::string>& names);
    // Checking the FTP option while no server is chosen opens the selection.
    bool FtpSelectionNeeded() const { return values_.ftpServers.empty(); }

    // Export now. Nothing (nullopt, empty message) when there are no rows; nullopt with
    // the message when a check fails; else the outcome.
    std::optional<ExportOutcome> ExportNow(std::string& message);

    // The re-alignment of one row, and its OK: the handicap stored and shown.
    RecalageRules Recalage(int row) const;
    void SetHandicap(int row, const CChrono& handicap);
    void ResetHandicap(int row) { SetHandicap(row, CChrono()); }

    // Closing: every setting of both sections stored.
    void Close() const;

private:
    LinesDialogValues values_;
    WorkList list_;
    std::vector<CStatLineEntry> rows_;
};

}  // namespace lv

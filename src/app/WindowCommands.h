#pragma once
// The main window's commands on what it shows: export, reset and remove/restore of
// detections, and the three clear buttons. UI thread.
#include <vector>

#include "app/BoxSupervisor.h"
#include "app/DetectionFeed.h"
#include "app/DetectionIntake.h"
#include "app/MainView.h"

namespace lv {

class WindowCommands {
public:
    WindowCommands(MainView& view, DetectionIntake& intake, DetectionFeed& feed, BoxSupervisor& boxes)
        : view_(view), intake_(intake), feed_(feed), boxes_(boxes) {}

    void ExportAllDetections();
    // True when the list was reset.
    bool ConfirmResetDetections();
    // A new, empty detection list with its own detection file.
    void ResetDetections();
    // Remove (active = 0) or restore (active = 1) the given records after the question;
    // the state beside the detection file keeps it for a resumed session.
    void RemoveOrRestoreDetections(const std::vector<CQoxResult*>& records, bool remove);
    // The same without the question.
    void SetRemoved(const std::vector<CQoxResult*>& records, bool remove);
    void ClearLogWindow();
    void ClearDetectionsWindow();
    void ClearSummaryWindow();

private:
    MainView& view_;
    DetectionIntake& intake_;
    DetectionFeed& feed_;
    BoxSupervisor& boxes_;
};

}  // namespace lv

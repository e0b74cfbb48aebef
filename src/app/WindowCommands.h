#pragma once
// The main window's commands on what it shows: export, reset and remove/restore of
// detections, and the three clear buttons. UI thread.
#include <vector>

#include "app/BoxSupervisor.h"
#include "app/DetectionIntake.h"
#include "app/MainView.h"

namespace lv {

class WindowCommands {
public:
    WindowCommands(MainView& view, DetectionIntake& intake, BoxSupervisor& boxes)
        : view_(view), intake_(intake), boxes_(boxes) {}

    void ExportAllDetections();
    void ConfirmResetDetections();
    // A new, empty detection list with its own detection file.
    void ResetDetections();
    // Remove (active = 0) or restore (active = 1) the given records after the question.
    void RemoveOrRestoreDetections(const std::vector<CQoxResult*>& records, bool remove);
    void ClearLogWindow();
    void ClearDetectionsWindow();
    void ClearSummaryWindow();

private:
    MainView& view_;
    DetectionIntake& intake_;
    BoxSupervisor& boxes_;
};

}  // namespace lv

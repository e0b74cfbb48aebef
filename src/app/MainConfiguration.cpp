// The main window's side of the configuration dialog.
#include <fmt/printf.h>

#include "app/MainController.h"
#include "base/Texts.h"
#include "core/ChipTable.h"
#include "link/DirectLinkSession.h"

namespace lv {

void MainController::ApplyConfiguration(const ConfigValues& values, const std::array<BoxSlotState, kBoxCount>& boxSlots) {
    // A box in use keeps the declaration its thread works with.
    for (int i = 0; i < kBoxCount; ++i) {
        if (boxSlots[i].locked || boxes_.IsDeclarationLocked(i)) continue;
        const BoxDeclaration& d = boxSlots[i].declaration;
        DeclareBox(i, d.host, d.port, d.detectorId);
    }
    ApplySettingWrites(ConfigurationWrites(values, LoadAdvancedValues(), settings_.LogDetections()));
    SaveBoxDeclarations();
    // The race days are computed again exactly as at start; running boxes take the
    // new settings from their next passing on.
    ReadIntakeSettings();
    // The direct connection uses the new target from its next attempt on.
    if (link_) link_->ApplyTarget(ReadDirectTargetSettings());
}

void MainController::ApplyAdvancedConfiguration(const AdvancedValues& values) {
    StoreAdvancedValues(values);
    ReadIntakeSettings();
}

void MainController::OnConfigurationClosed() {
    RefreshCountersNow();
    UpdateDayOffsetIndicator();
}

void MainController::ReloadChipTable() {
    std::string message;
    bool loaded = LoadChipTable("TarvexTable.dtb", message);
    Log(0, message);
    view_.ShowMessage(message, loaded ? MessageIcon::Information : MessageIcon::Warning);
}

}  // namespace lv

// The main window's side of the configuration dialog and of the box menu.
#include <fmt/printf.h>

#include "app/MainController.h"
#include "base/Texts.h"
#include "boxes/TarvexBox.h"
#include "core/ChipTable.h"
#include "link/DirectLinkSession.h"

namespace lv {

void MainController::ApplyConfiguration(const ConfigValues& values, const std::array<BoxSlotState, kBoxCount>& boxSlots) {
    // A box in use keeps the declaration its thread works with.
    for (int i = 0; i < kBoxCount; ++i) {
        if (boxSlots[i].locked || boxes_[i]->IsInUse() || boxes_[i]->threadRunning.load()) continue;
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

void MainController::SendBoxCommand(int index, const std::string& command) {
    CTarvexBox& box = Box(index);
    std::string error;
    if (!box.SendCommand(command, error)) Log(0, fmt::sprintf("## %s : %s", box.CommandLabel(), error));
}

void MainController::ConfirmDisconnectBox(int index) {
    if (!view_.AskYesNo(Tr("Are you sure you want to disconnect from this box?",
                           "Etes vous certain de vouloir vous déconnecter de ce boîtier ?")))
        return;
    DisconnectBox(index);
    RefreshCountersNow();
}

}  // namespace lv

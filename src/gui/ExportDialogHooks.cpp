#include "gui/ExportDialogHooks.h"

#include "base/Environment.h"
#include "gui/FtpServersDialog.h"

namespace lv {

namespace {

std::optional<std::vector<std::string>> SelectServers(QWidget* parent, const std::vector<std::string>& selected) {
    FtpServersDialog dialog(GetFtpServersFilePath(), selected, parent);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.ChosenLabels();
}

void EditParameters(QWidget* parent) {
    FtpParametersDialog dialog(parent);
    dialog.exec();
}

}  // namespace

ExportDialogHooks& ExportHooks() {
    static ExportDialogHooks hooks{SelectServers, EditParameters};
    return hooks;
}

}  // namespace lv

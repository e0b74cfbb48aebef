#pragma once
// The FTP dialogs the export dialogs open (servers selection, FTP parameters), as
// replaceable calls so that tests can answer them instead of a person.
#include <functional>
#include <optional>
#include <string>
#include <vector>

class QWidget;

namespace lv {

struct ExportDialogHooks {
    // The servers dialog in selection mode, with `selected` preselected; nullopt on Cancel.
    std::function<std::optional<std::vector<std::string>>(QWidget* parent, const std::vector<std::string>& selected)>
        selectFtpServers;
    // The FTP parameters dialog (the detections export's single server).
    std::function<void(QWidget* parent)> editFtpSettings;
};

ExportDialogHooks& ExportHooks();

}  // namespace lv

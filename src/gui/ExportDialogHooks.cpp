#include "gui/ExportDialogHooks.h"

#include <QInputDialog>
#include <QStringList>

#include "gui/MessageBoxes.h"
#include "gui/QtTexts.h"

namespace lv {

namespace {

std::optional<std::vector<std::string>> AskServerNames(QWidget* parent, const std::vector<std::string>& selected) {
    QStringList names;
    for (const std::string& name : selected) names << ToQt(name);
    bool ok = false;
    const QString text = QInputDialog::getText(parent, T("FTP servers", "Serveurs FTP"),
                                               T("Names of the FTP servers, separated by commas:",
                                                 "Noms des serveurs FTP, séparés par des virgules :"),
                                               QLineEdit::Normal, names.join(", "), &ok);
    if (!ok) return std::nullopt;
    std::vector<std::string> chosen;
    for (const QString& name : text.split(',', Qt::SkipEmptyParts)) {
        const QString trimmed = name.trimmed();
        if (!trimmed.isEmpty()) chosen.push_back(FromQt(trimmed));
    }
    return chosen;
}

void NoFtpSettingsDialog(QWidget* parent) {
    ShowMessageBox(parent, T("The FTP parameters are set in the FTP servers list.",
                             "Les paramètres FTP se règlent dans la liste des serveurs FTP."),
                   MessageIcon::Information);
}

}  // namespace

ExportDialogHooks& ExportHooks() {
    static ExportDialogHooks hooks{AskServerNames, NoFtpSettingsDialog};
    return hooks;
}

}  // namespace lv

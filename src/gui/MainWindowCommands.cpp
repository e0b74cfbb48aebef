// The main window's commands: buttons, menus, exit, help, about, bring to front.
#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QFileInfo>
#include <QGuiApplication>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QListView>
#include <QMenu>
#include <QPushButton>
#include <QUrl>

#include <algorithm>

#include <fmt/printf.h>

#include "app/BibCorrection.h"
#include "app/HelpFile.h"
#include "base/Environment.h"
#include "app/MainController.h"
#include "base/Texts.h"
#include "base/Log.h"
#include "gui/BoxFilesDialog.h"
#include "gui/CloudCommands.h"
#include "gui/ConfigDialog.h"
#include "gui/CustomerInfoDialog.h"
#include "gui/DetectionsModel.h"
#include "gui/ExportDetectionsDialog.h"
#include "gui/ExportLinesDialog.h"
#include "gui/FtpServersDialog.h"
#include "gui/ImportDialog.h"
#include "gui/InsertTimeDialog.h"
#include "gui/MainWindow.h"
#include "gui/MessageBoxes.h"
#include "gui/QtTexts.h"
#include "link/DirectLinkSession.h"

#ifdef LUMIVANE_HAVE_NETWORK
#include <QLocalServer>
#include <QLocalSocket>
#endif

namespace lv {

namespace {

bool ControlHeld() { return QGuiApplication::queryKeyboardModifiers().testFlag(Qt::ControlModifier); }
}  // namespace

void MainWindow::OpenConfiguration() {
    if (!controller_ || configurationOpen_ || closing_) return;
    controller_->CancelStartupConfiguration();
    configurationOpen_ = true;
    {
        ConfigDialog dialog(*controller_, this);
        dialog.exec();
    }
    configurationOpen_ = false;
    controller_->OnConfigurationClosed();
}

void MainWindow::OpenManualInsertion() {
    if (!controller_ || !controller_->CanInsertManualTime()) return;
    InsertTimeDialog dialog(*controller_, controller_->OpenManualInsertion(), this);
    if (dialog.exec() == QDialog::Accepted) controller_->RecordManualEntry(dialog.Entry());
}

void MainWindow::OpenExportDetectionLines() {
    CDlgExportDetectionLines dialog(this);
    dialog.exec();
}

void MainWindow::OpenExportDetections() {
    CDlgExportDetections dialog(this);
    dialog.exec();
}

void MainWindow::OpenImport() {
    if (!controller_ || closing_ || controller_->ImportBusy()) return;
    ImportSourceHooks hooks = importHooks_;
    // The source menu's explorer (on the declared boxes, or on the customer's cloud
    // devices) and credentials, over the import dialog.
    if (!hooks.exploreFiles) {
        hooks.exploreFiles = [this](QWidget* parent, bool cloud, std::string& logLine) -> std::string {
            std::string path;
            if (cloud) {
                path = RunCustomerDetectionsExplorer(parent, logLine);
                if (!logLine.empty()) Log(0, logLine);
            } else {
                path = RunBoxFilesDialog(parent, controller_->BoxFilesSourceFor(0));
            }
            if (!path.empty()) Log(0, "+ " + path);
            return path;
        };
    }
    if (!hooks.editCredentials) hooks.editCredentials = [](QWidget* parent) { EditCustomerInfo(parent); };
    ImportDialog dialog(hooks, this);
    if (dialog.exec() != QDialog::Accepted) return;
    controller_->HandleImportResult(dialog.TakeResult());
}

void MainWindow::OpenHelp() {
    const QString path = ToQt(FindHelpFile(GetProgramFolder()));
    if (path.isEmpty()) {
        ShowMessageBox(this,
                       T("Help file not found\n  ", "Fichier d'aide non trouvé\n  ") +
                           ToQt(HelpFileCandidates(GetProgramFolder()).front()),
                       MessageIcon::Warning);
        return;
    }
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path))) {
        ShowMessageBox(this, T("Cannot open the help file\n  ", "Impossible d'ouvrir le fichier d'aide\n  ") + path,
                       MessageIcon::Warning);
    }
}

void MainWindow::ShowAbout() {
    ShowMessageBox(this,
                   QString("Lumivane\n%1\n\n%2")
                       .arg(VersionText(), T("Acquisition module", "Module d'acquisition")),
                   MessageIcon::Information);
}

bool MainWindow::RequestExit() {
    if (!closing_) {
        if (controller_ && !controller_->Exit(ControlHeld())) return false;
        closing_ = true;
    }
    close();
    return true;
}

void MainWindow::ExitWithoutQuestion() {
    if (!closing_) {
        if (controller_) controller_->Exit(true);
        closing_ = true;
    }
    close();
}

void MainWindow::SwitchDirectConnection(bool on) {
    direct_->setChecked(on);
    OnDirectClicked(on);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (!closing_) {
        if (controller_ && !controller_->Exit(ControlHeld())) {
            event->ignore();
            return;
        }
        closing_ = true;
    }
    event->accept();
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Find)) {
        FindBibInDetections();
        event->accept();
        return;
    }
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            // Enter does nothing in this window.
            event->accept();
            return;
        case Qt::Key_Escape:
            // Escape never leads to the exit: a stray Escape then Enter must not end
            // the acquisition.
            event->accept();
            return;
        default: QWidget::keyPressEvent(event);
    }
}

void MainWindow::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    QAction* exportAll = menu.addAction(T("Detection lines export...", "Export global des détections..."));
    QAction* exportDetections = menu.addAction(T("Detections export...", "Export des détections..."));
    QAction* ftpServers = menu.addAction(T("FTP servers...", "Serveurs FTP..."));
    menu.addSeparator();
    // The cloud explorer straight from the window too (the import dialog offers it as a source).
    QAction* cloud = menu.addAction(T("Get Tarvex customer detections",
                                      "Récupération des détections Tarvex sur compte client"));
    QAction* credentials = menu.addAction(T("Set Tarvex customer account credentials...",
                                            "Informations compte client Tarvex..."));
    menu.addSeparator();
    QAction* about = menu.addAction(T("About Lumivane...", "À propos de Lumivane..."));
    QAction* chosen = menu.exec(event->globalPos());
    if (chosen == about) ShowAbout();
    if (chosen == cloud) {
        std::string logLine;
        const std::string path = RunCustomerDetectionsExplorer(this, logLine);
        if (!logLine.empty()) Log(0, logLine);
        if (!path.empty()) Log(0, "+ " + path);
    }
    if (chosen == credentials) EditCustomerInfo(this);
    if (chosen == exportAll) OpenExportDetectionLines();
    if (chosen == exportDetections) OpenExportDetections();
    if (chosen == ftpServers) {
        FtpServersDialog dialog(GetFtpServersFilePath(), {}, this);
        dialog.exec();
    }
}

void MainWindow::OnConnectClicked(bool pressed) {
    if (!controller_) return;
    controller_->OnConnectButton(pressed);
    // Not every outcome refreshes the window (no box declared): the button follows the
    // boxes, and stays down while they connect.
    connect_->setChecked(controller_->AnyBoxInUse() || controller_->IsBusy());
}

void MainWindow::OnDirectClicked(bool on) {
    if (!controller_) return;
    controller_->SwitchLink(on);
    SyncDirectToggle();
}

void MainWindow::ShowDetectionsMenu(const QPoint& globalPos) {
    if (!controller_) return;
    QModelIndexList selected = detectionsView_->selectionModel()->selectedRows();
    if (selected.isEmpty()) return;
    std::sort(selected.begin(), selected.end(), [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    std::vector<CQoxResult*> records;
    bool anyActive = false;
    bool anyRemoved = false;
    for (const QModelIndex& index : selected) {
        CQoxResult* record = detections_->Record(index.row());
        if (!record) return;
        records.push_back(record);
        (record->active ? anyActive : anyRemoved) = true;
    }
    QMenu menu(this);
    QAction* remove = menu.addAction(T("Remove selected detections", "Supprimer les détections sélectionnées"));
    remove->setEnabled(anyActive);
    QAction* restore = menu.addAction(T("Restore selected detections", "Restaurer les détections sélectionnées"));
    restore->setEnabled(anyRemoved);
    menu.addSeparator();
    QAction* correct = menu.addAction(T("Correct the bib...", "Corriger le dossard..."));
    correct->setEnabled(records.size() == 1 && records[0]->active);
    QAction* find = menu.addAction(T("Find a bib...", "Rechercher un dossard..."));
    find->setShortcut(QKeySequence::Find);
    menu.addSeparator();
    menu.addAction(T("Cancel", "Annuler"));
    QAction* chosen = menu.exec(globalPos);
    if (chosen == remove) controller_->RemoveOrRestoreDetections(records, true);
    if (chosen == restore) controller_->RemoveOrRestoreDetections(records, false);
    if (chosen == correct) CorrectBibOf(*records[0]);
    if (chosen == find) FindBibInDetections();
}

void MainWindow::CorrectBibOf(CQoxResult& record) {
    const std::optional<QString> bib =
        AskTextBox(this, ToQt(fmt::sprintf(Tr("Detection %s of runner %s: the right bib",
                                              "Détection %s du dossard %s : le bon dossard"),
                                           record.timeText, record.label)));
    if (!bib) return;
    const ManualValidation outcome = controller_->CorrectBib(record, FromQt(*bib));
    if (!outcome.ok) ShowMessageBox(this, ToQt(outcome.warning), MessageIcon::Warning);
}

void MainWindow::FindBibInDetections() {
    if (!controller_) return;
    const std::optional<QString> bib = AskTextBox(this, T("Bib to find:", "Dossard à rechercher :"));
    if (!bib) return;
    std::vector<const CQoxResult*> records;
    for (int row = 0; row < detections_->rowCount(); ++row) records.push_back(detections_->Record(row));
    const std::vector<const CQoxResult*> found = FindBibDetections(records, FromQt(*bib));
    if (found.empty()) {
        ShowMessageBox(this, T("No detection of runner ", "Aucune détection du dossard ") + bib->trimmed(),
                       MessageIcon::Information);
        return;
    }
    // Every detection of the runner selected, the latest in view.
    QItemSelection selection;
    int last = -1;
    for (int row = 0; row < detections_->rowCount(); ++row) {
        if (std::find(found.begin(), found.end(), detections_->Record(row)) == found.end()) continue;
        selection.select(detections_->index(row, 0), detections_->index(row, 0));
        last = row;
    }
    detectionsView_->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    if (last >= 0) detectionsView_->scrollTo(detections_->index(last, 0));
}

void MainWindow::ShowBoxMenu(int box, const QPoint& globalPos) {
    if (!controller_ || box < 0 || box >= 4) return;
    const BoxStatus target = controller_->BoxStatusOf(box);
    // A box being connected or set in the background takes no command meanwhile.
    const bool inUse = target.inUse && !target.busy;
    QMenu menu(this);
    QAction* connectAction = menu.addAction(T("Connect", "Connexion"));
    connectAction->setEnabled(!target.inUse && !target.busy && target.configured);
    connect(connectAction, &QAction::triggered, this, [this, box] { controller_->ConnectBox(box); });
    QAction* disconnectAction = menu.addAction(T("Disconnect", "Déconnexion"));
    disconnectAction->setEnabled(inUse);
    connect(disconnectAction, &QAction::triggered, this, [this, box] { controller_->ConfirmDisconnectBox(box); });
    menu.addSeparator();
    if (!target.serial) {
        for (const char* command :
             {"STARTOPERATION", "STOPOPERATION", "SETPUSHPASSINGS;1;0", "SETPUSHPASSINGS;1;1", "SETPUSHPASSINGS;0;0"}) {
            QAction* action = menu.addAction(QString("Tarvex:%1").arg(command));
            action->setEnabled(inUse);
            const std::string text = command;
            connect(action, &QAction::triggered, this, [this, box, text] { controller_->SendBoxCommand(box, text); });
        }
        QAction* explore = menu.addAction(T("Explore box content", "Explorer le contenu du boîtier"));
        explore->setEnabled(inUse);
        connect(explore, &QAction::triggered, this, [this, box] {
            const std::string path = RunBoxFilesDialog(this, controller_->BoxFilesSourceFor(box));
            if (!path.empty()) Log(0, "+ " + path);
        });
    } else {
        QAction* periodic =
            menu.addAction(T("USBbox:Request Passings Periodically", "USBbox:Demande périodique des détections"));
        periodic->setCheckable(true);
        periodic->setChecked(target.periodicPassingRequest);
        periodic->setEnabled(inUse);
        connect(periodic, &QAction::triggered, this, [this, box] { controller_->ToggleUsbPeriodicReading(box); });
        const std::pair<const char*, UsbMenuCommand> commands[] = {
            {"USBbox:TIMESTAMPGET", UsbMenuCommand::TimestampGet},
            {"USBbox:EPOCHREFGET", UsbMenuCommand::EpochRefGet},
            {"USBbox:PASSINGGET", UsbMenuCommand::PassingGet},
            {"USBbox:PASSINGINFOGET", UsbMenuCommand::PassingInfoGet},
        };
        for (const auto& [text, command] : commands) {
            QAction* action = menu.addAction(text);
            action->setEnabled(inUse);
            const UsbMenuCommand chosen = command;
            connect(action, &QAction::triggered, this, [this, box, chosen] { controller_->RunUsbCommand(box, chosen); });
        }
        // What changes the box itself, out of the way of a hurried click; each asks first.
        QMenu* maintenance = menu.addMenu(T("USBbox: maintenance", "USBbox : maintenance"));
        maintenance->setObjectName("usbMaintenanceMenu");
        QAction* resetIndex =
            maintenance->addAction(T("USBbox:Reset Passings Index", "USBbox:Remise à 0 de l'index des détections"));
        connect(resetIndex, &QAction::triggered, this, [this, box] { controller_->ResetUsbPassingIndex(box); });
        const std::pair<const char*, UsbMenuCommand> maintenanceCommands[] = {
            {"USBbox:RESET", UsbMenuCommand::Reset},
            {"USBbox:EPOCHREFSET", UsbMenuCommand::EpochRefSet},
            {"USBbox:EPOCHREFADJ1D", UsbMenuCommand::EpochRefAdjust1D},
        };
        for (const auto& [text, command] : maintenanceCommands) {
            const UsbMenuCommand chosen = command;
            connect(maintenance->addAction(text), &QAction::triggered, this,
                    [this, box, chosen] { controller_->RunUsbCommand(box, chosen); });
        }
        maintenance->setEnabled(inUse);
        QMenu* info = menu.addMenu("USBbox:INFOGET");
        const std::pair<const char*, UsbMenuCommand> items[] = {
            {"Decoder ID", UsbMenuCommand::InfoDecoderId},
            {"Firmware Version", UsbMenuCommand::InfoFirmware},
            {"Hardware Version", UsbMenuCommand::InfoHardware},
            {"Box Type", UsbMenuCommand::InfoBoxType},
        };
        for (const auto& [text, command] : items) {
            const UsbMenuCommand chosen = command;
            connect(info->addAction(text), &QAction::triggered, this,
                    [this, box, chosen] { controller_->RunUsbCommand(box, chosen); });
        }
        info->setEnabled(inUse);
    }
    menu.exec(globalPos);
}

void MainWindow::StartPopFrontServer() {
#ifdef LUMIVANE_HAVE_NETWORK
    popFront_ = new QLocalServer(this);
    popFront_->setSocketOptions(QLocalServer::UserAccessOption);
    // Per data folder, like the single-instance guard.
    const QString name = ToQt(JoinPath(GetDataFolder(), kPopFrontServerName));
    if (!popFront_->listen(name)) {
        // A socket left by a program that ended without removing it.
        QLocalServer::removeServer(name);
        if (!popFront_->listen(name)) return;
    }
    connect(popFront_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = popFront_->nextPendingConnection()) {
            socket->disconnectFromServer();
            socket->deleteLater();
            BringToFront();
        }
    });
#endif
}

}  // namespace lv

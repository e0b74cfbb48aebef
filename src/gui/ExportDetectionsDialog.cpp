#include "gui/ExportDetectionsDialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "export/ExportTexts.h"
#include "gui/ExportDialogHooks.h"
#include "gui/ExportDialogParts.h"
#include "gui/MessageBoxes.h"
#include "gui/QtTexts.h"
#include "gui/RecalageDialog.h"

namespace lv {

CDlgExportDetections::CDlgExportDetections(QWidget* parent) : QDialog(parent) {
    setObjectName("exportDetectionsDialog");
    setWindowTitle(T("Detections export", "Export des détections"));
    rules_.Open();
    BuildControls();
    ShowHandicap();
    ShowFtpTooltip();
}

void CDlgExportDetections::BuildControls() {
    const DetectionsDialogValues& values = rules_.Values();
    auto* layout = new QVBoxLayout(this);
    count_ = new QLabel(ToQt(rules_.CountText()), this);
    count_->setObjectName("count");
    layout->addWidget(count_);

    const DeltaFilterRow filterRow = AddDeltaFilterRow(this, layout, "Delta :", values.delta);
    delta_ = filterRow.delta;
    list_ = AddRowList(this, layout, "passings",
                       {"#", T("Runners", "Coureurs"), T("Best time", "Meill. Temps"), T("Bib", "Dossard")});
    AddDisplayTypeButtons(this, layout, values.displayType, types_, [this](DisplayType kind) {
        rules_.Values().displayType = kind;
        FillRows();
    });
    handicapRow_ = AddHandicapRow(this, layout);

    auto* grid = new QGridLayout;
    destination_ = AddDestinationFields(this, grid, 0, values.folder, values.genericName, values.zip, values.ftp);
    auto* settings = new QPushButton(T("FTP...", "FTP..."), this);
    settings->setObjectName("ftpSettings");
    settings->setToolTip(T("FTP transfer settings", "Paramétrage serveur FTP"));
    grid->addWidget(settings, 2, 2);
    layout->addLayout(grid);

    auto* exportButton = AddExportAndCloseButtons(this, layout, T("Export", "Exporter"), "export");

    connect(filterRow.filter, &QPushButton::clicked, this, &CDlgExportDetections::Filter);
    connect(exportButton, &QPushButton::clicked, this, &CDlgExportDetections::Export);
    connect(handicapRow_.realign, &QPushButton::clicked, this, &CDlgExportDetections::OpenRealignment);
    connect(list_, &QTreeWidget::itemDoubleClicked, this, [this] { OpenRealignment(); });
    connect(list_, &QTreeWidget::itemSelectionChanged, this,
            [this] { handicapRow_.realign->setEnabled(SelectedRows(list_).size() == 1); });
    connect(handicapRow_.reset, &QPushButton::clicked, this, [this] {
        if (!AskYesNoBox(this, QString::fromUtf8(ResetHandicapQuestion()))) return;
        rules_.ResetHandicap();
        ShowHandicap();
        FillRows();
    });
    connect(settings, &QPushButton::clicked, this, &CDlgExportDetections::EditFtpSettings);
    connect(destination_.ftp, &QCheckBox::toggled, this, [this](bool on) {
        if (on && DetectionsExportRules::FtpSite().empty()) EditFtpSettings();
    });
    handicapRow_.realign->setEnabled(false);
}

void CDlgExportDetections::ReadControls() {
    DetectionsDialogValues& values = rules_.Values();
    values.delta = FromQt(delta_->text());
    values.folder = FromQt(destination_.folder->text());
    values.genericName = FromQt(destination_.genericName->text());
    values.zip = destination_.zip->isChecked();
    values.ftp = destination_.ftp->isChecked();
}

void CDlgExportDetections::FillRows() {
    const std::vector<int> selected = SelectedRows(list_);
    list_->clear();
    for (const CStatEntry& row : rules_.Rows()) {
        const PassingRowTexts texts = rules_.RowTexts(row);
        auto* item = new QTreeWidgetItem(list_);
        item->setText(0, ToQt(texts.passing));
        item->setText(1, ToQt(texts.runners));
        item->setText(2, ToQt(texts.bestTime));
        item->setText(3, ToQt(texts.bib));
    }
    for (int row : selected)
        if (QTreeWidgetItem* item = list_->topLevelItem(row)) item->setSelected(true);
}

void CDlgExportDetections::ShowHandicap() {
    handicapRow_.handicap->setText(ToQt(rules_.Values().handicap.FormatHundredths()));
}

void CDlgExportDetections::ShowFtpTooltip() {
    destination_.ftp->setToolTip(ToQt(DetectionsExportRules::FtpTooltip(DetectionsExportRules::FtpSite())));
}

void CDlgExportDetections::EditFtpSettings() {
    if (ExportHooks().editFtpSettings) ExportHooks().editFtpSettings(this);
    ShowFtpTooltip();
}

void CDlgExportDetections::Filter() {
    ReadControls();
    std::string message;
    if (!rules_.Filter(message)) {
        ShowMessageBox(this, ToQt(message), MessageIcon::Warning);
        return;
    }
    FillRows();
}

void CDlgExportDetections::OpenRealignment() {
    const std::vector<int> selected = SelectedRows(list_);
    if (selected.size() != 1) return;
    CDlgRecalage dialog(rules_.Recalage(selected.front()), this);
    if (dialog.exec() != QDialog::Accepted) return;
    rules_.SetHandicap(dialog.Handicap());
    ShowHandicap();
    FillRows();
}

void CDlgExportDetections::Export() {
    ReadControls();
    std::string message;
    const auto outcome = rules_.Export(SelectedRows(list_), DetectionsExportRules::FtpSite(), message);
    destination_.folder->setText(ToQt(rules_.Values().folder));
    destination_.genericName->setText(ToQt(rules_.Values().genericName));
    ShowExportOutcome(this, outcome, message);
}

void CDlgExportDetections::done(int result) {
    ReadControls();
    rules_.Close();
    QDialog::done(result);
}

}  // namespace lv

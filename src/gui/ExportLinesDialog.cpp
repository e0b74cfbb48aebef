#include "gui/ExportLinesDialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <cstdlib>

#include "base/SettingsSchema.h"
#include "export/ExportTexts.h"
#include "gui/ExportDialogHooks.h"
#include "gui/ExportDialogParts.h"
#include "gui/MessageBoxes.h"
#include "gui/QtTexts.h"
#include "gui/RecalageDialog.h"

namespace lv {

CDlgExportDetectionLines::CDlgExportDetectionLines(QWidget* parent) : QDialog(parent) {
    setObjectName("exportDetectionLinesDialog");
    setWindowTitle(T("Export of the detection lines", "Export global des détections"));
    rules_.Open();
    BuildControls();
    ShowFtpTarget();
    UpdateSelection();
}

void CDlgExportDetectionLines::BuildControls() {
    const LinesDialogValues& values = rules_.Values();
    auto* layout = new QVBoxLayout(this);

    const DeltaFilterRow filterRow = AddDeltaFilterRow(
        this, layout,
        T("Minimum time between two detections (Delta):", "Temps minimum entre deux détections (Delta) :"),
        values.delta);
    delta_ = filterRow.delta;
    list_ = AddRowList(this, layout, "detectors",
                       {T("Det.", "Dét."), "MaxPass", T("Count", "Nb"), T("Best time", "Meill. Temps"),
                        T("Bib", "Dossard"), "Handicap"});
    const int widths[] = {3, 4, 4, 8, 5, 8};
    for (int column = 0; column < 6; ++column) list_->setColumnWidth(column, widths[column] * 16);
    AddDisplayTypeButtons(this, layout, values.displayType, types_,
                          [this](DisplayType kind) { ChooseDisplayType(kind); });
    handicapRow_ = AddHandicapRow(this, layout);

    auto* target = new QGroupBox(T("Destination", "Destination"), this);
    auto* grid = new QGridLayout(target);
    grid->addWidget(new QLabel(T("Data to export:", "Données à exporter :"), target), 0, 0);
    dataToExport_ = new QLabel(target);
    dataToExport_->setObjectName("dataToExport");
    grid->addWidget(dataToExport_, 0, 1, 1, 2);
    destination_ = AddDestinationFields(target, grid, 1, values.folder, values.genericName, values.zip, values.ftp);
    auto* servers = new QPushButton(T("FTP servers...", "Serveurs FTP..."), target);
    servers->setObjectName("ftpServers");
    grid->addWidget(servers, 3, 2);
    ftpTarget_ = new QLabel(target);
    ftpTarget_->setObjectName("ftpTarget");
    grid->addWidget(ftpTarget_, 4, 0, 1, 3);
    background_ = new QCheckBox(T("Background export every (minutes):", "Export en arrière-plan toutes les (minutes) :"),
                                target);
    background_->setObjectName("backgroundExport");
    background_->setChecked(values.backgroundExport);
    grid->addWidget(background_, 5, 0, 1, 2);
    period_ = new QSpinBox(target);
    period_->setObjectName("period");
    period_->setRange(1, setting::kMaxExportPeriodMinutes);
    period_->setValue(setting::BackgroundExportPeriod.Mended(std::atoi(values.periodText.c_str())));
    grid->addWidget(period_, 5, 2);
    layout->addWidget(target);

    export_ = AddExportAndCloseButtons(this, layout, T("Export now", "Exporter maintenant"), "exportNow");

    connect(filterRow.filter, &QPushButton::clicked, this, &CDlgExportDetectionLines::Filter);
    connect(list_, &QTreeWidget::itemSelectionChanged, this, &CDlgExportDetectionLines::UpdateSelection);
    connect(list_, &QTreeWidget::itemDoubleClicked, this, [this] { OpenRealignment(); });
    connect(handicapRow_.realign, &QPushButton::clicked, this, &CDlgExportDetectionLines::OpenRealignment);
    connect(handicapRow_.reset, &QPushButton::clicked, this, &CDlgExportDetectionLines::ResetHandicap);
    connect(export_, &QPushButton::clicked, this, &CDlgExportDetectionLines::ExportNow);
    connect(servers, &QPushButton::clicked, this, &CDlgExportDetectionLines::SelectFtpServers);
    connect(destination_.ftp, &QCheckBox::toggled, this, [this](bool on) {
        if (on && rules_.FtpSelectionNeeded()) SelectFtpServers();
    });
    FillRows({});
}

void CDlgExportDetectionLines::ReadControls() {
    LinesDialogValues& values = rules_.Values();
    values.delta = FromQt(delta_->text());
    values.folder = FromQt(destination_.folder->text());
    values.genericName = FromQt(destination_.genericName->text());
    values.zip = destination_.zip->isChecked();
    values.ftp = destination_.ftp->isChecked();
    values.backgroundExport = background_->isChecked();
    values.periodText = FromQt(period_->text());
}

void CDlgExportDetectionLines::FillRows(const std::vector<int>& keepSelected) {
    list_->clear();
    for (const CStatLineEntry& row : rules_.Rows()) {
        auto* item = new QTreeWidgetItem(list_);
        item->setText(0, ToQt(row.detector));
        item->setText(1, QString::number(row.maxPass));
        item->setText(2, QString::number(row.count));
        item->setText(3, ToQt(rules_.BestTimeText(row)));
        item->setText(4, ToQt(row.bib));
        item->setText(5, ToQt(row.handicap.FormatHundredths()));
    }
    for (int row : keepSelected)
        if (QTreeWidgetItem* item = list_->topLevelItem(row)) item->setSelected(true);
    for (QRadioButton* type : types_) type->setEnabled(rules_.DisplayTypeButtonsEnabled());
    export_->setEnabled(rules_.ExportEnabled());
    dataToExport_->setText(ToQt(rules_.DataToExportLine()));
    UpdateSelection();
}

void CDlgExportDetectionLines::Filter() {
    ReadControls();
    std::string message;
    if (!rules_.Filter(message)) {
        ShowMessageBox(this, ToQt(message), MessageIcon::Warning);
        return;
    }
    FillRows({});
}

void CDlgExportDetectionLines::ChooseDisplayType(DisplayType type) {
    ReadControls();
    const std::vector<int> selected = SelectedRows(list_);
    std::string message;
    if (!rules_.ChooseDisplayType(type, message)) {
        ShowMessageBox(this, ToQt(message), MessageIcon::Warning);
        return;
    }
    FillRows(selected);
}

void CDlgExportDetectionLines::UpdateSelection() {
    const LinesSelectionState state = rules_.Selection(SelectedRows(list_));
    handicapRow_.handicap->setText(ToQt(state.handicapText));
    handicapRow_.realign->setEnabled(state.realignEnabled);
    handicapRow_.reset->setEnabled(state.resetEnabled);
}

void CDlgExportDetectionLines::OpenRealignment() {
    const std::vector<int> selected = SelectedRows(list_);
    if (selected.size() != 1) return;
    CDlgRecalage dialog(rules_.Recalage(selected.front()), this);
    if (dialog.exec() != QDialog::Accepted) return;
    rules_.SetHandicap(selected.front(), dialog.Handicap());
    FillRows(selected);
}

void CDlgExportDetectionLines::ResetHandicap() {
    const std::vector<int> selected = SelectedRows(list_);
    if (selected.size() != 1) return;
    if (!AskYesNoBox(this, QString::fromUtf8(ResetHandicapQuestion()))) return;
    rules_.ResetHandicap(selected.front());
    FillRows(selected);
}

void CDlgExportDetectionLines::ExportNow() {
    ReadControls();
    std::string message;
    const std::optional<ExportOutcome> outcome = rules_.ExportNow(message);
    destination_.folder->setText(ToQt(rules_.Values().folder));
    destination_.genericName->setText(ToQt(rules_.Values().genericName));
    ShowExportOutcome(this, outcome, message);
}

void CDlgExportDetectionLines::SelectFtpServers() {
    if (!ExportHooks().selectFtpServers) return;
    const auto chosen = ExportHooks().selectFtpServers(this, rules_.SelectedServers());
    if (chosen) rules_.SetSelectedServers(*chosen);
    ShowFtpTarget();
}

void CDlgExportDetectionLines::ShowFtpTarget() {
    ftpTarget_->setText(ToQt(rules_.FtpTargetLine()));
    ftpTarget_->setToolTip(ToQt(rules_.FtpTargetTooltip()));
}

void CDlgExportDetectionLines::done(int result) {
    ReadControls();
    rules_.Close();
    QDialog::done(result);
}

}  // namespace lv

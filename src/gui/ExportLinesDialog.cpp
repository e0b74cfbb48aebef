#include "gui/ExportLinesDialog.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "base/SettingsSchema.h"
#include "export/ExportTexts.h"
#include "gui/ExportDialogHooks.h"
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

    auto* filterRow = new QHBoxLayout;
    filterRow->addWidget(new QLabel(T("Minimum time between two detections (Delta):",
                                      "Temps minimum entre deux détections (Delta) :"), this));
    delta_ = new QLineEdit(ToQt(values.delta), this);
    delta_->setObjectName("delta");
    filterRow->addWidget(delta_);
    auto* filter = new QPushButton(T("Filter", "Filtrer"), this);
    filter->setObjectName("filter");
    filterRow->addWidget(filter);
    layout->addLayout(filterRow);

    list_ = new QTreeWidget(this);
    list_->setObjectName("detectors");
    list_->setRootIsDecorated(false);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setHeaderLabels({T("Det.", "Dét."), "MaxPass", T("Count", "Nb"), T("Best time", "Meill. Temps"),
                            T("Bib", "Dossard"), "Handicap"});
    const int widths[] = {3, 4, 4, 8, 5, 8};
    for (int column = 0; column < 6; ++column) list_->setColumnWidth(column, widths[column] * 16);
    layout->addWidget(list_, 1);

    auto* types = new QHBoxLayout;
    const DisplayType kinds[] = {DisplayType::ClockTime, DisplayType::PassingTime, DisplayType::Logica};
    const char* names[] = {"clockTime", "passingTime", "logica"};
    for (int i = 0; i < 3; ++i) {
        types_[i] = new QRadioButton(QString::fromUtf8(DisplayTypeName(kinds[i])), this);
        types_[i]->setObjectName(names[i]);
        types_[i]->setChecked(values.displayType == kinds[i]);
        types->addWidget(types_[i]);
        connect(types_[i], &QRadioButton::clicked, this, [this, kind = kinds[i]] { ChooseDisplayType(kind); });
    }
    layout->addLayout(types);

    auto* handicapRow = new QHBoxLayout;
    handicapRow->addWidget(new QLabel("Handicap :", this));
    handicap_ = new QLabel("...", this);
    handicap_->setObjectName("handicap");
    handicapRow->addWidget(handicap_);
    realign_ = new QPushButton(T("Re-align...", "Recaler..."), this);
    realign_->setObjectName("realign");
    handicapRow->addWidget(realign_);
    reset_ = new QPushButton(this);
    reset_->setObjectName("resetHandicap");
    reset_->setIcon(style()->standardIcon(QStyle::SP_DialogResetButton));
    reset_->setToolTip(QString::fromUtf8(ResetHandicapTooltip()));
    handicapRow->addWidget(reset_);
    handicapRow->addStretch(1);
    layout->addLayout(handicapRow);

    auto* target = new QGroupBox(T("Destination", "Destination"), this);
    auto* grid = new QGridLayout(target);
    grid->addWidget(new QLabel(T("Data to export:", "Données à exporter :"), target), 0, 0);
    dataToExport_ = new QLabel(target);
    dataToExport_->setObjectName("dataToExport");
    grid->addWidget(dataToExport_, 0, 1, 1, 2);
    grid->addWidget(new QLabel(T("Folder:", "Répertoire :"), target), 1, 0);
    folder_ = new QLineEdit(ToQt(values.folder), target);
    folder_->setObjectName("folder");
    grid->addWidget(folder_, 1, 1);
    auto* browse = new QPushButton("...", target);
    grid->addWidget(browse, 1, 2);
    grid->addWidget(new QLabel(T("File name:", "Nom de fichier :"), target), 2, 0);
    genericName_ = new QLineEdit(ToQt(values.genericName), target);
    genericName_->setObjectName("genericName");
    grid->addWidget(genericName_, 2, 1);
    zip_ = new QCheckBox(T("ZIP archive", "Archive ZIP"), target);
    zip_->setObjectName("zip");
    zip_->setChecked(values.zip);
    grid->addWidget(zip_, 3, 0);
    ftp_ = new QCheckBox(T("FTP transfer", "Transfert FTP"), target);
    ftp_->setObjectName("ftp");
    ftp_->setChecked(values.ftp);
    grid->addWidget(ftp_, 3, 1);
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

    auto* buttons = new QHBoxLayout;
    export_ = new QPushButton(T("Export now", "Exporter maintenant"), this);
    export_->setObjectName("exportNow");
    auto* close = new QPushButton(T("Close", "Fermer"), this);
    buttons->addStretch(1);
    buttons->addWidget(export_);
    buttons->addWidget(close);
    layout->addLayout(buttons);

    connect(filter, &QPushButton::clicked, this, &CDlgExportDetectionLines::Filter);
    connect(list_, &QTreeWidget::itemSelectionChanged, this, &CDlgExportDetectionLines::UpdateSelection);
    connect(list_, &QTreeWidget::itemDoubleClicked, this, [this] { OpenRealignment(); });
    connect(realign_, &QPushButton::clicked, this, &CDlgExportDetectionLines::OpenRealignment);
    connect(reset_, &QPushButton::clicked, this, &CDlgExportDetectionLines::ResetHandicap);
    connect(export_, &QPushButton::clicked, this, &CDlgExportDetectionLines::ExportNow);
    connect(close, &QPushButton::clicked, this, &CDlgExportDetectionLines::accept);
    connect(servers, &QPushButton::clicked, this, &CDlgExportDetectionLines::SelectFtpServers);
    connect(ftp_, &QCheckBox::toggled, this, [this](bool on) {
        if (on && rules_.FtpSelectionNeeded()) SelectFtpServers();
    });
    connect(browse, &QPushButton::clicked, this, [this] {
        const QString chosen = QFileDialog::getExistingDirectory(this, T("Destination folder", "Répertoire de destination"),
                                                                 folder_->text());
        if (!chosen.isEmpty()) folder_->setText(chosen);
    });
    FillRows({});
}

void CDlgExportDetectionLines::ReadControls() {
    LinesDialogValues& values = rules_.Values();
    values.delta = FromQt(delta_->text());
    values.folder = FromQt(folder_->text());
    values.genericName = FromQt(genericName_->text());
    values.zip = zip_->isChecked();
    values.ftp = ftp_->isChecked();
    values.backgroundExport = background_->isChecked();
    values.periodText = FromQt(period_->text());
}

std::vector<int> CDlgExportDetectionLines::SelectedRows() const {
    std::vector<int> rows;
    for (QTreeWidgetItem* item : list_->selectedItems()) rows.push_back(list_->indexOfTopLevelItem(item));
    std::sort(rows.begin(), rows.end());
    return rows;
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
    const std::vector<int> selected = SelectedRows();
    std::string message;
    if (!rules_.ChooseDisplayType(type, message)) {
        ShowMessageBox(this, ToQt(message), MessageIcon::Warning);
        return;
    }
    FillRows(selected);
}

void CDlgExportDetectionLines::UpdateSelection() {
    const LinesSelectionState state = rules_.Selection(SelectedRows());
    handicap_->setText(ToQt(state.handicapText));
    realign_->setEnabled(state.realignEnabled);
    reset_->setEnabled(state.resetEnabled);
}

void CDlgExportDetectionLines::OpenRealignment() {
    const std::vector<int> selected = SelectedRows();
    if (selected.size() != 1) return;
    CDlgRecalage dialog(rules_.Recalage(selected.front()), this);
    if (dialog.exec() != QDialog::Accepted) return;
    rules_.SetHandicap(selected.front(), dialog.Handicap());
    FillRows(selected);
}

void CDlgExportDetectionLines::ResetHandicap() {
    const std::vector<int> selected = SelectedRows();
    if (selected.size() != 1) return;
    if (!AskYesNoBox(this, QString::fromUtf8(ResetHandicapQuestion()))) return;
    rules_.ResetHandicap(selected.front());
    FillRows(selected);
}

void CDlgExportDetectionLines::ExportNow() {
    ReadControls();
    std::string message;
    const std::optional<ExportOutcome> outcome = rules_.ExportNow(message);
    folder_->setText(ToQt(rules_.Values().folder));
    genericName_->setText(ToQt(rules_.Values().genericName));
    if (!outcome) {
        if (!message.empty()) ShowMessageBox(this, ToQt(message), MessageIcon::Warning);
        return;
    }
    ShowMessageBox(this, ToQt(outcome->CompletionText()), MessageIcon::Information);
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

#include "gui/ExportDetectionsDialog.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "export/ExportTexts.h"
#include "gui/ExportDialogHooks.h"
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

    auto* filterRow = new QHBoxLayout;
    filterRow->addWidget(new QLabel("Delta :", this));
    delta_ = new QLineEdit(ToQt(values.delta), this);
    delta_->setObjectName("delta");
    filterRow->addWidget(delta_);
    auto* filter = new QPushButton(T("Filter", "Filtrer"), this);
    filter->setObjectName("filter");
    filterRow->addWidget(filter);
    layout->addLayout(filterRow);

    list_ = new QTreeWidget(this);
    list_->setObjectName("passings");
    list_->setRootIsDecorated(false);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setHeaderLabels({"#", T("Runners", "Coureurs"), T("Best time", "Meill. Temps"), T("Bib", "Dossard")});
    layout->addWidget(list_, 1);

    auto* types = new QHBoxLayout;
    const DisplayType kinds[] = {DisplayType::ClockTime, DisplayType::PassingTime, DisplayType::Logica};
    for (int i = 0; i < 3; ++i) {
        types_[i] = new QRadioButton(QString::fromUtf8(DisplayTypeName(kinds[i])), this);
        types_[i]->setChecked(values.displayType == kinds[i]);
        types->addWidget(types_[i]);
        connect(types_[i], &QRadioButton::clicked, this, [this, kind = kinds[i]] {
            rules_.Values().displayType = kind;
            FillRows();
        });
    }
    layout->addLayout(types);

    auto* handicapRow = new QHBoxLayout;
    handicapRow->addWidget(new QLabel("Handicap :", this));
    handicap_ = new QLabel(this);
    handicap_->setObjectName("handicap");
    handicapRow->addWidget(handicap_);
    realign_ = new QPushButton(T("Re-align...", "Recaler..."), this);
    handicapRow->addWidget(realign_);
    reset_ = new QPushButton(this);
    reset_->setIcon(style()->standardIcon(QStyle::SP_DialogResetButton));
    reset_->setToolTip(QString::fromUtf8(ResetHandicapTooltip()));
    handicapRow->addWidget(reset_);
    handicapRow->addStretch(1);
    layout->addLayout(handicapRow);

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(T("Folder:", "Répertoire :"), this), 0, 0);
    folder_ = new QLineEdit(ToQt(values.folder), this);
    grid->addWidget(folder_, 0, 1);
    auto* browse = new QPushButton("...", this);
    grid->addWidget(browse, 0, 2);
    grid->addWidget(new QLabel(T("File name:", "Nom de fichier :"), this), 1, 0);
    genericName_ = new QLineEdit(ToQt(values.genericName), this);
    grid->addWidget(genericName_, 1, 1);
    zip_ = new QCheckBox(T("ZIP archive", "Archive ZIP"), this);
    zip_->setChecked(values.zip);
    grid->addWidget(zip_, 2, 0);
    ftp_ = new QCheckBox(T("FTP transfer", "Transfert FTP"), this);
    ftp_->setChecked(values.ftp);
    grid->addWidget(ftp_, 2, 1);
    auto* settings = new QPushButton(T("FTP...", "FTP..."), this);
    settings->setToolTip(T("FTP transfer settings", "Paramétrage serveur FTP"));
    grid->addWidget(settings, 2, 2);
    layout->addLayout(grid);

    auto* buttons = new QHBoxLayout;
    auto* exportButton = new QPushButton(T("Export", "Exporter"), this);
    exportButton->setObjectName("export");
    auto* close = new QPushButton(T("Close", "Fermer"), this);
    buttons->addStretch(1);
    buttons->addWidget(exportButton);
    buttons->addWidget(close);
    layout->addLayout(buttons);

    connect(filter, &QPushButton::clicked, this, &CDlgExportDetections::Filter);
    connect(exportButton, &QPushButton::clicked, this, &CDlgExportDetections::Export);
    connect(close, &QPushButton::clicked, this, &CDlgExportDetections::accept);
    connect(realign_, &QPushButton::clicked, this, &CDlgExportDetections::OpenRealignment);
    connect(list_, &QTreeWidget::itemDoubleClicked, this, [this] { OpenRealignment(); });
    connect(list_, &QTreeWidget::itemSelectionChanged, this, [this] {
        const bool one = SelectedRows().size() == 1;
        realign_->setEnabled(one);
    });
    connect(reset_, &QPushButton::clicked, this, [this] {
        if (!AskYesNoBox(this, QString::fromUtf8(ResetHandicapQuestion()))) return;
        rules_.ResetHandicap();
        ShowHandicap();
        FillRows();
    });
    connect(settings, &QPushButton::clicked, this, &CDlgExportDetections::EditFtpSettings);
    connect(ftp_, &QCheckBox::toggled, this, [this](bool on) {
        if (on && DetectionsExportRules::FtpSite().empty()) EditFtpSettings();
    });
    connect(browse, &QPushButton::clicked, this, [this] {
        const QString chosen = QFileDialog::getExistingDirectory(this, T("Destination folder", "Répertoire de destination"),
                                                                 folder_->text());
        if (!chosen.isEmpty()) folder_->setText(chosen);
    });
    realign_->setEnabled(false);
}

void CDlgExportDetections::ReadControls() {
    DetectionsDialogValues& values = rules_.Values();
    values.delta = FromQt(delta_->text());
    values.folder = FromQt(folder_->text());
    values.genericName = FromQt(genericName_->text());
    values.zip = zip_->isChecked();
    values.ftp = ftp_->isChecked();
}

std::vector<int> CDlgExportDetections::SelectedRows() const {
    std::vector<int> rows;
    for (QTreeWidgetItem* item : list_->selectedItems()) rows.push_back(list_->indexOfTopLevelItem(item));
    std::sort(rows.begin(), rows.end());
    return rows;
}

void CDlgExportDetections::FillRows() {
    const std::vector<int> selected = SelectedRows();
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

void CDlgExportDetections::ShowHandicap() { handicap_->setText(ToQt(rules_.Values().handicap.FormatHundredths())); }

void CDlgExportDetections::ShowFtpTooltip() {
    ftp_->setToolTip(ToQt(DetectionsExportRules::FtpTooltip(DetectionsExportRules::FtpSite())));
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
    const std::vector<int> selected = SelectedRows();
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
    const auto outcome = rules_.Export(SelectedRows(), DetectionsExportRules::FtpSite(), message);
    folder_->setText(ToQt(rules_.Values().folder));
    genericName_->setText(ToQt(rules_.Values().genericName));
    if (!outcome) {
        if (!message.empty()) ShowMessageBox(this, ToQt(message), MessageIcon::Warning);
        return;
    }
    ShowMessageBox(this, ToQt(outcome->CompletionText()), MessageIcon::Information);
}

void CDlgExportDetections::done(int result) {
    ReadControls();
    rules_.Close();
    QDialog::done(result);
}

}  // namespace lv

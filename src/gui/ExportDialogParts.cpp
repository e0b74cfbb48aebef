#include "gui/ExportDialogParts.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QDialog>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTreeWidget>
#include <algorithm>

#include "export/ExportTexts.h"
#include "gui/MessageBoxes.h"
#include "gui/QtTexts.h"

namespace lv {

DeltaFilterRow AddDeltaFilterRow(QWidget* owner, QBoxLayout* layout, const QString& label, const std::string& delta) {
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(label, owner));
    auto* edit = new QLineEdit(ToQt(delta), owner);
    edit->setObjectName("delta");
    row->addWidget(edit);
    auto* filter = new QPushButton(T("Filter", "Filtrer"), owner);
    filter->setObjectName("filter");
    row->addWidget(filter);
    layout->addLayout(row);
    return {edit, filter};
}

QTreeWidget* AddRowList(QWidget* owner, QBoxLayout* layout, const char* name, const QStringList& headers) {
    auto* list = new QTreeWidget(owner);
    list->setObjectName(name);
    list->setRootIsDecorated(false);
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setHeaderLabels(headers);
    layout->addWidget(list, 1);
    return list;
}

void AddDisplayTypeButtons(QWidget* owner, QBoxLayout* layout, DisplayType current, QRadioButton* (&buttons)[3],
                           const std::function<void(DisplayType)>& chosen) {
    auto* row = new QHBoxLayout;
    const DisplayType kinds[] = {DisplayType::ClockTime, DisplayType::PassingTime, DisplayType::Logica};
    const char* names[] = {"clockTime", "passingTime", "logica"};
    for (int i = 0; i < 3; ++i) {
        buttons[i] = new QRadioButton(QString::fromUtf8(DisplayTypeName(kinds[i])), owner);
        buttons[i]->setObjectName(names[i]);
        buttons[i]->setChecked(current == kinds[i]);
        row->addWidget(buttons[i]);
        QObject::connect(buttons[i], &QRadioButton::clicked, owner, [chosen, kind = kinds[i]] { chosen(kind); });
    }
    layout->addLayout(row);
}

HandicapRow AddHandicapRow(QWidget* owner, QBoxLayout* layout) {
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel("Handicap :", owner));
    auto* handicap = new QLabel(owner);
    handicap->setObjectName("handicap");
    row->addWidget(handicap);
    auto* realign = new QPushButton(T("Re-align...", "Recaler..."), owner);
    realign->setObjectName("realign");
    row->addWidget(realign);
    auto* reset = new QPushButton(owner);
    reset->setObjectName("resetHandicap");
    reset->setIcon(owner->style()->standardIcon(QStyle::SP_DialogResetButton));
    reset->setToolTip(QString::fromUtf8(ResetHandicapTooltip()));
    row->addWidget(reset);
    row->addStretch(1);
    layout->addLayout(row);
    return {handicap, realign, reset};
}

DestinationFields AddDestinationFields(QWidget* owner, QGridLayout* grid, int row, const std::string& folder,
                                       const std::string& genericName, bool zip, bool ftp) {
    DestinationFields fields{};
    grid->addWidget(new QLabel(T("Folder:", "Répertoire :"), owner), row, 0);
    fields.folder = new QLineEdit(ToQt(folder), owner);
    fields.folder->setObjectName("folder");
    grid->addWidget(fields.folder, row, 1);
    auto* browse = new QPushButton("...", owner);
    browse->setObjectName("browse");
    grid->addWidget(browse, row, 2);
    grid->addWidget(new QLabel(T("File name:", "Nom de fichier :"), owner), row + 1, 0);
    fields.genericName = new QLineEdit(ToQt(genericName), owner);
    fields.genericName->setObjectName("genericName");
    grid->addWidget(fields.genericName, row + 1, 1);
    fields.zip = new QCheckBox(T("ZIP archive", "Archive ZIP"), owner);
    fields.zip->setObjectName("zip");
    fields.zip->setChecked(zip);
    grid->addWidget(fields.zip, row + 2, 0);
    fields.ftp = new QCheckBox(T("FTP transfer", "Transfert FTP"), owner);
    fields.ftp->setObjectName("ftp");
    fields.ftp->setChecked(ftp);
    grid->addWidget(fields.ftp, row + 2, 1);
    QLineEdit* folderEdit = fields.folder;
    QObject::connect(browse, &QPushButton::clicked, owner, [owner, folderEdit] {
        const QString chosen = QFileDialog::getExistingDirectory(
            owner, T("Destination folder", "Répertoire de destination"), folderEdit->text());
        if (!chosen.isEmpty()) folderEdit->setText(chosen);
    });
    return fields;
}

QPushButton* AddExportAndCloseButtons(QDialog* dialog, QBoxLayout* layout, const QString& exportText,
                                      const char* exportName) {
    auto* row = new QHBoxLayout;
    auto* exportButton = new QPushButton(exportText, dialog);
    exportButton->setObjectName(exportName);
    auto* close = new QPushButton(T("Close", "Fermer"), dialog);
    close->setObjectName("close");
    row->addStretch(1);
    row->addWidget(exportButton);
    row->addWidget(close);
    layout->addLayout(row);
    QObject::connect(close, &QPushButton::clicked, dialog, &QDialog::accept);
    return exportButton;
}

std::vector<int> SelectedRows(const QTreeWidget* list) {
    std::vector<int> rows;
    for (QTreeWidgetItem* item : list->selectedItems()) rows.push_back(list->indexOfTopLevelItem(item));
    std::sort(rows.begin(), rows.end());
    return rows;
}

void ShowExportOutcome(QWidget* parent, const std::optional<ExportOutcome>& outcome, const std::string& message) {
    if (!outcome) {
        if (!message.empty()) ShowMessageBox(parent, ToQt(message), MessageIcon::Warning);
        return;
    }
    ShowMessageBox(parent, ToQt(outcome->CompletionText()), MessageIcon::Information);
}

}  // namespace lv

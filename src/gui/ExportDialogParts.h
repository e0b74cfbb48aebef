#pragma once
// The controls both export dialogs are built from: the Delta filter row, the list of
// rows, the display-type choice, the handicap row, the destination fields and the
// Export/Close buttons, so that the two dialogs look and behave alike.
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "export/ExportFiles.h"
#include "export/ExportOutcome.h"

class QBoxLayout;
class QCheckBox;
class QDialog;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTreeWidget;
class QWidget;

namespace lv {

struct DeltaFilterRow {
    QLineEdit* delta;
    QPushButton* filter;
};
DeltaFilterRow AddDeltaFilterRow(QWidget* owner, QBoxLayout* layout, const QString& label, const std::string& delta);

// A flat list in which several rows may be chosen; it takes the spare height.
QTreeWidget* AddRowList(QWidget* owner, QBoxLayout* layout, const char* name, const QStringList& headers);

// One radio button per display type, the current one checked; `chosen` hears a click.
void AddDisplayTypeButtons(QWidget* owner, QBoxLayout* layout, DisplayType current, QRadioButton* (&buttons)[3],
                           const std::function<void(DisplayType)>& chosen);

struct HandicapRow {
    QLabel* handicap;
    QPushButton* realign;
    QPushButton* reset;
};
HandicapRow AddHandicapRow(QWidget* owner, QBoxLayout* layout);

struct DestinationFields {
    QLineEdit* folder;
    QLineEdit* genericName;
    QCheckBox* zip;
    QCheckBox* ftp;
};
// Folder (with its browse button), file name, then ZIP and FTP side by side, from grid
// row `row` on; column 2 of the ZIP/FTP row is left for the dialog's FTP button.
DestinationFields AddDestinationFields(QWidget* owner, QGridLayout* grid, int row, const std::string& folder,
                                       const std::string& genericName, bool zip, bool ftp);

// Export and Close at the bottom right; Close accepts the dialog. Returns Export.
QPushButton* AddExportAndCloseButtons(QDialog* dialog, QBoxLayout* layout, const QString& exportText,
                                      const char* exportName);

// The chosen rows' indexes, in list order.
std::vector<int> SelectedRows(const QTreeWidget* list);

// The completion box of an export, or its warning; nothing for an export the user
// cancelled (no outcome and no message).
void ShowExportOutcome(QWidget* parent, const std::optional<ExportOutcome>& outcome, const std::string& message);

}  // namespace lv

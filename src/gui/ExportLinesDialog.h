#pragma once
// CDlgExportDetectionLines: the detection-lines export, one file set per detector. A
// thin view over ExportLinesRules.
#include <QDialog>

#include "export/ExportLinesRules.h"
#include "gui/ExportDialogParts.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTreeWidget;

namespace lv {

class CDlgExportDetectionLines : public QDialog {
    Q_OBJECT
public:
    explicit CDlgExportDetectionLines(QWidget* parent = nullptr);

    void done(int result) override;

    // For tests.
    ExportLinesRules& Rules() { return rules_; }
    QTreeWidget* DetectorList() const { return list_; }
    QLineEdit* DeltaEdit() const { return delta_; }
    QLabel* DataToExport() const { return dataToExport_; }
    QLabel* HandicapDisplay() const { return handicapRow_.handicap; }
    QPushButton* RealignButton() const { return handicapRow_.realign; }
    QPushButton* ExportButton() const { return export_; }
    void Filter();
    void ExportNow();
    void OpenRealignment();
    void ResetHandicap();

private:
    void BuildControls();
    void ReadControls();
    void FillRows(const std::vector<int>& keepSelected);
    void ChooseDisplayType(DisplayType type);
    void UpdateSelection();
    void SelectFtpServers();
    void ShowFtpTarget();

    ExportLinesRules rules_;
    QLineEdit* delta_ = nullptr;
    QRadioButton* types_[3] = {};
    QCheckBox* background_ = nullptr;
    QSpinBox* period_ = nullptr;
    QTreeWidget* list_ = nullptr;
    HandicapRow handicapRow_{};
    DestinationFields destination_{};
    QLabel* dataToExport_ = nullptr;
    QLabel* ftpTarget_ = nullptr;
    QPushButton* export_ = nullptr;
};

}  // namespace lv

#pragma once
// CDlgExportDetections: every detection numbered together, one file per selected
// passing number. A thin view over DetectionsExportRules.
#include <QDialog>

#include "export/DetectionsExportRules.h"
#include "gui/ExportDialogParts.h"

class QLabel;
class QLineEdit;
class QRadioButton;
class QTreeWidget;

namespace lv {

class CDlgExportDetections : public QDialog {
    Q_OBJECT
public:
    explicit CDlgExportDetections(QWidget* parent = nullptr);

    void done(int result) override;

    // For tests.
    DetectionsExportRules& Rules() { return rules_; }
    QTreeWidget* PassingList() const { return list_; }
    QLineEdit* DeltaEdit() const { return delta_; }
    QLabel* CountLabel() const { return count_; }
    void Filter();
    void Export();

private:
    void BuildControls();
    void ReadControls();
    void FillRows();
    void ShowHandicap();
    void ShowFtpTooltip();
    void EditFtpSettings();
    void OpenRealignment();

    DetectionsExportRules rules_;
    QLabel* count_ = nullptr;
    QLineEdit* delta_ = nullptr;
    QRadioButton* types_[3] = {};
    QTreeWidget* list_ = nullptr;
    HandicapRow handicapRow_{};
    DestinationFields destination_{};
};

}  // namespace lv

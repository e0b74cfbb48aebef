#pragma once
// CDlgExportDetections: every detection numbered together, one file per selected
// passing number. A thin view over DetectionsExportRules.
#include <QDialog>

#include "export/DetectionsExportRules.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
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
    std::vector<int> SelectedRows() const;

    DetectionsExportRules rules_;
    QLabel* count_ = nullptr;
    QLineEdit* delta_ = nullptr;
    QLineEdit* folder_ = nullptr;
    QLineEdit* genericName_ = nullptr;
    QCheckBox* zip_ = nullptr;
    QCheckBox* ftp_ = nullptr;
    QRadioButton* types_[3] = {};
    QTreeWidget* list_ = nullptr;
    QLabel* handicap_ = nullptr;
    QPushButton* realign_ = nullptr;
    QPushButton* reset_ = nullptr;
};

}  // namespace lv

#pragma once
// CDlgInsertTimeNew: a bib, a time and a detector typed by hand. A thin view over
// ManualInsertion; OK keeps the dialog open with a warning until the entry is valid.
#include <QDialog>

#include "app/ManualInsertion.h"

class QComboBox;
class QLabel;
class QLineEdit;

namespace lv {

class InsertTimeDialog : public QDialog {
    Q_OBJECT
public:
    InsertTimeDialog(ManualInsertion& rules, const ManualOpening& opening, bool sendNumbers,
                     QWidget* parent = nullptr);

    void accept() override;
    // Filled when the dialog ended with OK.
    const ManualEntry& Entry() const { return entry_; }

    // For tests.
    QLineEdit* BibEdit() const { return bib_; }
    QLineEdit* TimeEdit() const { return time_; }
    QComboBox* DetectorCombo() const { return detector_; }
    QComboBox* CorrectionCombo() const { return correction_; }
    QLabel* CorrectionLabel() const { return correctionText_; }

private:
    void ShowCorrection(int correction);

    ManualInsertion& rules_;
    std::vector<std::string> detectors_;
    bool sendNumbers_;
    ManualEntry entry_;
    QLineEdit* bib_ = nullptr;           // 1081
    QLineEdit* time_ = nullptr;          // 1240
    QComboBox* detector_ = nullptr;      // 1083
    QComboBox* correction_ = nullptr;    // 1131
    QLabel* correctionText_ = nullptr;   // 1223
    QLabel* correctionIcon_ = nullptr;   // 1224
};

}  // namespace lv

#pragma once
// CDlgInsertTimeNew: a bib, a time and a detector typed by hand. A thin view over the
// controller's manual insertion; OK keeps the dialog open with a warning until the
// entry is valid.
#include <QDialog>

#include "app/ManualInsertion.h"

class QComboBox;
class QLabel;
class QLineEdit;

namespace lv {

class MainController;

class InsertTimeDialog : public QDialog {
    Q_OBJECT
public:
    InsertTimeDialog(MainController& controller, const ManualOpening& opening, QWidget* parent = nullptr);

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

    MainController& controller_;
    std::vector<std::string> detectors_;
    ManualEntry entry_;
    QLineEdit* bib_ = nullptr;
    QLineEdit* time_ = nullptr;
    QComboBox* detector_ = nullptr;
    QComboBox* correction_ = nullptr;
    QLabel* correctionText_ = nullptr;
    QLabel* correctionIcon_ = nullptr;
};

}  // namespace lv

#include "gui/InsertTimeDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/MainController.h"
#include "base/Texts.h"
#include "gui/MessageBoxes.h"
#include "gui/QtTexts.h"
#include "gui/StateImages.h"

namespace lv {

InsertTimeDialog::InsertTimeDialog(MainController& controller, const ManualOpening& opening, QWidget* parent)
    : QDialog(parent), controller_(controller), detectors_(opening.detectors) {
    setObjectName("insertTimeDialog");
    setWindowTitle(ToQt(ManualInsertion::DialogTitle()));
    auto* layout = new QVBoxLayout(this);

    auto* moment = new QLabel(ToQt(opening.insertTimeLabel), this);
    moment->setObjectName("insertTime");
    QFont bold = moment->font();
    bold.setBold(true);
    moment->setFont(bold);
    layout->addWidget(moment);

    auto* form = new QFormLayout;
    bib_ = new QLineEdit(this);
    bib_->setObjectName("bib");
    time_ = new QLineEdit(ToQt(opening.timeText), this);
    time_->setObjectName("time");
    detector_ = new QComboBox(this);
    detector_->setObjectName("detector");
    for (const auto& id : opening.detectors) detector_->addItem(ToQt(id));
    detector_->setCurrentIndex(opening.detectorIndex);
    correction_ = new QComboBox(this);
    correction_->setObjectName("correction");
    for (const auto& text : ManualInsertion::CorrectionChoices()) correction_->addItem(ToQt(text));
    form->addRow(T("Bib:", "Dossard :"), bib_);
    form->addRow(T("Time:", "Temps :"), time_);
    form->addRow(T("Detector:", "Détecteur :"), detector_);
    form->addRow(T("Time correction:", "Correction du temps :"), correction_);
    layout->addLayout(form);

    auto* offset = new QHBoxLayout;
    correctionIcon_ = new QLabel(this);
    correctionIcon_->setPixmap(WarningImage(20));
    correctionText_ = new QLabel(this);
    correctionText_->setObjectName("correctionLabel");
    correctionText_->setStyleSheet("QLabel { background: yellow; color: black; font-weight: bold; padding: 1px 4px; }");
    offset->addWidget(correctionIcon_);
    offset->addWidget(correctionText_);
    offset->addStretch(1);
    layout->addLayout(offset);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Cancel)->setText(T("Cancel", "Annuler"));
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &InsertTimeDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &InsertTimeDialog::reject);
    connect(correction_, &QComboBox::currentIndexChanged, this, &InsertTimeDialog::ShowCorrection);

    correction_->setCurrentIndex(opening.correction);
    ShowCorrection(opening.correction);
    bib_->setFocus();
}

void InsertTimeDialog::ShowCorrection(int correction) {
    const std::string label = ManualInsertion::CorrectionLabel(correction);
    correctionText_->setText(ToQt(label));
    correctionText_->setVisible(!label.empty());
    correctionIcon_->setVisible(!label.empty());
}

void InsertTimeDialog::accept() {
    ManualValidation validation =
        controller_.ValidateManualEntry(FromQt(bib_->text()), FromQt(time_->text()), detectors_,
                                        detector_->currentIndex(), correction_->currentIndex());
    if (!validation.ok) {
        ShowMessageBox(this, ToQt(validation.warning), MessageIcon::Warning);
        if (validation.clearBib) bib_->clear();
        switch (validation.field) {
            case ManualField::Time: time_->setFocus(); break;
            case ManualField::Detector: detector_->setFocus(); break;
            default: bib_->setFocus(); break;
        }
        return;
    }
    entry_ = validation.entry;
    QDialog::accept();
}

}  // namespace lv

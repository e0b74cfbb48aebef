#include "gui/RecalageDialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/MessageBoxes.h"
#include "gui/QtTexts.h"

namespace lv {

CDlgRecalage::CDlgRecalage(RecalageRules rules, QWidget* parent) : QDialog(parent), rules_(std::move(rules)) {
    setObjectName("recalageDialog");
    setWindowTitle(T("Handicap re-alignment", "Recalage du handicap"));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    const auto boldLabel = [this](const QString& text, const char* name) {
        auto* label = new QLabel(text, this);
        label->setObjectName(name);
        QFont bold = label->font();
        bold.setBold(true);
        label->setFont(bold);
        return label;
    };
    form->addRow(T("Passing:", "Passage :"), boldLabel(QString::number(rules_.Passing()), "passing"));
    form->addRow(T("Bib:", "Dossard :"), boldLabel(ToQt(rules_.Bib()), "bib"));
    form->addRow(T("Clock time:", "Heure :"), boldLabel(ToQt(rules_.ClockTimeText()), "clockTime"));
    time_ = new QLineEdit(ToQt(rules_.PresetText()), this);
    time_->setObjectName("passingTime");
    form->addRow(T("Passing time:", "Temps de passage :"), time_);
    layout->addLayout(form);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Cancel)->setText(T("Cancel", "Annuler"));
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &CDlgRecalage::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CDlgRecalage::reject);
    time_->setFocus();
    time_->selectAll();
}

void CDlgRecalage::accept() {
    std::string warning;
    if (!rules_.Accept(FromQt(time_->text()), warning)) {
        ShowMessageBox(this, ToQt(warning), MessageIcon::Warning);
        time_->setFocus();
        return;
    }
    QDialog::accept();
}

}  // namespace lv

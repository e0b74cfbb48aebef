#include "gui/CustomerInfoDialog.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "cloud/CustomerInfo.h"
#include "gui/MessageBoxes.h"

namespace lv {

namespace {

class CustomerInfoDialog : public QDialog {
public:
    explicit CustomerInfoDialog(QWidget* parent) : QDialog(parent) {
        setObjectName("CDlgCustomerInfo");
        setWindowTitle(T("Tarvex customer account", "Compte client Tarvex"));
        customerId_ = new QLineEdit(ToQt(rules_.CustomerId()), this);
        customerId_->setObjectName("customerId");
        apiKey_ = new QLineEdit(ToQt(rules_.ApiKey()), this);
        apiKey_->setObjectName("apiKey");
        apiKey_->setMinimumWidth(320);
        auto* form = new QFormLayout;
        form->addRow(T("Customer id:", "N° de client :"), customerId_);
        form->addRow(T("API key:", "API key :"), apiKey_);
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
        buttons->button(QDialogButtonBox::Cancel)->setText(T("Cancel", "Annuler"));
        connect(buttons, &QDialogButtonBox::accepted, this, &CustomerInfoDialog::accept);
        connect(buttons, &QDialogButtonBox::rejected, this, &CustomerInfoDialog::reject);
        auto* layout = new QVBoxLayout(this);
        layout->addLayout(form);
        layout->addWidget(buttons);
    }

    void accept() override {
        std::string warning;
        if (!rules_.Accept(FromQt(customerId_->text()), FromQt(apiKey_->text()), warning)) {
            ShowMessageBox(this, ToQt(warning), MessageIcon::Warning);
            return;
        }
        QDialog::accept();
    }

private:
    CustomerInfoRules rules_;
    QLineEdit* customerId_ = nullptr;
    QLineEdit* apiKey_ = nullptr;
};

}  // namespace

bool EditCustomerInfo(QWidget* parent) {
    CustomerInfoDialog dialog(parent);
    if (dialog.exec() != QDialog::Accepted) return false;
    return CustomerInfoRules::CredentialsSet();
}

}  // namespace lv

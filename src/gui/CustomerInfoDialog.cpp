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
        address_ = new QLineEdit(ToQt(rules_.ServiceAddress()), this);
        address_->setObjectName("cloudAddress");
        address_->setPlaceholderText("https://");
        caFile_ = new QLineEdit(ToQt(rules_.CaFile()), this);
        caFile_->setObjectName("caFile");
        auto* form = new QFormLayout;
        form->addRow(T("Customer id:", "N° de client :"), customerId_);
        form->addRow(T("API key:", "Clé d'API :"), apiKey_);
        form->addRow(T("Cloud address:", "Adresse du cloud :"), address_);
        form->addRow(T("CA certificates file (optional):", "Fichier de certificats CA (facultatif) :"), caFile_);
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
        if (!rules_.AcceptAll(FromQt(customerId_->text()), FromQt(apiKey_->text()), FromQt(address_->text()),
                              FromQt(caFile_->text()), warning)) {
            ShowMessageBox(this, ToQt(warning), MessageIcon::Warning);
            return;
        }
        QDialog::accept();
    }

private:
    CustomerInfoRules rules_;
    QLineEdit* customerId_ = nullptr;
    QLineEdit* apiKey_ = nullptr;
    QLineEdit* address_ = nullptr;
    QLineEdit* caFile_ = nullptr;
};

}  // namespace

bool EditCustomerInfo(QWidget* parent) {
    CustomerInfoDialog dialog(parent);
    if (dialog.exec() != QDialog::Accepted) return false;
    return CustomerInfoRules::CredentialsSet();
}

}  // namespace lv

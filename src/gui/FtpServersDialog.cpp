#include "gui/FtpServersDialog.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "base/Texts.h"
#include "gui/MessageBoxes.h"
#include "gui/QtTexts.h"

namespace lv {

namespace {

constexpr std::size_t Index(FtpServerField field) { return static_cast<std::size_t>(field); }

// The edit boxes in the order of the form, with their labels.
struct FieldRow {
    FtpServerField field;
    const char* english;
    const char* french;
    const char* objectName;
};
constexpr FieldRow kRows[] = {
    {FtpServerField::Label, "Label:", "Label :", "label"},
    {FtpServerField::Site, "Server:", "Serveur :", "site"},
    {FtpServerField::User, "User:", "Utilisateur :", "user"},
    {FtpServerField::Password, "Password:", "Mot de passe :", "password"},
    {FtpServerField::Directory, "Directory:", "Répertoire :", "directory"},
};

QPushButton* Button(QWidget* parent, const char* english, const char* french, const char* name) {
    auto* button = new QPushButton(T(english, french), parent);
    button->setObjectName(name);
    button->setAutoDefault(false);
    return button;
}

}  // namespace

FtpServersDialog::FtpServersDialog(const std::string& path, const std::vector<std::string>& chosenLabels,
                                   QWidget* parent)
    : QDialog(parent), rules_(path, chosenLabels) {
    setObjectName("ftpServersDialog");
    setWindowTitle(T("FTP Servers", "Serveurs FTP"));
    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    layout->addLayout(top);

    list_ = new QTreeWidget(this);
    list_->setObjectName("servers");
    list_->setColumnCount(1);
    list_->setHeaderLabels({T("Servers", "Serveurs")});
    list_->setRootIsDecorated(false);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    top->addWidget(list_, 1);

    buttonColumn_ = new QWidget(this);
    auto* column = new QVBoxLayout(buttonColumn_);
    column->setContentsMargins(0, 0, 0, 0);
    add_ = Button(buttonColumn_, "Add", "Ajouter", "add");
    remove_ = Button(buttonColumn_, "Remove", "Supprimer", "remove");
    update_ = Button(buttonColumn_, "Update", "Modifier", "update");
    column->addWidget(add_);
    column->addWidget(remove_);
    column->addWidget(update_);
    column->addStretch(1);
    top->addWidget(buttonColumn_);

    form_ = Button(this, ">>", ">>", "form");
    auto* formRow = new QVBoxLayout;
    formRow->addWidget(form_);
    formRow->addStretch(1);
    top->addLayout(formRow);

    panel_ = new QGroupBox(T("Server information", "Informations du serveur"), this);
    panel_->setObjectName("panel");
    auto* panelLayout = new QVBoxLayout(panel_);
    auto* fields = new QFormLayout;
    for (const FieldRow& row : kRows) {
        auto* edit = new QLineEdit(panel_);
        edit->setObjectName(row.objectName);
        if (row.field == FtpServerField::Password) edit->setEchoMode(QLineEdit::PasswordEchoOnEdit);
        edits_[Index(row.field)] = edit;
        fields->addRow(T(row.english, row.french), edit);
    }
    panelLayout->addLayout(fields);
    auto* editButtons = new QHBoxLayout;
    validate_ = Button(panel_, "Validate update", "Valider la modification", "validate");
    cancelUpdate_ = Button(panel_, "Cancel update", "Annuler la modification", "cancelUpdate");
    editButtons->addStretch(1);
    editButtons->addWidget(validate_);
    editButtons->addWidget(cancelUpdate_);
    panelLayout->addLayout(editButtons);
    layout->addWidget(panel_);

    auto* bottom = new QHBoxLayout;
    ok_ = Button(this, "OK", "OK", "ok");
    cancel_ = Button(this, "Cancel", "Annuler", "cancel");
    bottom->addStretch(1);
    bottom->addWidget(ok_);
    bottom->addWidget(cancel_);
    layout->addLayout(bottom);

    connect(list_, &QTreeWidget::itemSelectionChanged, this, &FtpServersDialog::OnSelectionChanged);
    connect(list_, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item, int) { OnItemChanged(item); });
    connect(list_, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item, int) { OnDoubleClick(item); });
    connect(add_, &QPushButton::clicked, this, &FtpServersDialog::OnAdd);
    connect(remove_, &QPushButton::clicked, this, &FtpServersDialog::OnRemove);
    connect(update_, &QPushButton::clicked, this, &FtpServersDialog::OnUpdate);
    connect(form_, &QPushButton::clicked, this, &FtpServersDialog::OnToggleForm);
    connect(validate_, &QPushButton::clicked, this, &FtpServersDialog::OnValidate);
    connect(cancelUpdate_, &QPushButton::clicked, this, &FtpServersDialog::OnCancelUpdate);
    connect(ok_, &QPushButton::clicked, this, &FtpServersDialog::accept);
    connect(cancel_, &QPushButton::clicked, this, &FtpServersDialog::reject);
    Refresh();
}

// Shows what the rules hold: the list with its checks and selection, the edit boxes,
// the form and what the mode enables.
void FtpServersDialog::Refresh() {
    refreshing_ = true;
    // Items are rebuilt only when the list changed: this also runs from the list's own
    // selection signal, where its items must stay.
    bool same = list_->topLevelItemCount() == static_cast<int>(rules_.Count());
    for (std::size_t i = 0; same && i < rules_.Count(); ++i) {
        same = list_->topLevelItem(static_cast<int>(i))->text(0) == ToQt(rules_.ServerAt(i).label);
    }
    if (!same) {
        list_->clear();
        for (std::size_t i = 0; i < rules_.Count(); ++i) {
            auto* item = new QTreeWidgetItem(list_, {ToQt(rules_.ServerAt(i).label)});
            item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        }
    }
    for (std::size_t i = 0; i < rules_.Count(); ++i) {
        list_->topLevelItem(static_cast<int>(i))->setCheckState(0, rules_.IsChecked(i) ? Qt::Checked : Qt::Unchecked);
    }
    if (auto selected = rules_.Selection()) {
        QTreeWidgetItem* item = list_->topLevelItem(static_cast<int>(*selected));
        if (list_->currentItem() != item || !item->isSelected()) list_->setCurrentItem(item);
    } else {
        list_->clearSelection();
    }
    const FtpServerFields& shown = rules_.Fields();
    edits_[Index(FtpServerField::Label)]->setText(ToQt(shown.label));
    edits_[Index(FtpServerField::Site)]->setText(ToQt(shown.site));
    edits_[Index(FtpServerField::User)]->setText(ToQt(shown.user));
    edits_[Index(FtpServerField::Password)]->setText(ToQt(shown.password));
    edits_[Index(FtpServerField::Directory)]->setText(ToQt(shown.directory));

    const FtpServersControls controls = rules_.Controls();
    list_->setEnabled(controls.list);
    add_->setEnabled(controls.add);
    remove_->setEnabled(controls.remove);
    update_->setEnabled(controls.update);
    form_->setEnabled(controls.formButton);
    ok_->setEnabled(controls.ok);
    cancel_->setEnabled(controls.cancel);
    for (QLineEdit* edit : edits_) edit->setEnabled(controls.edits);
    validate_->setEnabled(controls.validateUpdate);
    cancelUpdate_->setEnabled(controls.cancelUpdate);

    form_->setText(QString::fromLatin1(rules_.FormButtonText()));
    buttonColumn_->setVisible(rules_.FullForm());
    panel_->setVisible(rules_.FullForm());
    refreshing_ = false;
}

void FtpServersDialog::OnSelectionChanged() {
    if (refreshing_) return;
    QTreeWidgetItem* item = list_->currentItem();
    if (item && item->isSelected()) {
        rules_.Select(static_cast<std::size_t>(list_->indexOfTopLevelItem(item)));
    } else {
        rules_.Select(std::nullopt);
    }
    Refresh();
}

void FtpServersDialog::OnItemChanged(QTreeWidgetItem* item) {
    if (refreshing_ || !item) return;
    rules_.SetChecked(static_cast<std::size_t>(list_->indexOfTopLevelItem(item)), item->checkState(0) == Qt::Checked);
}

void FtpServersDialog::OnDoubleClick(QTreeWidgetItem* item) {
    if (!item) return;
    if (rules_.DoubleClick(static_cast<std::size_t>(list_->indexOfTopLevelItem(item)))) {
        Refresh();
        FocusField(FtpServerField::Label);
    }
}

void FtpServersDialog::OnAdd() {
    rules_.Add();
    Refresh();
    FocusField(FtpServerField::Label);
}

void FtpServersDialog::OnUpdate() {
    if (!rules_.Update()) return;
    Refresh();
    FocusField(FtpServerField::Label);
}

void FtpServersDialog::OnValidate() {
    FtpServerFields typed;
    typed.label = FromQt(edits_[Index(FtpServerField::Label)]->text());
    typed.site = FromQt(edits_[Index(FtpServerField::Site)]->text());
    typed.user = FromQt(edits_[Index(FtpServerField::User)]->text());
    typed.password = FromQt(edits_[Index(FtpServerField::Password)]->text());
    typed.directory = FromQt(edits_[Index(FtpServerField::Directory)]->text());
    FtpServerValidation validation = rules_.ValidateUpdate(typed);
    if (!validation.ok) {
        ShowMessageBox(this, ToQt(validation.message), MessageIcon::Warning);
        edits_[Index(validation.focus)]->setFocus();
        return;
    }
    Refresh();
}

void FtpServersDialog::OnCancelUpdate() {
    rules_.CancelUpdate();
    Refresh();
}

void FtpServersDialog::OnRemove() {
    rules_.Remove();
    Refresh();
}

void FtpServersDialog::OnToggleForm() {
    rules_.ToggleForm();
    Refresh();
    adjustSize();
}

void FtpServersDialog::FocusField(FtpServerField field) {
    QLineEdit* edit = edits_[Index(field)];
    edit->setFocus();
    edit->selectAll();
}

void FtpServersDialog::accept() {
    if (rules_.Editing()) return;
    chosen_ = rules_.ChosenLabels();
    std::string error;
    if (rules_.Save(error) != 0) {
        // The choice still counts; the list itself could not be kept.
        ShowMessageBox(this,
                       ToQt(std::string(Tr("The FTP servers could not be saved: ",
                                           "Les serveurs FTP n'ont pas pu être enregistrés : ")) +
                            error),
                       MessageIcon::Warning);
    }
    QDialog::accept();
}

// ---------------------------------------------------------------------------

FtpParametersDialog::FtpParametersDialog(QWidget* parent) : QDialog(parent) {
    setObjectName("ftpParametersDialog");
    setWindowTitle(T("FTP Server definition", "Paramètres FTP"));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    const FieldRow rows[] = {
        {FtpServerField::Label, "Label:", "Label :", "label"},
        {FtpServerField::Site, "Site:", "Site :", "site"},
        {FtpServerField::User, "User:", "Utilisateur :", "user"},
        {FtpServerField::Password, "Password:", "Mot de passe :", "password"},
        {FtpServerField::Directory, "Destination directory:", "Répertoire de destination :", "directory"},
    };
    const FtpServerFields stored = LoadFtpParameters();
    const std::string* values[] = {&stored.label, &stored.site, &stored.user, &stored.password, &stored.directory};
    for (std::size_t i = 0; i < 5; ++i) {
        auto* edit = new QLineEdit(ToQt(*values[i]), this);
        edit->setObjectName(rows[i].objectName);
        if (rows[i].field == FtpServerField::Password) edit->setEchoMode(QLineEdit::PasswordEchoOnEdit);
        edits_[Index(rows[i].field)] = edit;
        form->addRow(T(rows[i].english, rows[i].french), edit);
    }
    layout->addLayout(form);
    auto* bottom = new QHBoxLayout;
    auto* ok = Button(this, "OK", "OK", "ok");
    auto* cancel = Button(this, "Cancel", "Annuler", "cancel");
    ok->setDefault(true);
    bottom->addStretch(1);
    bottom->addWidget(ok);
    bottom->addWidget(cancel);
    layout->addLayout(bottom);
    connect(ok, &QPushButton::clicked, this, &FtpParametersDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &FtpParametersDialog::reject);
}

void FtpParametersDialog::accept() {
    FtpServerFields fields;
    fields.label = FromQt(edits_[Index(FtpServerField::Label)]->text());
    fields.site = FromQt(edits_[Index(FtpServerField::Site)]->text());
    fields.user = FromQt(edits_[Index(FtpServerField::User)]->text());
    fields.password = FromQt(edits_[Index(FtpServerField::Password)]->text());
    fields.directory = FromQt(edits_[Index(FtpServerField::Directory)]->text());
    StoreFtpParameters(fields);
    QDialog::accept();
}

}  // namespace lv

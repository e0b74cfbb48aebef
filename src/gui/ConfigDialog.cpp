#include "gui/ConfigDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include "base/Environment.h"
#include "app/MainController.h"
#include "base/Texts.h"
#include "gui/MessageBoxes.h"
#include "gui/QtTexts.h"
#include "gui/StateImages.h"

namespace lv {

namespace {

constexpr int kTooltipMs = 15000;


// Tooltips wrap (rich text) and stay long enough to be read.
void SetTip(QWidget* widget, const QString& text) {
    widget->setToolTip("<p style='max-width:400px'>" + text.toHtmlEscaped() + "</p>");
    widget->setToolTipDuration(kTooltipMs);
}

}  // namespace

ConfigDialog::ConfigDialog(MainController& controller, QWidget* parent) : QDialog(parent), controller_(controller) {
    setObjectName("configDialog");
    setWindowTitle(T("Configuration", "Configuration"));
    BuildControls();
    LoadValues();
}

void ConfigDialog::BuildControls() {
    auto* layout = new QVBoxLayout(this);

    // --- The four box rows.
    auto* boxes = new QGroupBox(T("Tarvex boxes", "Boîtiers Tarvex"), this);
    auto* grid = new QGridLayout(boxes);
    grid->addWidget(new QLabel(T("IP address or COM port", "Adresse IP ou port COM"), boxes), 0, 1);
    grid->addWidget(new QLabel(T("TCP port or speed", "Port TCP ou vitesse"), boxes), 0, 2);
    grid->addWidget(new QLabel(T("Detector", "Détecteur"), boxes), 0, 3);
    for (int i = 0; i < kConfigBoxSlots; ++i) {
        Row& row = rows_[static_cast<std::size_t>(i)];
        grid->addWidget(new QLabel(T("Box %1", "Boîtier %1").arg(i + 1), boxes), i + 1, 0);
        row.host = new QLineEdit(boxes);
        row.host->setObjectName(QString("host%1").arg(i));
        row.port = new QLineEdit(boxes);
        row.port->setObjectName(QString("port%1").arg(i));
        row.port->setMaximumWidth(row.port->fontMetrics().horizontalAdvance("0") * 10);
        row.detector = new QComboBox(boxes);
        row.detector->setObjectName(QString("detector%1").arg(i));
        grid->addWidget(row.host, i + 1, 1);
        grid->addWidget(row.port, i + 1, 2);
        grid->addWidget(row.detector, i + 1, 3);
    }
    layout->addWidget(boxes);

    // --- The incompatibility warning.
    auto* warning = new QHBoxLayout;
    warningIcon_ = new QLabel(this);
    warningIcon_->setPixmap(WarningImage(28));
    warningTitle_ = new QLabel(T("Caution !", "Attention !"), this);
    warningTitle_->setObjectName("warningTitle");
    QFont bold = warningTitle_->font();
    bold.setBold(true);
    warningTitle_->setFont(bold);
    warningText_ = new QLabel(T("This configuration is incompatible with Quillet Classic !",
                                "Cette configuration est incompatible avec Quillet Classic !"),
                              this);
    warningText_->setObjectName("warningText");
    warningText_->setStyleSheet("QLabel { color: #b00000; }");
    // Hidden or blinking, the warning keeps its room: nothing below it (OK and Cancel
    // included) moves under the operator's hand.
    for (QWidget* part : std::initializer_list<QWidget*>{warningIcon_, warningTitle_, warningText_}) {
        QSizePolicy policy = part->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        part->setSizePolicy(policy);
    }
    warning->addWidget(warningIcon_);
    warning->addWidget(warningTitle_);
    warning->addWidget(warningText_, 1);
    layout->addLayout(warning);
    blink_ = new QTimer(this);
    blink_->setInterval(kBlinkMs);
    connect(blink_, &QTimer::timeout, this, [this] {
        const bool visible = !warningTitle_->isVisible();
        warningIcon_->setVisible(visible);
        warningTitle_->setVisible(visible);
        warningText_->setVisible(visible);
    });

    // --- Acquisition options.
    auto* options = new QGroupBox(T("Acquisition", "Acquisition"), this);
    auto* form = new QFormLayout(options);
    auto* exportRow = new QHBoxLayout;
    exportFile_ = new QLineEdit(options);
    exportFile_->setObjectName("exportFile");
    auto* browse = new QPushButton("...", options);
    browse->setObjectName("browseExport");
    browse->setAutoDefault(false);
    exportRow->addWidget(exportFile_, 1);
    exportRow->addWidget(browse);
    form->addRow(T("Default export file:", "Fichier d'export par défaut :"), exportRow);
    boxReconnect_ = new QComboBox(options);
    boxReconnect_->setObjectName("boxReconnect");
    for (const auto& choice : ReconnectChoices()) boxReconnect_->addItem(QString::fromUtf8(choice.Text()));
    SetTip(boxReconnect_,
           T("In case of a loss of connection to a box, you may configure Lumivane to try to reconnect to the box "
             "automatically ASAP.",
             "En cas de perte de connexion avec un boîtier, vous pouvez configurer Lumivane afin qu'il tente de lui "
             "même de se reconnecter au boîtier au plus vite."));
    form->addRow(T("Lost box connection:", "Perte de connexion d'un boîtier :"), boxReconnect_);
    longRace_ = new QComboBox(options);
    longRace_->setObjectName("longRace");
    for (const auto& text : LongRaceChoices()) longRace_->addItem(ToQt(text));
    form->addRow(T("Long races:", "Courses longues :"), longRace_);
    ignoreUnknownTags_ = new QCheckBox(
        T("Ignore chip ids not present in the chip table", "Ignorer les puces absentes de la table de correspondance"),
        options);
    ignoreUnknownTags_->setObjectName("ignoreUnknownTags");
    beepDetections_ = new QCheckBox(T("Beep at each detection", "Bip à chaque détection"), options);
    beepDetections_->setObjectName("beepDetections");
    beepWhenQuit_ = new QCheckBox(T("Play a sound on exit", "Son à la sortie du programme"), options);
    beepWhenQuit_->setObjectName("beepWhenQuit");
    form->addRow(ignoreUnknownTags_);
    form->addRow(beepDetections_);
    form->addRow(beepWhenQuit_);
    layout->addWidget(options);

    // --- Direct connection to the timing application.
    auto* link = new QGroupBox(T("Direct Quillet-Pro connection", "Connexion directe à Quillet-Pro"), this);
    auto* linkForm = new QFormLayout(link);
    linkHost_ = new QLineEdit(link);
    linkHost_->setObjectName("linkHost");
    linkPort_ = new QLineEdit(link);
    linkPort_->setObjectName("linkPort");
    linkReconnect_ = new QLineEdit(link);
    linkReconnect_->setObjectName("linkReconnect");
    linkForm->addRow(T("Host:", "Hôte :"), linkHost_);
    linkForm->addRow(T("Port:", "Port :"), linkPort_);
    linkForm->addRow(T("Seconds between connection attempts:", "Secondes entre deux tentatives de connexion :"),
                     linkReconnect_);
    layout->addWidget(link);

    // --- Other commands and OK / Cancel.
    auto* commands = new QHBoxLayout;
    auto* reloadChips = new QPushButton(T("Reload chip table", "Recharger la table de correspondance"), this);
    reloadChips->setObjectName("reloadChipTable");
    auto* logFolder = new QPushButton(T("View log folder", "Voir le dossier des traces"), this);
    logFolder->setObjectName("viewLogFolder");
    auto* advanced = new QPushButton(T("Advanced settings...", "Paramètres avancés..."), this);
    advanced->setObjectName("advanced");
    for (QPushButton* b : {reloadChips, logFolder, advanced}) {
        b->setAutoDefault(false);
        commands->addWidget(b);
    }
    commands->addStretch(1);
    layout->addLayout(commands);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Cancel)->setText(T("Cancel", "Annuler"));
    layout->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::accepted, this, &ConfigDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &ConfigDialog::reject);
    connect(browse, &QPushButton::clicked, this, &ConfigDialog::BrowseExportFile);
    connect(reloadChips, &QPushButton::clicked, this, [this] { controller_.ReloadChipTable(); });
    connect(logFolder, &QPushButton::clicked, this, [] {
        QDesktopServices::openUrl(QUrl::fromLocalFile(ToQt(GetLogFolder())));
    });
    connect(advanced, &QPushButton::clicked, this, &ConfigDialog::OpenAdvanced);
    for (const Row& row : rows_) {
        connect(row.host, &QLineEdit::textChanged, this, &ConfigDialog::OnRowEdited);
        connect(row.port, &QLineEdit::textChanged, this, &ConfigDialog::OnRowEdited);
        connect(row.detector, &QComboBox::currentIndexChanged, this, &ConfigDialog::OnRowEdited);
    }
    for (QLineEdit* edit : {linkHost_, linkPort_, linkReconnect_})
        connect(edit, &QLineEdit::textChanged, this, &ConfigDialog::UpdateWarning);
}

void ConfigDialog::LoadValues() {
    const ConfigValues values = LoadConfigValues(GetDefaultExportFilePath());
    exportFile_->setText(ToQt(values.exportFile));
    linkHost_->setText(ToQt(values.linkHost));
    linkPort_->setText(QString::number(values.linkPort));
    linkReconnect_->setText(QString::number(values.linkReconnectSeconds));
    ignoreUnknownTags_->setChecked(values.ignoreUnknownTags);
    beepDetections_->setChecked(values.beepDetections);
    beepWhenQuit_->setChecked(values.beepWhenQuit);
    boxReconnect_->setCurrentIndex(ReconnectChoiceIndex(values.boxReconnectSeconds));
    longRace_->setCurrentIndex(values.daysToAdd);

    // The dialog works on copies of the boxes' declarations.
    rules_.Initialise(controller_.BoxSlotStates());
    for (int i = 0; i < kConfigBoxSlots; ++i) {
        // Filled with the signals held back: the rows are checked once they are whole.
        Row& row = rows_[static_cast<std::size_t>(i)];
        QSignalBlocker blockHost(row.host), blockPort(row.port), blockDetector(row.detector);
        for (const auto& entry : rules_.DetectorEntries(i)) row.detector->addItem(ToQt(entry));
        row.detector->setCurrentIndex(rules_.InitialDetectorIndex(i));
        row.host->setText(ToQt(rules_.InitialHostText(i)));
        row.port->setText(ToQt(rules_.InitialPortText(i)));
        row.detector->setEnabled(rules_.DetectorEnabled(i));
        if (rules_.IsLocked(i)) {
            // Declarations of connected boxes can't be changed.
            row.host->setEnabled(false);
            row.port->setEnabled(false);
            row.detector->setEnabled(false);
        }
    }
    UpdateWarning();
}

std::array<BoxRowInput, kConfigBoxSlots> ConfigDialog::RowInputs() const {
    std::array<BoxRowInput, kConfigBoxSlots> inputs{};
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        inputs[i].host = FromQt(rows_[i].host->text());
        inputs[i].port = FromQt(rows_[i].port->text());
        inputs[i].detectorIndex = rows_[i].detector->currentIndex();
    }
    return inputs;
}

void ConfigDialog::OnRowEdited() {
    if (!rules_.IsInitialised()) return;
    rules_.ValidateRowsSilently(RowInputs());
    for (int i = 0; i < kConfigBoxSlots; ++i) {
        if (!rules_.IsLocked(i)) rows_[static_cast<std::size_t>(i)].detector->setEnabled(rules_.DetectorEnabled(i));
    }
    UpdateWarning();
}

void ConfigDialog::UpdateWarning() {
    const bool show = rules_.ShowsIncompatibilityWarning();
    if (warningKnown_ && show == warningActive_) return;
    warningKnown_ = true;
    warningActive_ = show;
    warningIcon_->setVisible(show);
    warningTitle_->setVisible(show);
    warningText_->setVisible(show);
    if (show) {
        blink_->start();
    } else {
        blink_->stop();
    }
}

void ConfigDialog::BrowseExportFile() {
    QString name = QFileDialog::getSaveFileName(this, T("Export file", "Fichier d'export"), exportFile_->text(),
                                                T("Detection file (*.qox)", "Fichier de détections (*.qox)"));
    if (name.isEmpty()) return;
    exportFile_->setText(ToQt(WithQoxSuffix(FromQt(name))));
}

void ConfigDialog::OpenAdvanced() {
    AdvancedConfigDialog dialog(controller_, this);
    dialog.exec();
}

void ConfigDialog::accept() {
    const RangeCheck port = CheckIntegerField(FromQt(linkPort_->text()), kLinkPortRange);
    if (!port.ok) {
        ShowMessageBox(this, ToQt(port.message), MessageIcon::Warning);
        linkPort_->setFocus();
        linkPort_->selectAll();
        return;
    }
    const RangeCheck reconnect = CheckIntegerField(FromQt(linkReconnect_->text()), kLinkReconnectRange);
    if (!reconnect.ok) {
        ShowMessageBox(this, ToQt(reconnect.message), MessageIcon::Warning);
        linkReconnect_->setFocus();
        linkReconnect_->selectAll();
        return;
    }
    if (auto failure = rules_.ValidateRowsForOk(RowInputs())) {
        ShowMessageBox(this, ToQt(failure->message), MessageIcon::Warning);
        rows_[static_cast<std::size_t>(failure->slot)].port->setFocus();
        return;
    }
    ConfigValues values;
    values.exportFile = FromQt(exportFile_->text().trimmed());
    values.linkHost = FromQt(linkHost_->text().trimmed());
    values.linkPort = port.value;
    values.linkReconnectSeconds = reconnect.value;
    const int choice = std::max(0, boxReconnect_->currentIndex());
    values.boxReconnectSeconds = ReconnectChoices()[static_cast<std::size_t>(choice)].seconds;
    values.daysToAdd = std::max(0, longRace_->currentIndex());
    values.ignoreUnknownTags = ignoreUnknownTags_->isChecked();
    values.beepDetections = beepDetections_->isChecked();
    values.beepWhenQuit = beepWhenQuit_->isChecked();
    std::array<BoxSlotState, kConfigBoxSlots> boxSlots{};
    for (int i = 0; i < kConfigBoxSlots; ++i) {
        boxSlots[static_cast<std::size_t>(i)].declaration = rules_.Declaration(i);
        boxSlots[static_cast<std::size_t>(i)].locked = rules_.IsLocked(i);
    }
    controller_.ApplyConfiguration(values, boxSlots);
    QDialog::accept();
}

// ---------------------------------------------------------------------------

AdvancedConfigDialog::AdvancedConfigDialog(MainController& controller, QWidget* parent)
    : QDialog(parent), controller_(controller) {
    setObjectName("advancedConfigDialog");
    setWindowTitle(T("Advanced settings", "Paramètres avancés"));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    auto spin = [this](IntRange range, const char* name) {
        auto* box = new QSpinBox(this);
        box->setObjectName(name);
        box->setRange(range.min, range.max);
        return box;
    };
    ignoreInput_ = spin(kIgnoreInputRange, "ignoreInput");
    ignoreOutput_ = spin(kIgnoreOutputRange, "ignoreOutput");
    readDelta_ = spin(kReadDeltaRange, "readDelta");
    form->addRow(T("Ignore box detections closer than this many ms to the previous one:",
                   "Ignorer les détections d'un boîtier plus proches que ce nombre de ms de la précédente :"),
                 ignoreInput_);
    form->addRow(T("In direct connection, do not send to Quillet detections closer than this many ms to the "
                   "previous one sent:",
                   "En connexion directe, ne pas envoyer à Quillet les détections plus proches que ce nombre de ms "
                   "de la précédente envoyée :"),
                 ignoreOutput_);
    form->addRow(T("Time to wait before checking for box input, in ms:",
                   "Attente avant de lire les entrées des boîtiers, en ms :"),
                 readDelta_);
    layout->addLayout(form);
    auto* factory = new QPushButton(T("Restore factory settings", "Restaurer les paramètres d'usine"), this);
    factory->setObjectName("factorySettings");
    factory->setAutoDefault(false);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Cancel)->setText(T("Cancel", "Annuler"));
    buttons->addButton(factory, QDialogButtonBox::ResetRole);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &AdvancedConfigDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &AdvancedConfigDialog::reject);
    connect(factory, &QPushButton::clicked, this, &AdvancedConfigDialog::RestoreFactorySettings);

    const AdvancedValues values = LoadAdvancedValues();
    ignoreInput_->setValue(values.ignoreInputMsDelta);
    ignoreOutput_->setValue(values.ignoreOutputMsDelta);
    readDelta_->setValue(values.readMsDelta);
}

void AdvancedConfigDialog::RestoreFactorySettings() {
    const AdvancedValues factory = FactoryAdvancedValues();
    ignoreInput_->setValue(factory.ignoreInputMsDelta);
    ignoreOutput_->setValue(factory.ignoreOutputMsDelta);
    readDelta_->setValue(factory.readMsDelta);
}

AdvancedValues AdvancedConfigDialog::Values() const {
    return AdvancedValues{ignoreInput_->value(), ignoreOutput_->value(), readDelta_->value()};
}

void AdvancedConfigDialog::accept() {
    controller_.ApplyAdvancedConfiguration(Values());
    QDialog::accept();
}

}  // namespace lv

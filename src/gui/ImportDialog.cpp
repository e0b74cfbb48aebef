#include "gui/ImportDialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QProgressDialog>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include <memory>

#include "base/Texts.h"
#include "gui/MessageBoxes.h"
#include "gui/QtTexts.h"
#include "gui/StateImages.h"

namespace lv {

namespace {

QGroupBox* Step(int number, const QString& title, QWidget* parent) {
    auto* box = new QGroupBox(QString("%1. %2").arg(number).arg(title), parent);
    return box;
}

QToolButton* SmallButton(const QString& text, const QString& name, QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setText(text);
    button->setObjectName(name);
    return button;
}

}  // namespace

ImportDialog::ImportDialog(ImportSourceHooks hooks, QWidget* parent) : QDialog(parent), hooks_(std::move(hooks)) {
    setObjectName("importDialog");
    setWindowTitle(ToQt(CDlgImportTarvex::Title()));
    const QDate today = QDate::currentDate();
    opening_ = rules_.Open(CDlgImportTarvex::Date{today.day(), today.month(), today.year()});

    auto* layout = new QVBoxLayout(this);

    // 1. The input file.
    auto* fileStep = Step(1, T("File to import", "Fichier à importer"), this);
    auto* fileRow = new QHBoxLayout(fileStep);
    input_ = new QLineEdit(fileStep);
    input_->setObjectName("inputFile");
    auto* source = SmallButton("...", "sourceButton", fileStep);
    fileRow->addWidget(input_, 1);
    fileRow->addWidget(source);
    layout->addWidget(fileStep);

    // 2. The day and the time range.
    auto* rangeStep = Step(2, T("Date and time range", "Date et période"), this);
    auto* rangeRow = new QHBoxLayout(rangeStep);
    date_ = new QDateEdit(rangeStep);
    date_->setObjectName("date");
    date_->setCalendarPopup(true);
    date_->setDisplayFormat("dd/MM/yyyy");
    date_->setMinimumDate(QDate(CDlgImportTarvex::kFirstYear, 1, 1));
    date_->setMaximumDate(QDate(CDlgImportTarvex::kLastYear, 1, 1));
    date_->setDate(QDate(opening_.date.year, opening_.date.month, opening_.date.day));
    start_ = new QLineEdit(ToQt(opening_.startTime), rangeStep);
    start_->setObjectName("startTime");
    end_ = new QLineEdit(ToQt(opening_.endTime), rangeStep);
    end_->setObjectName("endTime");
    auto* startMenu = SmallButton("▾", "startTimeMenu", rangeStep);
    startMenu->setToolTip(ToQt(CDlgImportTarvex::StartTimeTooltip()));
    auto* endMenu = SmallButton("▾", "endTimeMenu", rangeStep);
    endMenu->setToolTip(ToQt(CDlgImportTarvex::EndTimeTooltip()));
    rangeRow->addWidget(date_);
    rangeRow->addWidget(new QLabel(T("from", "de"), rangeStep));
    rangeRow->addWidget(start_);
    rangeRow->addWidget(startMenu);
    rangeRow->addWidget(new QLabel(T("to", "à"), rangeStep));
    rangeRow->addWidget(end_);
    rangeRow->addWidget(endMenu);
    layout->addWidget(rangeStep);

    // 3. The search.
    auto* searchStep = Step(3, T("Search", "Recherche"), this);
    auto* searchRow = new QHBoxLayout(searchStep);
    search_ = new QPushButton(T("Search", "Rechercher"), searchStep);
    search_->setObjectName("search");
    abnormal_ = new QCheckBox(T("Display all abnormal events found in file",
                                "Afficher tous les événements anormaux trouvés dans le fichier"),
                              searchStep);
    abnormal_->setObjectName("abnormal");
    searchRow->addWidget(search_);
    searchRow->addWidget(abnormal_, 1);
    layout->addWidget(searchStep);

    // 4. The box id and the time correction.
    auto* boxStep = Step(4, T("Box id and time correction", "Id. boîtier et correction du temps"), this);
    auto* boxRow = new QHBoxLayout(boxStep);
    boxId_ = new QComboBox(boxStep);
    boxId_->setObjectName("boxId");
    for (const auto& entry : CDlgImportTarvex::BoxIdEntries()) boxId_->addItem(ToQt(entry));
    boxId_->setCurrentIndex(-1);
    correction_ = new QComboBox(boxStep);
    correction_->setObjectName("correction");
    for (const auto& text : CDlgImportTarvex::CorrectionChoices()) correction_->addItem(ToQt(text));
    correctionIcon_ = new QLabel(boxStep);
    correctionIcon_->setPixmap(WarningImage(20));
    correctionText_ = new QLabel(boxStep);
    correctionText_->setObjectName("correctionLabel");
    correctionText_->setStyleSheet("QLabel { background: yellow; color: black; font-weight: bold; padding: 1px 4px; }");
    boxRow->addWidget(new QLabel(T("Box id:", "Id. boîtier :"), boxStep));
    boxRow->addWidget(boxId_);
    boxRow->addWidget(correction_, 1);
    boxRow->addWidget(correctionIcon_);
    boxRow->addWidget(correctionText_);
    layout->addWidget(boxStep);

    // 5. Import into the program, or save into a detection file.
    auto* endStep = Step(5, T("Import or save", "Importer ou sauvegarder"), this);
    auto* endRow = new QHBoxLayout(endStep);
    import_ = new QPushButton(T("Import", "Importer"), endStep);
    import_->setObjectName("import");
    save_ = new QPushButton(T("Save", "Sauvegarder"), endStep);
    save_->setObjectName("save");
    output_ = new QLineEdit(endStep);
    output_->setObjectName("outputFile");
    auto* outputButton = SmallButton("...", "outputButton", endStep);
    endRow->addWidget(import_);
    endRow->addWidget(save_);
    endRow->addWidget(output_, 1);
    endRow->addWidget(outputButton);
    layout->addWidget(endStep);

    auto* countRow = new QHBoxLayout;
    countRow->addWidget(new QLabel(T("Consistent detections:", "Détections cohérentes :"), this));
    count_ = new QLabel("0", this);
    count_->setObjectName("count");
    countRow->addWidget(count_);
    countRow->addStretch(1);
    layout->addLayout(countRow);

    log_ = new QListWidget(this);
    log_->setObjectName("log");
    log_->setMinimumSize(560, 180);
    layout->addWidget(log_, 1);
    auto* bottom = new QHBoxLayout;
    auto* clear = new QPushButton(T("Clear those logs", "Effacer ces messages"), this);
    clear->setObjectName("clearLog");
    auto* close = new QPushButton(T("Close", "Fermer"), this);
    close->setObjectName("close");
    bottom->addWidget(clear);
    bottom->addStretch(1);
    bottom->addWidget(close);
    layout->addLayout(bottom);

    connect(source, &QToolButton::clicked, this, &ImportDialog::ShowSourceMenu);
    connect(startMenu, &QToolButton::clicked, this, [this] { ShowTimeMenu(true); });
    connect(endMenu, &QToolButton::clicked, this, [this] { ShowTimeMenu(false); });
    connect(search_, &QPushButton::clicked, this, &ImportDialog::Search);
    connect(import_, &QPushButton::clicked, this, &ImportDialog::Import);
    connect(save_, &QPushButton::clicked, this, &ImportDialog::Save);
    connect(outputButton, &QToolButton::clicked, this, &ImportDialog::ChooseOutput);
    connect(boxId_, &QComboBox::currentIndexChanged, this, [this] { RefreshButtons(); });
    connect(correction_, &QComboBox::currentIndexChanged, this, &ImportDialog::ShowCorrection);
    connect(clear, &QPushButton::clicked, this, [this] {
        rules_.ClearLog();
        log_->clear();
    });
    connect(close, &QPushButton::clicked, this, &ImportDialog::reject);

    ShowCorrection(0);
    RefreshButtons();
}

ImportDialog::~ImportDialog() { StopSearch(); }

void ImportDialog::ShowSourceMenu() {
    QMenu menu(this);
    for (const auto& [entry, text] : CDlgImportTarvex::SourceMenu()) {
        if (entry == CDlgImportTarvex::SourceEntry::Separator) {
            menu.addSeparator();
            continue;
        }
        QAction* action = menu.addAction(ToQt(text));
        if ((entry == CDlgImportTarvex::SourceEntry::BoxFiles || entry == CDlgImportTarvex::SourceEntry::CloudFiles) &&
            !hooks_.exploreFiles) {
            action->setEnabled(false);
        }
        if (entry == CDlgImportTarvex::SourceEntry::Credentials && !hooks_.editCredentials) action->setEnabled(false);
        connect(action, &QAction::triggered, this, [this, entry = entry] { ChooseSource(entry); });
    }
    menu.exec(QCursor::pos());
}

void ImportDialog::ChooseSource(CDlgImportTarvex::SourceEntry entry) {
    using Entry = CDlgImportTarvex::SourceEntry;
    switch (entry) {
        case Entry::File: {
            const QString path = QFileDialog::getOpenFileName(
                this, ToQt(CDlgImportTarvex::InputFileDialogTitle()), ToQt(opening_.parseDir),
                T("Tarvex output (*.txt);;Any file (*)", "Tarvex output (*.txt);;Tous les fichiers (*)"));
            if (!path.isEmpty()) input_->setText(path);
            break;
        }
        case Entry::BoxFiles:
        case Entry::CloudFiles:
            if (hooks_.exploreFiles) {
                std::string logLine;
                const std::string path = hooks_.exploreFiles(this, entry == Entry::CloudFiles, logLine);
                if (!logLine.empty()) {
                    rules_.AddLogLine(logLine);
                    RefreshLog();
                }
                if (!path.empty()) input_->setText(ToQt(path));
            }
            break;
        case Entry::Credentials:
            if (hooks_.editCredentials) hooks_.editCredentials(this);
            break;
        case Entry::Separator:
            break;
    }
}

void ImportDialog::ShowTimeMenu(bool startButton) {
    QMenu menu(this);
    const auto entries = startButton ? CDlgImportTarvex::StartTimeMenu() : CDlgImportTarvex::EndTimeMenu();
    for (int i = 0; i < static_cast<int>(entries.size()); ++i) {
        QAction* action = menu.addAction(ToQt(entries[i].text));
        connect(action, &QAction::triggered, this, [this, startButton, i] { ChooseTime(startButton, i); });
    }
    menu.exec(QCursor::pos());
}

void ImportDialog::ChooseTime(bool startButton, int index) {
    const auto entries = startButton ? CDlgImportTarvex::StartTimeMenu() : CDlgImportTarvex::EndTimeMenu();
    if (index < 0 || index >= static_cast<int>(entries.size())) return;
    (startButton ? start_ : end_)->setText(ToQt(entries[index].value));
}

void ImportDialog::Search() {
    if (Searching()) return;
    const QDate day = date_->date();
    std::vector<std::string> header;
    const auto start = rules_.PrepareSearch(CDlgImportTarvex::Date{day.day(), day.month(), day.year()},
                                            FromQt(start_->text()), FromQt(end_->text()), FromQt(input_->text()),
                                            abnormal_->isChecked(), header);
    if (!start.ok) {
        ShowMessageBox(this, ToQt(start.message), MessageIcon::Warning);
        Focus(start.focus);
        return;
    }
    rules_.BeginSearch(header);
    RefreshLog();

    cancel_ = false;
    progressPosted_ = false;
    progress_ = new QProgressDialog(T("Importing Tarvex file detections", "Import des détections du fichier Tarvex"),
                                    T("Cancel", "Annuler"), 0, 0, this);
    progress_->setObjectName("searchProgress");
    progress_->setWindowTitle(T("Importing Tarvex file detections", "Import des détections du fichier Tarvex"));
    progress_->setWindowModality(Qt::WindowModal);
    progress_->setMinimumDuration(0);
    progress_->setAutoClose(false);
    progress_->setAutoReset(false);
    connect(progress_, &QProgressDialog::canceled, this, [this] { cancel_ = true; });
    progress_->show();

    const DecoderFileSearchRequest request = start.request;
    worker_ = std::thread([this, request] {
        auto progress = [this](const std::string& text, std::size_t, std::size_t) {
            {
                std::lock_guard<std::mutex> guard(progressLock_);
                progressText_ = text;
            }
            // One progress message waits at a time: the UI thread is never flooded.
            if (!progressPosted_.exchange(true)) {
                QMetaObject::invokeMethod(this, [this] { OnProgress(); }, Qt::QueuedConnection);
            }
        };
        auto result = std::make_shared<DecoderFileSearchResult>(SearchDecoderFile(request, progress, &cancel_));
        QMetaObject::invokeMethod(this, [this, result] { OnSearchDone(std::move(*result)); }, Qt::QueuedConnection);
    });
    RefreshButtons();
}

void ImportDialog::OnProgress() {
    progressPosted_ = false;
    std::string text;
    {
        std::lock_guard<std::mutex> guard(progressLock_);
        text = progressText_;
    }
    if (progress_) progress_->setLabelText(ToQt(text));
}

void ImportDialog::OnSearchDone(DecoderFileSearchResult result) {
    if (worker_.joinable()) worker_.join();
    if (progress_) progress_->deleteLater();
    progress_ = nullptr;
    const bool failed = !result.opened || result.readFailed;
    const std::string error = result.error;
    const bool alert = result.alert;
    rules_.TakeSearchResult(std::move(result));
    RefreshLog();
    RefreshButtons();
    if (alert) QApplication::beep();
    if (failed) ShowMessageBox(this, ToQt(error), MessageIcon::Warning);
}

void ImportDialog::StopSearch() {
    cancel_ = true;
    if (worker_.joinable()) worker_.join();
}

void ImportDialog::RefreshLog() {
    log_->clear();
    for (const auto& line : rules_.LogLines()) log_->addItem(ToQt(line));
    log_->scrollToBottom();
    count_->setText(QString::number(static_cast<qulonglong>(rules_.Count())));
}

void ImportDialog::RefreshButtons() {
    const bool enabled = !Searching() && rules_.CanFinish(boxId_->currentIndex() >= 0);
    import_->setEnabled(enabled);
    save_->setEnabled(enabled);
    search_->setEnabled(!Searching());
}

void ImportDialog::ShowCorrection(int correction) {
    const std::string label = CDlgImportTarvex::CorrectionLabel(correction);
    correctionText_->setText(ToQt(label));
    correctionText_->setVisible(!label.empty());
    correctionIcon_->setVisible(!label.empty());
}

void ImportDialog::Focus(CDlgImportTarvex::Field field) {
    switch (field) {
        case CDlgImportTarvex::Field::StartTime: start_->setFocus(); break;
        case CDlgImportTarvex::Field::EndTime: end_->setFocus(); break;
        case CDlgImportTarvex::Field::InputFile: input_->setFocus(); break;
        case CDlgImportTarvex::Field::OutputFile: output_->setFocus(); break;
        case CDlgImportTarvex::Field::None: break;
    }
}

void ImportDialog::ChooseOutput() {
    const QString path = QFileDialog::getSaveFileName(
        this, ToQt(CDlgImportTarvex::OutputFileDialogTitle()), ToQt(opening_.saveDir),
        T("Detections (*.qox);;All types (*)", "Détections (*.qox);;Tous les types (*)"));
    if (!path.isEmpty()) output_->setText(path);
}

void ImportDialog::Import() {
    if (Searching() || boxId_->currentIndex() < 0 || rules_.Count() == 0) return;
    if (!AskYesNoBox(this, ToQt(CDlgImportTarvex::ImportQuestion()))) return;
    result_ = rules_.Finish(CDlgImportTarvex::kImportCode, FromQt(boxId_->currentText()), correction_->currentIndex(), "");
    accept();
}

void ImportDialog::Save() {
    if (Searching() || boxId_->currentIndex() < 0 || rules_.Count() == 0) return;
    const auto save = rules_.PrepareSave(FromQt(output_->text()));
    if (!save.ok) {
        ShowMessageBox(this, ToQt(save.message), MessageIcon::Warning);
        Focus(save.focus);
        return;
    }
    // The old file is replaced only once the new one is whole (not deleted first).
    if (!save.question.empty() && !AskYesNoBox(this, ToQt(save.question))) return;
    output_->setText(ToQt(save.path));
    result_ = rules_.Finish(CDlgImportTarvex::kSaveCode, FromQt(boxId_->currentText()), correction_->currentIndex(),
                            save.path);
    accept();
}

void ImportDialog::done(int code) {
    StopSearch();
    CDlgImportTarvex::SaveFolders(FromQt(input_->text()), FromQt(output_->text()));
    QDialog::done(code);
}

}  // namespace lv

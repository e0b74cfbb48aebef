#include "gui/BoxFilesDialog.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDialog>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <memory>

#include "cloud/explorer/BoxFilesExplorer.h"
#include "gui/LineDelegates.h"
#include "gui/MessageBoxes.h"
#include "gui/QtUiLoop.h"

namespace lv {

namespace {

class BoxFilesDialog : public QDialog, public BoxFilesView {
public:
    BoxFilesDialog(QWidget* parent, BoxFilesSource source) : QDialog(parent) {
        setObjectName("CDlgBoxFiles");
        setWindowTitle(T("Download Tarvex detection files", "Téléchargement fichiers de détections Tarvex"));
        entries_ = new QComboBox(this);
        entries_->setObjectName("entries");
        files_ = new QListWidget(this);
        files_->setObjectName("files");
        files_->setMinimumSize(560, 240);
        // Number, count, date and time in columns that line up.
        files_->setItemDelegate(new TabStopsDelegate(
            {" XXX:", T("Detections: XXXXX", "Détections: XXXXX"), "XX/XX/XXXX ", "XX:XX:XX"}, files_));
        destination_ = new QLineEdit(this);
        destination_->setObjectName("destination");
        auto* browse = new QPushButton("...", this);
        refresh_ = new QPushButton(T("Refresh", "Rafraîchir"), this);
        remove_ = new QPushButton(T("Remove files", "Effacer les fichiers"), this);
        copyUrl_ = new QPushButton(T("Copy URL", "Copier l'URL"), this);
        download_ = new QPushButton(T("Download", "Télécharger"), this);
        download_->setDefault(true);
        cancel_ = new QPushButton(T("Cancel", "Annuler"), this);
        busy_ = new QProgressBar(this);
        busy_->setRange(0, 0);  // turning: the length of a request is unknown
        busy_->setTextVisible(false);
        busy_->setVisible(false);

        auto* layout = new QVBoxLayout(this);
        layout->addWidget(entries_);
        layout->addWidget(new QLabel(T("Files found", "Fichiers disponibles"), this));
        layout->addWidget(files_);
        layout->addWidget(new QLabel(T("Destination directory", "Répertoire de destination"), this));
        auto* folderRow = new QHBoxLayout;
        folderRow->addWidget(destination_);
        folderRow->addWidget(browse);
        layout->addLayout(folderRow);
        layout->addWidget(busy_);
        auto* buttons = new QHBoxLayout;
        for (QPushButton* button : {refresh_, remove_, copyUrl_}) buttons->addWidget(button);
        buttons->addStretch();
        buttons->addWidget(download_);
        buttons->addWidget(cancel_);
        layout->addLayout(buttons);

        explorer_ = std::make_unique<BoxFilesExplorer>(std::move(source), loop_, *this);
        connect(entries_, qOverload<int>(&QComboBox::activated), this, [this](int index) {
            explorer_->SelectEntry(index);
        });
        connect(files_, &QListWidget::currentRowChanged, this, [this](int row) { explorer_->SelectLine(row); });
        connect(files_, &QListWidget::itemDoubleClicked, this, [this] { Download(); });
        connect(refresh_, &QPushButton::clicked, this, [this] { explorer_->Refresh(); });
        connect(remove_, &QPushButton::clicked, this, [this] { explorer_->RemoveFiles(); });
        connect(copyUrl_, &QPushButton::clicked, this, [this] { explorer_->CopyUrl(); });
        connect(download_, &QPushButton::clicked, this, [this] { Download(); });
        connect(cancel_, &QPushButton::clicked, this, [this] { explorer_->Cancel(); });
        connect(browse, &QPushButton::clicked, this, [this] {
            const QString chosen = QFileDialog::getExistingDirectory(this, T("Destination directory",
                                                                             "Répertoire de destination"),
                                                                     destination_->text());
            if (!chosen.isEmpty()) explorer_->ChooseFolder(FromQt(chosen), FromQt(destination_->text()));
        });
        explorer_->Open();
    }

    ~BoxFilesDialog() override {
        explorer_.reset();
        if (cursorSet_) QApplication::restoreOverrideCursor();
    }

    std::string OutputPath() const { return explorer_->OutputPath(); }

    // Escape and the window's close box: a running request is ended with the dialog.
    void reject() override {
        if (closing_) {
            QDialog::reject();
            return;
        }
        explorer_->Close();
    }

    // --- BoxFilesView ---
    void ShowEntries(const std::vector<std::string>& entries, int selected) override {
        entries_->clear();
        for (const std::string& entry : entries) entries_->addItem(ToQt(entry));
        entries_->setCurrentIndex(selected);
    }
    void ShowFileLines(const std::vector<std::string>& lines, bool enabled) override {
        const QSignalBlocker quiet(files_);
        files_->clear();
        for (const std::string& line : lines) files_->addItem(ToQt(line));
        files_->setEnabled(enabled);
        files_->setCurrentRow(-1);
        files_->repaint();
    }
    void ShowButtons(const ExplorerButtons& buttons) override {
        download_->setEnabled(buttons.download);
        refresh_->setEnabled(buttons.refresh);
        copyUrl_->setEnabled(buttons.copyUrl);
        remove_->setEnabled(buttons.removeFiles);
    }
    void ShowDestination(const std::string& folder) override { destination_->setText(ToQt(folder)); }
    void ShowBusy(bool busy) override {
        busy_->setVisible(busy);
        entries_->setEnabled(!busy);
        if (busy == cursorSet_) return;
        cursorSet_ = busy;
        if (busy) QApplication::setOverrideCursor(Qt::BusyCursor);
        else QApplication::restoreOverrideCursor();
    }
    void ShowMessage(const std::string& text, Icon icon) override {
        ShowMessageBox(this, ToQt(text), icon == Icon::Information ? MessageIcon::Information : MessageIcon::Warning);
    }
    bool AskYesNo(const std::string& question) override { return AskYesNoBox(this, ToQt(question)); }
    void PlayAlert() override { QApplication::beep(); }
    void CopyToClipboard(const std::string& text) override { QGuiApplication::clipboard()->setText(ToQt(text)); }
    void Close(bool accepted) override {
        closing_ = true;
        if (accepted) accept();
        else QDialog::reject();
    }

private:
    void Download() { explorer_->Download(FromQt(destination_->text())); }

    QtUiLoop loop_;
    std::unique_ptr<BoxFilesExplorer> explorer_;
    QComboBox* entries_ = nullptr;
    QListWidget* files_ = nullptr;
    QLineEdit* destination_ = nullptr;
    QPushButton* refresh_ = nullptr;
    QPushButton* remove_ = nullptr;
    QPushButton* copyUrl_ = nullptr;
    QPushButton* download_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QProgressBar* busy_ = nullptr;
    bool closing_ = false;
    bool cursorSet_ = false;
};

}  // namespace

std::string RunBoxFilesDialog(QWidget* parent, BoxFilesSource source) {
    BoxFilesDialog dialog(parent, std::move(source));
    dialog.exec();
    return dialog.OutputPath();
}

}  // namespace lv

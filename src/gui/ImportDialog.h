#pragma once
// CDlgImportTarvex's window: the five steps over the dialog's rules. The search reads
// the file on a worker thread behind a progress window with its cancel button, so the
// window keeps drawing however large the file.
#include <QDialog>
#include <QPointer>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "import/DlgImportTarvex.h"

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressDialog;
class QPushButton;
class QToolButton;

namespace lv {

// The source menu's entries that need the box files explorer and the customer
// credentials; an entry without its hook is shown disabled.
struct ImportSourceHooks {
    // Opens the explorer on the configured boxes (cloud false) or on the customer's
    // cloud devices (cloud true) over `parent`; the downloaded file's path, or empty.
    // The chosen file's path, or ""; `logLine` is set when a request failed, for the
    // dialog's log (the user looks there).
    std::function<std::string(QWidget* parent, bool cloud, std::string& logLine)> exploreFiles;
    std::function<void(QWidget* parent)> editCredentials;
};

class ImportDialog : public QDialog {
    Q_OBJECT
public:
    explicit ImportDialog(ImportSourceHooks hooks, QWidget* parent = nullptr);
    ~ImportDialog() override;

    // Filled when the dialog ended with import or save.
    ImportDialogResult TakeResult() { return std::move(result_); }

    // For tests.
    QLineEdit* InputEdit() const { return input_; }
    QDateEdit* DateEdit() const { return date_; }
    QLineEdit* StartEdit() const { return start_; }
    QLineEdit* EndEdit() const { return end_; }
    QCheckBox* AbnormalCheck() const { return abnormal_; }
    QComboBox* BoxIdCombo() const { return boxId_; }
    QComboBox* CorrectionCombo() const { return correction_; }
    QLabel* CorrectionLabel() const { return correctionText_; }
    QLineEdit* OutputEdit() const { return output_; }
    QPushButton* SearchButton() const { return search_; }
    QPushButton* ImportButton() const { return import_; }
    QPushButton* SaveButton() const { return save_; }
    QLabel* CountLabel() const { return count_; }
    QListWidget* LogList() const { return log_; }
    bool Searching() const { return worker_.joinable(); }
    // The menus as they would pop up (tests choose in them without a mouse).
    void ChooseSource(CDlgImportTarvex::SourceEntry entry);
    void ChooseTime(bool startButton, int index);

    void done(int code) override;

public slots:
    void Search();
    void Import();
    void Save();

private:
    void ShowSourceMenu();
    void ShowTimeMenu(bool startButton);
    void ChooseOutput();
    void OnSearchDone(DecoderFileSearchResult result);
    void OnProgress();
    void StopSearch();
    void RefreshLog();
    void RefreshButtons();
    void ShowCorrection(int correction);
    void Focus(CDlgImportTarvex::Field field);

    CDlgImportTarvex rules_;
    ImportSourceHooks hooks_;
    ImportDialogResult result_;
    CDlgImportTarvex::Opening opening_;

    QLineEdit* input_ = nullptr;
    QDateEdit* date_ = nullptr;
    QLineEdit* start_ = nullptr;
    QLineEdit* end_ = nullptr;
    QCheckBox* abnormal_ = nullptr;
    QComboBox* boxId_ = nullptr;
    QComboBox* correction_ = nullptr;
    QLabel* correctionText_ = nullptr;
    QLabel* correctionIcon_ = nullptr;
    QLineEdit* output_ = nullptr;
    QPushButton* search_ = nullptr;
    QPushButton* import_ = nullptr;
    QPushButton* save_ = nullptr;
    QLabel* count_ = nullptr;
    QListWidget* log_ = nullptr;
    QPointer<QProgressDialog> progress_;

    // The search under way.
    std::thread worker_;
    std::atomic<bool> cancel_{false};
    std::mutex progressLock_;
    std::string progressText_;          // the latest, under progressLock_
    std::atomic<bool> progressPosted_{false};
};

}  // namespace lv

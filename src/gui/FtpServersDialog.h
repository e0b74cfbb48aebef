#pragma once
// CDlgFtpServers: the known FTP servers, chosen with check boxes, added, updated and
// removed. A thin view over FtpServersDialogRules; OK writes FtpServers.dat and
// ChosenLabels() gives the checked servers in list order.
#include <QDialog>

#include <array>
#include <string>
#include <vector>

#include "ftp/FtpServersDialogRules.h"

class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;
class QWidget;

namespace lv {

class FtpServersDialog : public QDialog {
    Q_OBJECT
public:
    // `path` is the servers file (GetFtpServersFilePath() in the program).
    FtpServersDialog(const std::string& path, const std::vector<std::string>& chosenLabels,
                     QWidget* parent = nullptr);

    void accept() override;
    // After OK: the checked labels.
    const std::vector<std::string>& ChosenLabels() const { return chosen_; }

    // For tests.
    QTreeWidget* List() const { return list_; }
    QLineEdit* Edit(FtpServerField field) const { return edits_[static_cast<std::size_t>(field)]; }
    QPushButton* AddButton() const { return add_; }
    QPushButton* RemoveButton() const { return remove_; }
    QPushButton* UpdateButton() const { return update_; }
    QPushButton* FormButton() const { return form_; }
    QPushButton* ValidateButton() const { return validate_; }
    QPushButton* CancelUpdateButton() const { return cancelUpdate_; }
    QPushButton* OkButton() const { return ok_; }
    QWidget* Panel() const { return panel_; }
    const FtpServersDialogRules& Rules() const { return rules_; }

private:
    void Refresh();
    void OnSelectionChanged();
    void OnItemChanged(QTreeWidgetItem* item);
    void OnDoubleClick(QTreeWidgetItem* item);
    void OnAdd();
    void OnUpdate();
    void OnValidate();
    void OnCancelUpdate();
    void OnRemove();
    void OnToggleForm();
    void FocusField(FtpServerField field);

    FtpServersDialogRules rules_;
    std::vector<std::string> chosen_;
    bool refreshing_ = false;
    QTreeWidget* list_ = nullptr;
    std::array<QLineEdit*, 5> edits_{};
    QPushButton* add_ = nullptr;
    QPushButton* remove_ = nullptr;
    QPushButton* update_ = nullptr;
    QPushButton* form_ = nullptr;
    QPushButton* validate_ = nullptr;
    QPushButton* cancelUpdate_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QWidget* buttonColumn_ = nullptr;
    QWidget* panel_ = nullptr;
};

// CDlgFtpParameters: the detections export's server, in section FtpSettings. OK
// writes the five keys; no field is checked.
class FtpParametersDialog : public QDialog {
    Q_OBJECT
public:
    explicit FtpParametersDialog(QWidget* parent = nullptr);

    void accept() override;

    QLineEdit* Edit(FtpServerField field) const { return edits_[static_cast<std::size_t>(field)]; }

private:
    std::array<QLineEdit*, 5> edits_{};
};

}  // namespace lv

#pragma once
// CDlgConfig: the four box rows, the export file, the direct connection and the
// acquisition options. A thin view over BoxConfigRules; OK hands the result to
// MainController::ApplyConfiguration.
#include <QDialog>

#include <array>

#include "boxes/BoxConfigRules.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QSpinBox;
class QTimer;

namespace lv {

class MainController;

class ConfigDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int kBlinkMs = 800;

    ConfigDialog(MainController& controller, QWidget* parent = nullptr);

    // OK: range checks, row checks with messages, then the configuration applied.
    void accept() override;

    // Read by tests.
    bool WarningShown() const { return warningActive_; }
    QLineEdit* HostEdit(int slot) const { return rows_.at(static_cast<std::size_t>(slot)).host; }
    QLineEdit* PortEdit(int slot) const { return rows_.at(static_cast<std::size_t>(slot)).port; }
    QComboBox* DetectorCombo(int slot) const { return rows_.at(static_cast<std::size_t>(slot)).detector; }
    QLineEdit* LinkPortEdit() const { return linkPort_; }
    QLineEdit* LinkReconnectEdit() const { return linkReconnect_; }
    QComboBox* ReconnectCombo() const { return boxReconnect_; }

private:
    struct Row {
        QLineEdit* host = nullptr;
        QLineEdit* port = nullptr;
        QComboBox* detector = nullptr;
    };

    void BuildControls();
    void LoadValues();
    std::array<BoxRowInput, kConfigBoxSlots> RowInputs() const;
    void OnRowEdited();
    void UpdateWarning();
    void BrowseExportFile();
    void OpenAdvanced();

    MainController& controller_;
    BoxConfigRules rules_;
    std::array<Row, kConfigBoxSlots> rows_{};
    QLineEdit* exportFile_ = nullptr;
    QLineEdit* linkHost_ = nullptr;
    QLineEdit* linkPort_ = nullptr;
    QLineEdit* linkReconnect_ = nullptr;
    QComboBox* boxReconnect_ = nullptr;
    QComboBox* longRace_ = nullptr;
    QCheckBox* ignoreUnknownTags_ = nullptr;
    QCheckBox* beepDetections_ = nullptr;
    QCheckBox* beepWhenQuit_ = nullptr;
    QLabel* warningIcon_ = nullptr;
    QLabel* warningTitle_ = nullptr;
    QLabel* warningText_ = nullptr;
    QTimer* blink_ = nullptr;
    bool warningActive_ = false;
    bool warningKnown_ = false;
};

// CDlgConfigAdvanced: the three timing thresholds; OK hands them to
// MainController::ApplyAdvancedConfiguration, which stores them at once.
class AdvancedConfigDialog : public QDialog {
    Q_OBJECT
public:
    explicit AdvancedConfigDialog(MainController& controller, QWidget* parent = nullptr);
    void accept() override;
    void RestoreFactorySettings();
    AdvancedValues Values() const;

private:
    MainController& controller_;
    QSpinBox* ignoreInput_ = nullptr;
    QSpinBox* ignoreOutput_ = nullptr;
    QSpinBox* readDelta_ = nullptr;
};

}  // namespace lv

#pragma once
// The program's main window: the detections, summary and log windows, the box state
// icons, the counters, the runner displays and a button for every command. It draws
// and asks; every decision is MainController's.
#include <QPointer>
#include <QStringList>
#include <QWidget>

#include <array>
#include <ctime>

#include "app/MainView.h"
#include "gui/ImportDialog.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QListView;
class QLocalServer;
class QProgressDialog;
class QPushButton;
class QSize;
class QToolButton;

namespace lv {

class DetectionsModel;
class LogModel;
class MainController;
class SoundPlayer;
class Speaker;
class SummaryModel;

struct GuiOptions {
    bool openConfigurationAtStart = true;  // the configuration dialog 100 ms after start
    bool clock = true;                     // the computer's time, updated every second
    bool sounds = true;
    bool speech = true;
    bool popFrontServer = true;            // listen for bring-to-front requests
};

// The local socket another program connects to for bringing the window to the front.
inline constexpr const char* kPopFrontServerName = "Lumivane.popfront";

class MainWindow : public QWidget, public MainView {
    Q_OBJECT
public:
    explicit MainWindow(const GuiOptions& options, QWidget* parent = nullptr);
    ~MainWindow() override;

    // The controller the window sends its commands to; then the window's timers.
    void Attach(MainController& controller);

    // --- MainView ---
    void ShowMessage(const std::string& text, MessageIcon icon) override;
    bool AskYesNo(const std::string& question) override;
    bool AskYesNo(const std::string& question, bool defaultYes) override;
    YesNoCancel AskYesNoCancel(const std::string& question) override;
    void ShowProgress(const std::string& title, const std::string& text) override;
    void EndProgress() override;
    void AddDetectionLine(const CDetectionItem& item) override;
    void ClearDetectionLines() override;
    void RefreshDetectionLines() override;
    void AddSummaryItem(const CSummaryItem& item) override;
    void ClearSummary() override;
    void AddLogLine(const std::string& line) override;
    void ClearLog() override;
    void DropOldestLogLines(std::size_t count) override;
    void SetBoxState(int box, BoxVisualState state, const std::string& label) override;
    void SetCounterText(const std::string& text) override;
    void SetBoxActivity(int box, const BoxActivity& activity) override;
    void ShowLostBoxAlert(const std::string& text) override;
    void ShowOperatorAlert(const std::string& text) override;
    void ShowResumeNotice(const std::string& text) override;
    void ShowForwardingBacklog(std::size_t waiting) override;
    void ShowJournalPending(std::size_t pendingLines) override;
    void SetClockButtonsEnabled(bool enabled) override;
    void SetConnectButtonDown(bool down) override;
    void SetDayOffsetIndicator(int hours) override;
    void SetBusy(bool busy) override;
    void SetDirectLinkState(LinkVisualState state) override;
    void ShowLinkLost(const std::string& text) override;
    void EndLinkLost(const std::string& backText) override;
    void SetRunnerDisplay(const RunnerDisplay& runner) override;
    void PlaySound(Sound sound) override;
    bool SpeechEnabled() const override;
    void Speak(const std::string& text) override;
    void BringToFront() override;

    // --- Commands (also used by tests) ---
    void OpenConfiguration();
    void OpenManualInsertion();
    // The detection-lines export (right-button menu) and the detections export (command 1224).
    void OpenExportDetectionLines();
    void OpenExportDetections();
    // The import dialog of decoder output files; its outcome goes to the controller.
    void OpenImport();
    // The source menu's explorer and credentials entries in place of the window's own
    // (tests).
    void SetImportSourceHooks(ImportSourceHooks hooks) { importHooks_ = std::move(hooks); }
    void OpenHelp();
    void ShowAbout();
    // Exit with its question; true when the window is closing.
    bool RequestExit();
    // Exit as with Control held (no question): the picture mode's end.
    void ExitWithoutQuestion();
    // The direct-connection toggle switched by the program (--direct).
    void SwitchDirectConnection(bool on);
    // The remove/restore menu over the selected detections, at a screen position.
    void ShowDetectionsMenu(const QPoint& globalPos);
    // "Correct the bib..." of one detection: asks the bib, then the controller records
    // the correction (a warning box when refused).
    void CorrectBibOf(CQoxResult& record);
    // "Find a bib..." (Ctrl+F): selects every detection of the bib typed, the latest in view.
    void FindBibInDetections();
    void ShowBoxMenu(int box, const QPoint& globalPos);

    // --- Read by tests ---
    DetectionsModel& Detections() { return *detections_; }
    SummaryModel& Summary() { return *summary_; }
    LogModel& LogLines() { return *log_; }
    QListView& DetectionsView() { return *detectionsView_; }
    SoundPlayer& Sounds() { return *sounds_; }
    BoxVisualState BoxState(int box) const { return boxStates_.at(static_cast<std::size_t>(box)); }
    LinkVisualState LinkState() const { return linkState_; }
    int FrontRequests() const { return frontRequests_; }

    // The version text: "Version 1.50" and the build date.
    static QString VersionText();
    // The window's size at opening: the preferred size within the screen's available
    // area, never below the size the layout needs.
    static QSize FitInside(const QSize& preferred, const QSize& minimum, const QSize& available);
    // The clock shows this time (the window's timer gives the present one).
    void ShowClock(const std::tm& local);

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void BuildControls();
    QWidget* BuildButtonsColumn();
    void ConnectSignals();
    void StartPopFrontServer();
    void OnConnectClicked(bool pressed);
    void OnDirectClicked(bool on);
    // The toggle shows whether the link is switched on.
    void SyncDirectToggle();
    void OnLogLevelChosen(int index);
    void ScrollDetectionsToEnd();
    // Scrolling resumes when the selection is cleared.
    void OnDetectionSelectionChanged();
    QWidget* BuildAlerts();
    void PlaceInsideScreen();
    void StartClock();
    // The column's width: its widest text, whatever the counter will say.
    void FixButtonsColumnWidth(QWidget* column);

    GuiOptions options_;
    MainController* controller_ = nullptr;
    bool closing_ = false;
    bool busy_ = false;
    bool clockButtonsEnabled_ = false;
    bool configurationOpen_ = false;

    DetectionsModel* detections_ = nullptr;
    SummaryModel* summary_ = nullptr;
    LogModel* log_ = nullptr;
    SoundPlayer* sounds_ = nullptr;
    Speaker* speaker_ = nullptr;
    QLocalServer* popFront_ = nullptr;

    QListView* detectionsView_ = nullptr;
    QListView* summaryView_ = nullptr;
    QListView* logView_ = nullptr;
    QCheckBox* logDetections_ = nullptr;
    QCheckBox* scrollDetections_ = nullptr;
    QComboBox* logLevel_ = nullptr;
    QCheckBox* speech_ = nullptr;            // stands in for the Scroll Lock key
    QLabel* counter_ = nullptr;
    QLabel* clock_ = nullptr;
    QLabel* clockDate_ = nullptr;
    QWidget* lostBoxAlert_ = nullptr;
    QLabel* lostBoxAlertText_ = nullptr;
    QPushButton* dismissLostBoxAlert_ = nullptr;
    QPushButton* reconnectLostBoxes_ = nullptr;
    QWidget* linkLostAlert_ = nullptr;
    QLabel* linkLostAlertText_ = nullptr;
    QPushButton* reconnectLink_ = nullptr;
    QWidget* operatorAlert_ = nullptr;
    QLabel* operatorAlertText_ = nullptr;
    QPushButton* dismissOperatorAlert_ = nullptr;
    QStringList operatorAlerts_;             // the latest first, a few at most
    QWidget* resumeNotice_ = nullptr;
    QLabel* resumeNoticeText_ = nullptr;
    QPushButton* dismissResumeNotice_ = nullptr;
    QPushButton* resetFromResumeNotice_ = nullptr;
    QWidget* journalAlert_ = nullptr;
    QLabel* journalAlertText_ = nullptr;
    QLabel* backlog_ = nullptr;
    bool backlogStyled_ = false;
    bool backlogWaiting_ = false;
    std::array<QToolButton*, 4> boxButtons_{};
    std::array<QLabel*, 4> boxActivity_{};
    std::array<bool, 4> boxSilent_{};  // connected and reading nothing (drawn apart)
    std::array<BoxVisualState, 4> boxStates_{BoxVisualState::Undefined, BoxVisualState::Undefined,
                                             BoxVisualState::Undefined, BoxVisualState::Undefined};
    QLabel* dayOffsetText_ = nullptr;
    QLabel* dayOffsetIcon_ = nullptr;
    QLabel* version_ = nullptr;
    QLabel* runnerName_ = nullptr;
    QLabel* runnerRank_ = nullptr;
    QLabel* runnerTime_ = nullptr;
    QPushButton* connect_ = nullptr;
    QPushButton* configuration_ = nullptr;
    QPushButton* synchronise_ = nullptr;
    QPushButton* displayClocks_ = nullptr;
    QPushButton* import_ = nullptr;
    QPushButton* insert_ = nullptr;
    QPushButton* export_ = nullptr;
    QPushButton* reset_ = nullptr;
    QPushButton* direct_ = nullptr;
    QPushButton* clearLog_ = nullptr;
    QPushButton* clearDetections_ = nullptr;
    QPushButton* clearSummary_ = nullptr;
    QPushButton* help_ = nullptr;
    QPushButton* exit_ = nullptr;            // 2
    LinkVisualState linkState_ = LinkVisualState::Off;
    int frontRequests_ = 0;
    ImportSourceHooks importHooks_;
    QPointer<QProgressDialog> progress_;  // a long operation of the controller
};

}  // namespace lv

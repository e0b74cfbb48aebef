// What the controller asks of the main window (MainView), all on the UI thread.
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QListView>
#include <QProgressDialog>
#include <QPushButton>
#include <QTime>
#include <QTimer>
#include <QToolButton>

#include <fmt/printf.h>

#include "app/MainController.h"
#include "base/Texts.h"

#include "gui/DetectionsModel.h"
#include "gui/MainWindow.h"
#include "gui/MessageBoxes.h"
#include "gui/SoundPlayer.h"
#include "gui/Speaker.h"
#include "gui/StateImages.h"
#include "gui/SummaryModel.h"

namespace lv {

void MainWindow::ShowMessage(const std::string& text, MessageIcon icon) { ShowMessageBox(this, ToQt(text), icon); }

bool MainWindow::AskYesNo(const std::string& question) { return AskYesNo(question, false); }

bool MainWindow::AskYesNo(const std::string& question, bool defaultYes) {
    return AskYesNoBox(this, ToQt(question), defaultYes);
}

YesNoCancel MainWindow::AskYesNoCancel(const std::string& question) { return AskYesNoCancelBox(this, ToQt(question)); }

void MainWindow::ShowProgress(const std::string& title, const std::string& text) {
    if (!progress_) {
        // No cancel: an import stopped half-way would leave half a file in the list.
        progress_ = new QProgressDialog(this);
        progress_->setObjectName("operationProgress");
        progress_->setCancelButton(nullptr);
        progress_->setRange(0, 0);
        progress_->setMinimumDuration(0);
        progress_->setWindowModality(Qt::WindowModal);
    }
    progress_->setWindowTitle(ToQt(title));
    progress_->setLabelText(ToQt(text));
    progress_->show();
}

void MainWindow::EndProgress() {
    if (progress_) progress_->deleteLater();
    progress_ = nullptr;
}

void MainWindow::AddDetectionLine(const CDetectionItem& item) { detections_->Append(item); }

void MainWindow::ClearDetectionLines() { detections_->Clear(); }

void MainWindow::RefreshDetectionLines() { detections_->RefreshAll(); }

void MainWindow::AddSummaryItem(const CSummaryItem& item) { summary_->Append(item); }

void MainWindow::ClearSummary() { summary_->Clear(); }

void MainWindow::AddLogLine(const std::string& line) { log_->Append(line); }

void MainWindow::ClearLog() { log_->Clear(); }

void MainWindow::DropOldestLogLines(std::size_t count) { log_->DropOldest(count); }

void MainWindow::SetBoxState(int box, BoxVisualState state, const std::string& label) {
    if (box < 0 || box >= 4) return;
    QToolButton* button = boxButtons_[static_cast<std::size_t>(box)];
    if (boxStates_[static_cast<std::size_t>(box)] != state || button->icon().isNull()) {
        boxStates_[static_cast<std::size_t>(box)] = state;
        const bool silent = boxSilent_[static_cast<std::size_t>(box)] && state == BoxVisualState::Connected;
        button->setIcon(silent ? BoxSilentImage(button->iconSize().width())
                               : BoxStateImage(state, button->iconSize().width()));
    }
    button->setToolTip(ToQt(label));
}

void MainWindow::SetCounterText(const std::string& text) { counter_->setText(ToQt(text)); }

void MainWindow::SetBoxActivity(int box, const BoxActivity& activity) {
    if (box < 0 || box >= 4) return;
    QLabel* label = boxActivity_[static_cast<std::size_t>(box)];
    const QString text = ToQt(activity.text);
    if (label->text() != text) label->setText(text);
    label->setToolTip(ToQt(activity.tooltip));
    // Connected and reading nothing: another image and an amber count, so that it is
    // not taken for a box that reads.
    bool& silent = boxSilent_[static_cast<std::size_t>(box)];
    if (activity.silent == silent) return;
    silent = activity.silent;
    label->setStyleSheet(silent ? "QLabel { background: #ffd54f; color: black; }" : QString());
    QToolButton* button = boxButtons_[static_cast<std::size_t>(box)];
    const BoxVisualState state = boxStates_[static_cast<std::size_t>(box)];
    button->setIcon(silent && state == BoxVisualState::Connected ? BoxSilentImage(button->iconSize().width())
                                                                 : BoxStateImage(state, button->iconSize().width()));
}

void MainWindow::ShowLostBoxAlert(const std::string& text) {
    lostBoxAlertText_->setText(ToQt(text));
    lostBoxAlert_->setVisible(!text.empty());
}

void MainWindow::ShowOperatorAlert(const std::string& text) {
    if (text.empty()) return;
    // The clock of the alert, since the band may stay a while before it is seen.
    operatorAlerts_.prepend(QTime::currentTime().toString("HH:mm:ss") + "  " + ToQt(text));
    constexpr int kShownAlerts = 3;
    while (operatorAlerts_.size() > kShownAlerts) operatorAlerts_.removeLast();
    operatorAlertText_->setText(operatorAlerts_.join('\n'));
    operatorAlert_->show();
}

void MainWindow::ShowResumeNotice(const std::string& text) {
    resumeNoticeText_->setText(ToQt(text));
    resumeNotice_->setVisible(!text.empty());
}

void MainWindow::ShowForwardingBacklog(std::size_t waiting) {
    backlog_->setText(QString::number(static_cast<qulonglong>(waiting)));
    // Nothing waiting: quiet; something waiting: impossible to miss. Restyled only when
    // that changes: the count may move with every detection.
    const bool anyWaiting = waiting > 0;
    if (backlogStyled_ && anyWaiting == backlogWaiting_) return;
    backlogStyled_ = true;
    backlogWaiting_ = anyWaiting;
    backlog_->setStyleSheet(waiting == 0 ? "QLabel { color: #606060; border: 1px solid #a0a0a0; }"
                                         : "QLabel { background: #ff8c00; color: black; font-weight: bold; "
                                           "border: 2px solid #b00000; }");
}

void MainWindow::ShowJournalPending(std::size_t pendingLines) {
    if (pendingLines == 0) {
        journalAlert_->hide();
        return;
    }
    journalAlertText_->setText(
        QString::fromUtf8(fmt::sprintf(Tr("%u detection line(s) not yet written to the detection file: check the disk. "
                                          "They are kept and written as soon as possible.",
                                          "%u ligne(s) de détection pas encore écrite(s) dans le fichier de détections : "
                                          "vérifiez le disque. Elles sont gardées et écrites dès que possible."),
                                       static_cast<unsigned>(pendingLines))
                              .c_str()));
    journalAlert_->show();
}

void MainWindow::SetClockButtonsEnabled(bool enabled) {
    clockButtonsEnabled_ = enabled;
    synchronise_->setEnabled(enabled && !busy_);
    displayClocks_->setEnabled(enabled && !busy_);
}

void MainWindow::SetBusy(bool busy) {
    if (busy == busy_) return;
    busy_ = busy;
    connect_->setEnabled(!busy);
    SetClockButtonsEnabled(clockButtonsEnabled_);
    if (busy) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QApplication::restoreOverrideCursor();
    }
}

void MainWindow::SetConnectButtonDown(bool down) { connect_->setChecked(down); }

void MainWindow::SetDayOffsetIndicator(int hours) {
    const bool show = hours > 0;
    if (show) dayOffsetText_->setText(QString("+%1h").arg(hours));
    dayOffsetText_->setVisible(show);
    dayOffsetIcon_->setVisible(show);
}

void MainWindow::SetDirectLinkState(LinkVisualState state) {
    linkState_ = state;
    direct_->setIcon(LinkStateImage(state, direct_->iconSize().width()));
    // A lost connection switches the toggle off right after showing the off image.
    QTimer::singleShot(0, this, [this] { SyncDirectToggle(); });
}

void MainWindow::ShowLinkLost(const std::string& text) {
    linkLostAlertText_->setText(QTime::currentTime().toString("HH:mm:ss") + "  " + ToQt(text));
    linkLostAlert_->show();
}

void MainWindow::EndLinkLost(const std::string&) { linkLostAlert_->hide(); }

void MainWindow::SyncDirectToggle() {
    if (controller_) direct_->setChecked(controller_->IsLinkSwitchedOn());
}

void MainWindow::SetRunnerDisplay(const RunnerDisplay& runner) {
    runnerName_->setText(ToQt(runner.name));
    runnerRank_->setText(ToQt(runner.rank));
    runnerTime_->setText(ToQt(runner.time));
}

void MainWindow::PlaySound(Sound sound) { sounds_->Play(sound); }

bool MainWindow::SpeechEnabled() const { return speaker_->Available() && speech_->isChecked(); }

void MainWindow::Speak(const std::string& text) { speaker_->Say(ToQt(text)); }

void MainWindow::BringToFront() {
    ++frontRequests_;
    if (isMinimized()) showNormal();
    if (!isVisible()) show();
    raise();
    activateWindow();
}

}  // namespace lv

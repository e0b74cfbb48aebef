#pragma once
// What the status page shows, gathered on the UI thread as the window is told it: a
// MainView that passes every call on to the real view (window or headless) and keeps
// the facts beside it. Snapshot() copies them into plain values that other threads
// may read for as long as they like; nothing here is ever locked by a reader of the
// page.
#include <array>
#include <cstdint>
#include <ctime>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "app/MainView.h"
#include "status/StatusFacts.h"

namespace lv {

class StatusCollector : public MainView {
public:
    static constexpr std::size_t kDetections = 50;
    // The timing application's answers kept, by bib, for the detections shown.
    static constexpr std::size_t kAnswers = 1000;
    // Alerts are kept for an hour, and at most this many of them.
    static constexpr int kAlertSeconds = 3600;
    static constexpr std::size_t kMaxAlerts = 200;

    explicit StatusCollector(MainView& view) : view_(view) {}

    // The facts as they stand; `now` is seconds since 1970. The detection file, its
    // lines and the last detections are read from the journal and the table here (on
    // the UI thread, as the window reads them: the table's lock only for copying 50
    // records).
    std::shared_ptr<const StatusFacts> Snapshot(std::int64_t now) const;

    // --- MainView: each call goes on to the view ---
    void ShowMessage(const std::string& text, MessageIcon icon) override { view_.ShowMessage(text, icon); }
    bool AskYesNo(const std::string& question, bool defaultYes) override { return view_.AskYesNo(question, defaultYes); }
    bool AskYesNo(const std::string& question) override { return view_.AskYesNo(question); }
    YesNoCancel AskYesNoCancel(const std::string& question) override { return view_.AskYesNoCancel(question); }
    void ShowProgress(const std::string& title, const std::string& text) override { view_.ShowProgress(title, text); }
    void EndProgress() override { view_.EndProgress(); }
    void AddDetectionLine(const CDetectionItem& item) override { view_.AddDetectionLine(item); }
    void ClearDetectionLines() override { view_.ClearDetectionLines(); }
    void RefreshDetectionLines() override { view_.RefreshDetectionLines(); }
    void AddSummaryItem(const CSummaryItem& item) override;
    void ClearSummary() override { view_.ClearSummary(); }
    void AddLogLine(const std::string& line) override { view_.AddLogLine(line); }
    void ClearLog() override { view_.ClearLog(); }
    void DropOldestLogLines(std::size_t count) override { view_.DropOldestLogLines(count); }
    void SetBoxState(int box, BoxVisualState state, const std::string& label) override;
    void SetCounterText(const std::string& text) override { view_.SetCounterText(text); }
    void SetBoxActivity(int box, const BoxActivity& activity) override;
    void BoxActivityShown() override { view_.BoxActivityShown(); }
    void ShowLostBoxAlert(const std::string& text) override;
    void ShowOperatorAlert(const std::string& text) override;
    void ShowResumeNotice(const std::string& text) override { view_.ShowResumeNotice(text); }
    void SetClockButtonsEnabled(bool enabled) override { view_.SetClockButtonsEnabled(enabled); }
    void SetConnectButtonDown(bool down) override { view_.SetConnectButtonDown(down); }
    void SetDayOffsetIndicator(int hours) override { view_.SetDayOffsetIndicator(hours); }
    void SetBusy(bool busy) override { view_.SetBusy(busy); }
    void SetDirectLinkState(LinkVisualState state) override;
    void ShowLinkLost(const std::string& text) override;
    void EndLinkLost(const std::string& backText) override;
    void ShowForwardingBacklog(std::size_t waiting) override;
    void ShowJournalPending(std::size_t pendingLines) override;
    void SetRunnerDisplay(const RunnerDisplay& runner) override { view_.SetRunnerDisplay(runner); }
    void PlaySound(Sound sound) override { view_.PlaySound(sound); }
    bool SpeechEnabled() const override { return view_.SpeechEnabled(); }
    void Speak(const std::string& text) override { view_.Speak(text); }
    void BringToFront() override { view_.BringToFront(); }

private:
    struct Box {
        bool known = false;
        BoxVisualState state = BoxVisualState::Undefined;
        std::string label;
        BoxActivity activity;
        std::string lostText;
    };
    void AddAlert(const std::string& text);

    MainView& view_;
    // Box threads may report through the view too: one lock, held only to copy.
    mutable std::mutex lock_;
    std::array<Box, 4> boxes_{};
    LinkVisualState link_ = LinkVisualState::Off;
    std::size_t waiting_ = 0;
    std::size_t journalPending_ = 0;
    std::string lostText_;
    // The last answer of the timing application for each bib, the oldest forgotten.
    struct Answer {
        std::string runner;
        std::string info;
    };
    std::map<std::string, Answer> answers_;
    std::deque<std::string> answerOrder_;
    std::deque<StatusAlert> alerts_;          // the most recent first
};

}  // namespace lv

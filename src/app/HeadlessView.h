#pragma once
// The front end without a window: every line the window would show goes to an
// output stream, one line each, and questions take the answer that keeps the
// acquisition running. A status line (each box's state, reads and last read age; the
// link's state, what waits for it and the journal) comes every minute, and at once
// when a box or the link changes state or something starts or stops waiting.
#include <array>
#include <chrono>
#include <cstdio>
#include <functional>
#include <mutex>
#include <string>

#include "app/MainView.h"

namespace lv {

class HeadlessView : public MainView {
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;
    static constexpr int kStatusEverySeconds = 60;

    explicit HeadlessView(std::FILE* out = stdout, Clock clock = {})
        : out_(out), clock_(clock ? std::move(clock) : Clock([] { return std::chrono::steady_clock::now(); })) {}

    using MainView::AskYesNo;
    void ShowMessage(const std::string& text, MessageIcon icon) override;
    bool AskYesNo(const std::string& question) override;
    void AddDetectionLine(const CDetectionItem& item) override;
    void ClearDetectionLines() override {}
    void RefreshDetectionLines() override {}
    void AddSummaryItem(const CSummaryItem& item) override;
    void ClearSummary() override {}
    void AddLogLine(const std::string& line) override;
    void ClearLog() override {}
    void SetBoxState(int box, BoxVisualState state, const std::string& label) override;
    void SetCounterText(const std::string&) override {}
    void SetBoxActivity(int box, const BoxActivity& activity) override;
    void BoxActivityShown() override;
    void ShowLostBoxAlert(const std::string& text) override;
    void ShowOperatorAlert(const std::string& text) override;
    void ShowForwardingBacklog(std::size_t waiting) override;
    void ShowJournalPending(std::size_t pendingLines) override;
    void SetClockButtonsEnabled(bool) override {}
    void SetConnectButtonDown(bool) override {}
    void SetDayOffsetIndicator(int) override {}
    // Nobody clicks here: nothing to show.
    void SetBusy(bool) override {}
    void SetDirectLinkState(LinkVisualState state) override;
    void ShowLinkLost(const std::string& text) override;
    void EndLinkLost(const std::string& backText) override;
    void SetRunnerDisplay(const RunnerDisplay& runner) override;
    void PlaySound(Sound) override {}
    bool SpeechEnabled() const override { return false; }
    void Speak(const std::string&) override {}
    void BringToFront() override {}

    // Questions answered "yes" keep acquisition going only for these; every other
    // question (exit, disconnect, reset, synchronise) is answered "no".
    static bool AnswerFor(const std::string& question);

    // The status line as it stands: "box1 connected reads=128 last=12 s | box2 ... |
    // link connected waiting=0 journal-pending=0".
    std::string StatusLine() const;

private:
    void Print(const char* tag, const std::string& text);
    // A change worth a status line at once.
    void StatusChanged() { statusChanged_ = true; }

    std::FILE* out_;
    std::mutex lock_;
    BoxVisualState boxStates_[4] = {BoxVisualState::Undefined, BoxVisualState::Undefined,
                                    BoxVisualState::Undefined, BoxVisualState::Undefined};
    bool boxStateKnown_[4] = {false, false, false, false};
    LinkVisualState linkState_ = LinkVisualState::Off;
    RunnerDisplay runner_;

    Clock clock_;
    std::array<BoxActivity, 4> activity_{};
    std::size_t backlog_ = 0;
    std::size_t journalPending_ = 0;
    bool statusChanged_ = true;  // the first round prints one
    bool statusPrinted_ = false;
    std::chrono::steady_clock::time_point lastStatus_{};
};

}  // namespace lv

#pragma once
// The front end without a window: every line the window would show goes to an
// output stream, one line each, and questions take the answer that keeps the
// acquisition running.
#include <cstdio>
#include <mutex>
#include <string>

#include "app/MainView.h"

namespace lv {

class HeadlessView : public MainView {
public:
    explicit HeadlessView(std::FILE* out = stdout) : out_(out) {}

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
    void SetClockButtonsEnabled(bool) override {}
    void SetConnectButtonDown(bool) override {}
    void SetDayOffsetIndicator(int) override {}
    // Nobody clicks here: nothing to show.
    void SetBusy(bool) override {}
    void SetDirectLinkState(LinkVisualState state) override;
    void SetRunnerDisplay(const RunnerDisplay& runner) override;
    void PlaySound(Sound) override {}
    bool SpeechEnabled() const override { return false; }
    void Speak(const std::string&) override {}
    void BringToFront() override {}

    // Questions answered "yes" keep acquisition going only for these; every other
    // question (exit, disconnect, reset, synchronise) is answered "no".
    static bool AnswerFor(const std::string& question);

private:
    void Print(const char* tag, const std::string& text);

    std::FILE* out_;
    std::mutex lock_;
    BoxVisualState boxStates_[4] = {BoxVisualState::Undefined, BoxVisualState::Undefined,
                                    BoxVisualState::Undefined, BoxVisualState::Undefined};
    bool boxStateKnown_[4] = {false, false, false, false};
    LinkVisualState linkState_ = LinkVisualState::Off;
    RunnerDisplay runner_;
};

}  // namespace lv

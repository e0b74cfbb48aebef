#pragma once
// Shows what the direct-link session reports through a MainView.
#include "app/MainView.h"
#include "link/DirectLinkListener.h"

namespace lv {

class DirectLinkViewBridge : public DirectLinkListener {
public:
    explicit DirectLinkViewBridge(MainView& view) : view_(view) {}

    void SetDirectLinkState(LinkVisualState state) override { view_.SetDirectLinkState(state); }
    void SetRunnerDisplay(const RunnerDisplay& runner) override { view_.SetRunnerDisplay(runner); }
    void AddSummaryItem(const CSummaryItem& item) override { view_.AddSummaryItem(item); }
    void PlaySound(Sound sound) override { view_.PlaySound(sound); }
    void Warn(const std::string& text, bool bringToFront) override {
        if (bringToFront) view_.BringToFront();
        view_.ShowMessage(text, MessageIcon::Warning);
    }
    void LinkLost(const std::string& text) override {
        view_.BringToFront();
        view_.ShowLinkLost(text);
    }
    void LinkLossEnded(const std::string& backText) override { view_.EndLinkLost(backText); }
    bool SpeechEnabled() const override { return view_.SpeechEnabled(); }
    void Speak(const std::string& text) override { view_.Speak(text); }

private:
    MainView& view_;
};

}  // namespace lv

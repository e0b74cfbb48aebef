#pragma once
// A MainView that records every call, for tests. Each call also appends one line to
// `calls` ("ShowMessage Warning <text>", "SetDirectLinkState Connected", ...), so a
// test can check the order of what the window was asked to do.
#include <array>
#include <mutex>
#include <string>
#include <vector>

#include "app/MainView.h"

namespace lv {

class FakeMainView : public MainView {
public:
    struct Message {
        std::string text;
        MessageIcon icon;
    };
    struct BoxState {
        int box;
        BoxVisualState state;
        std::string label;
    };

    void ShowMessage(const std::string& text, MessageIcon icon) override {
        std::lock_guard<std::mutex> guard(lock_);
        messages.push_back({text, icon});
        calls.push_back("ShowMessage " + IconName(icon) + " " + text);
    }
    bool AskYesNo(const std::string& question) override { return AskYesNo(question, false); }
    bool AskYesNo(const std::string& question, bool defaultYes) override {
        std::lock_guard<std::mutex> guard(lock_);
        questions.push_back(question);
        questionDefaultYes.push_back(defaultYes);
        calls.push_back("AskYesNo " + question);
        return answerYes;
    }
    void AddDetectionLine(const CDetectionItem& item) override {
        std::lock_guard<std::mutex> guard(lock_);
        detectionLines.push_back(item);
        calls.push_back("AddDetectionLine " + item.line);
    }
    void ClearDetectionLines() override { Record("ClearDetectionLines", [&] { detectionLines.clear(); }); }
    void RefreshDetectionLines() override { Record("RefreshDetectionLines", [] {}); }
    void AddSummaryItem(const CSummaryItem& item) override {
        std::lock_guard<std::mutex> guard(lock_);
        summaries.push_back(item);
        calls.push_back("AddSummaryItem " + std::to_string(item.bib) + " " + item.rank);
    }
    void ClearSummary() override { Record("ClearSummary", [&] { summaries.clear(); }); }
    void AddLogLine(const std::string& line) override {
        std::lock_guard<std::mutex> guard(lock_);
        logLines.push_back(line);
    }
    void ClearLog() override { Record("ClearLog", [&] { logLines.clear(); }); }
    void SetBoxState(int box, BoxVisualState state, const std::string& label) override {
        std::lock_guard<std::mutex> guard(lock_);
        boxStates.push_back({box, state, label});
        calls.push_back("SetBoxState " + std::to_string(box));
    }
    void SetCounterText(const std::string& text) override {
        Record("SetCounterText " + text, [&] { counterText = text; });
    }
    void SetBoxActivity(int box, const BoxActivity& activity) override {
        std::lock_guard<std::mutex> guard(lock_);
        if (box >= 0 && box < 4) boxActivities[static_cast<std::size_t>(box)] = activity;
    }
    void BoxActivityShown() override { Record("BoxActivityShown", [&] { ++activityRounds; }); }
    void ShowOperatorAlert(const std::string& text) override {
        Record("ShowOperatorAlert " + text, [&] { operatorAlerts.push_back(text); });
    }
    void ShowLostBoxAlert(const std::string& text) override {
        Record("ShowLostBoxAlert " + text, [&] { lostBoxAlert = text; });
    }
    void ShowForwardingBacklog(std::size_t waiting) override {
        Record("ShowForwardingBacklog " + std::to_string(waiting), [&] { forwardingBacklog = waiting; });
    }
    void ShowJournalPending(std::size_t pendingLines) override {
        Record("ShowJournalPending " + std::to_string(pendingLines), [&] { journalPending = pendingLines; });
    }
    void SetClockButtonsEnabled(bool enabled) override {
        Record("SetClockButtonsEnabled", [&] { clockButtonsEnabled = enabled; });
    }
    void SetConnectButtonDown(bool down) override {
        Record("SetConnectButtonDown", [&] { connectButtonDown = down; });
    }
    void SetDayOffsetIndicator(int hours) override {
        Record("SetDayOffsetIndicator " + std::to_string(hours), [&] { dayOffsetHours = hours; });
    }
    void SetBusy(bool on) override {
        Record(on ? "SetBusy on" : "SetBusy off", [&] { busy = on; });
    }
    void SetDirectLinkState(LinkVisualState state) override {
        std::lock_guard<std::mutex> guard(lock_);
        linkStates.push_back(state);
        calls.push_back("SetDirectLinkState " + LinkStateName(state));
    }
    void ShowLinkLost(const std::string& text) override {
        Record("ShowLinkLost " + text, [&] { linkLost = text; });
    }
    void EndLinkLost(const std::string& backText) override {
        Record("EndLinkLost " + backText, [&] { linkLost.clear(); });
    }
    void SetRunnerDisplay(const RunnerDisplay& runner) override {
        std::lock_guard<std::mutex> guard(lock_);
        runnerDisplays.push_back(runner);
        calls.push_back("SetRunnerDisplay " + runner.name + "|" + runner.rank + "|" + runner.time);
    }
    void PlaySound(Sound sound) override {
        std::lock_guard<std::mutex> guard(lock_);
        sounds.push_back(SoundNumber(sound));
        calls.push_back("PlaySound " + std::to_string(SoundNumber(sound)));
    }
    bool SpeechEnabled() const override { return speechEnabled; }
    void Speak(const std::string& text) override {
        std::lock_guard<std::mutex> guard(lock_);
        spoken.push_back(text);
        calls.push_back("Speak " + text);
    }
    void BringToFront() override { Record("BringToFront", [&] { ++broughtToFront; }); }

    static std::string LinkStateName(LinkVisualState state) {
        switch (state) {
            case LinkVisualState::Off: return "Off";
            case LinkVisualState::Connecting: return "Connecting";
            case LinkVisualState::Connected: return "Connected";
        }
        return "?";
    }
    static std::string IconName(MessageIcon icon) {
        switch (icon) {
            case MessageIcon::Information: return "Information";
            case MessageIcon::Warning: return "Warning";
            case MessageIcon::Error: return "Error";
            case MessageIcon::Question: return "Question";
        }
        return "?";
    }

    // Calls whose line begins with the prefix.
    std::vector<std::string> CallsStartingWith(const std::string& prefix) const {
        std::lock_guard<std::mutex> guard(lock_);
        std::vector<std::string> found;
        for (const auto& call : calls) {
            if (call.compare(0, prefix.size(), prefix) == 0) found.push_back(call);
        }
        return found;
    }

    // Settings of the fake.
    bool answerYes = true;
    bool speechEnabled = false;

    // What was asked.
    std::vector<std::string> calls;
    std::vector<Message> messages;
    std::vector<std::string> questions;
    std::vector<bool> questionDefaultYes;  // beside questions: was Yes the default answer
    std::array<BoxActivity, 4> boxActivities{};
    int activityRounds = 0;
    std::string lostBoxAlert;
    std::string linkLost;  // the lost link's alert while it shows
    std::vector<std::string> operatorAlerts;
    std::size_t forwardingBacklog = 0;
    std::size_t journalPending = 0;
    std::vector<CDetectionItem> detectionLines;
    std::vector<CSummaryItem> summaries;
    std::vector<std::string> logLines;
    std::vector<BoxState> boxStates;
    std::string counterText;
    bool clockButtonsEnabled = false;
    bool connectButtonDown = false;
    int dayOffsetHours = 0;
    bool busy = false;
    std::vector<LinkVisualState> linkStates;
    std::vector<RunnerDisplay> runnerDisplays;
    std::vector<int> sounds;
    std::vector<std::string> spoken;
    int broughtToFront = 0;

private:
    template <typename Fn>
    void Record(const std::string& call, Fn&& fn) {
        std::lock_guard<std::mutex> guard(lock_);
        fn();
        calls.push_back(call);
    }

    mutable std::mutex lock_;
};

}  // namespace lv

#pragma once
// What the direct-link session tells the program: the toggle's state, runner answers,
// summary lines, sounds, speech and warnings. Called on the UI thread only.
#include <string>

#include "base/Sounds.h"
#include "core/DetectionRecords.h"

namespace lv {

// The three images of the direct-connection toggle.
enum class LinkVisualState { Off, Connecting, Connected };

// Name, rank and time of the last runner answered by the timing application.
struct RunnerDisplay {
    std::string name;
    std::string rank;
    std::string time;
};

class DirectLinkListener {
public:
    virtual ~DirectLinkListener() = default;

    virtual void SetDirectLinkState(LinkVisualState state) = 0;
    virtual void SetRunnerDisplay(const RunnerDisplay& runner) = 0;
    virtual void AddSummaryItem(const CSummaryItem& item) = 0;
    virtual void PlaySound(Sound sound) = 0;
    // A warning the user must see; bringToFront raises the window first.
    virtual void Warn(const std::string& text, bool bringToFront) = 0;
    // The link was lost while switched on: told until LinkLossEnded.
    virtual void LinkLost(const std::string& text) = 0;
    // The loss ends: `backText` says the link is back; empty when it was switched off.
    virtual void LinkLossEnded(const std::string& backText) = 0;
    virtual bool SpeechEnabled() const = 0;
    virtual void Speak(const std::string& text) = 0;
};

}  // namespace lv

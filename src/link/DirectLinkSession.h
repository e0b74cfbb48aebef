#pragma once
// The main window's share of the direct connection, on the UI thread: the toggle
// (switch on / off), the connection-state images, sounds and log lines, the ping, the
// information queries after connecting, the version alert, the loss alert, and the
// decoding of every answer into runner displays, summary lines and speech.
//
// The detections go to the timing application through the session's forwarder, which
// follows the journal by itself.
//
// Threads: SendCommand may be called from any thread; everything else runs on the UI
// thread of the UiLoop.
#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <string_view>

#include "base/TimerIds.h"
#include "base/UiLoop.h"
#include "core/DetectionJournal.h"
#include "link/DetectionForwarder.h"
#include "link/DirectAnswerDecoder.h"
#include "link/DirectConnection.h"
#include "link/DirectLinkListener.h"

namespace lv {

// Delays of the session; tests shorten them.
struct DirectLinkTimings {
    int pingPeriodMs = 30000;
    int queriesDelayMs = 300;
    int versionAlertDelayMs = 1000;
};

// The target from the settings file (Host, Port and ReconnectSeconds of section
// "DirectConnection").
DirectTarget ReadDirectTargetSettings();

class DirectLinkSession : private DirectConnectionListener {
public:
    static constexpr int kPingTimer = kTimerLinkPing;
    static constexpr int kQueriesTimer = kTimerLinkQueries;
    static constexpr int kVersionAlertTimer = kTimerLinkVersionAlert;
    // Headless mode: a second loss soon after the first waits one retry pause before
    // switching on again, so that a peer that keeps closing is not hammered.
    static constexpr int kReconnectAfterLossTimer = kTimerLinkReconnectAfterLoss;

    // `journal`: where the detections are read from (the detection table's journal when
    // none is given).
    DirectLinkSession(UiLoop& ui, DirectLinkListener& listener, DirectLinkTimings timings = {},
                      DetectionJournal* journal = nullptr);
    ~DirectLinkSession() override;
    DirectLinkSession(const DirectLinkSession&) = delete;
    DirectLinkSession& operator=(const DirectLinkSession&) = delete;

    // --- The toggle (UI thread) ---
    // Switches the link on with the settings of section "DirectConnection".
    void SwitchOn();
    void SwitchOn(const DirectTarget& target);
    // Ends the connection or the attempts; the toggle shows off.
    void SwitchOff();
    // The toggle button clicked: on when it was off, off when it was on.
    void Toggle();
    bool IsSwitchedOn() const { return switchedOn_; }
    // Detections recorded while the link is down are sent once it is back.
    bool CatchesUp() const { return target_.catchUp; }
    // New settings (configuration dialog): used from the next connection attempt on.
    void ApplyTarget(const DirectTarget& target);

    bool IsConnected() const { return connection_.IsConnected(); }
    bool IsConnecting() const { return connection_.IsConnecting(); }

    // On by default: the link is switched on again after a loss (after the alert line),
    // at once, or after one retry pause when the last loss is more recent than that
    // pause; then the attempts come every ReconnectSeconds until the link is back.
    // Off, a lost link stays off until the toggle is pressed again.
    void SetReconnectAfterLoss(bool on) { reconnectAfterLoss_ = on; }
    // The operator's "Reconnect now": an attempt at once (the retry pause under way
    // ends, or the link is switched on again); nothing while connected.
    void ReconnectNow();

    // --- Timers (UI thread) ---
    // Arms the ping timer (30 s, periodic); the window does it when it opens.
    void StartPingTimer();
    // Stops the session's timers (window exit).
    void StopTimers();
    // "Ping()" when connected (dropped otherwise).
    void Ping();

    // --- Commands (any thread) ---
    // Sends one command line; false when not connected or the send failed.
    bool SendCommand(std::string_view command);
    // Detections recorded and not yet sent to the timing application, once the link has
    // been switched on in this run (0 before: a timekeeper who does not use it is not
    // told of a backlog).
    std::size_t ForwardingBacklog() const { return everSwitchedOn_ ? forwarder_.Waiting() : 0; }
    // Sent and not yet answered.
    std::size_t UnansweredDetections() const { return forwarder_.Unanswered(); }

    // --- Answer handling (UI thread; the worker's lines arrive here) ---
    void HandleAnswerLine(const std::string& line, bool truncated = false);
    const std::string& LastSpokenText() const { return lastSpoken_; }

private:
    // Worker thread: hand over to the UI thread.
    void OnDirectState(DirectState state, bool retrying) override;
    void OnDirectLine(std::string line, bool truncated) override;
    void OnDirectLinesTaken() override { forwarder_.OnAnswersTaken(); }

    void HandleState(unsigned generation, DirectState state, bool retrying);
    void OnConnectionLost();
    void SendInformationQueries();
    void OnVersionAlert();
    void SwitchOnAgainAfterLoss();
    // The loss alert ends: the link is back, or switched off (no text).
    void EndLoss(bool back);
    void Apply(const DirectAnswer& answer);

    UiLoop& ui_;
    DirectLinkListener& listener_;
    DirectLinkTimings timings_;
    DirectConnection connection_;
    // After the connection: its sender stops before the connection goes.
    DetectionForwarder forwarder_;
    // Closures posted by the worker check it before touching the session.
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
    // Incremented at each switch on and off: state messages of an older worker are
    // stale and ignored (answer lines are not).
    std::atomic<unsigned> generation_{0};
    bool switchedOn_ = false;
    bool everSwitchedOn_ = false;
    bool reconnectAfterLoss_ = true;
    bool lost_ = false;
    DirectTarget target_;
    std::string lastSpoken_;
    std::chrono::steady_clock::time_point lastLoss_{};
};

}  // namespace lv

#include "link/DirectLinkSession.h"

#include <fmt/printf.h>

#include <algorithm>

#include "base/Log.h"
#include "base/Texts.h"
#include "core/DetectionTable.h"
#include "link/AnswerText.h"

namespace lv {
namespace {

// Information queries sent after connecting, in this order.
const char* const kInformationQueries[] = {
    "GetMode()",    "GetUserName()",         "GetCompetitionName()", "GetFilename()",
    "GetVersion()", "GetPrintableVersion()", "GetDetectorList()"};

}  // namespace

DirectLinkSession::DirectLinkSession(UiLoop& ui, DirectLinkListener& listener, DirectLinkTimings timings,
                                     DetectionJournal* journal)
    : ui_(ui),
      listener_(listener),
      timings_(timings),
      connection_(*this),
      forwarder_(connection_, journal ? *journal : DetectionTable::Instance().Journal()) {}

DirectLinkSession::~DirectLinkSession() {
    StopTimers();
    connection_.Stop();
    alive_.reset();
}

void DirectLinkSession::SwitchOn() { SwitchOn(ReadDirectTargetSettings()); }

void DirectLinkSession::SwitchOn(const DirectTarget& target) {
    ui_.killTimer(kReconnectAfterLossTimer);
    if (switchedOn_) return;
    // A worker that ended after a loss is collected first.
    connection_.Stop();
    switchedOn_ = true;
    everSwitchedOn_ = true;
    target_ = target;
    ++generation_;
    forwarder_.SetCatchUp(target.catchUp);
    connection_.Start(target);
}

void DirectLinkSession::SwitchOff() {
    ui_.killTimer(kReconnectAfterLossTimer);
    // Switched off on purpose: the loss is no longer to be told.
    EndLoss(false);
    if (!switchedOn_) return;
    switchedOn_ = false;
    ++generation_;
    ui_.killTimer(kQueriesTimer);
    bool wasConnected = connection_.IsConnected();
    // What is queued leaves first, within the grace the stop gives the peer anyway.
    forwarder_.CloseOnPurpose(std::chrono::milliseconds(wasConnected ? DirectConnection::kStopGraceMs : 0));
    connection_.Stop();
    listener_.SetDirectLinkState(LinkVisualState::Off);
    if (wasConnected) {
        listener_.PlaySound(Sound::LinkDisconnected);
        Log(80, Tr("+ Disconnection from Quillet-Pro...", "+ Déconnexion de Quillet-Pro..."));
    }
}

void DirectLinkSession::Toggle() {
    if (switchedOn_) {
        SwitchOff();
    } else {
        SwitchOn();
    }
}

void DirectLinkSession::ReconnectNow() {
    if (connection_.IsConnected()) return;
    Log(0, Tr("+ Reconnection to Quillet-Pro asked by the operator",
              "+ Reconnexion à Quillet-Pro demandée par l'opérateur"));
    if (switchedOn_) {
        // Ends the retry pause at once.
        connection_.ChangeTarget(target_);
        return;
    }
    if (everSwitchedOn_) {
        SwitchOn(target_);
    } else {
        SwitchOn();
    }
}

void DirectLinkSession::EndLoss(bool back) {
    if (!lost_) return;
    lost_ = false;
    if (!back) {
        listener_.LinkLossEnded({});
        return;
    }
    const std::string text = Tr("Direct connection to Quillet-Pro back", "Connexion directe à Quillet-Pro rétablie");
    Log(0, "+++ " + text);
    listener_.LinkLossEnded(text);
}

void DirectLinkSession::ApplyTarget(const DirectTarget& target) {
    target_ = target;
    if (switchedOn_) connection_.ChangeTarget(target);
}

void DirectLinkSession::StartPingTimer() {
    ui_.setTimer(kPingTimer, timings_.pingPeriodMs, true, [this] { Ping(); });
}

void DirectLinkSession::StopTimers() {
    ui_.killTimer(kReconnectAfterLossTimer);
    ui_.killTimer(kPingTimer);
    ui_.killTimer(kQueriesTimer);
    ui_.killTimer(kVersionAlertTimer);
}

void DirectLinkSession::Ping() { SendCommand("Ping()"); }

bool DirectLinkSession::SendCommand(std::string_view command) { return connection_.Send(command); }

// ---------------------------------------------------------------------------
// Worker thread

void DirectLinkSession::OnDirectState(DirectState state, bool retrying) {
    // The forwarder follows the connection itself, on this thread.
    if (state == DirectState::Connected) forwarder_.OnConnected();
    if (state == DirectState::Disconnected && !retrying) forwarder_.OnLost();
    std::weak_ptr<int> alive = alive_;
    unsigned generation = generation_.load();
    ui_.post([this, alive, generation, state, retrying] {
        if (alive.lock()) HandleState(generation, state, retrying);
    });
}

void DirectLinkSession::OnDirectLine(std::string line, bool truncated) {
    forwarder_.OnAnswer(line);
    std::weak_ptr<int> alive = alive_;
    ui_.post([this, alive, line = std::move(line), truncated] {
        if (alive.lock()) HandleAnswerLine(line, truncated);
    });
}

// ---------------------------------------------------------------------------
// UI thread

void DirectLinkSession::HandleState(unsigned generation, DirectState state, bool retrying) {
    // Switching off shows the result itself; what the stopped worker said after that
    // is stale.
    if (!switchedOn_ || generation != generation_.load()) return;
    switch (state) {
        case DirectState::Attempting:
            listener_.SetDirectLinkState(LinkVisualState::Connecting);
            break;
        case DirectState::Connected:
            Log(80, Tr("+ Connection to Quillet-Pro successful",
                       "+ Connexion à Quillet-Pro effectuée avec succès"));
            listener_.SetDirectLinkState(LinkVisualState::Connected);
            listener_.PlaySound(Sound::LinkConnected);
            EndLoss(true);
            ui_.setTimer(kQueriesTimer, timings_.queriesDelayMs, false,
                         [this] { SendInformationQueries(); });
            break;
        case DirectState::Disconnected:
            ui_.killTimer(kQueriesTimer);
            listener_.SetDirectLinkState(LinkVisualState::Off);
            if (!retrying) OnConnectionLost();
            break;
    }
}

void DirectLinkSession::OnConnectionLost() {
    switchedOn_ = false;
    ++generation_;
    listener_.PlaySound(Sound::LinkLost);
    std::string text = Tr("Direct connection to Quillet-Pro lost!",
                          "Perte de connexion directe à Quillet-Pro !");
    Log(0, "######## " + text);
    // Never a modal box over the results: the window shows it until the link is back.
    lost_ = true;
    if (reconnectAfterLoss_) {
        listener_.LinkLost(text + fmt::sprintf(Tr(" Reconnecting every %d s.", " Reconnexion toutes les %d s."),
                                               std::max(target_.reconnectSeconds, 0)));
    } else {
        listener_.LinkLost(text);
    }
    if (reconnectAfterLoss_ && !switchedOn_) SwitchOnAgainAfterLoss();
}

void DirectLinkSession::SwitchOnAgainAfterLoss() {
    auto now = std::chrono::steady_clock::now();
    // One retry pause (at least one tick), bounded to a day.
    auto pause = std::chrono::milliseconds(std::chrono::seconds(std::clamp(target_.reconnectSeconds, 0, 86400))) +
                 std::chrono::milliseconds(DirectConnection::kRetryTickMs);
    bool recentLoss = lastLoss_ != std::chrono::steady_clock::time_point{} && now - lastLoss_ < pause;
    lastLoss_ = now;
    if (!recentLoss) {
        SwitchOn(target_);
        return;
    }
    ui_.setTimer(kReconnectAfterLossTimer, static_cast<int>(pause.count()), false, [this] {
        ui_.killTimer(kReconnectAfterLossTimer);
        if (!switchedOn_) SwitchOn(target_);
    });
}

void DirectLinkSession::SendInformationQueries() {
    ui_.killTimer(kQueriesTimer);
    if (!connection_.IsConnected()) return;
    for (const char* query : kInformationQueries) connection_.Send(query);
}

void DirectLinkSession::OnVersionAlert() {
    ui_.killTimer(kVersionAlertTimer);
    // The toggle goes off too, so that the closing is not taken for a loss.
    SwitchOff();
    listener_.Warn(Tr("Your Quillet version is not compatible with this Lumivane version!",
                      "Version Quillet incompatible avec cette version de Lumivane !"),
                   false);
}

void DirectLinkSession::HandleAnswerLine(const std::string& line, bool truncated) {
    Log(60, ">>> " + AnswerTextToUtf8(line));
    if (truncated) {
        Log(0, fmt::sprintf(Tr("### Answer from Quillet-Pro longer than %d characters: the rest "
                               "was dropped",
                               "### Réponse de Quillet-Pro de plus de %d caractères : la suite "
                               "est ignorée"),
                            static_cast<int>(DirectConnection::kMaxLineLength)));
    }
    Apply(DecodeDirectResponse(line, CurrentLanguage()));
}

void DirectLinkSession::Apply(const DirectAnswer& answer) {
    for (const DirectLogLine& line : answer.log) Log(line.level, line.text);
    if (answer.display) listener_.SetRunnerDisplay(*answer.display);
    if (answer.summary) listener_.AddSummaryItem(*answer.summary);
    if (!answer.speech.empty() && answer.speech != lastSpoken_ && listener_.SpeechEnabled()) {
        listener_.Speak(answer.speech);
        lastSpoken_ = answer.speech;
    }
    if (answer.versionIncompatible) {
        ui_.setTimer(kVersionAlertTimer, timings_.versionAlertDelayMs, false,
                     [this] { OnVersionAlert(); });
    }
}

}  // namespace lv

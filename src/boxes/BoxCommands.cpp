#include "boxes/BoxCommands.h"

#include <fmt/printf.h>

#include <string>
#include <vector>

#include "base/Log.h"
#include "base/Texts.h"
#include "boxes/BoxHost.h"
#include "boxes/CommandExchange.h"
#include "boxes/DecoderProtocol.h"
#include "boxes/TarvexBox.h"
#include "boxes/UsbBoxProtocol.h"
#include "boxes/transport/TcpComBox.h"

namespace lv {

namespace {

// One command of a sequence: sent, then its response awaited; a command that cannot be
// sent is logged with its own text.
struct Step {
    int code;
    std::string argument;
    const char* expected;
    const char* englishError;
    const char* frenchError;
};

// Runs the steps in order within the exchange's turn; `stop` is asked after each one.
template <class Stop>
void RunSteps(CTarvexBox& box, CommandExchange& exchange, const std::string& label, const std::vector<Step>& steps,
              Stop&& stop) {
    std::string error;
    for (const Step& step : steps) {
        if (exchange.SendCode(step.code, step.argument, error)) {
            std::string response;
            exchange.WaitResponse(step.expected, box.ResponseSeconds(), response);
        } else {
            Log(0, fmt::sprintf(Tr(step.englishError, step.frenchError), label, error));
        }
        if (stop()) break;
    }
}

}  // namespace

bool InitializeBox(CTarvexBox& box) {
    CComBox* transport = box.Transport();
    box.SetHandshakeLost(false);
    if (!transport || !transport->HasPort()) return false;
    // The whole sequence is one turn: no other exchange slips between its commands.
    CommandExchange exchange(box);
    BoxHost* host = box.Host();
    if (auto* tcp = dynamic_cast<CTcpComBox*>(transport)) {
        tcp->SetConnectionTimeout(host ? host->CurrentIntakeSettings().connectionTimeoutSeconds : 2);
    }
    std::string error;
    bool connected = transport->Connect(error);
    std::string detectorId, hostName;
    int port = 0;
    transport->GetParameters(detectorId, hostName, port);
    const std::string label = box.Label();
    if (!connected) {
        const std::string text = fmt::sprintf(Tr("## %s : Cannot connect on %s:%d. DetectorId %s : %s",
                                                 "## %s : Erreur de connexion sur %s:%d. Id. Détecteur %s : %s"),
                                              label, hostName, port, detectorId, error);
        // Unattended retries say so once per round, not at every attempt.
        if (box.quietConnectFailures.load()) {
            Log(80, text);
        } else {
            box.Alert(text);
        }
        return false;
    }
    Log(20, fmt::sprintf(Tr("+ %s : Initialized on %s:%d. Detector Id. %s",
                            "+ %s : Initialisé sur %s:%d. Id. Détecteur %s"),
                         label, hostName, port, detectorId));
    // The USB TimingBox has its own initialisation sequence, in this same turn.
    if (transport->IsSerial()) {
        InitializeUsbBox(box, exchange);
        return true;
    }

    const std::vector<Step> steps = {
        {kCmdSetProtocol, "2.0", "SETPROTOCOL", "## %s : Error sending command SETPROTOCOL : %s",
         "## %s : Erreur envoi de commande SETPROTOCOL : %s"},
        {kCmdStartOperation, "", "STARTOPERATION", "## %s : Error sending command STARTOPERATION : %s",
         "## %s : Erreur envoi de commande STARTOPERATION : %s"},
        {kCmdSetPushPassings, "1;0", "SETPUSHPASSINGS", "## %s : Error sending command SETPUSHPASSINGS;1;0 : %s",
         "## %s : Erreur envoi de commande SETPUSHPASSINGS;1;0 : %s"},
    };
    // A decoder that closed (or reset) the connection during its handshake has not been
    // initialised: it is a failed connection, retried like one, never a box taken for
    // connected while nothing reads it.
    RunSteps(box, exchange, label, steps, [&] {
        return !transport->IsConnected() || transport->PeerHasClosed() || box.cancelRequested.load();
    });
    if (box.cancelRequested.load()) {
        // Stopped on purpose (disconnection, exit): no failure to report.
        transport->Disconnect();
        return false;
    }
    if (!transport->IsConnected() || transport->PeerHasClosed()) {
        box.SetHandshakeLost(true);
        transport->Disconnect();
        box.Alert(fmt::sprintf(Tr("## %s : Connection lost during the initialisation on %s:%d. DetectorId %s",
                              "## %s : Connexion perdue pendant l'initialisation sur %s:%d. Id. Détecteur %s"),
                           label, hostName, port, detectorId));
        return false;
    }
    return true;
}

void SetBoxClock(CTarvexBox& box) {
    CComBox* transport = box.Transport();
    if (!transport || !transport->IsConfigured() || !transport->IsConnected()) return;
    if (transport->IsSerial()) return;  // synchronised by the USB TimingBox protocol
    const std::string label = box.CommandLabel();
    Log(0, fmt::sprintf(Tr("+ %s : Request for synchronization", "+ %s : Demande de synchronisation horloge"),
                        label));
    CommandExchange exchange(box);
    CChrono now(CChrono::kNowAbsolute);
    const std::vector<Step> steps = {
        {kCmdStopOperation, "", "STOP", "## %s : Error sending command STOP: %s",
         "## %s : Erreur envoi de commande STOP : %s"},
        {kCmdSetTime, now.FormatIsoMs(), "SETTIME", "## %s : Error sending command SETTIME: %s",
         "## %s : Erreur envoi de commande SETTIME : %s"},
        {kCmdStartOperation, "", "STARTOPERATION", "## %s : Error sending command START: %s",
         "## %s : Erreur envoi de commande START : %s"},
    };
    RunSteps(box, exchange, label, steps, [] { return false; });
}

void RequestBoxTime(CTarvexBox& box) {
    const std::string label = box.CommandLabel();
    Log(0, fmt::sprintf(Tr("+ %s : Request for box date and time", "+ %s : Demande heure boîtier"), label));
    if (box.IsSerial()) {
        GetUsbBoxTime(box);
        return;
    }
    std::string error;
    if (!box.SendCommandCode(kCmdGetTime, "", error)) {
        Log(0, fmt::sprintf(Tr("## %s : Error sending command: %s", "## %s : Erreur envoi de commande : %s"),
                            label, error));
    }
}

}  // namespace lv

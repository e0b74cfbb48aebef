#include "boxes/TarvexBox.h"

#include <unistd.h>
#ifdef __linux__
#include <sys/syscall.h>
#endif

#include <fmt/printf.h>

#include "base/Log.h"
#include "base/Texts.h"
#include "boxes/BoxHost.h"
#include "boxes/CommandExchange.h"
#include "boxes/DecoderProtocol.h"
#include "boxes/UsbBoxProtocol.h"
#include "boxes/transport/TcpComBox.h"

namespace lv {

namespace {

int CurrentThreadNumber() {
    // Asked once per thread: labels are built for every passing.
#ifdef __linux__
    thread_local const int number = static_cast<int>(::syscall(SYS_gettid));
#else
    thread_local const int number =
        static_cast<int>(std::hash<std::thread::id>{}(std::this_thread::get_id()) & 0x7FFFFFFF);
#endif
    return number;
}

}  // namespace

CTarvexBox::CTarvexBox() : transport_(std::make_unique<CTcpComBox>()) {}

CTarvexBox::~CTarvexBox() {
    cancelRequested.store(true);
    if (transport_) transport_->Close();
    JoinThread();
    if (transport_) transport_->Disconnect();
}

void CTarvexBox::SetTransport(std::unique_ptr<CComBox> transport) {
    if (transport_) transport_->Disconnect();
    transport_ = std::move(transport);
}

std::string CTarvexBox::GetDescription() const {
    return transport_ ? transport_->GetDescription() : std::string();
}

void CTarvexBox::GetParameters(std::string& detectorId, std::string& host, int& port) const {
    if (transport_) {
        transport_->GetParameters(detectorId, host, port);
    } else {
        detectorId.clear();
        host.clear();
        port = 0;
    }
}

void CTarvexBox::SetParameters(const std::string& detectorId, const std::string& host, int port) {
    if (transport_) transport_->SetParameters(detectorId, host, port);
}

bool CTarvexBox::IsConfigured() const { return transport_ && transport_->IsConfigured(); }
bool CTarvexBox::IsInUse() const { return transport_ && transport_->IsInUse(); }
bool CTarvexBox::IsPending() const { return transport_ && transport_->IsPending(); }
bool CTarvexBox::IsConnected() const { return transport_ && transport_->IsConnected(); }
bool CTarvexBox::IsSerial() const { return transport_ && transport_->IsSerial(); }
bool CTarvexBox::Close() { return transport_ ? transport_->Close() : false; }

std::string CTarvexBox::Label() const {
    return fmt::sprintf("[%d] Boîtier %d %s", CurrentThreadNumber(), number.load(), GetDescription());
}

std::string CTarvexBox::ExchangeLabel() const {
    if (CurrentLanguage() == Language::English) {
        return fmt::sprintf("Box %d %s", number.load(), GetDescription());
    }
    return fmt::sprintf("[%d] Boîtier %d %s", CurrentThreadNumber(), number.load(), GetDescription());
}

std::string CTarvexBox::CommandLabel() const {
    return fmt::sprintf(Tr("Box %d %s", "Boîtier %d %s"), number.load(), GetDescription());
}

void CTarvexBox::Alert(const std::string& text) const {
    if (BoxHost* host = Host()) {
        host->AlertLine(text, false);
    } else {
        Log(0, "######## " + text);
    }
}

// --- Command exchanges --------------------------------------------------------------

bool CTarvexBox::SendText(const std::string& command, const std::string& errorName,
                          std::string& error) {
    error.clear();
    if (!transport_ || !transport_->IsConnected()) {
        error = "Connexion non ouverte";
        return false;
    }
    Log(100, fmt::sprintf(">>->> %s", command));
    std::string wire = command + CommandTerminator(transport_->IsSerial());
    int written = transport_->Write(wire);
    if (written < 0) {
        error = fmt::sprintf("Erreur envoi de commande (%s) au boîtier", errorName);
        transport_->Disconnect();
        return false;
    }
    if (written != static_cast<int>(wire.size())) {
        error = fmt::sprintf("Erreur écriture commande (%s) au boîtier", errorName);
        return false;
    }
    return true;
}

bool CTarvexBox::SendCode(int code, const std::string& argument, std::string& error) {
    std::string command;
    if (!BuildCommandText(code, argument, command, error)) return false;
    return SendText(command, fmt::sprintf("%d", code), error);
}

bool CTarvexBox::SendCommand(const std::string& command, std::string& error) {
    // After a running exchange: its awaited response must not meet this command's.
    std::lock_guard<std::mutex> turn(exchangeTurn_);
    return SendText(command, command, error);
}

bool CTarvexBox::SendCommandCode(int code, const std::string& argument, std::string& error) {
    std::lock_guard<std::mutex> turn(exchangeTurn_);
    return SendCode(code, argument, error);
}

void CTarvexBox::BeginRouting() {
    std::lock_guard<std::mutex> turn(exchangeTurn_);
    route_.BeginRouting();
}

bool CTarvexBox::InitializeBox() {
    handshakeLost_.store(false);
    if (!transport_ || !transport_->HasPort()) return false;
    // The whole sequence is one turn: no other exchange slips between its commands.
    CommandExchange exchange(*this);
    BoxHost* host = Host();
    if (auto* tcp = dynamic_cast<CTcpComBox*>(transport_.get())) {
        tcp->SetConnectionTimeout(host ? host->CurrentIntakeSettings().connectionTimeoutSeconds : 2);
    }
    std::string error;
    bool connected = transport_->Connect(error);
    std::string detectorId, hostName;
    int port = 0;
    transport_->GetParameters(detectorId, hostName, port);
    const std::string label = Label();
    if (!connected) {
        const std::string text = fmt::sprintf(Tr("## %s : Cannot connect on %s:%d. DetectorId %s : %s",
                                                 "## %s : Erreur de connexion sur %s:%d. Id. Détecteur %s : %s"),
                                              label, hostName, port, detectorId, error);
        // Unattended retries say so once per round, not at every attempt.
        if (quietConnectFailures.load()) {
            Log(80, text);
        } else {
            Alert(text);
        }
        return false;
    }
    Log(20, fmt::sprintf(Tr("+ %s : Initialized on %s:%d. Detector Id. %s",
                            "+ %s : Initialisé sur %s:%d. Id. Détecteur %s"),
                         label, hostName, port, detectorId));
    // The USB TimingBox has its own initialisation sequence, in this same turn.
    if (transport_->IsSerial()) {
        InitializeUsbBox(*this, exchange);
        return true;
    }

    struct Step {
        int code;
        const char* argument;
        const char* expected;
        const char* englishError;
        const char* frenchError;
    };
    static constexpr Step kSteps[] = {
        {kCmdSetProtocol, "2.0", "SETPROTOCOL", "## %s : Error sending command SETPROTOCOL : %s",
         "## %s : Erreur envoi de commande SETPROTOCOL : %s"},
        {kCmdStartOperation, "", "STARTOPERATION", "## %s : Error sending command STARTOPERATION : %s",
         "## %s : Erreur envoi de commande STARTOPERATION : %s"},
        {kCmdSetPushPassings, "1;0", "SETPUSHPASSINGS",
         "## %s : Error sending command SETPUSHPASSINGS;1;0 : %s",
         "## %s : Erreur envoi de commande SETPUSHPASSINGS;1;0 : %s"},
    };
    for (const Step& step : kSteps) {
        if (exchange.SendCode(step.code, step.argument, error)) {
            std::string response;
            exchange.WaitResponse(step.expected, ResponseSeconds(), response);
        } else {
            Log(0, fmt::sprintf(Tr(step.englishError, step.frenchError), label, error));
        }
        // A decoder that closed (or reset) the connection during its handshake has not
        // been initialised: it is a failed connection, retried like one, never a box
        // taken for connected while nothing reads it.
        if (!transport_->IsConnected() || transport_->PeerHasClosed() || cancelRequested.load()) break;
    }
    if (cancelRequested.load()) {
        // Stopped on purpose (disconnection, exit): no failure to report.
        transport_->Disconnect();
        return false;
    }
    if (!transport_->IsConnected() || transport_->PeerHasClosed()) {
        handshakeLost_.store(true);
        transport_->Disconnect();
        Alert(fmt::sprintf(Tr("## %s : Connection lost during the initialisation on %s:%d. DetectorId %s",
                              "## %s : Connexion perdue pendant l'initialisation sur %s:%d. Id. Détecteur %s"),
                           label, hostName, port, detectorId));
        return false;
    }
    return true;
}

void CTarvexBox::SetBoxClock() {
    if (!transport_ || !transport_->IsConfigured() || !transport_->IsConnected()) return;
    if (transport_->IsSerial()) return;  // synchronised by the USB TimingBox protocol
    const std::string label = CommandLabel();
    Log(0, fmt::sprintf(Tr("+ %s : Request for synchronization", "+ %s : Demande de synchronisation horloge"),
                        label));
    CommandExchange exchange(*this);
    CChrono now(CChrono::kNowAbsolute);
    std::string error, response;

    if (exchange.SendCode(kCmdStopOperation, "", error)) {
        exchange.WaitResponse("STOP", ResponseSeconds(), response);
    } else {
        Log(0, fmt::sprintf(Tr("## %s : Error sending command STOP: %s",
                               "## %s : Erreur envoi de commande STOP : %s"),
                            label, error));
    }
    if (exchange.SendCode(kCmdSetTime, now.FormatIsoMs(), error)) {
        exchange.WaitResponse("SETTIME", ResponseSeconds(), response);
    } else {
        Log(0, fmt::sprintf(Tr("## %s : Error sending command SETTIME: %s",
                               "## %s : Erreur envoi de commande SETTIME : %s"),
                            label, error));
    }
    if (exchange.SendCode(kCmdStartOperation, "", error)) {
        exchange.WaitResponse("STARTOPERATION", ResponseSeconds(), response);
    } else {
        Log(0, fmt::sprintf(Tr("## %s : Error sending command START: %s",
                               "## %s : Erreur envoi de commande START : %s"),
                            label, error));
    }
}

void CTarvexBox::RequestBoxTime() {
    const std::string label = CommandLabel();
    Log(0, fmt::sprintf(Tr("+ %s : Request for box date and time", "+ %s : Demande heure boîtier"), label));
    if (IsSerial()) {
        GetUsbBoxTime(*this);
        return;
    }
    std::string error;
    if (!SendCommandCode(kCmdGetTime, "", error)) {
        Log(0, fmt::sprintf(Tr("## %s : Error sending command: %s", "## %s : Erreur envoi de commande : %s"),
                            label, error));
    }
}

// --- The box thread's handle --------------------------------------------------------------

bool CTarvexBox::StartThread(std::function<void()> body) {
    std::lock_guard<std::mutex> guard(threadLock_);
    if (thread_.joinable()) {
        if (threadRunning.load()) return false;
        thread_.join();
    }
    // Set before the thread exists, so that a second start cannot slip in meanwhile;
    // the cancel request of the previous thread is spent.
    threadRunning.store(true);
    cancelRequested.store(false);
    try {
        thread_ = std::thread(std::move(body));
    } catch (const std::system_error&) {
        threadRunning.store(false);
        return false;
    }
    return true;
}

void CTarvexBox::JoinThread() {
    std::lock_guard<std::mutex> guard(threadLock_);
    if (thread_.joinable()) thread_.join();
}

void CTarvexBox::RequestClearLastDetections() {
    std::lock_guard<std::mutex> guard(threadLock_);
    // A command exchange that reads by itself records passings too: while one runs, the
    // list is left to whoever processes the next passing. Never waits for it.
    std::unique_lock<std::mutex> turn(exchangeTurn_, std::try_to_lock);
    if (!threadRunning.load() && turn.owns_lock()) {
        lastDetections.Clear();
        clearLastDetections_ = false;
    } else {
        clearLastDetections_ = true;
    }
}

void CTarvexBox::NoteRead() {
    lastReadTicks_.store(std::chrono::steady_clock::now().time_since_epoch().count(), std::memory_order_relaxed);
    readCount_.fetch_add(1, std::memory_order_relaxed);
}

}  // namespace lv

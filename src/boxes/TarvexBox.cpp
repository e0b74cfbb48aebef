#include "boxes/TarvexBox.h"

#include <unistd.h>
#ifdef __linux__
#include <sys/syscall.h>
#endif

#include <fmt/printf.h>

#include "base/Log.h"
#include "base/Texts.h"
#include "boxes/BoxHost.h"
#include "boxes/DecoderProtocol.h"
#include "boxes/transport/TcpComBox.h"

namespace lv {

namespace {

constexpr int kWaitPollMs = 5;
constexpr int kWaitStartMs = 10;
constexpr std::size_t kHandedResponsesKept = 16;

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

void SleepMs(int milliseconds) {
    if (milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

// Clears the flag when the exchange ends, whichever way it ends.
class WaitingFlag {
public:
    explicit WaitingFlag(std::atomic<bool>& flag) : flag_(flag) { flag_.store(true); }
    ~WaitingFlag() { flag_.store(false); }
    WaitingFlag(const WaitingFlag&) = delete;
    WaitingFlag& operator=(const WaitingFlag&) = delete;

private:
    std::atomic<bool>& flag_;
};

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
    {
        std::lock_guard<std::mutex> guard(linesLock_);
        lastSendStart_ = std::chrono::steady_clock::now();
    }
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

bool CTarvexBox::SendCommand(const std::string& command, std::string& error) {
    return SendText(command, command, error);
}

bool CTarvexBox::SendCommandCode(int code, const std::string& argument, std::string& error) {
    std::string command;
    if (!BuildCommandText(code, argument, command, error)) return false;
    return SendText(command, fmt::sprintf("%d", code), error);
}

bool CTarvexBox::WaitResponse(const std::string& expected, int seconds, std::string& response) {
    response.clear();
    const std::string label = ExchangeLabel();
    WaitingFlag waiting(waitingResponse);
    SleepMs(kWaitStartMs);
    // A cancel left over from an ended thread must not fail this wait; a live one (the
    // box's thread still runs) is a request to stop and stays.
    if (!threadRunning.load()) cancelRequested.store(false);
    BoxHost* host = Host();
    const int readDelta = host ? host->CurrentIntakeSettings().readMsDelta : 1;

    auto noResponse = [&] {
        Log(0, fmt::sprintf(Tr("+ %s : No response for command %s after %ds",
                               "+ %s : Pas de réponse pour la commande %s après %ds"),
                            label, expected, seconds));
        return false;
    };
    auto invalidInput = [&](const std::string& line) {
        Log(0, fmt::sprintf(Tr("+ %s : Invalid input: %s", "+ %s : Trame invalide: %s"), label,
                            PrintableExcerpt(line)));
        return false;
    };
    // A response, whoever read it: true when it is the one awaited.
    auto conclude = [&](const std::string& text, int code, bool alreadyReported) {
        response = text;
        if (!MatchesExpected(text, expected)) {
            Log(0, fmt::sprintf(Tr("+ %s : Unexpected response: %s", "+ %s : Reponse inattendue : %s"),
                                label, PrintableExcerpt(text)));
            return false;
        }
        if (!alreadyReported) {
            if (code == kRespSetTime) {
                Log(0, fmt::sprintf(Tr("+ %s : Box synchronized", "+ %s : Boitier synchronisé"), label));
            } else if (code == kRespSetBounce) {
                Log(0, fmt::sprintf(Tr("+ %s : Bounce time set", "+ %s : Temps inter-passage ajusté"),
                                    label));
            } else if (code == kRespListFiles) {
                Log(0, fmt::sprintf(Tr("+ %s : List files response received",
                                       "+ %s : Liste des fichiers reçus"),
                                    label));
            }
        }
        return true;
    };

    // The wait counts its empty polls; a box that keeps sending other lines (passings,
    // blank lines) would never let that count grow, so the real time is bounded too,
    // far enough beyond the count not to change an idle wait.
    const auto hardLimit = std::chrono::steady_clock::now() + std::chrono::seconds(2 * seconds);
    int elapsed = 0;
    for (;;) {
        if (cancelRequested.load()) return false;
        if (std::chrono::steady_clock::now() > hardLimit) return noResponse();
        SleepMs(readDelta);
        try {
            std::string handed;
            int handedCode = kRespNone;
            bool reported = false;
            if (TakeHandedOverResponse(handed, handedCode, reported)) {
                return conclude(handed, handedCode, reported);
            }
            if (!transport_) return noResponse();
            int ready = transport_->WaitForData(kWaitPollMs);
            if (ready == 0) {
                elapsed += kWaitPollMs;
                if (elapsed > seconds * 1000) return noResponse();
                continue;
            }
            // The connection is gone: no response can come any more.
            if (ready < 0) return noResponse();
            std::string line;
            int count = transport_->ReadLine(line);
            if (count < 0) return noResponse();
            if (transport_->LastLineIncomplete()) return invalidInput(line);
            // A blank line (CR LF alone) carries nothing: neither a response nor an error.
            if (count == 0 || TrimReceived(line).empty()) continue;
            std::string text;
            int code = kRespNone;
            if (!ClassifyResponse(line, text, code)) return invalidInput(line);
            if (code == kRespPassing) {
                Log(0, fmt::sprintf(Tr("+ %s : Passing received while waiting for %s, queued",
                                       "+ %s : Détection reçue en attendant %s, mise en file"),
                                    label, expected));
                QueuePendingPassing(text);
                continue;
            }
            return conclude(text, code, false);
        } catch (const std::exception&) {
            Log(0, fmt::sprintf("+ %s : Exception caught in inner ReadAvailable", label));
        }
    }
}

bool CTarvexBox::InitializeBox() {
    if (!transport_ || !transport_->HasPort()) return false;
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
        Alert(fmt::sprintf(Tr("## %s : Cannot connect on %s:%d. DetectorId %s : %s",
                              "## %s : Erreur de connexion sur %s:%d. Id. Détecteur %s : %s"),
                           label, hostName, port, detectorId, error));
        return false;
    }
    Log(20, fmt::sprintf(Tr("+ %s : Initialized on %s:%d. Detector Id. %s",
                            "+ %s : Initialisé sur %s:%d. Id. Détecteur %s"),
                         label, hostName, port, detectorId));
    // The USB TimingBox has its own initialisation sequence, run by its protocol.
    if (transport_->IsSerial()) return true;

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
        if (SendCommandCode(step.code, step.argument, error)) {
            std::string response;
            WaitResponse(step.expected, ResponseSeconds(), response);
        } else {
            Log(0, fmt::sprintf(Tr(step.englishError, step.frenchError), label, error));
        }
    }
    return true;
}

void CTarvexBox::SetBoxClock() {
    if (!transport_ || !transport_->IsConfigured() || !transport_->IsConnected()) return;
    if (transport_->IsSerial()) return;  // synchronised by the USB TimingBox protocol
    const std::string label = CommandLabel();
    Log(0, fmt::sprintf(Tr("+ %s : Request for synchronization", "+ %s : Demande de synchronisation horloge"),
                        label));
    CChrono now(CChrono::kNowAbsolute);
    std::string error, response;

    if (SendCommandCode(kCmdStopOperation, "", error)) {
        WaitResponse("STOP", ResponseSeconds(), response);
    } else {
        Log(0, fmt::sprintf(Tr("## %s : Error sending command STOP: %s",
                               "## %s : Erreur envoi de commande STOP : %s"),
                            label, error));
    }
    if (SendCommandCode(kCmdSetTime, now.FormatIsoMs(), error)) {
        WaitResponse("SETTIME", ResponseSeconds(), response);
    } else {
        Log(0, fmt::sprintf(Tr("## %s : Error sending command SETTIME: %s",
                               "## %s : Erreur envoi de commande SETTIME : %s"),
                            label, error));
    }
    if (SendCommandCode(kCmdStartOperation, "", error)) {
        WaitResponse("STARTOPERATION", ResponseSeconds(), response);
    } else {
        Log(0, fmt::sprintf(Tr("## %s : Error sending command START: %s",
                               "## %s : Erreur envoi de commande START : %s"),
                            label, error));
    }
}

void CTarvexBox::RequestBoxTime() {
    const std::string label = CommandLabel();
    Log(0, fmt::sprintf(Tr("+ %s : Request for box date and time", "+ %s : Demande heure boîtier"), label));
    if (IsSerial()) return;  // asked through the USB TimingBox protocol
    std::string error;
    if (!SendCommandCode(kCmdGetTime, "", error)) {
        Log(0, fmt::sprintf(Tr("## %s : Error sending command: %s", "## %s : Erreur envoi de commande : %s"),
                            label, error));
    }
}

// --- Lines handed between the readers ---------------------------------------------------

void CTarvexBox::QueuePendingPassing(std::string line) {
    std::lock_guard<std::mutex> guard(linesLock_);
    pendingPassingLines_.push_back(std::move(line));
}

bool CTarvexBox::TakePendingPassing(std::string& line) {
    std::lock_guard<std::mutex> guard(linesLock_);
    if (pendingPassingLines_.empty()) return false;
    line = std::move(pendingPassingLines_.front());
    pendingPassingLines_.pop_front();
    return true;
}

std::size_t CTarvexBox::PendingPassingCount() const {
    std::lock_guard<std::mutex> guard(linesLock_);
    return pendingPassingLines_.size();
}

void CTarvexBox::HandOverResponse(std::string response, int code, bool reported) {
    std::lock_guard<std::mutex> guard(linesLock_);
    handedResponses_.push_back(
        HandedResponse{std::move(response), code, reported, std::chrono::steady_clock::now()});
    while (handedResponses_.size() > kHandedResponsesKept) handedResponses_.pop_front();
}

bool CTarvexBox::TakeHandedOverResponse(std::string& response, int& code, bool& reported) {
    std::lock_guard<std::mutex> guard(linesLock_);
    while (!handedResponses_.empty()) {
        HandedResponse item = std::move(handedResponses_.front());
        handedResponses_.pop_front();
        if (item.received < lastSendStart_) continue;  // answers an earlier command
        response = std::move(item.text);
        code = item.code;
        reported = item.reported;
        return true;
    }
    return false;
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
    if (threadRunning.load()) {
        clearLastDetections_ = true;
    } else {
        lastDetections.Clear();
    }
}

}  // namespace lv

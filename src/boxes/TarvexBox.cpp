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

void CTarvexBox::NoteRead() {
    lastReadTicks_.store(std::chrono::steady_clock::now().time_since_epoch().count(), std::memory_order_relaxed);
    readCount_.fetch_add(1, std::memory_order_relaxed);
}

}  // namespace lv

#include "link/DirectConnection.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>

#include "base/net/HostLookup.h"
#include "base/net/LineReader.h"
#include "base/net/TcpClient.h"

namespace lv {
namespace {

// Each command is a small line that should leave at once; a peer that stops reading
// must not hold a sender for ever.
TcpOptions LinkSocketOptions() {
    TcpOptions options;
    options.noDelay = true;
    options.sendTimeoutMs = DirectConnection::kSendTimeoutMs;
    return options;
}

}  // namespace

DirectConnection::DirectConnection(DirectConnectionListener& listener) : listener_(listener) {}

DirectConnection::~DirectConnection() { Stop(); }

bool DirectConnection::Start(const DirectTarget& target) {
    if (running_.load()) return false;
    // A worker that ended by itself (connection lost) is finished: collect it.
    if (worker_.joinable()) worker_.join();
    {
        std::lock_guard<std::mutex> guard(targetLock_);
        target_ = target;
        ++targetGeneration_;
    }
    stopRequested_.store(false);
    running_.store(true);
    worker_ = std::thread([this] { Run(); });
    return true;
}

void DirectConnection::Stop() {
    if (!worker_.joinable()) return;
    {
        std::lock_guard<std::mutex> guard(targetLock_);
        stopRequested_.store(true);
        targetChanged_.notify_all();
    }
    bool closing = false;
    {
        // No send after this point. The peer gets what was sent, then the end of
        // the stream; closing at once with its answers unread would reset the
        // connection and make it drop commands it has not read yet.
        std::lock_guard<std::mutex> guard(sendLock_);
        if (sendSocket_ >= 0) {
            ::shutdown(sendSocket_, SHUT_WR);
            sendSocket_ = -1;
            closing = true;
        }
    }
    if (closing) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kStopGraceMs);
        while (running_.load() && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    {
        // The peer kept its side open: end the read now.
        std::lock_guard<std::mutex> guard(sendLock_);
        if (openSocket_ >= 0) ::shutdown(openSocket_, SHUT_RDWR);
    }
    worker_.join();
    stopRequested_.store(false);
}

void DirectConnection::ChangeTarget(const DirectTarget& target) {
    std::lock_guard<std::mutex> guard(targetLock_);
    target_ = target;
    ++targetGeneration_;
    targetChanged_.notify_all();
}

DirectTarget DirectConnection::Target() const {
    std::lock_guard<std::mutex> guard(targetLock_);
    return target_;
}

bool DirectConnection::Send(std::string_view command) {
    std::string line;
    line.reserve(command.size() + 2);
    for (char c : command) line += (c == '\r' || c == '\n') ? ' ' : c;
    line += "\r\n";
    std::lock_guard<std::mutex> guard(sendLock_);
    if (sendSocket_ < 0) return false;
    std::size_t sent = SendAllTcp(sendSocket_, line.data(), line.size());
    if (sent == line.size()) return true;
    if (sent > 0) {
        // Part of a line went out: the stream is torn, so end the connection rather
        // than let the next command be glued to the fragment. The worker's read
        // fails and it closes the descriptor.
        ::shutdown(sendSocket_, SHUT_RDWR);
        sendSocket_ = -1;
    }
    return false;
}

DirectConnection::SendResult DirectConnection::SendLines(std::string_view lines) {
    std::lock_guard<std::mutex> guard(sendLock_);
    if (sendSocket_ < 0) return SendResult::Nothing;
    std::size_t sent = SendAllTcp(sendSocket_, lines.data(), lines.size());
    if (sent == lines.size()) return SendResult::Whole;
    if (sent == 0) return SendResult::Nothing;
    // As in Send: never let a later line be glued to a fragment.
    ::shutdown(sendSocket_, SHUT_RDWR);
    sendSocket_ = -1;
    return SendResult::Torn;
}

int DirectConnection::ConnectOnce(const DirectTarget& target) {
    std::vector<ResolvedAddress> addresses =
        LookupHost(target.host, target.port, std::chrono::milliseconds(kLookupTimeoutMs), stopRequested_);
    TcpConnectLimits limits;
    limits.perAddress = std::chrono::milliseconds(kConnectTimeoutMs);
    limits.cancel = &stopRequested_;
    return ConnectTcp(addresses, limits, LinkSocketOptions());
}

void DirectConnection::Pause(int seconds, unsigned targetGeneration) {
    // ReconnectSeconds x 4 ticks of 250 ms; at least one tick, so that a zero delay
    // cannot spin.
    int64_t ticks = seconds > 0 ? int64_t{seconds} * (1000 / kRetryTickMs) : 1;
    std::unique_lock<std::mutex> guard(targetLock_);
    targetChanged_.wait_for(guard, std::chrono::milliseconds(ticks * kRetryTickMs), [&] {
        return stopRequested_.load() || targetGeneration_ != targetGeneration;
    });
}

void DirectConnection::Run() {
    int socket = -1;
    while (!stopRequested_.load()) {
        DirectTarget target;
        unsigned generation;
        {
            std::lock_guard<std::mutex> guard(targetLock_);
            target = target_;
            generation = targetGeneration_;
        }
        listener_.OnDirectState(DirectState::Attempting, true);
        socket = ConnectOnce(target);
        if (socket >= 0 || stopRequested_.load()) break;
        listener_.OnDirectState(DirectState::Disconnected, true);
        Pause(target.reconnectSeconds, generation);
    }
    if (socket >= 0) {
        bool stopped;
        {
            std::lock_guard<std::mutex> guard(sendLock_);
            stopped = stopRequested_.load();
            openSocket_ = socket;
            if (!stopped) sendSocket_ = socket;
        }
        if (!stopped) {
            connected_.store(true);
            listener_.OnDirectState(DirectState::Connected, false);
            ReadLines(socket);
        }
        {
            // Senders and Stop use the descriptor under this lock: once closed here,
            // nobody holds its number any more.
            std::lock_guard<std::mutex> guard(sendLock_);
            sendSocket_ = -1;
            openSocket_ = -1;
            ::close(socket);
        }
        connected_.store(false);
        running_.store(false);
        if (!stopped) listener_.OnDirectState(DirectState::Disconnected, false);
        return;
    }
    running_.store(false);
}

void DirectConnection::ReadLines(int socket) {
    // One byte beyond the limit: a carriage return that does not fit is harmless when
    // the line feed follows it, anything else there cuts the line.
    LineReader reader(kMaxLineLength + 1);
    for (;;) {
        ssize_t n = ::recv(socket, reader.ChunkArea(), reader.ChunkCapacity(), 0);
        if (n < 0 && errno == EINTR) continue;
        // End of stream, error, or ended by Stop; a partial line is dropped.
        if (n <= 0) return;
        reader.Commit(static_cast<std::size_t>(n));
        std::string line;
        bool truncated = false;
        while (reader.TakeLine(line, truncated)) {
            if (line.size() > kMaxLineLength) {
                truncated = truncated || line[kMaxLineLength] != '\r';
                line.resize(kMaxLineLength);
            }
            while (!line.empty() && line.back() == '\r') line.pop_back();
            if (!line.empty()) listener_.OnDirectLine(std::move(line), truncated);
            line.clear();
        }
        listener_.OnDirectLinesTaken();
    }
}

}  // namespace lv

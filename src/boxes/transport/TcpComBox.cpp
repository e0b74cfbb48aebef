#include "boxes/transport/TcpComBox.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <fmt/printf.h>

#include "base/net/TcpClient.h"

namespace lv {

namespace {

using SteadyClock = std::chrono::steady_clock;

int MillisecondsLeft(SteadyClock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

// Low latency for short command lines, and short keepalive timings so that a decoder
// that lost power is noticed within seconds instead of hours; keepalive stays silent
// while sent data awaits its acknowledgement, so that is bounded too.
TcpOptions DecoderSocketOptions() {
    TcpOptions options;
    options.noDelay = true;
    options.keepalive = true;
    options.keepIdleSeconds = TcpKeepalive::kIdleSeconds;
    options.keepIntervalSeconds = TcpKeepalive::kIntervalSeconds;
    options.keepProbes = TcpKeepalive::kProbes;
    options.userTimeoutMs = TcpKeepalive::kUserTimeoutMs;
    return options;
}

}  // namespace

// One connected socket; closed when the last user lets go of it, so that a reader
// woken by a disconnection never touches a descriptor number that was reused.
struct CTcpComBox::Connection {
    explicit Connection(int descriptor) : fd(descriptor) {}
    ~Connection() { ::close(fd); }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    const int fd;
};

CTcpComBox::CTcpComBox() = default;

CTcpComBox::~CTcpComBox() { Disconnect(); }

std::shared_ptr<CTcpComBox::Connection> CTcpComBox::CurrentConnection() const {
    std::lock_guard<std::mutex> guard(connectionLock_);
    return connection_;
}

bool CTcpComBox::Close() {
    SetStopRequested(true);
    return Disconnect();
}

bool CTcpComBox::Disconnect() {
    std::shared_ptr<Connection> dropped;
    {
        std::lock_guard<std::mutex> guard(connectionLock_);
        dropped.swap(connection_);
    }
    // Wakes any reader or writer blocked on it; the descriptor closes with its last user.
    if (dropped) ::shutdown(dropped->fd, SHUT_RDWR);
    return true;
}

bool CTcpComBox::Connect(std::string& error) {
    error.clear();
    std::string host;
    int port = 0;
    {
        std::lock_guard<std::mutex> guard(parametersLock_);
        host = host_;
        port = port_;
    }
    Disconnect();

    std::vector<ResolvedAddress> addresses = ResolveTcpHost(host, port);
    if (addresses.empty()) {
        error = "Error gethostbyname";
        return false;
    }
    TcpConnectLimits limits;
    limits.deadline = SteadyClock::now() + std::chrono::seconds(ConnectionTimeout());
    int fd = ConnectTcp(addresses, limits, DecoderSocketOptions());
    if (fd < 0) {
        error = "Unable to Connect";
        return false;
    }

    auto connection = std::make_shared<Connection>(fd);
    {
        std::lock_guard<std::mutex> readGuard(readLock_);
        buffer_.Clear();
        lastChunkFull_ = false;
        peerClosed_ = false;
        receiveFailed_ = false;
        std::lock_guard<std::mutex> guard(connectionLock_);
        connection_ = std::move(connection);
        if (++connectionSerial_ <= 0) connectionSerial_ = 1;
    }
    SetStopRequested(false);
    return true;
}

int CTcpComBox::ReceiveChunk(Connection& connection, int milliseconds) {
    // While bytes keep coming (a box sending as fast as it can, or a stream of passings
    // that the box thread gathers for a few milliseconds), more are most likely waiting:
    // they are taken without a poll first, one system call instead of two. After a
    // quiet time the poll comes first, as it would find nothing waiting.
    ssize_t count = 0;
    bool mustWait = true;
    if (lastChunkFull_ || streaming_) {
        count = ::recv(connection.fd, buffer_.ChunkArea(), buffer_.ChunkCapacity(), MSG_DONTWAIT);
        mustWait = count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
    }
    if (mustWait) {
        lastChunkFull_ = false;
        streaming_ = false;
        pollfd waiter{connection.fd, POLLIN, 0};
        int ready = ::poll(&waiter, 1, milliseconds);
        if (ready == 0 || (ready < 0 && errno == EINTR)) return kNothing;
        if (ready < 0) {
            receiveFailed_ = true;
            return kFailed;
        }
        count = ::recv(connection.fd, buffer_.ChunkArea(), buffer_.ChunkCapacity(), 0);
    }
    lastChunkFull_ = count == static_cast<ssize_t>(buffer_.ChunkCapacity());
    streaming_ = count > 0;
    if (count > 0) {
        buffer_.Commit(static_cast<std::size_t>(count));
        return static_cast<int>(count);
    }
    if (count == 0) {
        peerClosed_ = true;
        return 0;
    }
    if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) return kNothing;
    receiveFailed_ = true;
    return kFailed;
}

int CTcpComBox::WaitForData(int milliseconds) {
    std::lock_guard<std::mutex> guard(readLock_);
    if (buffer_.HasLine() || peerClosed_ || receiveFailed_) return 1;
    std::shared_ptr<Connection> connection = CurrentConnection();
    if (!connection) return -1;
    auto deadline = SteadyClock::now() + std::chrono::milliseconds(milliseconds > 0 ? milliseconds : 0);
    for (;;) {
        int received = ReceiveChunk(*connection, MillisecondsLeft(deadline));
        if (received == 0 || received == kFailed || buffer_.HasLine()) return 1;
        if (MillisecondsLeft(deadline) == 0) return 0;
    }
}

bool CTcpComBox::HasReceivedLine() const {
    std::lock_guard<std::mutex> guard(readLock_);
    return buffer_.HasLine();
}

bool CTcpComBox::MoreLikelyWaiting() const {
    std::lock_guard<std::mutex> guard(readLock_);
    return lastChunkFull_;
}

bool CTcpComBox::PeerHasClosed() const {
    std::lock_guard<std::mutex> guard(readLock_);
    return (peerClosed_ || receiveFailed_) && !buffer_.HasLine();
}

int CTcpComBox::ReadLine(std::string& line) {
    std::lock_guard<std::mutex> guard(readLock_);
    line.clear();
    lastLineIncomplete_.store(false);
    auto deadline = SteadyClock::now() + std::chrono::milliseconds(kLineWaitMs);
    for (;;) {
        bool cut = false;
        if (buffer_.TakeLine(line, cut)) {
            lastLineIncomplete_.store(cut);
            return static_cast<int>(line.size());
        }
        if (peerClosed_ || receiveFailed_) {
            // What came before the close is still handed out, marked as not whole.
            if (buffer_.TakeUnfinished(line)) {
                lastLineIncomplete_.store(true);
                return static_cast<int>(line.size());
            }
            Disconnect();
            return -1;
        }
        std::shared_ptr<Connection> connection = CurrentConnection();
        if (!connection) return -1;
        int left = MillisecondsLeft(deadline);
        if (left == 0) return 0;
        ReceiveChunk(*connection, left);
    }
}

int CTcpComBox::Write(const char* bytes, int length) {
    if (length < 0) return -1;
    std::shared_ptr<Connection> connection = CurrentConnection();
    if (!connection) return -1;
    std::lock_guard<std::mutex> guard(writeLock_);
    std::size_t sent = SendAllTcp(connection->fd, bytes, static_cast<std::size_t>(length));
    return sent == static_cast<std::size_t>(length) ? length : -1;
}

std::string CTcpComBox::GetDescription() const {
    std::lock_guard<std::mutex> guard(parametersLock_);
    return fmt::sprintf("[%s:%d %s]", LastComponent(host_), port_, detectorId_);
}

std::string CTcpComBox::GetKey() const {
    std::lock_guard<std::mutex> guard(parametersLock_);
    return fmt::sprintf("%s-%d-%s", LastComponent(host_), port_, detectorId_);
}

bool CTcpComBox::HasPort() const { return GetPort() != 0; }

bool CTcpComBox::IsConfigured() const {
    std::lock_guard<std::mutex> guard(parametersLock_);
    return port_ != 0 && !host_.empty();
}

bool CTcpComBox::IsConnected() const { return CurrentConnection() != nullptr; }

bool CTcpComBox::IsInUse() const { return IsConnected() || IsPending(); }

void CTcpComBox::SetParameters(const std::string& detectorId, const std::string& host, int port) {
    std::lock_guard<std::mutex> guard(parametersLock_);
    detectorId_ = detectorId;
    host_ = host;
    port_ = port & 0xFFFF;
}

void CTcpComBox::GetParameters(std::string& detectorId, std::string& host, int& port) const {
    std::lock_guard<std::mutex> guard(parametersLock_);
    detectorId = detectorId_;
    host = host_;
    port = port_;
}

void CTcpComBox::SetHandle(int value) {
    if (value == 0) Disconnect();
}

int CTcpComBox::GetHandle() const {
    std::lock_guard<std::mutex> guard(connectionLock_);
    return connection_ ? connectionSerial_ : 0;
}

std::string CTcpComBox::GetHost() const {
    std::lock_guard<std::mutex> guard(parametersLock_);
    return host_;
}

int CTcpComBox::GetPort() const {
    std::lock_guard<std::mutex> guard(parametersLock_);
    return port_;
}

void CTcpComBox::SetConnectionTimeout(int seconds) { connectTimeoutSeconds_.store(seconds); }

int CTcpComBox::ConnectionTimeout() const {
    int seconds = connectTimeoutSeconds_.load();
    return seconds < 1 ? 1 : seconds;
}

int CTcpComBox::NativeSocketForTests() const {
    std::shared_ptr<Connection> connection = CurrentConnection();
    return connection ? connection->fd : -1;
}

}  // namespace lv

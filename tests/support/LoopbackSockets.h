#pragma once
// Loopback sockets for tests and benchmarks (127.0.0.1 only): a listening peer that a
// test scripts byte by byte, and plain listening and connecting.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <utility>

namespace lv::test {

// A socket listening on 127.0.0.1 on a free port (given in `port`); -1 on failure.
inline int ListenLoopback(int backlog, int& port) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, backlog) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::close(fd);
        return -1;
    }
    port = ntohs(address.sin_port);
    return fd;
}

// A connection to 127.0.0.1:port: the socket, or -1 when it failed. With `wait` false
// the socket is non-blocking and comes back while its connection is still under way.
inline int ConnectLoopback(int port, bool wait = true) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | (wait ? 0 : SOCK_NONBLOCK), 0);
    if (fd < 0) return -1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 && wait) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// A listening socket on 127.0.0.1 that accepts clients one at a time; the test reads
// what a client sent and writes what it likes.
class LoopbackPeer {
public:
    static constexpr int kLimitMs = 10000;

    // backlog: the listen queue (0 with a client left waiting makes later connects hang).
    explicit LoopbackPeer(int backlog = 4) { listener_ = ListenLoopback(backlog, port_); }
    ~LoopbackPeer() {
        CloseClient();
        CloseListener();
    }
    LoopbackPeer(const LoopbackPeer&) = delete;
    LoopbackPeer& operator=(const LoopbackPeer&) = delete;

    // A port where nothing listens (bound, then released).
    static int FreePort() {
        LoopbackPeer peer;
        return peer.Port();
    }

    int Port() const { return port_; }

    // Waits for the next client (closing the previous one); false after the limit.
    bool Accept(int limitMs = kLimitMs) {
        CloseClient();
        pollfd waiter{listener_, POLLIN, 0};
        if (::poll(&waiter, 1, limitMs) <= 0) return false;
        client_ = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        return client_ >= 0;
    }
    bool Send(const std::string& bytes) {
        if (client_ < 0) return false;
        std::size_t sent = 0;
        while (sent < bytes.size()) {
            ssize_t count = ::send(client_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
            if (count <= 0) return false;
            sent += static_cast<std::size_t>(count);
        }
        return true;
    }
    // Reads until at least `count` bytes came (or the client closed, or the limit
    // passed); returns all that came, so that a surplus shows.
    std::string ReceiveBytes(std::size_t count, int limitMs = kLimitMs) {
        ReceiveWhile([&] { return pending_.size() < count; }, limitMs);
        return std::exchange(pending_, std::string());
    }
    // Reads until a line feed came; the line with its terminator, or "" after the limit.
    std::string ReceiveLine(int limitMs = kLimitMs) {
        ReceiveWhile([&] { return pending_.find('\n') == std::string::npos; }, limitMs);
        std::size_t feed = pending_.find('\n');
        if (feed == std::string::npos) return {};
        std::string line = pending_.substr(0, feed + 1);
        pending_.erase(0, feed + 1);
        return line;
    }
    // True once the client closed its side (waits up to the limit); what it sent
    // before is dropped.
    bool ClientClosed(int limitMs = kLimitMs) {
        ReceiveWhile([] { return true; }, limitMs);
        pending_.clear();
        return closedByClient_;
    }
    // Shut down before closing: the client gets an orderly end after the bytes sent.
    void CloseClient() {
        if (client_ >= 0) {
            ::shutdown(client_, SHUT_RDWR);
            ::close(client_);
        }
        client_ = -1;
        closedByClient_ = false;
        pending_.clear();
    }
    void CloseListener() {
        if (listener_ >= 0) ::close(listener_);
        listener_ = -1;
    }

private:
    // Adds what the client sends to pending_ while `more` holds, the client is there
    // and the limit has not passed.
    template <typename More>
    void ReceiveWhile(More more, int limitMs) {
        auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
        char buffer[4096];
        while (client_ >= 0 && !closedByClient_ && more()) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
            if (left.count() <= 0) break;
            pollfd waiter{client_, POLLIN, 0};
            if (::poll(&waiter, 1, static_cast<int>(left.count())) <= 0) continue;
            ssize_t got = ::recv(client_, buffer, sizeof buffer, 0);
            if (got <= 0) {
                closedByClient_ = true;
                break;
            }
            pending_.append(buffer, static_cast<std::size_t>(got));
        }
    }

    int listener_ = -1;
    int client_ = -1;
    int port_ = 0;
    bool closedByClient_ = false;
    std::string pending_;
};

}  // namespace lv::test

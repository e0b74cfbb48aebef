#pragma once
// A scripted TCP peer on 127.0.0.1 for tests: accepts one client, writes whatever the
// test gives it, reads what the client sent, closes on request.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>

namespace lv {

class LoopbackPeer {
public:
    explicit LoopbackPeer(int backlog = 4) {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(listener_, backlog);
        socklen_t length = sizeof address;
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
    }
    ~LoopbackPeer() {
        Close();
        if (listener_ >= 0) ::close(listener_);
    }
    LoopbackPeer(const LoopbackPeer&) = delete;
    LoopbackPeer& operator=(const LoopbackPeer&) = delete;

    // A port where nothing listens (bound, then released).
    static int FreePort() {
        LoopbackPeer peer;
        int port = peer.Port();
        return port;
    }

    int Port() const { return port_; }

    bool Accept(std::chrono::milliseconds limit = std::chrono::seconds(10)) {
        pollfd waiting{listener_, POLLIN, 0};
        if (::poll(&waiting, 1, static_cast<int>(limit.count())) <= 0) return false;
        client_ = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        return client_ >= 0;
    }
    bool Write(const std::string& bytes) {
        std::size_t sent = 0;
        while (sent < bytes.size()) {
            ssize_t n = ::send(client_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
            if (n <= 0) return false;
            sent += static_cast<std::size_t>(n);
        }
        return true;
    }
    // Reads until `count` bytes arrived, the client closed, or the limit passed.
    std::string Read(std::size_t count, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
        std::string received;
        auto deadline = std::chrono::steady_clock::now() + limit;
        while (received.size() < count) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) break;
            pollfd waiting{client_, POLLIN, 0};
            if (::poll(&waiting, 1, static_cast<int>(left.count())) <= 0) break;
            char chunk[4096];
            ssize_t n = ::recv(client_, chunk, sizeof chunk, 0);
            if (n <= 0) {
                closedByClient_ = true;
                break;
            }
            received.append(chunk, static_cast<std::size_t>(n));
        }
        return received;
    }
    // True when the client closed its side (waits up to the limit).
    bool ClientClosed(std::chrono::milliseconds limit = std::chrono::seconds(10)) {
        Read(static_cast<std::size_t>(-1), limit);
        return closedByClient_;
    }
    void Close() {
        if (client_ >= 0) {
            ::shutdown(client_, SHUT_RDWR);
            ::close(client_);
            client_ = -1;
        }
    }

private:
    int listener_ = -1;
    int client_ = -1;
    int port_ = 0;
    bool closedByClient_ = false;
};

}  // namespace lv

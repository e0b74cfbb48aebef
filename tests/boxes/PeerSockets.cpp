#include "PeerSockets.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

extern char** environ;

namespace lv::test {

namespace {

// Reads one line from the child's standard output within the limit.
std::string ReadFirstLine(int fd, int limitMs) {
    std::string line;
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    char c = 0;
    while (std::chrono::steady_clock::now() < until) {
        pollfd waiter{fd, POLLIN, 0};
        if (::poll(&waiter, 1, 50) <= 0) continue;
        ssize_t count = ::read(fd, &c, 1);
        if (count <= 0) break;
        if (c == '\n') break;
        line.push_back(c);
    }
    return line;
}

}  // namespace

SimulatedDecoder::SimulatedDecoder(const std::vector<std::string>& options) {
    std::vector<std::string> words{LUMIVANE_BUILD_DIR "/lumivane-sim", "decoder", "--port", "0"};
    words.insert(words.end(), options.begin(), options.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);

    int output[2];
    if (::pipe(output) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, output[0]);
    posix_spawn_file_actions_addclose(&actions, output[1]);
    if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(output[1]);
    if (pid_ > 0) {
        std::string first = ReadFirstLine(output[0], 5000);
        if (std::sscanf(first.c_str(), "port %d", &port_) != 1) port_ = 0;
    }
    ::close(output[0]);
}

SimulatedDecoder::~SimulatedDecoder() {
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        int status = 0;
        ::waitpid(pid_, &status, 0);
    }
}

ScriptedPeer::ScriptedPeer(int backlog) {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(listener_, backlog);
    socklen_t length = sizeof address;
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
}

ScriptedPeer::~ScriptedPeer() {
    CloseClient();
    CloseListener();
}

bool ScriptedPeer::Accept(int limitMs) {
    CloseClient();
    pollfd waiter{listener_, POLLIN, 0};
    if (::poll(&waiter, 1, limitMs) <= 0) return false;
    client_ = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    pending_.clear();
    return client_ >= 0;
}

std::string ScriptedPeer::ReceiveBytes(std::size_t count, int limitMs) {
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    char buffer[4096];
    while (pending_.size() < count && std::chrono::steady_clock::now() < until && client_ >= 0) {
        pollfd waiter{client_, POLLIN, 0};
        if (::poll(&waiter, 1, 20) <= 0) continue;
        ssize_t got = ::recv(client_, buffer, sizeof buffer, 0);
        if (got <= 0) break;
        pending_.append(buffer, static_cast<std::size_t>(got));
    }
    std::size_t take = pending_.size() < count ? pending_.size() : count;
    std::string out = pending_.substr(0, take);
    pending_.erase(0, take);
    return out;
}

std::string ScriptedPeer::ReceiveLine(int limitMs) {
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    char buffer[4096];
    while (pending_.find('\n') == std::string::npos && std::chrono::steady_clock::now() < until &&
           client_ >= 0) {
        pollfd waiter{client_, POLLIN, 0};
        if (::poll(&waiter, 1, 20) <= 0) continue;
        ssize_t got = ::recv(client_, buffer, sizeof buffer, 0);
        if (got <= 0) break;
        pending_.append(buffer, static_cast<std::size_t>(got));
    }
    std::size_t feed = pending_.find('\n');
    if (feed == std::string::npos) return {};
    std::string line = pending_.substr(0, feed + 1);
    pending_.erase(0, feed + 1);
    return line;
}

bool ScriptedPeer::Send(const std::string& bytes) {
    if (client_ < 0) return false;
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        ssize_t count = ::send(client_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (count <= 0) return false;
        sent += static_cast<std::size_t>(count);
    }
    return true;
}

void ScriptedPeer::CloseClient() {
    if (client_ >= 0) ::close(client_);
    client_ = -1;
}

void ScriptedPeer::CloseListener() {
    if (listener_ >= 0) ::close(listener_);
    listener_ = -1;
}

}  // namespace lv::test

#include "TimingAppServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <deque>
#include <utility>

namespace sim {
namespace {
constexpr std::size_t kMaxLine = 64 * 1024;  // longer lines are recorded cut
}

TimingAppServer::TimingAppServer(const TimingAppOptions& options, SimRace& race)
    : options_(options), responder_(options, race) {}

TimingAppServer::~TimingAppServer() {
    {
        std::lock_guard<std::mutex> guard(clientsLock_);
        for (int socket : clients_) ::shutdown(socket, SHUT_RDWR);
    }
    for (auto& thread : threads_) thread.join();
    if (listener_ >= 0) ::close(listener_);
    if (record_ != nullptr) std::fclose(record_);
    if (answers_ != nullptr) std::fclose(answers_);
}

bool TimingAppServer::Listen(std::string& error) {
    if (!options_.recordFile.empty()) {
        record_ = std::fopen(options_.recordFile.c_str(), "ab");
        if (record_ == nullptr) {
            error = "cannot open record file " + options_.recordFile + ": " + std::strerror(errno);
            return false;
        }
    }
    if (!options_.answersFile.empty()) {
        answers_ = std::fopen(options_.answersFile.c_str(), "ab");
        if (answers_ == nullptr) {
            error = "cannot open answers record file " + options_.answersFile + ": " + std::strerror(errno);
            return false;
        }
    }
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listener_ < 0) {
        error = std::string("socket: ") + std::strerror(errno);
        return false;
    }
    int yes = 1;
    ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(options_.port));
    if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener_, 8) != 0) {
        error = "cannot listen on 127.0.0.1:" + std::to_string(options_.port) + ": " +
                std::strerror(errno);
        return false;
    }
    socklen_t length = sizeof address;
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    return true;
}

void TimingAppServer::Run(const std::atomic<bool>& stopRequested) {
    while (!stopRequested.load()) {
        pollfd waiting{listener_, POLLIN, 0};
        if (::poll(&waiting, 1, 100) <= 0) continue;
        int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) continue;
        {
            std::lock_guard<std::mutex> guard(clientsLock_);
            clients_.insert(client);
        }
        if (options_.verbose) std::fprintf(stderr, "timingapp: client connected\n");
        threads_.emplace_back([this, client] { Serve(client); });
    }
}

void TimingAppServer::Record(const std::string& bytes) {
    if (record_ == nullptr) return;
    std::lock_guard<std::mutex> guard(recordLock_);
    std::fwrite(bytes.data(), 1, bytes.size(), record_);
    std::fflush(record_);
}

void TimingAppServer::RecordAnswered(const std::string& push) {
    if (answers_ == nullptr) return;
    const long long now = std::chrono::duration_cast<std::chrono::milliseconds>(
                              std::chrono::steady_clock::now().time_since_epoch())
                              .count();
    std::lock_guard<std::mutex> guard(recordLock_);
    std::fprintf(answers_, "%lld %s\n", now, push.c_str());
    std::fflush(answers_);
}

void TimingAppServer::Trace(const char* direction, const std::string& line) {
    if (options_.verbose) std::fprintf(stderr, "timingapp %s %s\n", direction, line.c_str());
}

bool TimingAppServer::SendLine(int socket, const std::string& line) {
    std::string bytes = line + "\r\n";
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        ssize_t n = ::send(socket, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) return false;
        sent += static_cast<std::size_t>(n);
    }
    Trace("<<", line);
    return true;
}

void TimingAppServer::Serve(int socket) {
    using Clock = std::chrono::steady_clock;
    std::string pending;  // bytes of the line being received, line end included
    int linesReceived = 0;
    char chunk[4096];
    bool open = true;
    // Answers of pushes held back by --answer-delay: when each is due, the answer, the push.
    struct Delayed {
        Clock::time_point due;
        std::string answer;
        std::string push;
    };
    std::deque<Delayed> delayed;
    auto sendDue = [&] {
        while (open && !delayed.empty() && delayed.front().due <= Clock::now()) {
            if (!SendLine(socket, delayed.front().answer)) open = false;
            if (open) RecordAnswered(delayed.front().push);
            delayed.pop_front();
        }
    };
    while (open) {
        int waitMs = -1;
        if (!delayed.empty()) {
            waitMs = static_cast<int>(std::max<long long>(
                0, std::chrono::duration_cast<std::chrono::milliseconds>(delayed.front().due - Clock::now()).count()));
        }
        pollfd waiting{socket, POLLIN, 0};
        const int ready = ::poll(&waiting, 1, waitMs);
        if (ready < 0 && errno != EINTR) break;
        if (ready <= 0) {
            sendDue();
            continue;
        }
        ssize_t n = ::recv(socket, chunk, sizeof chunk, 0);
        if (n <= 0) break;
        for (ssize_t i = 0; i < n && open; ++i) {
            if (pending.size() < kMaxLine) pending += chunk[i];
            if (chunk[i] != '\n') continue;
            Record(pending);
            std::string line = pending.substr(0, pending.size() - 1);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            pending.clear();
            Trace(">>", line);
            ++linesReceived;
            if (options_.dropAfter > 0 && linesReceived >= options_.dropAfter) {
                if (options_.verbose) std::fprintf(stderr, "timingapp: dropping the connection\n");
                open = false;
                break;
            }
            std::string answer;
            {
                std::lock_guard<std::mutex> guard(raceLock_);
                answer = responder_.Answer(line);
            }
            if (answer.empty()) continue;
            const bool push = line.rfind("AddQoxClock(", 0) == 0;
            if (push && options_.answerDelayMs > 0) {
                delayed.push_back({Clock::now() + std::chrono::milliseconds(options_.answerDelayMs), answer, line});
                continue;
            }
            if (!SendLine(socket, answer)) {
                open = false;
            } else if (push) {
                RecordAnswered(line);
            }
        }
        sendDue();
    }
    // A line cut by the peer's close is recorded as it came, on a line of its own.
    if (!pending.empty()) Record(pending + "\n");
    {
        std::lock_guard<std::mutex> guard(clientsLock_);
        clients_.erase(socket);
    }
    ::shutdown(socket, SHUT_RDWR);
    ::close(socket);
    if (options_.verbose) std::fprintf(stderr, "timingapp: client gone\n");
}

}  // namespace sim

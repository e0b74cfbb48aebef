#pragma once
// A decoder of the benchmark's own on loopback: answers the three commands of a box's
// initialisation, then pushes passings "LAT000000", "LAT000001"... at a steady rate and
// notes when each left, so that the delay from a passing's send to its journal line
// can be measured.
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

#include "support/LoopbackSockets.h"

namespace lv::test {

class PacedDecoder {
public:
    using Clock = std::chrono::steady_clock;

    PacedDecoder(int ratePerSecond, int count)
        : rate_(ratePerSecond), count_(count), sentAt_(static_cast<std::size_t>(count)) {
        listener_ = ListenLoopback(1, port_);
        thread_ = std::thread([this] { Run(); });
    }
    ~PacedDecoder() {
        done_ = true;
        if (listener_ >= 0) ::shutdown(listener_, SHUT_RDWR);
        thread_.join();
        if (listener_ >= 0) ::close(listener_);
    }
    PacedDecoder(const PacedDecoder&) = delete;
    PacedDecoder& operator=(const PacedDecoder&) = delete;

    int Port() const { return port_; }
    // When passing i left; the epoch of the steady clock until it did.
    Clock::time_point SentAt(int i) const { return sentAt_[static_cast<std::size_t>(i)]; }
    int Sent() const { return sent_.load(); }
    static std::string Label(int i) {
        char label[16];
        std::snprintf(label, sizeof label, "LAT%06d", i);
        return label;
    }

private:
    void Run() {
        int fd = ::accept(listener_, nullptr, nullptr);
        if (fd < 0) return;
        int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        if (!AnswerInitialisation(fd)) {
            ::close(fd);
            return;
        }
        const auto start = Clock::now();
        const auto period = std::chrono::nanoseconds(1000000000LL / rate_);
        char date[16];
        std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_r(&now, &local);
        std::strftime(date, sizeof date, "%Y-%m-%d", &local);
        for (int i = 0; i < count_ && !done_; ++i) {
            std::this_thread::sleep_until(start + period * i);
            char line[256];
            const int seconds = 3600 * 10 + i / 100;
            const int n = std::snprintf(line, sizeof line,
                                        "#P;1;%s;%s;%02d:%02d:%02d.%03d;0;0;0;0;0;0;0;0;0;0;0;0;0\r\n",
                                        Label(i).c_str(), date, seconds / 3600, seconds / 60 % 60, seconds % 60,
                                        (i % 100) * 10);
            sentAt_[static_cast<std::size_t>(i)] = Clock::now();
            if (::write(fd, line, static_cast<std::size_t>(n)) < 0) break;
            sent_ = i + 1;
        }
        while (!done_) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ::close(fd);
    }

    static bool AnswerInitialisation(int fd) {
        std::string in;
        char buffer[4096];
        int answered = 0;
        while (answered < 3) {
            ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n <= 0) return false;
            in.append(buffer, static_cast<std::size_t>(n));
            std::size_t end;
            while ((end = in.find('\n')) != std::string::npos) {
                std::string line = in.substr(0, end);
                in.erase(0, end + 1);
                if (!line.empty() && line.back() == '\r') line.pop_back();
                const std::string answer = line.substr(0, line.find(';')) + ";OK\r\n";
                if (::write(fd, answer.data(), answer.size()) < 0) return false;
                ++answered;
            }
        }
        return true;
    }

    int rate_;
    int count_;
    int listener_ = -1;
    int port_ = 0;
    std::vector<Clock::time_point> sentAt_;
    std::atomic<int> sent_{0};
    std::atomic<bool> done_{false};
    std::thread thread_;
};

}  // namespace lv::test

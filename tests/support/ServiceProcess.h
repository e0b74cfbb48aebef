#pragma once
// A helper program that a test or a benchmark talks to (a simulator, an FTP server): its
// standard output comes through a pipe until it has said where it listens, then the pipe
// is closed; it gets SIGTERM, and is waited for, when the object ends or Stop is called.
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "support/SpawnWithOutput.h"

namespace lv::test {

class ServiceProcess {
public:
    enum class Errors { Shown, Hidden };

    explicit ServiceProcess(std::vector<std::string> words, Errors errors = Errors::Shown) {
        const SpawnedProgram spawned = SpawnWithOutput(
            std::move(words), {errors == Errors::Hidden ? ErrorOutput::To::Discarded : ErrorOutput::To::Inherited, {}});
        pid_ = spawned.pid;
        output_ = spawned.output;
    }
    ~ServiceProcess() {
        Stop();
        CloseOutput();
    }
    ServiceProcess(const ServiceProcess&) = delete;
    ServiceProcess& operator=(const ServiceProcess&) = delete;

    // Started and not stopped.
    bool Started() const { return pid_ > 0; }

    // One line of its output without the line feed: what came within the limit.
    std::string ReadLine(std::chrono::milliseconds limit) {
        std::string line;
        const auto until = std::chrono::steady_clock::now() + limit;
        while (output_ >= 0 && std::chrono::steady_clock::now() < until) {
            pollfd waiter{output_, POLLIN, 0};
            if (::poll(&waiter, 1, 50) <= 0) continue;
            char c = 0;
            if (::read(output_, &c, 1) <= 0 || c == '\n') break;
            line.push_back(c);
        }
        return line;
    }
    // Once it has said where it listens: nothing more of its output is read.
    void CloseOutput() {
        if (output_ >= 0) ::close(output_);
        output_ = -1;
    }

    // SIGTERM, then SIGKILL if it has not ended within 10 s: a test must never wait for
    // ever on a helper. False when it had to be killed.
    bool Stop() {
        if (pid_ <= 0) return true;
        ::kill(pid_, SIGTERM);
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        int status = 0;
        bool ended = true;
        while (::waitpid(pid_, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > until) {
                std::fprintf(stderr, "helper %d did not end on SIGTERM within 10 s: killed\n", static_cast<int>(pid_));
                ::kill(pid_, SIGKILL);
                ::waitpid(pid_, &status, 0);
                ended = false;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        pid_ = -1;
        return ended;
    }

private:
    pid_t pid_ = -1;
    int output_ = -1;
};

}  // namespace lv::test

#pragma once
// A program run as a child of a test, its standard output and error kept for the test
// to read: the program itself in its headless mode, mostly.
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "support/SpawnWithOutput.h"

namespace lv::test {

class ChildProcess {
public:
    using Clock = std::chrono::steady_clock;

    // With `errorFile`, the child's standard error goes to that file instead of being
    // mixed into Output(): for a test that tells what a script reads from what it is told.
    explicit ChildProcess(std::vector<std::string> args, const std::string& errorFile = {}) {
        const std::string program = args.empty() ? std::string() : args.front();
        const SpawnedProgram spawned = SpawnWithOutput(
            std::move(args), errorFile.empty() ? ErrorOutput{ErrorOutput::To::WithOutput, {}}
                                               : ErrorOutput{ErrorOutput::To::File, errorFile});
        if (spawned.pid <= 0) throw std::runtime_error("cannot start " + program);
        pid_ = spawned.pid;
        fd_ = spawned.output;
    }
    ~ChildProcess() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        if (fd_ >= 0) ::close(fd_);
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Appends what the child wrote within the wait; false at the end of its output or
    // when nothing came.
    bool ReadSome(int milliseconds) {
        if (fd_ < 0) return false;
        pollfd waiter{fd_, POLLIN, 0};
        if (::poll(&waiter, 1, milliseconds) <= 0) return false;
        char buffer[4096];
        ssize_t n = ::read(fd_, buffer, sizeof buffer);
        if (n <= 0) return false;
        output_.append(buffer, static_cast<std::size_t>(n));
        return true;
    }

    // Reads until the output holds `text` or the time runs out.
    bool WaitFor(const std::string& text, int seconds = 15) {
        auto deadline = Clock::now() + std::chrono::seconds(seconds);
        while (output_.find(text) == std::string::npos) {
            if (Clock::now() > deadline) return false;
            ReadSome(100);
        }
        return true;
    }

    // Signals the child and returns its exit status (-1 when it did not end in time,
    // or ended on a signal).
    int Stop(int signal = SIGTERM, int seconds = 15) {
        if (pid_ <= 0) return -1;
        ::kill(pid_, signal);
        return Wait(seconds);
    }
    int Wait(int seconds = 15) {
        if (pid_ <= 0) return -1;
        auto deadline = Clock::now() + std::chrono::seconds(seconds);
        int status = 0;
        while (::waitpid(pid_, &status, WNOHANG) == 0) {
            if (Clock::now() > deadline) return -1;
            ReadSome(100);
        }
        pid_ = -1;
        while (ReadSome(0)) {
        }
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    const std::string& Output() const { return output_; }
    // What came since the last call, handed over: a long run reads without keeping it all.
    std::string TakeOutput() {
        std::string taken;
        taken.swap(output_);
        return taken;
    }
    pid_t Pid() const { return pid_; }
    // Nobody reads the child's output any more (a "head" that has had enough).
    void CloseOutput() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }
    bool StillRunning() { return pid_ > 0 && ::waitpid(pid_, nullptr, WNOHANG) == 0; }

private:
    pid_t pid_ = -1;
    int fd_ = -1;
    std::string output_;
};

}  // namespace lv::test

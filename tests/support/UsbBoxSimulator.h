#pragma once
// The USB TimingBox stand-in (lumivane-sim usbbox) as a child process of a test: it
// answers on a pseudo-terminal whose path it prints first ("device /dev/pts/N").
// Stopped (and so its terminal gone) when the object ends or Stop is called.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

extern char** environ;

namespace lv::test {

class UsbBoxSimulator {
public:
    explicit UsbBoxSimulator(const std::vector<std::string>& options = {}) {
        std::vector<std::string> words{LUMIVANE_BUILD_DIR "/lumivane-sim", "usbbox"};
        words.insert(words.end(), options.begin(), options.end());
        std::vector<char*> argv;
        for (std::string& word : words) argv.push_back(word.data());
        argv.push_back(nullptr);
        int output[2];
        if (::pipe2(output, O_CLOEXEC) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
        if (::posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(output[1]);
        if (pid_ > 0) {
            std::string first = ReadLine(output[0], 5000);
            if (first.rfind("device ", 0) == 0) device_ = first.substr(7);
        }
        ::close(output[0]);
    }
    ~UsbBoxSimulator() { Stop(); }
    UsbBoxSimulator(const UsbBoxSimulator&) = delete;
    UsbBoxSimulator& operator=(const UsbBoxSimulator&) = delete;

    bool Running() const { return pid_ > 0 && !device_.empty(); }
    const std::string& Device() const { return device_; }

    void Stop() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGTERM);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
    }

private:
    static std::string ReadLine(int fd, int limitMs) {
        std::string line;
        auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
        while (std::chrono::steady_clock::now() < until) {
            pollfd waiter{fd, POLLIN, 0};
            if (::poll(&waiter, 1, 50) <= 0) continue;
            char c = 0;
            if (::read(fd, &c, 1) <= 0 || c == '\n') break;
            line.push_back(c);
        }
        return line;
    }

    pid_t pid_ = -1;
    std::string device_;
};

}  // namespace lv::test

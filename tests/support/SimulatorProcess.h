#pragma once
// The simulator (lumivane-sim) as a child process of a test or a benchmark: started on
// a free loopback port, stopped when the object ends.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

extern char** environ;

namespace lv::test {

class SimulatorProcess {
public:
    // Runs "lumivane-sim <mode> <options> --port 0" and reads the port it chose from
    // its first line of output ("port <n>"); with "--files-port" "0" among the options,
    // also the port of its file server from the second line ("files-port <n>").
    explicit SimulatorProcess(const std::string& mode, const std::vector<std::string>& options = {}) {
        std::vector<std::string> words{LUMIVANE_BUILD_DIR "/lumivane-sim", mode};
        words.insert(words.end(), options.begin(), options.end());
        words.insert(words.end(), {"--port", "0"});
        std::vector<char*> argv;
        for (std::string& word : words) argv.push_back(word.data());
        argv.push_back(nullptr);

        // Close-on-exec: only the child's standard output keeps the pipe open.
        int output[2];
        if (::pipe2(output, O_CLOEXEC) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
        if (::posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(output[1]);
        if (pid_ > 0) {
            std::string first = ReadLine(output[0], kStartLimitMs);
            if (std::sscanf(first.c_str(), "port %d", &port_) != 1) port_ = 0;
            if (port_ > 0 && AsksFreeFilesPort(options)) {
                std::string second = ReadLine(output[0], kStartLimitMs);
                if (std::sscanf(second.c_str(), "files-port %d", &filesPort_) != 1) filesPort_ = 0;
            }
        }
        ::close(output[0]);
    }
    ~SimulatorProcess() { Stop(); }
    SimulatorProcess(const SimulatorProcess&) = delete;
    SimulatorProcess& operator=(const SimulatorProcess&) = delete;

    // Started and listening.
    bool Running() const { return pid_ > 0 && port_ > 0; }
    int Port() const { return port_; }
    // The file server's port when "--files-port" "0" was asked for; 0 otherwise or when
    // it did not come.
    int FilesPort() const { return filesPort_; }

    void Stop() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGTERM);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
    }

private:
    static constexpr int kStartLimitMs = 5000;

    static bool AsksFreeFilesPort(const std::vector<std::string>& options) {
        for (std::size_t i = 0; i + 1 < options.size(); ++i) {
            if (options[i] == "--files-port" && options[i + 1] == "0") return true;
        }
        return false;
    }

    // One line from `fd` without its line feed, within the limit.
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
    int port_ = 0;
    int filesPort_ = 0;
};

}  // namespace lv::test

#pragma once
// Runs "lumivane-sim timingapp" on a free loopback port for one test, with a record
// file of every line it received.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace lv {

class TimingAppProcess {
public:
    explicit TimingAppProcess(std::vector<std::string> arguments = {}) {
        char folder[] = "/tmp/lumivane-link-XXXXXX";
        folder_ = ::mkdtemp(folder) ? folder : "/tmp";
        recordPath_ = folder_ + "/received.txt";
        std::vector<std::string> args = {LUMIVANE_BUILD_DIR "/lumivane-sim", "timingapp", "--port", "0",
                                         "--record", recordPath_};
        args.insert(args.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (auto& arg : args) argv.push_back(arg.data());
        argv.push_back(nullptr);

        int out[2];
        if (::pipe(out) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        posix_spawn_file_actions_addclose(&actions, out[1]);
        if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        // First line: "port <n>".
        std::string line;
        char c;
        while (::read(out[0], &c, 1) == 1 && c != '\n') line += c;
        ::close(out[0]);
        if (line.rfind("port ", 0) == 0) port_ = std::atoi(line.c_str() + 5);
    }

    ~TimingAppProcess() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            int status = 0;
            ::waitpid(pid_, &status, 0);
        }
        std::remove(recordPath_.c_str());
        ::rmdir(folder_.c_str());
    }
    TimingAppProcess(const TimingAppProcess&) = delete;
    TimingAppProcess& operator=(const TimingAppProcess&) = delete;

    bool Running() const { return pid_ > 0 && port_ > 0; }
    int Port() const { return port_; }

    std::string Recorded() const {
        std::ifstream in(recordPath_, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    // The recorded lines, each with its line end as received.
    std::vector<std::string> RecordedLines() const {
        std::vector<std::string> lines;
        std::string bytes = Recorded();
        std::size_t start = 0;
        for (std::size_t end; (end = bytes.find('\n', start)) != std::string::npos; start = end + 1) {
            lines.push_back(bytes.substr(start, end - start + 1));
        }
        return lines;
    }
    // Waits (bounded) until at least `count` lines were recorded.
    std::vector<std::string> WaitForLines(std::size_t count,
                                          std::chrono::milliseconds limit = std::chrono::seconds(10)) const {
        auto deadline = std::chrono::steady_clock::now() + limit;
        std::vector<std::string> lines = RecordedLines();
        while (lines.size() < count && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            lines = RecordedLines();
        }
        return lines;
    }

private:
    std::string folder_;
    std::string recordPath_;
    pid_t pid_ = -1;
    int port_ = 0;
};

}  // namespace lv

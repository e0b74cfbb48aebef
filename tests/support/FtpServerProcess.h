#pragma once
// A real FTP server (tools/sim/ftp_server.py, pyftpdlib) as a child process of a test:
// it serves its own temporary folder to one user on a free loopback port and is
// stopped when the object ends. Files on the server are files of Root().
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

#include "support/TempFolder.h"

extern char** environ;

namespace lv::test {

class FtpServerProcess {
public:
    struct Options {
        std::string user = "timer";
        std::string password = "secret";
        int readLimit = 0;   // bytes a second an upload may arrive at (0: no limit)
        int dropAfter = 0;   // the session is dropped once this many upload bytes came
        bool noRenameOver = false;  // a rename onto an existing name is refused
        std::string tlsCertificate;  // certificate + key: explicit TLS required
    };

    FtpServerProcess() : FtpServerProcess(Options{}) {}
    explicit FtpServerProcess(Options options) : options_(std::move(options)) {
        std::vector<std::string> words{"/usr/bin/python3", LUMIVANE_SOURCE_DIR "/tools/sim/ftp_server.py",
                                       "--root", root_.Path(), "--user", options_.user,
                                       "--password", options_.password, "--port", "0"};
        if (options_.readLimit > 0) words.insert(words.end(), {"--read-limit", std::to_string(options_.readLimit)});
        if (options_.dropAfter > 0) words.insert(words.end(), {"--drop-after", std::to_string(options_.dropAfter)});
        if (options_.noRenameOver) words.push_back("--no-rename-over");
        if (!options_.tlsCertificate.empty()) words.insert(words.end(), {"--tls", options_.tlsCertificate});
        std::vector<char*> argv;
        for (std::string& word : words) argv.push_back(word.data());
        argv.push_back(nullptr);

        int output[2];
        if (::pipe2(output, O_CLOEXEC) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        if (::posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(output[1]);
        if (pid_ > 0) {
            std::string first = ReadLine(output[0], kStartLimitMs);
            if (std::sscanf(first.c_str(), "port %d", &port_) != 1) port_ = 0;
        }
        ::close(output[0]);
    }
    ~FtpServerProcess() { Stop(); }
    FtpServerProcess(const FtpServerProcess&) = delete;
    FtpServerProcess& operator=(const FtpServerProcess&) = delete;

    bool Running() const { return pid_ > 0 && port_ > 0; }
    int Port() const { return port_; }
    // "127.0.0.1:<port>", as a server's site.
    std::string Site() const { return "127.0.0.1:" + std::to_string(port_); }
    const std::string& User() const { return options_.user; }
    const std::string& Password() const { return options_.password; }
    // The served folder: the user's remote root.
    const std::string& Root() const { return root_.Path(); }
    std::string operator/(const std::string& name) const { return root_ / name; }

    void Stop() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGTERM);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
    }

private:
    static constexpr int kStartLimitMs = 10000;

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

    Options options_;
    TempFolder root_;
    pid_t pid_ = -1;
    int port_ = 0;
};

}  // namespace lv::test

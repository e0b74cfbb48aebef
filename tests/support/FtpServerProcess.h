#pragma once
// A real FTP server (tools/sim/ftp_server.py, pyftpdlib) as a child process of a test:
// it serves its own temporary folder to one user on a free loopback port and is
// stopped when the object ends. Files on the server are files of Root().
#include <chrono>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "support/ServiceProcess.h"
#include "support/TempFolder.h"

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
    explicit FtpServerProcess(Options options)
        : options_(std::move(options)), process_(Words(options_, root_.Path()), ServiceProcess::Errors::Hidden) {
        if (!process_.Started()) return;
        if (std::sscanf(process_.ReadLine(std::chrono::seconds(10)).c_str(), "port %d", &port_) != 1) port_ = 0;
        process_.CloseOutput();
    }

    bool Running() const { return process_.Started() && port_ > 0; }
    int Port() const { return port_; }
    // "127.0.0.1:<port>", as a server's site.
    std::string Site() const { return "127.0.0.1:" + std::to_string(port_); }
    const std::string& User() const { return options_.user; }
    const std::string& Password() const { return options_.password; }
    // The served folder: the user's remote root.
    const std::string& Root() const { return root_.Path(); }
    std::string operator/(const std::string& name) const { return root_ / name; }

    // False when it did not end on SIGTERM and had to be killed.
    bool Stop() { return process_.Stop(); }

private:
    static std::vector<std::string> Words(const Options& options, const std::string& root) {
        std::vector<std::string> words{"/usr/bin/python3", LUMIVANE_SOURCE_DIR "/tools/sim/ftp_server.py",
                                       "--root", root, "--user", options.user,
                                       "--password", options.password, "--port", "0"};
        if (options.readLimit > 0) words.insert(words.end(), {"--read-limit", std::to_string(options.readLimit)});
        if (options.dropAfter > 0) words.insert(words.end(), {"--drop-after", std::to_string(options.dropAfter)});
        if (options.noRenameOver) words.push_back("--no-rename-over");
        if (!options.tlsCertificate.empty()) words.insert(words.end(), {"--tls", options.tlsCertificate});
        return words;
    }

    Options options_;
    TempFolder root_;  // outlives the server that serves it
    ServiceProcess process_;
    int port_ = 0;
};

}  // namespace lv::test

#pragma once
// The simulator (lumivane-sim) as a child process of a test or a benchmark: started on
// a free loopback port, stopped when the object ends.
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "support/ServiceProcess.h"

namespace lv::test {

class SimulatorProcess {
public:
    // Runs "lumivane-sim <mode> <options> --port 0" and reads the port it chose from
    // its first line of output ("port <n>"); with "--files-port" "0" among the options,
    // also the port of its file server from the second line ("files-port <n>").
    explicit SimulatorProcess(const std::string& mode, const std::vector<std::string>& options = {})
        : process_(Words(mode, options)) {
        if (!process_.Started()) return;
        if (std::sscanf(process_.ReadLine(kStartLimit).c_str(), "port %d", &port_) != 1) port_ = 0;
        if (port_ > 0 && AsksFreeFilesPort(options)) {
            if (std::sscanf(process_.ReadLine(kStartLimit).c_str(), "files-port %d", &filesPort_) != 1) filesPort_ = 0;
        }
        process_.CloseOutput();
    }

    // Started and listening.
    bool Running() const { return process_.Started() && port_ > 0; }
    int Port() const { return port_; }
    // The file server's port when "--files-port" "0" was asked for; 0 otherwise or when
    // it did not come.
    int FilesPort() const { return filesPort_; }

    // False when it did not end on SIGTERM and had to be killed.
    bool Stop() { return process_.Stop(); }

private:
    static constexpr std::chrono::milliseconds kStartLimit{5000};

    static std::vector<std::string> Words(const std::string& mode, const std::vector<std::string>& options) {
        std::vector<std::string> words{LUMIVANE_BUILD_DIR "/lumivane-sim", mode};
        words.insert(words.end(), options.begin(), options.end());
        words.insert(words.end(), {"--port", "0"});
        return words;
    }
    static bool AsksFreeFilesPort(const std::vector<std::string>& options) {
        for (std::size_t i = 0; i + 1 < options.size(); ++i) {
            if (options[i] == "--files-port" && options[i + 1] == "0") return true;
        }
        return false;
    }

    ServiceProcess process_;
    int port_ = 0;
    int filesPort_ = 0;
};

}  // namespace lv::test

#pragma once
// The simulated timing application's TCP side: listens on 127.0.0.1, one thread per
// connection, records every received line and answers it.
#include <atomic>
#include <cstdio>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "TimingAppAnswers.h"
#include "TimingAppOptions.h"
#include "TimingAppRace.h"

namespace sim {

class TimingAppServer {
public:
    TimingAppServer(const TimingAppOptions& options, SimRace& race);
    ~TimingAppServer();

    // Binds and listens; the bound port is then available from Port().
    bool Listen(std::string& error);
    int Port() const { return port_; }
    // Accepts connections until stopRequested becomes true.
    void Run(const std::atomic<bool>& stopRequested);

private:
    void Serve(int socket);
    void Record(const std::string& bytes);
    void RecordAnswered(const std::string& push);
    void Trace(const char* direction, const std::string& line);
    bool SendLine(int socket, const std::string& line);

    const TimingAppOptions& options_;
    std::mutex raceLock_;  // the race and the responder
    TimingAppResponder responder_;
    std::mutex recordLock_;
    FILE* record_ = nullptr;
    FILE* answers_ = nullptr;
    int listener_ = -1;
    int port_ = 0;
    std::mutex clientsLock_;
    std::set<int> clients_;
    std::vector<std::thread> threads_;
};

}  // namespace sim

#pragma once
// Loopback peers for the box tests: the decoder simulator as a child process, and a
// tiny scripted server for exact bytes.
#include <sys/types.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace lv::test {

// lumivane-sim decoder with the given options (plus --port 0), stopped on destruction.
class SimulatedDecoder {
public:
    explicit SimulatedDecoder(const std::vector<std::string>& options);
    ~SimulatedDecoder();
    SimulatedDecoder(const SimulatedDecoder&) = delete;
    SimulatedDecoder& operator=(const SimulatedDecoder&) = delete;

    int Port() const { return port_; }
    bool Started() const { return port_ > 0; }

private:
    pid_t pid_ = -1;
    int port_ = 0;
};

// A listening socket on 127.0.0.1 that accepts clients one by one; the test reads what
// a client sent and writes what it likes.
class ScriptedPeer {
public:
    // backlog: the listen queue (0 with a client left waiting makes later connects hang).
    explicit ScriptedPeer(int backlog = 4);
    ~ScriptedPeer();
    ScriptedPeer(const ScriptedPeer&) = delete;
    ScriptedPeer& operator=(const ScriptedPeer&) = delete;

    int Port() const { return port_; }
    // Waits for the next client; false after the limit.
    bool Accept(int limitMs = 5000);
    // Reads until `count` bytes came (or the limit); returns what came.
    std::string ReceiveBytes(std::size_t count, int limitMs = 5000);
    // Reads until a line feed came; the line with its terminator.
    std::string ReceiveLine(int limitMs = 5000);
    bool Send(const std::string& bytes);
    void CloseClient();
    void CloseListener();
    int ClientFd() const { return client_; }

private:
    int listener_ = -1;
    int client_ = -1;
    int port_ = 0;
    std::string pending_;
};

}  // namespace lv::test

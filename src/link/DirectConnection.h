#pragma once
// The direct connection to the timing application: a TCP client (base/net) with one
// worker thread that connects (retrying after a pause), reads the answer lines and hands
// them, with the connection states, to a listener. Commands are sent from any
// thread; sends and the closing of the socket are serialised so that every command
// line leaves whole and no send ever uses a closed socket.
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "base/SettingsSchema.h"

namespace lv {

// Where the timing application listens (the DirectConnection keys of the settings schema).
struct DirectTarget {
    std::string host = setting::DirectConnectionHost.defaultValue;
    int port = setting::DirectConnectionPort.defaultValue;
    int reconnectSeconds = setting::DirectConnectionReconnectSeconds.defaultValue;
    // Detections recorded while the link is down are sent once it is back.
    bool catchUp = setting::DirectConnectionCatchUp.defaultValue;
};

// The three connection-state messages of the worker.
enum class DirectState {
    Attempting = 1,    // a connection attempt started
    Connected = 2,
    Disconnected = 3,  // an attempt failed, or the connection closed
};

class DirectConnectionListener {
public:
    virtual ~DirectConnectionListener() = default;
    // Called on the worker thread; implementations hand the message over and return.
    // With Disconnected, `retrying` tells whether the worker goes on trying (a failed
    // attempt) or has ended (a connection that closed).
    virtual void OnDirectState(DirectState state, bool retrying) = 0;
    // One answer line without its line end, never empty. `truncated`: the line was
    // longer than kMaxLineLength and only its beginning is given.
    virtual void OnDirectLine(std::string line, bool truncated) = 0;
    // The lines of one reception have all been handed over.
    virtual void OnDirectLinesTaken() {}
};

class DirectConnection {
public:
    static constexpr int kConnectTimeoutMs = 2000;
    static constexpr int kLookupTimeoutMs = 5000;
    static constexpr int kRetryTickMs = 250;
    static constexpr std::size_t kMaxLineLength = 2047;
    // A send blocked this long (the peer stopped reading) gives up.
    static constexpr int kSendTimeoutMs = 2000;
    // Stopping an open connection waits this long for the peer to read what was sent
    // and close its side.
    static constexpr int kStopGraceMs = 1000;

    explicit DirectConnection(DirectConnectionListener& listener);
    ~DirectConnection();
    DirectConnection(const DirectConnection&) = delete;
    DirectConnection& operator=(const DirectConnection&) = delete;

    // Starts the worker with the target; false (nothing done) when a worker runs.
    bool Start(const DirectTarget& target);
    // Ends the worker and waits for it. An attempt or a pause in progress ends
    // within a few tens of milliseconds. An open connection is closed for sending
    // at once; the worker keeps reading (and handing over) the last answers until
    // the peer closes, at most kStopGraceMs. After Stop, Send returns false.
    void Stop();
    // Sends command + CR LF as one whole line. False (the command is dropped) when
    // there is no connection or the send failed. CR or LF inside the command are sent
    // as spaces so that one command always makes one line. Any thread.
    bool Send(std::string_view command);
    // Sends lines already ended by CR LF in one go. SendResult::Nothing: nothing left
    // (no connection, or the peer took nothing before the send time-out); Torn: part
    // left and the connection is being closed.
    enum class SendResult { Whole, Nothing, Torn };
    SendResult SendLines(std::string_view lines);

    bool IsRunning() const { return running_.load(); }
    bool IsConnected() const { return connected_.load(); }
    bool IsConnecting() const { return running_.load() && !connected_.load(); }

    // The next attempt uses the new target; a pause in progress ends at once.
    void ChangeTarget(const DirectTarget& target);
    DirectTarget Target() const;

private:
    void Run();
    int ConnectOnce(const DirectTarget& target);
    void Pause(int seconds, unsigned targetGeneration);
    void ReadLines(int socket);

    DirectConnectionListener& listener_;
    std::thread worker_;
    std::atomic<bool> running_{false};
    std::atomic<bool> connected_{false};
    std::atomic<bool> stopRequested_{false};

    mutable std::mutex targetLock_;  // target_, targetGeneration_; the pause waits on it
    std::condition_variable targetChanged_;
    DirectTarget target_;
    unsigned targetGeneration_ = 0;

    std::mutex sendLock_;  // serialises sends, Stop's shutdowns and the worker's close
    int sendSocket_ = -1;  // the socket senders use; -1 once closed for sending
    int openSocket_ = -1;  // the worker's socket until it closes it
};

}  // namespace lv

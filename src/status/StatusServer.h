#pragma once
// The status page's HTTP server: a few clients at once, small requests, short
// time-outs, all served by one thread of its own from the last snapshot published.
// Nothing it does waits on the acquisition: the controller publishes a snapshot now
// and then, and the server only ever reads the last one.
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>

#include "status/StatusAccess.h"
#include "status/StatusFacts.h"

struct MHD_Daemon;
struct MHD_Connection;

namespace lv {

class StatusServer {
public:
    // Connections at once, in all and from one address.
    static constexpr unsigned kMaxConnections = 8;
    static constexpr unsigned kMaxConnectionsPerAddress = 4;
    // An idle or too slow connection is closed after this many seconds.
    static constexpr unsigned kIdleSeconds = 5;
    // Everything of one request (its line, headers and body) fits in this.
    static constexpr std::size_t kConnectionMemory = 16 * 1024;
    // The form that gives the token.
    static constexpr std::size_t kMaxFormBytes = 1024;

    StatusServer();
    ~StatusServer();
    StatusServer(const StatusServer&) = delete;
    StatusServer& operator=(const StatusServer&) = delete;

    // Listens as the settings say (port 0: a free port, for tests); false with the
    // reason, in the program's language, when it cannot. The rules of StartRefusal
    // apply to a port given.
    bool Start(const StatusPageSettings& settings, std::string& error);
    void Stop();
    bool Running() const { return daemon_ != nullptr; }
    // The port listened on.
    int Port() const { return port_; }

    // The facts the next requests are answered from.
    void Publish(std::shared_ptr<const StatusFacts> facts);
    std::shared_ptr<const StatusFacts> Published() const;

private:
    friend struct StatusServerCalls;
    struct Request;
    // Answers one whole request; false when the connection is to be closed.
    bool Serve(MHD_Connection* connection, const std::string& url, const std::string& method, Request& request);

    MHD_Daemon* daemon_ = nullptr;
    int port_ = 0;
    std::string token_;
    // The pages do not change while the program runs (its language is set at start).
    std::string page_;
    std::string tokenPage_;
    std::string wrongTokenPage_;

    mutable std::mutex lock_;  // only around the pointer below
    std::shared_ptr<const StatusFacts> facts_;
};

}  // namespace lv

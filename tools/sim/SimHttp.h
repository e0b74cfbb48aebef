#pragma once
// A small HTTP/1.1 server for the simulators: one request per connection, one thread
// per connection, over plain TCP or TLS (OpenSSL). Written from the HTTP wire format.
#include <openssl/ssl.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace sim::http {

struct Request {
    std::string method;
    std::string target;  // path and query as sent
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
    // The first header of that name (any letter case), or "".
    std::string Header(const std::string& name) const;
};

// Where a handler writes its answer.
class Connection {
public:
    virtual ~Connection() = default;
    virtual bool Write(const char* data, std::size_t size) = 0;
    bool Write(const std::string& text) { return Write(text.data(), text.size()); }
};

using Handler = std::function<void(const Request&, Connection&)>;

// A whole answer with its Content-Length; "Connection: close".
void SendResponse(Connection& connection, int status, const std::string& contentType, const std::string& body);
// The status line and headers only, with the given Content-Length.
void SendHead(Connection& connection, int status, const std::string& contentType, std::size_t contentLength);

// A TLS context from PEM files; nullptr with a message on standard error.
SSL_CTX* MakeServerContext(const std::string& certFile, const std::string& keyFile);

class Server {
public:
    // Listens on bind:port (0: any free port); `tls` may be nullptr (plain HTTP).
    bool Listen(const std::string& bind, int port, SSL_CTX* tls, Handler handler);
    int Port() const { return port_; }
    // Accepts until `stop` is set; each connection gets its own thread. Returns once
    // the connections have ended (at most 3 s after the stop).
    void Run(const std::atomic<bool>& stop);

private:
    int fd_ = -1;
    int port_ = 0;
    SSL_CTX* tls_ = nullptr;
    Handler handler_;
    std::shared_ptr<std::atomic<int>> active_ = std::make_shared<std::atomic<int>>(0);
};

}  // namespace sim::http

#include "SimHttp.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <strings.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <openssl/err.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <chrono>
#include <thread>

// OpenSSL's own thread-safe internals are not instrumented; a simulator built with the
// thread sanitizer leaves them out of its reports.
extern "C" const char* __tsan_default_suppressions() { return "called_from_lib:libcrypto.so\ncalled_from_lib:libssl.so\n"; }

namespace sim::http {

namespace {

constexpr std::size_t kMaxHead = 64 * 1024;
constexpr std::size_t kMaxBody = 64 * 1024;

const char* Reason(int status) {
    switch (status) {
    case 200: return "OK";
    case 400: return "Bad Request";
    case 401: return "Unauthorized";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 406: return "Not Acceptable";
    case 500: return "Internal Server Error";
    default: return "Status";
    }
}

class SocketConnection : public Connection {
public:
    SocketConnection(int fd, SSL* ssl) : fd_(fd), ssl_(ssl) {}
    ~SocketConnection() override {
        if (ssl_ != nullptr) {
            SSL_shutdown(ssl_);
            SSL_free(ssl_);
        }
        ::close(fd_);
    }
    bool Write(const char* data, std::size_t size) override {
        while (size > 0) {
            long done = 0;
            if (ssl_ != nullptr) {
                done = SSL_write(ssl_, data, static_cast<int>(std::min<std::size_t>(size, 1 << 20)));
            } else {
                done = ::send(fd_, data, size, MSG_NOSIGNAL);
            }
            if (done <= 0) return false;
            data += done;
            size -= static_cast<std::size_t>(done);
        }
        return true;
    }
    long Read(char* buffer, std::size_t size) {
        if (ssl_ != nullptr) return SSL_read(ssl_, buffer, static_cast<int>(size));
        return ::recv(fd_, buffer, size, 0);
    }

private:
    int fd_;
    SSL* ssl_;
};

std::string Trim(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// Reads one request; false on a malformed or oversized one (answered 400 when possible).
bool ReadRequest(SocketConnection& connection, Request& request) {
    std::string data;
    char buffer[4096];
    std::size_t headEnd = std::string::npos;
    while ((headEnd = data.find("\r\n\r\n")) == std::string::npos) {
        if (data.size() > kMaxHead) return false;
        const long got = connection.Read(buffer, sizeof buffer);
        if (got <= 0) return false;
        data.append(buffer, static_cast<std::size_t>(got));
    }
    const std::string head = data.substr(0, headEnd);
    std::size_t lineEnd = head.find("\r\n");
    const std::string requestLine = head.substr(0, lineEnd);
    const std::size_t firstSpace = requestLine.find(' ');
    const std::size_t secondSpace = requestLine.find(' ', firstSpace + 1);
    if (firstSpace == std::string::npos || secondSpace == std::string::npos) return false;
    request.method = requestLine.substr(0, firstSpace);
    request.target = requestLine.substr(firstSpace + 1, secondSpace - firstSpace - 1);
    while (lineEnd != std::string::npos) {
        const std::size_t start = lineEnd + 2;
        lineEnd = head.find("\r\n", start);
        const std::string line = head.substr(start, lineEnd == std::string::npos ? std::string::npos : lineEnd - start);
        const std::size_t colon = line.find(':');
        if (colon == std::string::npos) return false;
        request.headers.emplace_back(Trim(line.substr(0, colon)), Trim(line.substr(colon + 1)));
    }
    std::size_t length = 0;
    const std::string declared = request.Header("Content-Length");
    if (!declared.empty()) {
        char* end = nullptr;
        const unsigned long long value = std::strtoull(declared.c_str(), &end, 10);
        if (*end != '\0' || value > kMaxBody) return false;
        length = static_cast<std::size_t>(value);
    }
    request.body = data.substr(headEnd + 4);
    while (request.body.size() < length) {
        const long got = connection.Read(buffer, sizeof buffer);
        if (got <= 0) return false;
        request.body.append(buffer, static_cast<std::size_t>(got));
    }
    request.body.resize(length);
    return true;
}

void Serve(int fd, SSL_CTX* tls, const Handler& handler) {
    timeval limit{10, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    SSL* ssl = nullptr;
    if (tls != nullptr) {
        ssl = SSL_new(tls);
        if (ssl == nullptr) {
            ::close(fd);
            return;
        }
        SSL_set_fd(ssl, fd);
        if (SSL_accept(ssl) != 1) {
            // A client that refuses the certificate ends here.
            SSL_free(ssl);
            ::close(fd);
            return;
        }
    }
    SocketConnection connection(fd, ssl);
    Request request;
    if (!ReadRequest(connection, request)) {
        SendResponse(connection, 400, "text/plain", "bad request\n");
        return;
    }
    handler(request, connection);
}

}  // namespace

std::string Request::Header(const std::string& name) const {
    for (const auto& [key, value] : headers) {
        if (::strcasecmp(key.c_str(), name.c_str()) == 0) return value;
    }
    return {};
}

void SendHead(Connection& connection, int status, const std::string& contentType, std::size_t contentLength) {
    char head[512];
    std::snprintf(head, sizeof head,
                  "HTTP/1.1 %d %s\r\nContent-Type: %s\r\nContent-Length: %zu\r\nConnection: close\r\n\r\n", status,
                  Reason(status), contentType.c_str(), contentLength);
    connection.Write(head, std::strlen(head));
}

void SendResponse(Connection& connection, int status, const std::string& contentType, const std::string& body) {
    SendHead(connection, status, contentType, body.size());
    connection.Write(body);
}

SSL_CTX* MakeServerContext(const std::string& certFile, const std::string& keyFile) {
    SSL_CTX* context = SSL_CTX_new(TLS_server_method());
    if (context == nullptr || SSL_CTX_use_certificate_chain_file(context, certFile.c_str()) != 1 ||
        SSL_CTX_use_PrivateKey_file(context, keyFile.c_str(), SSL_FILETYPE_PEM) != 1) {
        std::fprintf(stderr, "cannot load the certificate %s or key %s\n", certFile.c_str(), keyFile.c_str());
        ERR_print_errors_fp(stderr);
        if (context != nullptr) SSL_CTX_free(context);
        return nullptr;
    }
    return context;
}

bool Server::Listen(const std::string& bind, int port, SSL_CTX* tls, Handler handler) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    if (::inet_pton(AF_INET, bind.c_str(), &address.sin_addr) != 1) {
        std::fprintf(stderr, "bad bind address %s\n", bind.c_str());
        return false;
    }
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd_ < 0) return false;
    int on = 1;
    ::setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd_, 16) != 0) {
        std::fprintf(stderr, "cannot listen on %s:%d: %s\n", bind.c_str(), port, std::strerror(errno));
        ::close(fd_);
        fd_ = -1;
        return false;
    }
    socklen_t length = sizeof address;
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    tls_ = tls;
    handler_ = std::move(handler);
    return true;
}

void Server::Run(const std::atomic<bool>& stop) {
    while (!stop.load()) {
        pollfd waiter{fd_, POLLIN, 0};
        if (::poll(&waiter, 1, 200) <= 0) continue;
        const int client = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) continue;
        active_->fetch_add(1);
        std::thread([client, tls = tls_, handler = handler_, active = active_] {
            Serve(client, tls, handler);
            active->fetch_sub(1);
        }).detach();
    }
    ::close(fd_);
    // Connections see the stop within their own waits; give them a moment to end.
    for (int waited = 0; active_->load() > 0 && waited < 3000; waited += 10)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

}  // namespace sim::http

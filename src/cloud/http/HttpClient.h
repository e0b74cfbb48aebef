#pragma once
// One HTTP(S) request through libcurl. Certificates are always verified (an extra CA
// file may be trusted besides the system's); time-outs are bounded; the reply is
// bounded in size; a status other than 2xx, a transfer cut short or a read failure is
// an error, never a success with a partial reply.
#include <atomic>
#include <cstddef>
#include <string>
#include <vector>

namespace lv {

struct HttpLimits {
    long connectTimeoutMs = 15000;
    long totalTimeoutMs = 300000;
    // A detections reply of 100 000 passings is about 8 MB.
    std::size_t maxReplyBytes = 32u * 1024 * 1024;
};

struct HttpRequest {
    std::string method = "GET";  // GET or POST
    std::string url;
    std::vector<std::string> headers;  // "Name: value"
    std::string body;                  // POST
    std::string caFile;
    std::string userAgent;
    HttpLimits limits;
    const std::atomic<bool>* cancel = nullptr;
};

enum class HttpFailure {
    None,
    Setup,       // libcurl could not start the request
    Connect,     // name, connection or TLS (certificate) failure
    Transfer,    // sending or receiving failed, or was cut short
    Status,      // the server answered with a status other than 2xx
    TooLarge,
    Cancelled,
    TimedOut,
};

struct HttpResult {
    HttpFailure failure = HttpFailure::None;
    long status = 0;
    std::string body;    // the whole reply (also kept with a Status failure)
    std::string detail;  // what went wrong, in words
    bool Ok() const { return failure == HttpFailure::None; }
};

HttpResult HttpTransfer(const HttpRequest& request);

}  // namespace lv

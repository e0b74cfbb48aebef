#pragma once
// Name lookup for the TCP clients: getaddrinfo for a TCP connection, either waited for
// (ResolveTcpHost) or run so that the caller can give up on it (LookupHost):
// getaddrinfo cannot be interrupted, so there it runs on a helper thread that owns its
// own state and ends by itself, while the caller waits for its answer in short slices
// and may walk away (stop, time-out).
#include <atomic>
#include <chrono>
#include <string>
#include <sys/socket.h>
#include <vector>

namespace lv {

struct ResolvedAddress {
    sockaddr_storage address{};
    socklen_t length = 0;
    int family = 0;
};

// Resolves host (name or dotted address) and port for a TCP connection, waiting for
// the resolver. The addresses in the resolver's order; empty after a failure or for an
// empty host.
std::vector<ResolvedAddress> ResolveTcpHost(const std::string& host, int port);

// The same with a bound: empty after a failure, a time-out or when `cancel` became
// true, and for a port outside 1 to 65535.
std::vector<ResolvedAddress> LookupHost(const std::string& host, int port,
                                        std::chrono::milliseconds timeout,
                                        const std::atomic<bool>& cancel);

}  // namespace lv

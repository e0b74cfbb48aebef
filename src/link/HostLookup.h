#pragma once
// Name lookup that the caller can give up on: getaddrinfo cannot be interrupted, so it
// runs on a helper thread that owns its own state and ends by itself; the caller
// waits for its answer in short slices and may walk away (stop, time-out).
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

// Resolves host (name or dotted address) and port for a TCP connection. Returns the
// addresses in the resolver's order; empty after a failure, a time-out or when
// `cancel` became true.
std::vector<ResolvedAddress> LookupHost(const std::string& host, int port,
                                        std::chrono::milliseconds timeout,
                                        const std::atomic<bool>& cancel);

}  // namespace lv

#pragma once
// The TCP client of every connection this program opens (decoders, the timing
// application): connection to a resolved host within a time-out, the socket options
// its user asks for, and sends that never raise SIGPIPE. Reading goes through
// LineReader.h, with each user's own line bound. Errors come back as results; nothing
// is logged here.
#include <atomic>
#include <chrono>
#include <cstddef>
#include <vector>

#include "base/net/HostLookup.h"

namespace lv {

// Socket options applied once connected. Zero leaves the system's value.
struct TcpOptions {
    bool noDelay = true;            // TCP_NODELAY: short command lines leave at once
    bool keepalive = false;         // SO_KEEPALIVE, with the three timings below
    int keepIdleSeconds = 0;        // TCP_KEEPIDLE
    int keepIntervalSeconds = 0;    // TCP_KEEPINTVL
    int keepProbes = 0;             // TCP_KEEPCNT
    int userTimeoutMs = 0;          // TCP_USER_TIMEOUT: bound on unacknowledged data
    int sendTimeoutMs = 0;          // SO_SNDTIMEO: a blocked send gives up
};

// How long connecting may take.
struct TcpConnectLimits {
    // All the addresses together; time_point::max() for no overall bound.
    std::chrono::steady_clock::time_point deadline = std::chrono::steady_clock::time_point::max();
    // Each address; zero for no bound but the deadline.
    std::chrono::milliseconds perAddress{0};
    // Checked every few tens of milliseconds while an attempt waits; may be null.
    const std::atomic<bool>* cancel = nullptr;
};

// Tries the addresses in turn until one accepts (a non-blocking connect whose outcome
// is read from SO_ERROR), within the limits. The connected socket, blocking, close on
// exec, with `options` applied; -1 when none accepted, the time ran out or on cancel.
int ConnectTcp(const std::vector<ResolvedAddress>& addresses, const TcpConnectLimits& limits,
               const TcpOptions& options);

// Sends every byte (MSG_NOSIGNAL: a peer that is gone is an error, not a signal),
// retrying after interruptions. The count sent: less than `size` after a failure or a
// send time-out.
std::size_t SendAllTcp(int socket, const char* bytes, std::size_t size);

}  // namespace lv

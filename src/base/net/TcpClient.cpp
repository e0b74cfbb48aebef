#include "base/net/TcpClient.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace lv {

namespace {

using SteadyClock = std::chrono::steady_clock;

// The step of a connection wait: how soon a cancel is seen.
constexpr int kConnectSliceMs = 50;

// The next wait slice before the deadline: at most kConnectSliceMs, 0 once it passed.
int SliceBefore(SteadyClock::time_point deadline) {
    auto now = SteadyClock::now();
    if (deadline <= now) return 0;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count();
    return left > kConnectSliceMs ? kConnectSliceMs : static_cast<int>(left);
}

bool SetBlocking(int fd, bool blocking) {
    int flags = ::fcntl(fd, F_GETFL, 0);
    if (flags < 0) return false;
    flags = blocking ? (flags & ~O_NONBLOCK) : (flags | O_NONBLOCK);
    return ::fcntl(fd, F_SETFL, flags) == 0;
}

void SetIntOption(int fd, int level, int name, int value) {
    // A refused option leaves the socket usable: no reason to fail the connection.
    (void)::setsockopt(fd, level, name, &value, sizeof value);
}

void ApplyOptions(int fd, const TcpOptions& options) {
    if (options.noDelay) SetIntOption(fd, IPPROTO_TCP, TCP_NODELAY, 1);
    if (options.keepalive) {
        SetIntOption(fd, SOL_SOCKET, SO_KEEPALIVE, 1);
#ifdef TCP_KEEPIDLE
        if (options.keepIdleSeconds > 0) SetIntOption(fd, IPPROTO_TCP, TCP_KEEPIDLE, options.keepIdleSeconds);
#endif
#ifdef TCP_KEEPINTVL
        if (options.keepIntervalSeconds > 0) {
            SetIntOption(fd, IPPROTO_TCP, TCP_KEEPINTVL, options.keepIntervalSeconds);
        }
#endif
#ifdef TCP_KEEPCNT
        if (options.keepProbes > 0) SetIntOption(fd, IPPROTO_TCP, TCP_KEEPCNT, options.keepProbes);
#endif
    }
#ifdef TCP_USER_TIMEOUT
    if (options.userTimeoutMs > 0) SetIntOption(fd, IPPROTO_TCP, TCP_USER_TIMEOUT, options.userTimeoutMs);
#endif
    if (options.sendTimeoutMs > 0) {
        timeval timeout{options.sendTimeoutMs / 1000, (options.sendTimeoutMs % 1000) * 1000};
        (void)::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    }
}

bool Cancelled(const std::atomic<bool>* cancel) { return cancel != nullptr && cancel->load(); }

// Connects one address before `until`; the socket (still non-blocking), or -1.
int ConnectAddress(const ResolvedAddress& address, SteadyClock::time_point until,
                   const std::atomic<bool>* cancel) {
    int fd = ::socket(address.family, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
    if (fd < 0) return -1;
    bool connected = false;
    if (SetBlocking(fd, false)) {
        int result = ::connect(fd, reinterpret_cast<const sockaddr*>(&address.address), address.length);
        if (result == 0) {
            connected = true;
        } else if (errno == EINPROGRESS || errno == EINTR) {
            pollfd waiter{fd, POLLOUT, 0};
            for (;;) {
                if (Cancelled(cancel)) break;
                int slice = SliceBefore(until);
                int ready = ::poll(&waiter, 1, slice);
                if (ready < 0 && errno == EINTR) continue;
                if (ready > 0) {
                    int failure = 0;
                    socklen_t length = sizeof failure;
                    connected = ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &failure, &length) == 0 && failure == 0;
                    break;
                }
                if (ready < 0 || slice == 0) break;
            }
        }
    }
    if (!connected) {
        ::shutdown(fd, SHUT_RDWR);
        ::close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

int ConnectTcp(const std::vector<ResolvedAddress>& addresses, const TcpConnectLimits& limits,
               const TcpOptions& options) {
    for (const ResolvedAddress& address : addresses) {
        if (Cancelled(limits.cancel)) return -1;
        SteadyClock::time_point until = limits.deadline;
        if (limits.perAddress.count() > 0) until = std::min(until, SteadyClock::now() + limits.perAddress);
        int fd = ConnectAddress(address, until, limits.cancel);
        if (fd >= 0) {
            if (!SetBlocking(fd, true)) {
                ::shutdown(fd, SHUT_RDWR);
                ::close(fd);
                return -1;
            }
            ApplyOptions(fd, options);
            return fd;
        }
        if (SteadyClock::now() >= limits.deadline) break;
    }
    return -1;
}

std::size_t SendAllTcp(int socket, const char* bytes, std::size_t size) {
    std::size_t sent = 0;
    while (sent < size) {
        ssize_t count = ::send(socket, bytes + sent, size - sent, MSG_NOSIGNAL);
        if (count > 0) {
            sent += static_cast<std::size_t>(count);
            continue;
        }
        if (count < 0 && errno == EINTR) continue;
        break;
    }
    return sent;
}

}  // namespace lv

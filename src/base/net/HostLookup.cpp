#include "base/net/HostLookup.h"

#include <netdb.h>
#include <netinet/in.h>

#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

namespace lv {
namespace {

struct LookupState {
    std::mutex lock;
    std::condition_variable done;
    bool finished = false;
    std::vector<ResolvedAddress> addresses;
};

void Resolve(const std::string& host, int port, const std::shared_ptr<LookupState>& state) {
    std::vector<ResolvedAddress> found = ResolveTcpHost(host, port);
    std::lock_guard<std::mutex> guard(state->lock);
    state->addresses = std::move(found);
    state->finished = true;
    state->done.notify_all();
}

}  // namespace

std::vector<ResolvedAddress> ResolveTcpHost(const std::string& host, int port) {
    std::vector<ResolvedAddress> found;
    if (host.empty()) return found;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* list = nullptr;
    std::string service = std::to_string(port);
    if (getaddrinfo(host.c_str(), service.c_str(), &hints, &list) != 0) return found;
    for (addrinfo* item = list; item != nullptr; item = item->ai_next) {
        if (item->ai_addrlen > sizeof(sockaddr_storage)) continue;
        ResolvedAddress address;
        std::memcpy(&address.address, item->ai_addr, item->ai_addrlen);
        address.length = item->ai_addrlen;
        address.family = item->ai_family;
        found.push_back(address);
    }
    freeaddrinfo(list);
    return found;
}

std::vector<ResolvedAddress> LookupHost(const std::string& host, int port,
                                        std::chrono::milliseconds timeout,
                                        const std::atomic<bool>& cancel) {
    if (host.empty() || port <= 0 || port > 65535) return {};
    auto state = std::make_shared<LookupState>();
    try {
        std::thread(Resolve, host, port, state).detach();
    } catch (const std::system_error&) {
        return {};
    }
    auto deadline = std::chrono::steady_clock::now() + timeout;
    std::unique_lock<std::mutex> guard(state->lock);
    while (!state->finished && !cancel.load() && std::chrono::steady_clock::now() < deadline) {
        state->done.wait_for(guard, std::chrono::milliseconds(50));
    }
    if (!state->finished || cancel.load()) return {};
    return std::move(state->addresses);
}

}  // namespace lv

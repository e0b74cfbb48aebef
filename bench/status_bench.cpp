// Status page benchmark: the 99th percentile of the delay from a passing's send to its
// journal line at a steady 2,000 passings/s, without the page, then with the page and
// four clients asking for /status.json every 100 ms, then with the same four and four
// more connections that never finish their request. Recording must not notice them.
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "SendToJournal.h"
#include "base/Settings.h"
#include "support/HttpFetch.h"
#include "support/LoopbackSockets.h"
#include "support/TempFolder.h"
#include "support/UseDataFolder.h"

using namespace lv;

namespace {

constexpr int kRate = 2000;
constexpr int kCount = 20000;
constexpr int kClients = 4;
constexpr int kPollMs = 100;
// Connections that never finish their request, from the same address as the clients.
constexpr int kStalled = 2;

int FreePort() {
    int port = 0;
    const int fd = test::ListenLoopback(1, port);
    if (fd >= 0) ::close(fd);
    return port;
}

// Clients of the page while the measure runs, and what they got.
class PageClients {
public:
    PageClients(int clients, int stalled) : clients_(clients), stalled_(stalled) {}

    bench::SideLoad Load() {
        return {[this](MainController& controller) { Start(controller.StatusPagePort()); }, [this] { Stop(); }};
    }
    long Answers() const { return answers_.load(); }
    long Failures() const { return failures_.load(); }

private:
    void Start(int port) {
        if (port <= 0) {
            std::fprintf(stderr, "status page did not start\n");
            std::exit(1);
        }
        const std::string url = "http://127.0.0.1:" + std::to_string(port) + "/status.json";
        for (int i = 0; i < stalled_; ++i) {
            const int fd = test::ConnectLoopback(port);
            const std::string part = "GET /status.json HTTP/1.1\r\nHost: x\r\n";
            if (fd >= 0) (void)::send(fd, part.data(), part.size(), MSG_NOSIGNAL);
            stalledSockets_.push_back(fd);
        }
        for (int i = 0; i < clients_; ++i) {
            threads_.emplace_back([this, url] {
                while (!stop_) {
                    const auto next = std::chrono::steady_clock::now() + std::chrono::milliseconds(kPollMs);
                    if (test::HttpFetch(url, {}, nullptr, 2).status == 200) {
                        ++answers_;
                    } else {
                        ++failures_;
                    }
                    std::this_thread::sleep_until(next);
                }
            });
        }
    }
    void Stop() {
        stop_ = true;
        for (std::thread& thread : threads_) thread.join();
        threads_.clear();
        for (int fd : stalledSockets_) {
            if (fd >= 0) ::close(fd);
        }
        stalledSockets_.clear();
    }

    int clients_;
    int stalled_;
    std::atomic<bool> stop_{false};
    std::atomic<long> answers_{0};
    std::atomic<long> failures_{0};
    std::vector<std::thread> threads_;
    std::vector<int> stalledSockets_;
};

}  // namespace

int main() {
    setenv("TZ", "Europe/Paris", 0);
    signal(SIGPIPE, SIG_IGN);
    test::TempFolder folder;
    test::UseDataFolder(folder.Path());
    WriteSettingInt("Settings", "BLogDetections", 0);
    WriteSettingInt("Settings", "GTarvexBeepDetections", 0);

    WriteSettingInt("StatusPage", "Port", 0);
    const double alone = bench::SendToJournalP99(kRate, kCount);

    WriteSettingInt("StatusPage", "Port", FreePort());
    PageClients polling(kClients, 0);
    const double withClients = bench::SendToJournalP99(kRate, kCount, polling.Load());

    WriteSettingInt("StatusPage", "Port", FreePort());
    PageClients stalling(kClients, kStalled);
    const double withStalled = bench::SendToJournalP99(kRate, kCount, stalling.Load());

    std::printf("status page: p99 send to journal at %d passings/s: %.2f ms without the page\n", kRate, alone);
    std::printf("status page: p99 %.2f ms with %d clients every %d ms (%ld answers, %ld failed)\n", withClients,
                kClients, kPollMs, polling.Answers(), polling.Failures());
    std::printf("status page: p99 %.2f ms with the same and %d connections that never finish (%ld answers, %ld "
                "failed)\n",
                withStalled, kStalled, stalling.Answers(), stalling.Failures());
    std::fflush(stdout);
    return 0;
}

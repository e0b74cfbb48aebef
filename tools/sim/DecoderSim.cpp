// lumivane-sim decoder: a stand-in for a network decoder, written from the line
// formats of the decoder protocol alone.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <deque>
#include <thread>

#include "DecoderOptions.h"
#include "DecoderSession.h"
#include "PassingGenerator.h"
#include "SimCommands.h"
#include "StopSignals.h"
#include "SimHttp.h"
#include "StoredFiles.h"

namespace sim {

namespace {

// Listens on bind:wanted (0: a free port); the port in `port`.
int Listen(const std::string& bind, int wanted, int& port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(wanted));
    if (::inet_pton(AF_INET, bind.c_str(), &address.sin_addr) != 1) {
        std::fprintf(stderr, "decoder: bad bind address %s\n", bind.c_str());
        return -1;
    }
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 8) != 0) {
        std::fprintf(stderr, "decoder: cannot listen on %s:%d: %s\n", bind.c_str(), wanted, std::strerror(errno));
        ::close(fd);
        return -1;
    }
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    port = ntohs(address.sin_port);
    return fd;
}

long long WallMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// YYYY-MM-DD of local epoch milliseconds.
std::string LocalDate(long long ms) {
    std::time_t seconds = static_cast<std::time_t>(ms / 1000);
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
    return text;
}

// Sleeps until `until` or the stop, whichever comes first.
void SleepUntil(std::chrono::steady_clock::time_point until) {
    while (!g_stop.load()) {
        auto now = std::chrono::steady_clock::now();
        if (now >= until) return;
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(until - now,
                                                                                 std::chrono::milliseconds(100)));
    }
}

// --keep-reading: the reads of the passings, due at `rate` from the start whether a
// client is there or not, each burst spread as the generator spreads it, stamped with
// the decoder's clock when read and kept in the day file.
void KeepReading(const decoder::Options& options, decoder::PassingGenerator& generator,
                 const decoder::DecoderState& state) {
    using Clock = std::chrono::steady_clock;
    struct Pending {
        Clock::time_point due;
        std::string chip;
    };
    const Clock::time_point start = Clock::now();
    auto passingDue = [&](long long index) {
        const double micros = static_cast<double>(index) * 1e6 / options.rate;
        return start + std::chrono::microseconds(static_cast<long long>(micros));
    };
    // Bursts overlap when they last longer than the time between passings: the reads
    // wait here in the order of their due times.
    std::deque<Pending> pending;
    long long nextPassing = 0;
    long long number = 0;
    decoder::DayFile& dayFile = decoder::TheDayFile();
    while (!g_stop.load()) {
        const Clock::time_point now = Clock::now();
        while ((options.count == 0 || nextPassing < options.count) && passingDue(nextPassing) <= now) {
            const std::string chip = generator.Chip(nextPassing);
            for (int read = 0; read < options.repeats; ++read) {
                const auto spread = std::chrono::milliseconds(static_cast<long long>(read) * options.spreadMs);
                Pending item{passingDue(nextPassing) + spread, chip};
                auto later = [](Clock::time_point due, const Pending& other) { return due < other.due; };
                pending.insert(std::upper_bound(pending.begin(), pending.end(), item.due, later), std::move(item));
            }
            ++nextPassing;
        }
        while (!pending.empty() && pending.front().due <= now) {
            const long long ms = WallMs() + state.clockOffsetMs.load();
            dayFile.Add(decoder::PassingGenerator::StampedLine(++number, pending.front().chip, ms), LocalDate(ms));
            pending.pop_front();
        }
        const bool morePassings = options.count == 0 || nextPassing < options.count;
        if (!morePassings && pending.empty()) return;
        Clock::time_point wake = morePassings ? passingDue(nextPassing) : Clock::time_point::max();
        if (!pending.empty()) wake = std::min(wake, pending.front().due);
        SleepUntil(wake);
    }
}

}  // namespace

int RunDecoderSimulator(int argc, char** argv) {
    decoder::Options options;
    bool help = false;
    std::string error;
    if (!decoder::ParseOptions(argc, argv, options, help, error)) {
        std::fprintf(stderr, "decoder: %s (see --help)\n", error.c_str());
        return 2;
    }
    if (help) {
        decoder::PrintHelp();
        return 0;
    }
    std::vector<std::string> chips;
    if (!options.chipsFile.empty()) {
        if (!decoder::LoadChipCodes(options.chipsFile, chips, error)) {
            std::fprintf(stderr, "decoder: %s\n", error.c_str());
            return 2;
        }
    } else {
        chips = decoder::GeneratedChipCodes(options.runners);
    }
    decoder::PassingGenerator generator;
    if (!generator.Setup(options, std::move(chips), error)) {
        std::fprintf(stderr, "decoder: %s\n", error.c_str());
        return 2;
    }
    InstallStopSignals();
    int port = 0;
    int listener = Listen(options.bind, options.port, port);
    if (listener < 0) return 1;
    if (options.port == 0) {
        std::printf("port %d\n", port);
        std::fflush(stdout);
    }
    if (options.verbose) std::fprintf(stderr, "decoder: listening on %s:%d\n", options.bind.c_str(), port);

    decoder::DecoderState state;
    // The day file is there (listed, empty) from the start, before the first read.
    if (options.keepReading) decoder::TheDayFile().Open(LocalDate(WallMs()));

    // The stored passings files, over plain HTTP as a decoder serves them.
    http::Server files;
    std::thread filesThread;
    if (options.filesPort >= 0) {
        if (!files.Listen(options.bind, options.filesPort, nullptr, decoder::ServeStoredFile)) return 1;
        if (options.filesPort == 0) {
            std::printf("files-port %d\n", files.Port());
            std::fflush(stdout);
        }
        filesThread = std::thread([&files] { files.Run(g_stop); });
    }

    std::thread readingThread;
    if (options.keepReading) readingThread = std::thread([&] { KeepReading(options, generator, state); });

    while (!g_stop.load()) {
        if (listener < 0) break;
        pollfd waiter{listener, POLLIN, 0};
        int ready = ::poll(&waiter, 1, 200);
        if (ready <= 0) continue;
        int client = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) continue;
        if (options.verbose) std::fprintf(stderr, "decoder: client connected\n");
        decoder::Session session(client, options, generator, state);
        session.Run(g_stop);
        if (!session.CutRequested()) {
            ::close(client);
            if (options.verbose) std::fprintf(stderr, "decoder: client gone\n");
            continue;
        }
        // The cut: no listening socket, so that a connection attempt is refused, closed
        // before the client so that the client's next attempt already meets it.
        ::close(listener);
        listener = -1;
        ::close(client);
        if (options.verbose) {
            std::fprintf(stderr, "decoder: cut: connection closed, no connection accepted for %d s\n",
                         options.cutSeconds);
        }
        SleepUntil(std::chrono::steady_clock::now() + std::chrono::seconds(options.cutSeconds));
        // Back on the same port, even one picked at random.
        while (!g_stop.load() && (listener = Listen(options.bind, port, port)) < 0)
            SleepUntil(std::chrono::steady_clock::now() + std::chrono::milliseconds(500));
        if (options.verbose && listener >= 0)
            std::fprintf(stderr, "decoder: cut over: listening again on %s:%d\n", options.bind.c_str(), port);
    }
    if (listener >= 0) ::close(listener);
    if (readingThread.joinable()) readingThread.join();
    if (filesThread.joinable()) filesThread.join();
    return 0;
}

}  // namespace sim

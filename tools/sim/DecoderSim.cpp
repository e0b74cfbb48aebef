// lumivane-sim decoder: a stand-in for a network decoder, written from the line
// formats of the decoder protocol alone.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <thread>

#include "DecoderOptions.h"
#include "DecoderSession.h"
#include "PassingGenerator.h"
#include "SimCommands.h"
#include "SimHttp.h"
#include "StoredFiles.h"

namespace sim {

namespace {

std::atomic<bool> g_stop{false};

void OnStopSignal(int) { g_stop.store(true); }

void InstallSignals() {
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no restart: a blocked poll returns at once
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
}

int Listen(const decoder::Options& options, int& port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(options.port));
    if (::inet_pton(AF_INET, options.bind.c_str(), &address.sin_addr) != 1) {
        std::fprintf(stderr, "decoder: bad bind address %s\n", options.bind.c_str());
        return -1;
    }
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 8) != 0) {
        std::fprintf(stderr, "decoder: cannot listen on %s:%d: %s\n", options.bind.c_str(), options.port,
                     std::strerror(errno));
        ::close(fd);
        return -1;
    }
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    port = ntohs(address.sin_port);
    return fd;
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
    InstallSignals();
    int port = 0;
    int listener = Listen(options, port);
    if (listener < 0) return 1;
    if (options.port == 0) {
        std::printf("port %d\n", port);
        std::fflush(stdout);
    }
    if (options.verbose) std::fprintf(stderr, "decoder: listening on %s:%d\n", options.bind.c_str(), port);

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

    decoder::DecoderState state;
    while (!g_stop.load()) {
        pollfd waiter{listener, POLLIN, 0};
        int ready = ::poll(&waiter, 1, 200);
        if (ready <= 0) continue;
        int client = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) continue;
        if (options.verbose) std::fprintf(stderr, "decoder: client connected\n");
        decoder::Session session(client, options, generator, state);
        session.Run(g_stop);
        ::close(client);
        if (options.verbose) std::fprintf(stderr, "decoder: client gone\n");
    }
    ::close(listener);
    if (filesThread.joinable()) filesThread.join();
    return 0;
}

}  // namespace sim

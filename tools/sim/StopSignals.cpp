#include "StopSignals.h"

#include <csignal>

namespace sim {

std::atomic<bool> g_stop{false};

namespace {
void OnStopSignal(int) { g_stop.store(true); }
}  // namespace

void InstallStopSignals() {
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
}

}  // namespace sim

#include "StopSignals.h"

#include <pthread.h>

#include <csignal>
#include <thread>

namespace sim {

std::atomic<bool> g_stop{false};

void InstallStopSignals() {
    std::signal(SIGPIPE, SIG_IGN);
    // Not a handler: under the thread sanitizer a signal that lands while the handler
    // cannot run yet may never run it, and the test that stops us then waits for ever.
    sigset_t stops;
    sigemptyset(&stops);
    sigaddset(&stops, SIGINT);
    sigaddset(&stops, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stops, nullptr);
    std::thread([stops] {
        int signal = 0;
        sigwait(&stops, &signal);
        g_stop.store(true);
    }).detach();
}

}  // namespace sim

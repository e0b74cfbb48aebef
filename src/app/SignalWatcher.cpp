#include "app/SignalWatcher.h"

#ifndef _WIN32
#include <pthread.h>
#endif

namespace lv {

#ifndef _WIN32

SignalWatcher::SignalWatcher(std::function<void(int)> onStop) : onStop_(std::move(onStop)) {
    // Output piped to a reader that went away (head, a closed terminal) must not end
    // the acquisition: writes fail with EPIPE instead.
    ::signal(SIGPIPE, SIG_IGN);
    sigemptyset(&set_);
    sigaddset(&set_, SIGINT);
    sigaddset(&set_, SIGTERM);
    // The terminal or the SSH session closed: the exit sequence, as for SIGTERM (a
    // service run by systemd never gets it; nohup or setsid keep a session's program).
    sigaddset(&set_, SIGHUP);
    sigaddset(&set_, SIGUSR1);  // our own wake-up at the end
    pthread_sigmask(SIG_BLOCK, &set_, nullptr);
    thread_ = std::thread([this] {
        int signal = 0;
        sigwait(&set_, &signal);
        if (signal != SIGUSR1) onStop_(signal);
    });
}

SignalWatcher::~SignalWatcher() {
    pthread_kill(thread_.native_handle(), SIGUSR1);
    thread_.join();
}

#else

// Console control events take this role on Windows; not wired yet.
SignalWatcher::SignalWatcher(std::function<void(int)> onStop) : onStop_(std::move(onStop)) {}
SignalWatcher::~SignalWatcher() = default;

#endif

}  // namespace lv

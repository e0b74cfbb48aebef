#include "app/SignalWatcher.h"

#ifndef _WIN32
#include <pthread.h>
#endif

namespace lv {

#ifndef _WIN32

SignalWatcher::SignalWatcher(std::function<void(int)> onStop) : onStop_(std::move(onStop)) {
    sigemptyset(&set_);
    sigaddset(&set_, SIGINT);
    sigaddset(&set_, SIGTERM);
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

#pragma once
// SIGINT, SIGTERM and SIGHUP (Ctrl-C in the terminal, a service stop, the terminal or
// SSH session closing) end the program through its exit sequence; SIGPIPE is ignored. They are blocked in every thread and taken by a thread of their
// own, which calls the handler given here: nothing runs inside a signal handler.
// Construct it before any other thread starts, so that every thread inherits the mask.
#include <functional>
#include <thread>

#ifndef _WIN32
#include <signal.h>
#endif

namespace lv {

class SignalWatcher {
public:
    // onStop runs on the watcher's thread with the signal number.
    explicit SignalWatcher(std::function<void(int)> onStop);
    ~SignalWatcher();
    SignalWatcher(const SignalWatcher&) = delete;
    SignalWatcher& operator=(const SignalWatcher&) = delete;

private:
    std::function<void(int)> onStop_;
#ifndef _WIN32
    sigset_t set_;
    std::thread thread_;
#endif
};

}  // namespace lv

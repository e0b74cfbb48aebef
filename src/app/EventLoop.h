#pragma once
// A UiLoop with its own event queue, run on the thread that constructed it: the
// headless front end's loop and the tests' loop.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <thread>

#include "base/UiLoop.h"

namespace lv {

class EventLoop : public UiLoop {
public:
    EventLoop();

    void post(Task fn) override;
    void send(Task fn) override;
    void setTimer(int id, int milliseconds, bool periodic, Task fn) override;
    void killTimer(int id) override;
    void pumpUntil(const std::function<bool()>& done) override;
    bool isUiThread() const override;

    // Runs until quit() (from any thread).
    void run();
    void quit();
    bool quitRequested() const { return quit_.load(); }
    // Delivers what is due now and returns the number of closures and timers run.
    int processPending();
    // Delivers closures and timers for the given time (tests).
    void runFor(std::chrono::milliseconds duration);

private:
    using Clock = std::chrono::steady_clock;
    struct Timer {
        Clock::time_point due;
        std::chrono::milliseconds period;
        bool periodic;
        Task fn;
        unsigned generation;
    };

    // Waits until something is due or the deadline passes.
    void waitForWork(Clock::time_point deadline, bool endOnQuit);
    bool runOneTimer();

    std::thread::id owner_;
    mutable std::mutex lock_;
    std::condition_variable wake_;
    std::deque<Task> tasks_;
    std::map<int, Timer> timers_;
    unsigned timerGeneration_ = 0;
    std::atomic<bool> quit_{false};
};

}  // namespace lv

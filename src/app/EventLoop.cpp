#include "app/EventLoop.h"

#include <future>

namespace lv {

EventLoop::EventLoop() : owner_(std::this_thread::get_id()) {}

bool EventLoop::isUiThread() const { return std::this_thread::get_id() == owner_; }

void EventLoop::post(Task fn) {
    {
        std::lock_guard<std::mutex> guard(lock_);
        tasks_.push_back(std::move(fn));
    }
    wake_.notify_all();
}

void EventLoop::send(Task fn) {
    if (isUiThread()) {
        fn();
        return;
    }
    auto done = std::make_shared<std::promise<void>>();
    std::future<void> finished = done->get_future();
    post([fn = std::move(fn), done]() {
        fn();
        done->set_value();
    });
    finished.wait();
}

void EventLoop::setTimer(int id, int milliseconds, bool periodic, Task fn) {
    std::lock_guard<std::mutex> guard(lock_);
    auto period = std::chrono::milliseconds(milliseconds < 0 ? 0 : milliseconds);
    timers_[id] = Timer{Clock::now() + period, period, periodic, std::move(fn), ++timerGeneration_};
    wake_.notify_all();
}

void EventLoop::killTimer(int id) {
    std::lock_guard<std::mutex> guard(lock_);
    timers_.erase(id);
}

bool EventLoop::runOneTimer() {
    Task fn;
    {
        std::lock_guard<std::mutex> guard(lock_);
        auto now = Clock::now();
        auto due = timers_.end();
        for (auto it = timers_.begin(); it != timers_.end(); ++it) {
            if (it->second.due <= now && (due == timers_.end() || it->second.due < due->second.due)) due = it;
        }
        if (due == timers_.end()) return false;
        fn = due->second.fn;
        if (due->second.periodic) {
            due->second.due = now + due->second.period;
        } else {
            timers_.erase(due);
        }
    }
    fn();
    return true;
}

int EventLoop::processPending() {
    int ran = 0;
    std::deque<Task> batch;
    {
        std::lock_guard<std::mutex> guard(lock_);
        batch.swap(tasks_);
    }
    for (auto& task : batch) {
        task();
        ++ran;
    }
    // Timers due now, each at most once per call so a 0 ms periodic timer cannot spin.
    std::size_t timerCount;
    {
        std::lock_guard<std::mutex> guard(lock_);
        timerCount = timers_.size();
    }
    for (std::size_t i = 0; i < timerCount && runOneTimer(); ++i) ++ran;
    return ran;
}

void EventLoop::waitForWork(Clock::time_point deadline, bool endOnQuit) {
    std::unique_lock<std::mutex> guard(lock_);
    Clock::time_point until = deadline;
    for (const auto& [id, timer] : timers_) {
        if (timer.due < until) until = timer.due;
    }
    // Only run() ends on quit: a wait of pumpUntil after it would otherwise spin.
    wake_.wait_until(guard, until, [&] { return !tasks_.empty() || (endOnQuit && quit_.load()); });
}

void EventLoop::pumpUntil(const std::function<bool()>& done) {
    while (!done()) {
        if (processPending() == 0) waitForWork(Clock::now() + std::chrono::milliseconds(5), false);
    }
}

void EventLoop::run() {
    while (!quit_.load()) {
        if (processPending() == 0) waitForWork(Clock::now() + std::chrono::milliseconds(200), true);
    }
    processPending();
}

void EventLoop::quit() {
    quit_.store(true);
    wake_.notify_all();
}

void EventLoop::runFor(std::chrono::milliseconds duration) {
    auto end = Clock::now() + duration;
    while (Clock::now() < end) {
        if (processPending() == 0) waitForWork(end, false);
    }
}

}  // namespace lv

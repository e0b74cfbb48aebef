#pragma once
// An EventLoop that also records which timers were armed and killed, and can run a
// timer's action at once (so a 30 s period needs no 30 s wait).
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "app/EventLoop.h"

namespace lv {

class TimerSpyLoop : public EventLoop {
public:
    struct Armed {
        int id;
        int milliseconds;
        bool periodic;
    };

    void setTimer(int id, int milliseconds, bool periodic, Task fn) override {
        {
            std::lock_guard<std::mutex> guard(spyLock_);
            armed_.push_back({id, milliseconds, periodic});
            actions_[id] = fn;
        }
        EventLoop::setTimer(id, milliseconds, periodic, std::move(fn));
    }
    void killTimer(int id) override {
        {
            std::lock_guard<std::mutex> guard(spyLock_);
            killed_.push_back(id);
        }
        EventLoop::killTimer(id);
    }

    std::vector<Armed> ArmedTimers(int id) const {
        std::lock_guard<std::mutex> guard(spyLock_);
        std::vector<Armed> found;
        for (const Armed& armed : armed_) {
            if (armed.id == id) found.push_back(armed);
        }
        return found;
    }
    // Runs the last action armed under the id.
    void Fire(int id) {
        Task action;
        {
            std::lock_guard<std::mutex> guard(spyLock_);
            action = actions_[id];
        }
        if (action) action();
    }
    // Pumps until done() or the limit passes; returns done().
    bool PumpUntil(const std::function<bool()>& done,
                   std::chrono::milliseconds limit = std::chrono::seconds(10)) {
        auto deadline = std::chrono::steady_clock::now() + limit;
        pumpUntil([&] { return done() || std::chrono::steady_clock::now() >= deadline; });
        return done();
    }

private:
    mutable std::mutex spyLock_;
    std::vector<Armed> armed_;
    std::vector<int> killed_;
    std::map<int, Task> actions_;
};

}  // namespace lv

#pragma once
// The user-interface thread's message loop, as the rest of the program sees it:
// closures posted or sent to it, timers, and waiting while it keeps running.
#include <functional>

namespace lv {

class UiLoop {
public:
    using Task = std::function<void()>;

    virtual ~UiLoop() = default;

    // Runs fn later on the UI thread. Safe from any thread.
    virtual void post(Task fn) = 0;
    // Runs fn on the UI thread and returns when it has run (runs it at once when
    // called on the UI thread). Safe from any thread.
    virtual void send(Task fn) = 0;
    // UI thread only. Re-arming an id replaces its timer.
    virtual void setTimer(int id, int milliseconds, bool periodic, Task fn) = 0;
    virtual void killTimer(int id) = 0;
    // UI thread only: keeps delivering posted closures and timers until done() is true.
    virtual void pumpUntil(const std::function<bool()>& done) = 0;
    virtual bool isUiThread() const = 0;
};

}  // namespace lv

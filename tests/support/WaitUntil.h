#pragma once
// Polling for a condition that another thread or process brings about.
#include <chrono>
#include <functional>
#include <thread>

namespace lv::test {

// Polls `done` every few milliseconds until it holds or `limit` passes.
inline bool WaitUntil(const std::function<bool()>& done,
                      std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    auto until = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

}  // namespace lv::test

#pragma once
// Runs fn(0) .. fn(count - 1) on as many threads as there are processors (the calling
// thread among them). fn must not throw.
#include <algorithm>
#include <atomic>
#include <cstddef>
#include <thread>
#include <vector>

namespace lv {

template <typename Fn>
void ParallelFor(std::size_t count, Fn fn) {
    std::atomic<std::size_t> next{0};
    const auto work = [&] {
        for (std::size_t i; (i = next.fetch_add(1)) < count;) fn(i);
    };
    const std::size_t processors = std::max(1u, std::thread::hardware_concurrency());
    const std::size_t helpers = count > 1 ? std::min(processors, count) - 1 : 0;
    std::vector<std::thread> threads;
    threads.reserve(helpers);
    for (std::size_t i = 0; i < helpers; ++i) threads.emplace_back(work);
    work();
    for (std::thread& thread : threads) thread.join();
}

}  // namespace lv

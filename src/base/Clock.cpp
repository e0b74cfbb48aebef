#include "base/Clock.h"

#include <atomic>
#include <mutex>

namespace lv {
namespace {
std::mutex& SourceLock() {
    static std::mutex lock;
    return lock;
}
WallClockSource& Source() {
    static WallClockSource source;
    return source;
}

// Set while a test's source is installed; without one, reads (one per log line, from
// every thread) take no lock.
std::atomic<bool> g_sourceInstalled{false};
}  // namespace

std::chrono::system_clock::time_point WallNow() {
    if (!g_sourceInstalled.load(std::memory_order_acquire)) return std::chrono::system_clock::now();
    std::lock_guard<std::mutex> guard(SourceLock());
    if (Source()) return Source()();
    return std::chrono::system_clock::now();
}

void SetWallClockSourceForTests(WallClockSource source) {
    std::lock_guard<std::mutex> guard(SourceLock());
    Source() = std::move(source);
    g_sourceInstalled.store(static_cast<bool>(Source()), std::memory_order_release);
}

}  // namespace lv

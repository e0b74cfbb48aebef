#include "base/Clock.h"

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
}  // namespace

std::chrono::system_clock::time_point WallNow() {
    std::lock_guard<std::mutex> guard(SourceLock());
    if (Source()) return Source()();
    return std::chrono::system_clock::now();
}

void SetWallClockSourceForTests(WallClockSource source) {
    std::lock_guard<std::mutex> guard(SourceLock());
    Source() = std::move(source);
}

}  // namespace lv

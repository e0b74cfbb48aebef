#pragma once
// The one place the program reads the wall clock, so that tests can move it.
#include <chrono>
#include <functional>

namespace lv {

using WallClockSource = std::function<std::chrono::system_clock::time_point()>;

// Present time (the system clock unless a test installed another source).
std::chrono::system_clock::time_point WallNow();

// Installs a source for tests; an empty function restores the system clock.
void SetWallClockSourceForTests(WallClockSource source);

}  // namespace lv

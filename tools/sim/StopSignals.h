#pragma once
// Every simulator ends on SIGINT or SIGTERM: the flag is raised, and its loops, which
// never wait longer than a fraction of a second, see it.
#include <atomic>

namespace sim {

// Raised by SIGINT or SIGTERM once InstallStopSignals() has run.
extern std::atomic<bool> g_stop;

// Blocks SIGINT and SIGTERM in every thread and takes them on a thread of its own (call
// it before any other thread starts, so that they inherit the mask); ignores SIGPIPE (a
// peer that leaves must not end us).
void InstallStopSignals();

}  // namespace sim

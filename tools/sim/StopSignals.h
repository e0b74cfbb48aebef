#pragma once
// Every simulator ends on SIGINT or SIGTERM: the flag is raised and blocked waits return.
#include <atomic>

namespace sim {

// Raised by SIGINT or SIGTERM once InstallStopSignals() has run.
extern std::atomic<bool> g_stop;

// Catches SIGINT and SIGTERM without restarting the interrupted call (a blocked poll
// returns at once) and ignores SIGPIPE (a peer that leaves must not end us).
void InstallStopSignals();

}  // namespace sim

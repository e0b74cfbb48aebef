// lumivane-sim timingapp: a stand-in for the timing application on loopback.
#include <csignal>
#include <cstdio>

#include "SimCommands.h"
#include "StopSignals.h"
#include "TimingAppOptions.h"
#include "TimingAppRace.h"
#include "TimingAppServer.h"

namespace sim {

int RunTimingAppSimulator(int argc, char** argv) {
    TimingAppOptions options;
    std::string error;
    int parsed = ParseTimingAppOptions(argc, argv, options, error);
    if (parsed == 1) return 0;
    if (parsed != 0) {
        std::fprintf(stderr, "timingapp: %s (see --help)\n", error.c_str());
        return 2;
    }
    SimRace race;
    if (options.runnersFile.empty()) {
        race.GenerateField(options.fieldSize);
    } else if (!race.LoadRunners(options.runnersFile, error)) {
        std::fprintf(stderr, "timingapp: %s\n", error.c_str());
        return 2;
    }
    InstallStopSignals();
    TimingAppServer server(options, race);
    if (!server.Listen(error)) {
        std::fprintf(stderr, "timingapp: %s\n", error.c_str());
        return 1;
    }
    if (options.port == 0) {
        std::printf("port %d\n", server.Port());
        std::fflush(stdout);
    }
    if (options.verbose) {
        std::fprintf(stderr, "timingapp: listening on 127.0.0.1:%d, %zu runners, layout %s\n",
                     server.Port(), race.Size(), options.layout.c_str());
    }
    server.Run(g_stop);
    return 0;
}

}  // namespace sim

#pragma once
// Command-line options of "lumivane-sim timingapp".
#include <map>
#include <string>

namespace sim {

struct TimingAppOptions {
    int port = 8283;                       // 0: any free port, printed as "port <n>"
    std::string version = "4,5,0,0";       // answer to GetVersion(): major,minor,sub,letter
    std::string printableVersion = "4.50";
    std::string layout = "gm06";           // gm04 | gm05 | gm06 | res1
    std::string runnersFile;               // empty: a generated field
    int fieldSize = 200;                   // runners of the generated field
    double lapKm = 5.0;                    // distance credited per passing
    std::map<int, int> statusByBib;        // --status BIB=CODE
    std::string recordFile;                // every received line, as received
    int dropAfter = 0;                     // close a connection after that many lines
    int answerDelayMs = 0;                 // a push's answer leaves this long after it came
    std::string answersFile;               // each push answered: "<monotonic ms> <push line>"
    std::string application = "Quillet-Pro";
    std::string user = "Chrono";
    std::string competition = "Trail des Vanelles";
    std::string filename = "vanelles-2025.qpx";
    std::string detectors = "1,2,3,4";
    bool verbose = false;
};

// Fills options from argv (argv[0] is the sub-command's name). Returns 0 to go on,
// 1 when --help was printed, 2 on a bad option (error filled).
int ParseTimingAppOptions(int argc, char** argv, TimingAppOptions& options, std::string& error);

void PrintTimingAppUsage();

}  // namespace sim

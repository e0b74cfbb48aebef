#pragma once
// Options of `lumivane-sim decoder`.
#include <cstdint>
#include <string>

namespace sim::decoder {

struct Options {
    int port = 0;                  // 0: a free port, printed as "port <n>"
    std::string bind = "127.0.0.1";
    int runners = 10;              // field of runners
    int repeats = 1;               // reads per passing (a burst)
    int spreadMs = 20;             // time between the reads of a burst
    double rate = 10.0;            // passings per second, 0 = as fast as possible
    long long count = 0;           // passings in all, 0 = no limit
    std::string date = "today";    // YYYY-MM-DD, "today" or "zero"
    std::string start;             // HH:MM:SS[.mmm] of the first passing, default now
    int stepMs = 100;              // time between two passings
    std::string chipsFile;         // chip table: "<bib> <chip>" lines
    uint32_t seed = 1;
    long long closeAfter = 0;      // close after N lines sent in a session
    bool closeMidLine = false;     // ... sending half of one more line first
    long long muteAfter = 0;       // go silent after N lines sent in a session
    long long malformedEvery = 0;  // a malformed line before every N-th passing line
    bool verbose = false;
    // Port of the HTTP server of the stored passings files (-1: none; 0: a free one,
    // printed as "files-port <n>" after the "port" line).
    int filesPort = -1;
    // Reads at `rate` from the start, connected or not, into the stored file of the day
    // (1003), stamped with the decoder's clock; only new reads are pushed.
    bool keepReading = false;
    // Once per process: after N passing lines pushed in a session, close the connection
    // and refuse connections for `cutSeconds` (0: never).
    long long cutAfter = 0;
    int cutSeconds = 10;
};

// False with a message for bad options; `help` set for --help.
bool ParseOptions(int argc, char** argv, Options& options, bool& help, std::string& error);
void PrintHelp();

}  // namespace sim::decoder

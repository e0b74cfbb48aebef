#pragma once
// Options of `lumivane-sim usbbox`.
#include <cstdint>
#include <map>
#include <set>
#include <string>

namespace sim::usbbox {

struct Options {
    int runners = 10;                // field of runners (chips C00001...)
    std::string chipsFile;           // chip table: "<bib> <chip>" lines
    uint32_t seed = 1;
    uint32_t firstIndex = 0;         // index of the first passing in memory
    long long stored = 0;            // passings in memory at start
    double rate = 1.0;               // new passings per second, 0 = none
    long long count = 0;             // new passings in all, 0 = no limit
    bool ticksGiven = false;
    uint32_t ticksStart = 0;         // the tick counter at start (default from the seed)
    bool synchronised = false;       // a reference set at start
    bool unsynchronised = false;     // EPOCHREFSET is refused: the reference stays 0;0
    int firmware = 26;               // firmware version x 10
    int hardware = 20;               // hardware version x 10
    int boxType = 40;                // usb-timing-box
    int batch = 64;                  // passings per PASSINGGET at most
    int shortBatch = -1;             // lines actually sent per batch, -1 = all announced
    long long malformedEvery = 0;    // every N-th passing line lacks a component
    long long garbleEvery = 0;       // every N-th batch sent has one passing line damaged
    long long extraEvery = 0;        // every N-th batch sent has a line of noise among its passings
    std::map<std::string, int> lateMs;  // keyword -> its first answer this late (ms)
    long long resetAfter = 0;        // the memory starts again after this many PASSINGGET...
    long long resetKeep = 0;         // ... with this many new passings in it
    int bytesPerSecond = 0;          // the line's speed out, 0 = as fast as it goes
    int junkLines = 0;               // the first N answers follow a 200 KB line of noise
    std::set<std::string> silent;    // keywords left without answer
    std::map<std::string, int> status;  // keyword -> status answered
    std::map<std::string, std::string> value;  // keyword -> value line answered instead
    bool verbose = false;
};

bool ParseOptions(int argc, char** argv, Options& options, bool& help, std::string& error);
void PrintHelp();

}  // namespace sim::usbbox

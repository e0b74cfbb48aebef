#pragma once
// The passings of the simulated decoder: a field of runners passing one after the
// other (in a shuffled order per lap, fixed by the seed), each passing a burst of
// repeated reads, every line an 18-field "#P" line. Also the malformed lines.
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "DecoderOptions.h"

namespace sim::decoder {

// Chip codes from a chip table file ("<bib> <chip>" lines, "#" or ";" comments).
bool LoadChipCodes(const std::string& path, std::vector<std::string>& chips, std::string& error);
// C00001, C00002, ... one per runner.
std::vector<std::string> GeneratedChipCodes(int runners);

class PassingGenerator {
public:
    // False with a message when the date or start time cannot be read.
    bool Setup(const Options& options, std::vector<std::string> chips, std::string& error);

    // The reads of passing `index` (0, 1, 2...: call in increasing order).
    std::vector<std::string> Reads(long long index);
    // The `which`-th malformed line, kinds in turn.
    std::string Malformed(long long which);
    // Half of a valid passing line (for a close in the middle of a line).
    std::string HalfLine(long long index);

    // The chip of passing `index` (0, 1, 2...: call in increasing order, and not
    // together with Reads), for reads stamped by a clock of their own.
    const std::string& Chip(long long index) { return RunnerChip(index); }
    // A read numbered `number` of `chip` at local epoch milliseconds `ms`.
    static std::string StampedLine(long long number, const std::string& chip, long long ms);

private:
    std::string Line(long long index, int read, const std::string& chip);
    const std::string& RunnerChip(long long index);

    Options options_;
    std::vector<std::string> chips_;
    long long baseMs_ = 0;  // local epoch milliseconds of passing 0
    bool zeroDate_ = false;
    std::mt19937 random_;
    std::vector<int> lapOrder_;
    long long lapNumber_ = -1;
};

}  // namespace sim::decoder

#include "UsbBoxOptions.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace sim::usbbox {

namespace {

bool ReadInteger(const char* text, long long low, long long high, long long& value, int base = 10) {
    char* end = nullptr;
    errno = 0;
    long long parsed = std::strtoll(text, &end, base);
    if (errno != 0 || end == text || *end != '\0' || parsed < low || parsed > high) return false;
    value = parsed;
    return true;
}

}  // namespace

void PrintHelp() {
    std::fprintf(stdout,
        "usage: lumivane-sim usbbox [options]\n"
        "Stands in for a USB TimingBox on a pseudo-terminal, whose path it prints first\n"
        "(\"device /dev/pts/N\"). Answers \"KEYWORD;status\", a value line, passing lines, then a\n"
        "blank line. Ticks run at 256 per second; EPOCHREFSET;E takes E as the second of the\n"
        "DTR pulse (a pseudo-terminal carries no DTR). Passings are kept in memory by index.\n"
        "  --runners N          field of runners, chips C00001... (default 10)\n"
        "  --chips FILE         chip codes from a chip table (\"<bib> <chip>\" lines)\n"
        "  --seed S             seed of the runner order and of the other numbers (default 1)\n"
        "  --first-index I      index of the first passing in memory, hexadecimal (default 0)\n"
        "  --stored N           passings in memory at start, a second apart (default 0)\n"
        "  --rate R             new passings per second, 0 = none (default 1)\n"
        "  --count N            new passings in all, 0 = no limit (default 0)\n"
        "  --ticks-start T      the tick counter at start, hexadecimal (default from the seed)\n"
        "  --synchronised       a clock reference set at start (default: 0;0, not synchronised)\n"
        "  --unsynchronised     refuse EPOCHREFSET: the reference stays 0;0\n"
        "  --firmware V         firmware version x 10 (default 26)\n"
        "  --batch N            passings per PASSINGGET at most (default 64)\n"
        "  --short-batch K      send only K passing lines of each batch, announcing them all\n"
        "  --malformed-every N  every N-th passing line lacks a component\n"
        "  --garble-every N     every N-th batch sent has one passing line damaged in transit\n"
        "  --extra-every N      every N-th batch sent has a line of noise among its passings\n"
        "  --late KEYWORD=MS    the first answer to KEYWORD comes MS ms late (repeatable)\n"
        "  --memory-reset N:K   after the N-th PASSINGGET the memory starts again from its\n"
        "                       first index, with K new passings\n"
        "  --bytes-per-second B the line sends at most B bytes a second\n"
        "  --junk-lines N       the first N answers each follow a 200 KB line of noise\n"
        "  --silent KEYWORD     never answer KEYWORD (repeatable)\n"
        "  --status KEYWORD=N   answer KEYWORD with status N (repeatable)\n"
        "  --value KEYWORD=TEXT answer KEYWORD with TEXT as its value line (repeatable)\n"
        "  --verbose            traffic on standard error\n"
        "  --help               this text\n");
}

bool ParseOptions(int argc, char** argv, Options& options, bool& help, std::string& error) {
    help = false;
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        auto value = [&](const char*& text) {
            if (i + 1 >= argc) {
                error = "missing value for " + name;
                return false;
            }
            text = argv[++i];
            return true;
        };
        const char* text = nullptr;
        long long number = 0;
        if (name == "--help") {
            help = true;
        } else if (name == "--verbose") {
            options.verbose = true;
        } else if (name == "--synchronised") {
            options.synchronised = true;
        } else if (name == "--unsynchronised") {
            options.unsynchronised = true;
        } else if (name == "--chips") {
            if (!value(text)) return false;
            options.chipsFile = text;
        } else if (name == "--silent") {
            if (!value(text)) return false;
            options.silent.insert(text);
        } else if (name == "--status") {
            if (!value(text)) return false;
            const char* equal = std::strchr(text, '=');
            if (!equal || !ReadInteger(equal + 1, -1000, 1000, number)) {
                error = "bad --status (KEYWORD=N)";
                return false;
            }
            options.status[std::string(text, equal)] = static_cast<int>(number);
        } else if (name == "--late") {
            if (!value(text)) return false;
            const char* equal = std::strchr(text, '=');
            if (!equal || equal == text || !ReadInteger(equal + 1, 0, 600000, number)) {
                error = "bad --late (KEYWORD=MS)";
                return false;
            }
            options.lateMs[std::string(text, equal)] = static_cast<int>(number);
        } else if (name == "--memory-reset") {
            if (!value(text)) return false;
            const char* colon = std::strchr(text, ':');
            long long keep = 0;
            if (!colon || !ReadInteger(std::string(text, colon).c_str(), 1, 1000000000LL, number) ||
                !ReadInteger(colon + 1, 0, 1000000LL, keep)) {
                error = "bad --memory-reset (N:K)";
                return false;
            }
            options.resetAfter = number;
            options.resetKeep = keep;
        } else if (name == "--value") {
            if (!value(text)) return false;
            const char* equal = std::strchr(text, '=');
            if (!equal || equal == text) {
                error = "bad --value (KEYWORD=TEXT)";
                return false;
            }
            options.value[std::string(text, equal)] = equal + 1;
        } else if (name == "--rate") {
            if (!value(text)) return false;
            char* end = nullptr;
            options.rate = std::strtod(text, &end);
            if (end == text || *end != '\0' || options.rate < 0) {
                error = "bad --rate";
                return false;
            }
        } else if (name == "--first-index" || name == "--ticks-start") {
            if (!value(text) || !ReadInteger(text, 0, 0xFFFFFFFFLL, number, 16)) {
                error = "bad " + name + " (hexadecimal)";
                return false;
            }
            if (name == "--first-index") {
                options.firstIndex = static_cast<uint32_t>(number);
            } else {
                options.ticksStart = static_cast<uint32_t>(number);
                options.ticksGiven = true;
            }
        } else if (name == "--runners" || name == "--seed" || name == "--stored" || name == "--count" ||
                   name == "--firmware" || name == "--batch" || name == "--short-batch" ||
                   name == "--malformed-every" || name == "--garble-every" || name == "--extra-every" ||
                   name == "--bytes-per-second" || name == "--junk-lines") {
            if (!value(text) || !ReadInteger(text, 0, 1000000000LL, number)) {
                error = "bad " + name;
                return false;
            }
            if (name == "--runners") options.runners = static_cast<int>(number);
            if (name == "--seed") options.seed = static_cast<uint32_t>(number);
            if (name == "--stored") options.stored = number;
            if (name == "--count") options.count = number;
            if (name == "--firmware") options.firmware = static_cast<int>(number);
            if (name == "--batch") options.batch = static_cast<int>(number);
            if (name == "--short-batch") options.shortBatch = static_cast<int>(number);
            if (name == "--malformed-every") options.malformedEvery = number;
            if (name == "--garble-every") options.garbleEvery = number;
            if (name == "--extra-every") options.extraEvery = number;
            if (name == "--bytes-per-second") options.bytesPerSecond = static_cast<int>(number);
            if (name == "--junk-lines") options.junkLines = static_cast<int>(number);
        } else {
            error = "unknown option " + name;
            return false;
        }
    }
    if (options.runners < 1) {
        error = "--runners must be at least 1";
        return false;
    }
    if (options.batch < 1) {
        error = "--batch must be at least 1";
        return false;
    }
    return true;
}

}  // namespace sim::usbbox

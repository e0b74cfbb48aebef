#include "TimingAppOptions.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace sim {
namespace {

bool ReadInt(const char* text, int low, int high, int& out) {
    char* end = nullptr;
    long value = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || value < low || value > high) return false;
    out = static_cast<int>(value);
    return true;
}

// "BIB=CODE"
bool ReadStatus(const char* text, std::map<int, int>& statusByBib) {
    const char* equal = std::strchr(text, '=');
    if (equal == nullptr) return false;
    std::string bibText(text, equal);
    int bib = 0;
    int code = 0;
    if (!ReadInt(bibText.c_str(), 1, 999999999, bib) || !ReadInt(equal + 1, -100000, 100000, code)) {
        return false;
    }
    statusByBib[bib] = code;
    return true;
}

}  // namespace

void PrintTimingAppUsage() {
    std::printf(
        "usage: lumivane-sim timingapp [options]\n"
        "Stands in for the timing application on a TCP port of 127.0.0.1: answers\n"
        "\"Ping()\", the information queries and each \"AddQoxClock(...)\" push.\n"
        "\n"
        "  --port P              listening port (default 8283); 0 picks a free one and\n"
        "                        prints \"port <n>\" as the first line of standard output\n"
        "  --version M,m,s,l     answer to GetVersion() (default 4,5,0,0)\n"
        "  --printable-version T answer to GetPrintableVersion() (default 4.50)\n"
        "  --layout L            runner answer layout: gm04, gm05, gm06 (default) or res1\n"
        "  --runners FILE        runners, one per line, fields separated by TAB or ';':\n"
        "                        bib;lastname;firstname;sex;shortcat;category[;team[;nation[;race]]]\n"
        "                        lines starting with '#' are comments\n"
        "  --field N             size of the generated field without --runners (default 200)\n"
        "  --lap-km D            distance credited per passing (default 5.0)\n"
        "  --status BIB=CODE     answer pushes for BIB with that status (e.g. 157=-8);\n"
        "                        repeatable; only status 3 (the default) counts a passing\n"
        "  --record FILE         append every received line, with its line end, to FILE\n"
        "  --drop-after N        close each connection after receiving N lines (no answer\n"
        "                        to the Nth)\n"
        "  --answer-delay MS     answer each push MS milliseconds after it came, in order\n"
        "                        (a slow timing application); other lines at once\n"
        "  --answers-record FILE append a line per push answered, once its answer left:\n"
        "                        the monotonic clock in ms, a blank, the push as received\n"
        "  --application T, --user T, --competition T, --filename T, --detectors T\n"
        "                        texts of the other information answers\n"
        "  --verbose             trace the traffic on standard error\n"
        "  --help                this text\n"
        "\n"
        "Answers: Ping() -> NFO:20; GetMode() -> NFO:24 <application>; GetUserName() ->\n"
        "NFO:25 <user>; GetCompetitionName() -> NFO:5 <competition>; GetFilename() ->\n"
        "NFO:6 <filename>; GetVersion() -> NFO:27 <version>; GetPrintableVersion() ->\n"
        "NFO:28 <printable>; GetDetectorList() -> NFO:7 <detectors>; a push for an unknown\n"
        "bib -> ERR:-5, for a label that is not a bib -> ERR:-2, malformed -> ERR:104;\n"
        "any other command -> ERR:103. Ranks follow the passings received: more passings\n"
        "first, then the earlier one to reach that count.\n");
    std::fflush(stdout);
}

int ParseTimingAppOptions(int argc, char** argv, TimingAppOptions& options, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        std::string name = argv[i];
        if (name == "--help" || name == "-h") {
            PrintTimingAppUsage();
            return 1;
        }
        if (name == "--verbose") {
            options.verbose = true;
            continue;
        }
        if (i + 1 >= argc) {
            error = "missing value after " + name;
            return 2;
        }
        const char* value = argv[++i];
        bool ok = true;
        if (name == "--port") {
            ok = ReadInt(value, 0, 65535, options.port);
        } else if (name == "--version") {
            options.version = value;
        } else if (name == "--printable-version") {
            options.printableVersion = value;
        } else if (name == "--layout") {
            options.layout = value;
            ok = options.layout == "gm04" || options.layout == "gm05" || options.layout == "gm06" ||
                 options.layout == "res1";
        } else if (name == "--runners") {
            options.runnersFile = value;
        } else if (name == "--field") {
            ok = ReadInt(value, 1, 100000, options.fieldSize);
        } else if (name == "--lap-km") {
            char* end = nullptr;
            options.lapKm = std::strtod(value, &end);
            ok = end != value && *end == '\0' && options.lapKm >= 0;
        } else if (name == "--status") {
            ok = ReadStatus(value, options.statusByBib);
        } else if (name == "--record") {
            options.recordFile = value;
        } else if (name == "--drop-after") {
            ok = ReadInt(value, 1, 1000000000, options.dropAfter);
        } else if (name == "--answer-delay") {
            ok = ReadInt(value, 0, 600000, options.answerDelayMs);
        } else if (name == "--answers-record") {
            options.answersFile = value;
        } else if (name == "--application") {
            options.application = value;
        } else if (name == "--user") {
            options.user = value;
        } else if (name == "--competition") {
            options.competition = value;
        } else if (name == "--filename") {
            options.filename = value;
        } else if (name == "--detectors") {
            options.detectors = value;
        } else {
            error = "unknown option " + name;
            return 2;
        }
        if (!ok) {
            error = "bad value for " + name + ": " + value;
            return 2;
        }
    }
    return 0;
}

}  // namespace sim

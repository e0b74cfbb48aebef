#include "DecoderOptions.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace sim::decoder {

namespace {

bool ReadInteger(const char* text, long long low, long long high, long long& value) {
    char* end = nullptr;
    errno = 0;
    long long parsed = std::strtoll(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || parsed < low || parsed > high) return false;
    value = parsed;
    return true;
}

bool IsDate(const std::string& text) {
    if (text == "today" || text == "zero") return true;
    int year = 0, month = 0, day = 0;
    char tail = 0;
    return text.size() == 10 && std::sscanf(text.c_str(), "%4d-%2d-%2d%c", &year, &month, &day, &tail) == 3;
}

}  // namespace

void PrintHelp() {
    std::fprintf(stdout,
        "usage: lumivane-sim decoder [options]\n"
        "Stands in for a network decoder: answers its commands and pushes passings.\n"
        "  --port P             listening port; 0 picks a free one and prints \"port <n>\" (default 0)\n"
        "  --bind ADDR          listening address (default 127.0.0.1)\n"
        "  --files-port P       serve the stored passings files over HTTP on P, at\n"
        "                       /media/passings_<id>.txt (0: a free port, printed as\n"
        "                       \"files-port <n>\"); default: no file server\n"
        "  --runners N          field of runners (default 10)\n"
        "  --repeats K          reads per passing, a burst of repeated reads (default 1)\n"
        "  --spread MS          time between the reads of a burst (default 20)\n"
        "  --rate R             passings per second, 0 = as fast as possible (default 10)\n"
        "  --count N            passings in all, over every session, 0 = no limit (default 0)\n"
        "  --date D             passing date: YYYY-MM-DD, today, or zero for 0000-00-00 (default today)\n"
        "  --start HH:MM:SS.mmm time of the first passing (default: now)\n"
        "  --step MS            time between two passings (default 100)\n"
        "  --keep-reading       read passings at --rate (above 0) from the start, a client connected\n"
        "                       or not, each stamped with the decoder's clock (the computer's, moved\n"
        "                       by SETTIME), and keep every read in the stored file of the day, id 1003\n"
        "                       (listed by LISTFILES, served by --files-port); a pushing client gets\n"
        "                       the reads made since it switched pushing on, never older ones.\n"
        "                       --date, --start and --step do not apply\n"
        "  --chips FILE         chip codes from a chip table (\"<bib> <chip>\" lines); else C00001...\n"
        "  --seed S             seed of the runner order (default 1)\n"
        "  --close-after N      close the connection after N lines sent in a session\n"
        "  --close-mid-line     with --close-after: send half of one more line before closing\n"
        "  --mute-after N       after N lines sent in a session, answer and send nothing, keep the socket\n"
        "  --malformed-every N  a malformed line before every N-th passing line (17 or 19 fields,\n"
        "                       bad date, binary bytes, a 6000-byte line), in turn\n"
        "  --cut-after N        once per process: after N passing lines pushed in a session, close\n"
        "                       the connection and refuse connections for --cut-seconds (the\n"
        "                       listening socket is closed, then opened again on the same port)\n"
        "  --cut-seconds S      length of that cut (default 10)\n"
        "  --verbose            traffic on standard error\n"
        "  --help               this text\n"
        "Passings are pushed after STARTOPERATION and SETPUSHPASSINGS;1;..., until SETPUSHPASSINGS;0;...\n"
        "or STOPOPERATION. Clients are served one after the other; each gets a fresh session.\n");
}

bool ParseOptions(int argc, char** argv, Options& options, bool& help, std::string& error) {
    help = false;
    bool cutSecondsGiven = false;
    for (int i = 1; i < argc; ++i) {
        std::string_view name = argv[i];
        auto needValue = [&]() -> const char* {
            if (i + 1 >= argc) {
                error = "missing value for " + std::string(name);
                return nullptr;
            }
            return argv[++i];
        };
        auto integer = [&](long long low, long long high, long long& out) {
            const char* value = needValue();
            if (!value) return false;
            if (!ReadInteger(value, low, high, out)) {
                error = "bad value for " + std::string(name) + ": " + value;
                return false;
            }
            return true;
        };
        long long number = 0;
        if (name == "--help" || name == "-h") {
            help = true;
            return true;
        } else if (name == "--verbose") {
            options.verbose = true;
        } else if (name == "--keep-reading") {
            options.keepReading = true;
        } else if (name == "--close-mid-line") {
            options.closeMidLine = true;
        } else if (name == "--port") {
            if (!integer(0, 65535, number)) return false;
            options.port = static_cast<int>(number);
        } else if (name == "--files-port") {
            if (!integer(0, 65535, number)) return false;
            options.filesPort = static_cast<int>(number);
        } else if (name == "--bind") {
            const char* value = needValue();
            if (!value) return false;
            options.bind = value;
        } else if (name == "--runners") {
            if (!integer(1, 1000000, number)) return false;
            options.runners = static_cast<int>(number);
        } else if (name == "--repeats") {
            if (!integer(1, 1000, number)) return false;
            options.repeats = static_cast<int>(number);
        } else if (name == "--spread") {
            if (!integer(0, 60000, number)) return false;
            options.spreadMs = static_cast<int>(number);
        } else if (name == "--rate") {
            const char* value = needValue();
            if (!value) return false;
            char* end = nullptr;
            options.rate = std::strtod(value, &end);
            if (end == value || *end != '\0' || options.rate < 0) {
                error = std::string("bad value for --rate: ") + value;
                return false;
            }
        } else if (name == "--count") {
            if (!integer(0, 1LL << 40, options.count)) return false;
        } else if (name == "--date") {
            const char* value = needValue();
            if (!value) return false;
            options.date = value;
            if (!IsDate(options.date)) {
                error = "bad value for --date: " + options.date;
                return false;
            }
        } else if (name == "--start") {
            const char* value = needValue();
            if (!value) return false;
            options.start = value;
        } else if (name == "--step") {
            if (!integer(0, 86400000, number)) return false;
            options.stepMs = static_cast<int>(number);
        } else if (name == "--chips") {
            const char* value = needValue();
            if (!value) return false;
            options.chipsFile = value;
        } else if (name == "--seed") {
            if (!integer(0, 0xFFFFFFFFLL, number)) return false;
            options.seed = static_cast<uint32_t>(number);
        } else if (name == "--close-after") {
            if (!integer(0, 1LL << 40, options.closeAfter)) return false;
        } else if (name == "--mute-after") {
            if (!integer(0, 1LL << 40, options.muteAfter)) return false;
        } else if (name == "--malformed-every") {
            if (!integer(0, 1LL << 40, options.malformedEvery)) return false;
        } else if (name == "--cut-after") {
            if (!integer(1, 1LL << 40, options.cutAfter)) return false;
        } else if (name == "--cut-seconds") {
            if (!integer(1, 86400, number)) return false;
            options.cutSeconds = static_cast<int>(number);
            cutSecondsGiven = true;
        } else {
            error = "unknown option: " + std::string(name);
            return false;
        }
    }
    // Reads are paced by the clock: "as fast as possible" would fill the memory at once.
    if (options.keepReading && options.rate <= 0) {
        error = "--keep-reading needs --rate above 0";
        return false;
    }
    if (cutSecondsGiven && options.cutAfter == 0) {
        error = "--cut-seconds needs --cut-after";
        return false;
    }
    return true;
}

}  // namespace sim::decoder

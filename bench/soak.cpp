// Soak: the program headless on a timing point left alone, two simulated decoders at
// the demo's rate and a simulated timing application, for 24 hours (or the seconds
// given as argument or in LUMIVANE_SOAK_SECONDS). Prints its memory and the disk use
// of its data folder as it goes: memory and logs level off, the journals grow with the
// detections they record (and are never removed: they are the race's record).
//
// The log is rotated at LUMIVANE_SOAK_LOG_KB kilobytes keeping LUMIVANE_SOAK_KEEP old
// files (5 MB and 4 by default, so that the logs reach their bound within hours).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/SoakPoint.h"

namespace {

long long Setting(const char* variable, long long otherwise) {
    const char* text = std::getenv(variable);
    return text != nullptr && *text != '\0' ? std::atoll(text) : otherwise;
}

double Megabytes(std::uint64_t kilobytes) { return static_cast<double>(kilobytes) / 1024.0; }

}  // namespace

int main(int argc, char** argv) {
    using Clock = std::chrono::steady_clock;
    const long long seconds = argc > 1 ? std::atoll(argv[1]) : Setting("LUMIVANE_SOAK_SECONDS", 24 * 3600);
    const long long logKilobytes = Setting("LUMIVANE_SOAK_LOG_KB", 5 * 1024);
    const long long keep = Setting("LUMIVANE_SOAK_KEEP", 4);
    // About a hundred rows whatever the length, at most one every 15 minutes.
    const long long every = std::clamp(seconds / 100, 1LL, 15 * 60LL);

    lv::test::SoakPoint point("LogMaxKilobytes=" + std::to_string(logKilobytes) +
                              "\r\nLogKeepFiles=" + std::to_string(keep) + "\r\n");
    if (!point.SimulatorsRunning() || !point.Started()) {
        std::fprintf(stderr, "soak: the simulators or the program did not start (build lumivane and lumivane-sim)\n");
        return 1;
    }
    std::printf("soak: %lld s, a row every %lld s, log rotated at %lld kB keeping %lld (0: never), data in %s\n",
                seconds, every, logKilobytes, keep, point.Data().Path().c_str());
    std::printf("%10s %10s %10s %12s %10s\n", "elapsed s", "RSS MB", "logs MB", "journals MB", "data MB");

    const auto start = Clock::now();
    lv::test::SoakSample first{};
    lv::test::SoakSample peak{};
    lv::test::SoakSample last{};
    for (long long row = 0;; ++row) {
        const auto due = start + std::chrono::seconds(row * every);
        while (Clock::now() < due) {
            if (!point.KeepRunning(200)) {
                std::fprintf(stderr, "soak: the program stopped after %lld s\n",
                             static_cast<long long>(std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - start).count()));
                return 1;
            }
        }
        last = point.Sample();
        if (row == 1) first = last;  // row 0 is the start, before the boxes are connected
        peak.rssKilobytes = std::max(peak.rssKilobytes, last.rssKilobytes);
        peak.logKilobytes = std::max(peak.logKilobytes, last.logKilobytes);
        std::printf("%10lld %10.1f %10.2f %12.2f %10.2f\n", row * every, Megabytes(last.rssKilobytes),
                    Megabytes(last.logKilobytes), Megabytes(last.journalKilobytes), Megabytes(last.dataKilobytes));
        std::fflush(stdout);
        if (row * every >= seconds) break;
    }
    std::printf("RSS: %.1f MB after %lld s, %.1f MB at the end, peak %.1f MB\n", Megabytes(first.rssKilobytes), every,
                Megabytes(last.rssKilobytes), Megabytes(peak.rssKilobytes));
    std::printf("logs: peak %.2f MB (rotation bound %.2f MB); journals %.2f MB (%.0f kB per hour)\n",
                Megabytes(peak.logKilobytes), Megabytes(static_cast<std::uint64_t>(logKilobytes * (keep + 1))),
                Megabytes(last.journalKilobytes),
                static_cast<double>(last.journalKilobytes) * 3600.0 / static_cast<double>(std::max(seconds, 1LL)));
    point.Program().Stop();
    return 0;
}

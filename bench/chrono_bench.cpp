// Throughput of the race-time value on the acquisition path: reading a decoder's time
// (normalise, absolute instant, time of day) and writing the window and file texts.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

#include "core/Chrono.h"

namespace {

template <typename Body>
void Measure(const char* name, int iterations, Body body) {
    const auto start = std::chrono::steady_clock::now();
    long checksum = 0;
    for (int i = 0; i < iterations; ++i) checksum += body(i);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%-44s %12.0f ops/s  (%d ops, %.3f s, check %ld)\n", name,
                iterations / seconds, iterations, seconds, checksum);
}

}  // namespace

int main(int argc, char** argv) {
    setenv("TZ", "Europe/Paris", 1);
    tzset();
    const int iterations = argc > 1 ? std::atoi(argv[1]) : 200000;
    const char* times[] = {"09:41:07.25", "09:41:07.5", "10:02:33.123", "23:59:59.9"};

    Measure("NormalizeFraction+ParseDateTime+ParseTimeMs", iterations, [&](int i) {
        std::string time = times[i & 3];
        lv::CChrono::NormalizeFraction(time);
        lv::CChrono absolute;
        lv::CChrono ofDay;
        const bool ok = absolute.ParseDateTime("20250105", time) && ofDay.ParseTimeMs(time);
        return ok ? static_cast<long>(absolute.Milliseconds() + ofDay.Seconds()) : -1L;
    });
    Measure("ParseTimeMs", iterations, [&](int i) {
        lv::CChrono ofDay;
        return ofDay.ParseTimeMs("09:41:07.250") ? static_cast<long>(ofDay.Seconds() + i % 2)
                                                 : -1L;
    });
    Measure("FormatHundredths", iterations, [](int i) {
        const lv::CChrono value(34867 + i % 1000, static_cast<uint16_t>(i % 1000));
        return static_cast<long>(value.FormatHundredths().size());
    });
    Measure("FormatDayWrap", iterations, [](int i) {
        const lv::CChrono value(34867 + (i % 4) * 40000, static_cast<uint16_t>(i % 1000));
        return static_cast<long>(value.FormatDayWrap().size());
    });
    return 0;
}

// Race times as decoders, files, the user and the cloud write them: a time that parses
// formats and parses back to itself; a local date and time parses back to its instant.
#include <fmt/format.h>

#include "FuzzSupport.h"
#include "core/Chrono.h"

using namespace lv;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input input(data, size);
    const uint8_t hundredths = input.Byte();
    const std::string_view first = input.Piece(' ');
    const std::string_view second = input.Rest();

    CChrono time;
    if (time.ParseTime(first)) {
        FUZZ_CHECK(time.Milliseconds() % 10 == 0);
        const std::string shown = time.FormatHundredths();
        CChrono back;
        FUZZ_CHECK(back.ParseTime(shown));
        FUZZ_CHECK(back == time);
        (void)time.FormatSeconds();
        (void)time.FormatSecondsUp();
        (void)time.FormatDayWrap();
        (void)time.FormatDigits();
    }
    CChrono precise;
    if (precise.ParseTimeMs(first)) {
        FUZZ_CHECK(precise.Milliseconds() < 1000);
        (void)precise.FormatHundredths();
    }
    std::string normalised(second);
    CChrono::NormalizeFraction(normalised);

    CChrono instant;
    if (instant.ParseDateTime(first, second)) {
        // Formatting gives the first occurrence of a repeated hour, as parsing reads it.
        const std::string clock = fmt::format("{}.{:03}", instant.FormatClock(), instant.Milliseconds());
        CChrono back;
        FUZZ_CHECK(back.ParseDateTime(instant.FormatDateCompact(), clock));
        FUZZ_CHECK(back == instant);
        (void)instant.FormatDate();
        (void)instant.FormatLongDate();
        (void)instant.FormatClockHundredths();
    }
    CChrono compact;
    if (compact.ParseDateTimeCompact(first, second, hundredths % 128)) FUZZ_CHECK(compact.Milliseconds() < 1000);
    CChrono iso;
    (void)iso.ParseIsoTimestamp(first, true);
    (void)iso.ParseIsoTimestamp(second, false);
    return 0;
}

// A network decoder's pushed or stored passing line: what reads keeps its chip as sent
// and a time that parses back to the same instant.
#include <fmt/format.h>

#include "FuzzSupport.h"
#include "boxes/PassingParser.h"
#include "core/CalendarTime.h"

using namespace lv;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view line(reinterpret_cast<const char*>(data), size);
    PassingRead read;
    if (!ReadPassingLine(line, read)) return 0;
    FUZZ_CHECK(!read.code.empty());
    FUZZ_CHECK(line.find(read.code) != std::string_view::npos);
    FUZZ_CHECK(read.date.size() == 8);
    FUZZ_CHECK(read.instant.Milliseconds() < 1000 && read.clockOfDay.Milliseconds() < 1000);
    FUZZ_CHECK(read.instant.Milliseconds() == read.clockOfDay.Milliseconds());
    // The instant is the box's date and time of day read as a local wall clock.
    CChrono back;
    const std::string clock = fmt::format("{}.{:03}", read.instant.FormatClock(), read.instant.Milliseconds());
    FUZZ_CHECK(back.ParseDateTime(read.instant.FormatDateCompact(), clock));
    FUZZ_CHECK(back == read.instant);
    // Following the box's clock keeps the instant or moves it to the repeated hour.
    std::optional<int64_t> previous = int64_t{read.instant.Seconds()} + 1800;
    PassingRead followed = read;
    FollowBoxClock(followed, previous);
    FUZZ_CHECK(followed.instant == read.instant || followed.instant.Seconds() == read.instant.Seconds() + 3600);
    FUZZ_CHECK(previous == followed.instant.Seconds());
    return 0;
}

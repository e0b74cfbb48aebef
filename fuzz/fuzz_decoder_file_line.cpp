// One line of a decoder output file: its fields, its marker form, its log form, and
// its date and time read the import's quick way, which must agree with the general
// parser (they once disagreed by an hour in the repeated autumn hour).
#include <algorithm>

#include "FuzzSupport.h"
#include "core/Chrono.h"
#include "import/DecoderFileLine.h"
#include "import/DetectionTimeReader.h"

using namespace lv;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view line(reinterpret_cast<const char*>(data), size);

    const std::string_view trimmed = TrimDecoderLine(line);
    FUZZ_CHECK(TrimDecoderLine(trimmed) == trimmed);

    std::string_view fields[kDetectionMinFields];
    const std::size_t count = SplitDecoderFields(line, fields, kDetectionMinFields);
    // Every ';' ends a field; the text after the last one is a field when not empty.
    const std::size_t semicolons = static_cast<std::size_t>(std::count(line.begin(), line.end(), ';'));
    const std::size_t tail = line.size() - (line.rfind(';') == std::string_view::npos ? 0 : line.rfind(';') + 1);
    FUZZ_CHECK(count == semicolons + (tail > 0 ? 1 : 0));
    std::string_view rest = line;
    for (std::size_t i = 0; i < std::min(count, kDetectionMinFields); ++i) {
        const std::size_t end = rest.find(';');
        FUZZ_CHECK(fields[i] == rest.substr(0, end));
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    }

    CTarvexMarker marker;
    if (ParseMarkerLine(line, marker)) {
        FUZZ_CHECK(IsMarkerLine(line) && marker.markerDate.size() == 8 && marker.markerTime.size() == 6);
        (void)marker.ClockText();
    }
    const std::string shown = PrintableLine(line);
    for (char c : shown) FUZZ_CHECK(static_cast<unsigned char>(c) >= 0x20 && c != 0x7f);

    if (count >= 4) {
        const std::string date = CompactDate(fields[2]);
        std::string time(fields[3]);
        CChrono::NormalizeFraction(time);
        DetectionTimeReader reader;
        CChrono quick, quickOfDay;
        const bool quickRead = reader.Read(date, time, quick, quickOfDay);
        CChrono general, generalOfDay;
        const bool generalRead = general.ParseDateTime(date, time) && generalOfDay.ParseTimeMs(time);
        FUZZ_CHECK(quickRead == generalRead);
        if (quickRead) {
            FUZZ_CHECK(quick == general);
            FUZZ_CHECK(quickOfDay == generalOfDay);
            // A second read of the same text by the same reader, now past it: equal.
            CChrono again, againOfDay;
            FUZZ_CHECK(reader.Read(date, time, again, againOfDay) && again == quick);
        }
    }
    return 0;
}

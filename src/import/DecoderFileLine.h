#pragma once
// The pieces of one line of a decoder output file: its fields, its marker form, and the
// form in which an invalid line is shown in a log.
#include <cstddef>
#include <string>
#include <string_view>

#include "import/ImportRecords.h"

namespace lv {

// A detection line has more than this many fields.
inline constexpr std::size_t kDetectionMinFields = 17;
// "GMark-", 8 characters of date, 6 of time and one separator before the label.
inline constexpr std::string_view kMarkerPrefix = "GMark-";
inline constexpr std::size_t kMarkerFixedLength = 6 + 8 + 6 + 1;

// The line without leading and trailing blanks, tabs, CR and LF.
std::string_view TrimDecoderLine(std::string_view line);

// Every ';' ends a field (empty fields count); the text after the last ';' is one more
// field only when it is not empty. Returns the number of fields; the first `max` of
// them are stored in `fields`.
std::size_t SplitDecoderFields(std::string_view line, std::string_view* fields, std::size_t max);

bool IsMarkerLine(std::string_view line);
// False for a line shorter than the marker's fixed part (nothing past its end is read).
bool ParseMarkerLine(std::string_view line, CTarvexMarker& marker);

// The date field without its dashes ("2024-05-12" gives "20240512").
std::string CompactDate(std::string_view date);

// The line as a log shows it: control bytes (binary content) become '.'.
std::string PrintableLine(std::string_view line);

}  // namespace lv

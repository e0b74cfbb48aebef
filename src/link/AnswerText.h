#pragma once
// Text helpers for the timing application's answers: the bytes on the wire are not
// trusted to be UTF-8 (the application may write Windows-1252), and field limits and
// column padding count characters, not bytes.
#include <cstddef>
#include <string>
#include <string_view>

namespace lv {

// The text as UTF-8: kept as it is when it is valid UTF-8, otherwise read as
// Windows-1252. NUL bytes become spaces; other control bytes (tab excepted) are
// written as \xNN, so that none reaches the log or a terminal.
std::string AnswerTextToUtf8(std::string_view bytes);

// At most maxChars characters of a UTF-8 text, never cutting a character in two.
std::string CutToChars(std::string_view utf8, std::size_t maxChars);

// The text padded on the right with spaces to width characters ("%-30s").
std::string PadToChars(std::string_view utf8, std::size_t width);

// Spaces removed at both ends.
std::string TrimSpaces(std::string_view text);

// A leading integer as "%d" reads it: blanks, an optional sign, at least one digit
// (saturated to the int range). Returns the characters consumed, 0 when there is no
// number (value untouched).
std::size_t ScanLeadingInt(std::string_view text, int& value);

}  // namespace lv

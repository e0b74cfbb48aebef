#pragma once
// Small readings of plain text that several layers share.
#include <cstddef>
#include <string>
#include <string_view>

namespace lv {

// The whole text as a number: 1 to 19 decimal digits (so that it fits), nothing else.
bool ReadWholeNumber(std::string_view text, std::size_t& value);

// The text without the blanks and line ends around it (as typed into a field).
std::string TrimmedText(std::string_view text);

}  // namespace lv

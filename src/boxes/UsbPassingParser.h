#pragma once
// The line formats of the USB TimingBox, without I/O: its replies ("KEYWORD;status",
// a value line, passing lines), its clock reference ("E;R" in hexadecimal: the
// instant E in seconds since 1970 at which its tick counter read R) and its passing
// lines ("<chip>;" then eleven hexadecimal numbers, the second the tick count).
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/Chrono.h"

namespace lv {

// Ticks of the box's counter per second.
inline constexpr uint32_t kUsbTicksPerSecond = 256;
// Components of a passing line: the chip and eleven numbers.
inline constexpr int kUsbPassingComponents = 12;
// Longest chip text read from a passing line; a longer one makes the line invalid.
inline constexpr std::size_t kMaxUsbChipChars = 64;

// A reply cut into its lines (carriage returns dropped): the status line, the value
// line (empty when missing) and the lines after it.
struct UsbReply {
    std::string statusLine;
    std::string valueLine;
    std::vector<std::string> moreLines;
};
UsbReply SplitUsbReply(std::string_view response);

// The status of "KEYWORD;%d" on the status line, -1 when it does not read.
int UsbReplyStatus(const std::string& statusLine, const char* keyword);

// Two hexadecimal numbers "%x;%x". False when two numbers do not read.
bool ReadHexPair(const std::string& text, uint32_t& first, uint32_t& second);

// The absolute instant of tick count `ticks` with the reference "E;R": E + (ticks − R)
// / 256 seconds, the difference taken modulo 2^32 (the counter wraps) and read as
// signed (a passing before the reference instant comes before E), milliseconds
// truncated. False when the reference does not read.
bool UsbTicksToTime(const std::string& epochReference, uint32_t ticks, CChrono& absolute);

struct UsbPassing {
    std::string chip;
    uint32_t index = 0;  // the box's index of the passing (first number)
    uint32_t ticks = 0;
};
// Reads a passing line; returns the number of components read (12 for a whole line;
// 0 when the chip is not printable text).
int ParseUsbPassing(const std::string& line, UsbPassing& passing);

}  // namespace lv

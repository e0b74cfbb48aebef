#include "boxes/UsbPassingParser.h"

#include <cstdio>
#include <fmt/format.h>

namespace lv {

UsbReply SplitUsbReply(std::string_view response) {
    UsbReply reply;
    std::size_t start = 0;
    int index = 0;
    while (start <= response.size()) {
        std::size_t feed = response.find('\n', start);
        std::size_t end = feed == std::string_view::npos ? response.size() : feed;
        std::string line(response.substr(start, end - start));
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (index == 0) {
            reply.statusLine = std::move(line);
        } else if (index == 1) {
            reply.valueLine = std::move(line);
        } else {
            reply.moreLines.push_back(std::move(line));
        }
        ++index;
        if (feed == std::string_view::npos) break;
        start = feed + 1;
    }
    return reply;
}

int UsbReplyStatus(const std::string& statusLine, const char* keyword) {
    int status = -1;
    const std::string format = fmt::format("{};%d", keyword);
    if (std::sscanf(statusLine.c_str(), format.c_str(), &status) != 1) return -1;
    return status;
}

bool ReadHexPair(const std::string& text, uint32_t& first, uint32_t& second) {
    unsigned int a = 0, b = 0;
    if (std::sscanf(text.c_str(), "%x;%x", &a, &b) != 2) return false;
    first = a;
    second = b;
    return true;
}

bool UsbTicksToTime(const std::string& epochReference, uint32_t ticks, CChrono& absolute) {
    uint32_t epoch = 0, reference = 0;
    if (!ReadHexPair(epochReference, epoch, reference)) return false;
    // The difference wraps with the counter; read as signed, a passing stored before
    // the reference instant lands before it (not 2^32 ticks, 194 days, later), and a
    // counter that wrapped since the reference still counts forward.
    const int64_t elapsed = static_cast<int32_t>(ticks - reference);
    const int64_t ticksPerSecond = kUsbTicksPerSecond;
    const int64_t whole = elapsed >= 0 ? elapsed / ticksPerSecond : -((-elapsed + ticksPerSecond - 1) / ticksPerSecond);
    const int64_t seconds = int64_t{epoch} + whole;
    const int64_t milliseconds = (elapsed - whole * ticksPerSecond) * 1000 / ticksPerSecond;
    // CChrono holds signed 32-bit seconds: a reference that far out is no time at all.
    if (seconds > INT32_MAX || seconds < INT32_MIN) return false;
    absolute = CChrono(static_cast<int32_t>(seconds), static_cast<uint16_t>(milliseconds));
    return true;
}

int ParseUsbPassing(const std::string& line, UsbPassing& passing) {
    char chip[kMaxUsbChipChars + 1] = {};
    unsigned int n[11] = {};
    // The chip is read within its bound: a longer one stops the reading at the bound.
    static const std::string format = fmt::format("%{}[^;];%x;%x;%x;%x;%x;%x;%x;%x;%x;%x;%x", kMaxUsbChipChars);
    int read = std::sscanf(line.c_str(), format.c_str(), chip, &n[0], &n[1], &n[2], &n[3], &n[4], &n[5], &n[6],
                           &n[7], &n[8], &n[9], &n[10]);
    if (read < 0) read = 0;
    // A chip goes into the journal and the timing application's lines: printable text only.
    for (const char* c = chip; *c; ++c) {
        if (static_cast<unsigned char>(*c) <= 0x20 || static_cast<unsigned char>(*c) >= 0x7F) return 0;
    }
    passing.chip = chip;
    passing.index = n[0];
    passing.ticks = n[1];
    return read;
}

}  // namespace lv

// The USB TimingBox's answers as far as they are read without the box: a reply cut
// into its lines, its status, its clock reference, its passing lines.
#include <algorithm>

#include <fmt/format.h>

#include "FuzzSupport.h"
#include "boxes/UsbPassingParser.h"

using namespace lv;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input input(data, size);
    const uint32_t ticks = uint32_t{input.Byte()} << 24 | uint32_t{input.Byte()} << 8 | input.Byte();
    const std::string_view response = input.Rest();

    const UsbReply reply = SplitUsbReply(response);
    std::size_t lines = 1 + (reply.valueLine.empty() && reply.moreLines.empty() ? 0 : 1) + reply.moreLines.size();
    FUZZ_CHECK(lines <= 1 + static_cast<std::size_t>(std::count(response.begin(), response.end(), '\n')));
    for (const char* keyword : {"PASSINGGET", "PASSINGINFOGET", "INFOGET", "TIMESTAMPGET", "EPOCHREFGET"}) {
        (void)UsbReplyStatus(reply.statusLine, keyword);
    }

    uint32_t first = 0, second = 0;
    if (ReadHexPair(reply.valueLine, first, second)) {
        uint32_t again1 = 0, again2 = 0;
        FUZZ_CHECK(ReadHexPair(fmt::format("{:x};{:x}", first, second), again1, again2));
        FUZZ_CHECK(again1 == first && again2 == second);
        CChrono absolute;
        if (UsbTicksToTime(reply.valueLine, ticks, absolute)) {
            // Within the signed half of the counter's range of the reference instant.
            const int64_t apart = int64_t{absolute.Seconds()} - int64_t{first};
            FUZZ_CHECK(apart <= (int64_t{1} << 31) / kUsbTicksPerSecond + 1);
            FUZZ_CHECK(apart >= -((int64_t{1} << 31) / kUsbTicksPerSecond) - 1);
            FUZZ_CHECK(absolute.Milliseconds() < 1000);
        }
    }

    for (const std::string& line : reply.moreLines) {
        UsbPassing passing;
        const int components = ParseUsbPassing(line, passing);
        FUZZ_CHECK(components >= 0 && components <= kUsbPassingComponents);
        FUZZ_CHECK(passing.chip.size() <= kMaxUsbChipChars);
        for (char c : passing.chip) FUZZ_CHECK(c > 0x20 && c < 0x7F);
        if (components == kUsbPassingComponents) {
            UsbPassing again;
            const std::string rebuilt = fmt::format("{};0;{:x};0;0;0;0;0;0;0;0;0", passing.chip, passing.ticks);
            FUZZ_CHECK(ParseUsbPassing(rebuilt, again) == kUsbPassingComponents);
            FUZZ_CHECK(again.chip == passing.chip && again.ticks == passing.ticks);
        }
    }
    return 0;
}

// A USB TimingBox's PASSINGGET reply, asked at any index, decoded into its run of
// passings: never more than announced, each at the index after the one before (the
// box's 32-bit space wraps), chips bounded and printable, and the run's end explained.
#include "FuzzSupport.h"
#include "boxes/UsbAnswers.h"
#include "boxes/UsbPassingParser.h"

using namespace lv;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input input(data, size);
    const uint32_t asked = uint32_t{input.Byte()} << 24 | uint32_t{input.Byte()} << 16 |
                           uint32_t{input.Byte()} << 8 | input.Byte();
    const std::string_view reply = input.Rest();
    const UsbBatch batch = DecodePassingBatch(reply, asked);

    if (batch.status != 0 || !batch.valueRead) FUZZ_CHECK(batch.passings.empty());
    FUZZ_CHECK(batch.passings.size() <= batch.announced);
    uint32_t expected = asked;
    for (const UsbBatchPassing& passing : batch.passings) {
        FUZZ_CHECK(passing.index == expected);
        expected = NextUsbIndex(expected);
        FUZZ_CHECK(!passing.chip.empty() && passing.chip.size() <= kMaxUsbChipChars);
        for (char c : passing.chip) FUZZ_CHECK(c > 0x20 && c < 0x7F);
    }
    // A run cut short says why; a whole run says nothing broke it.
    if (batch.status == 0 && batch.valueRead && batch.passings.size() < batch.announced)
        FUZZ_CHECK(batch.broken != UsbBatchBreak::None);
    if (batch.broken == UsbBatchBreak::None && batch.status == 0 && batch.valueRead)
        FUZZ_CHECK(batch.passings.size() == batch.announced);

    if (const auto counts = DecodePassingInfo(std::string(reply.substr(0, 256)))) (void)UsbMemoryBehind(*counts, asked);
    (void)DecodeInfo(std::string(reply.substr(0, 256)));
    return 0;
}

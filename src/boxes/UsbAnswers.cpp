#include "boxes/UsbAnswers.h"

#include <cstdio>

#include "boxes/UsbPassingParser.h"

namespace lv {

UsbBatch DecodePassingBatch(std::string_view text, uint32_t askedIndex) {
    UsbBatch batch;
    UsbReply reply = SplitUsbReply(text);
    batch.statusLine = std::move(reply.statusLine);
    batch.valueLine = std::move(reply.valueLine);
    batch.status = UsbReplyStatus(batch.statusLine, "PASSINGGET");
    batch.valueRead = ReadHexPair(batch.valueLine, batch.first, batch.announced);
    if (batch.status != 0 || !batch.valueRead) return batch;

    // Blank lines close the reply; they are no passings.
    std::size_t lines = reply.moreLines.size();
    while (lines > 0 && reply.moreLines[lines - 1].empty()) --lines;
    uint32_t expected = askedIndex;
    std::size_t at = 0;
    for (; at < lines && batch.passings.size() < batch.announced; ++at) {
        const std::string& line = reply.moreLines[at];
        UsbPassing passing;
        const int components = ParseUsbPassing(line, passing);
        if (components < kUsbPassingComponents) {
            batch.broken = UsbBatchBreak::Unreadable;
            batch.brokenComponents = components;
            batch.brokenLine = line;
            break;
        }
        // Each line names its own index: a line in the wrong place (one lost, one
        // added, an old reply) must not pass for the passing expected.
        if (passing.index != expected) {
            batch.broken = UsbBatchBreak::OutOfOrder;
            batch.brokenIndex = passing.index;
            batch.brokenLine = line;
            break;
        }
        batch.passings.push_back(UsbBatchPassing{passing.index, std::move(passing.chip), passing.ticks, line});
        expected = NextUsbIndex(expected);
    }
    if (batch.broken == UsbBatchBreak::None) {
        if (batch.passings.size() < batch.announced) batch.broken = UsbBatchBreak::Missing;
        for (; at < lines; ++at) ++batch.extraLines;
    }
    return batch;
}

std::optional<UsbPassingCounts> DecodePassingInfo(const std::string& valueLine) {
    unsigned int n[5] = {};
    if (std::sscanf(valueLine.c_str(), "%x;%x;%x;%x;%x", &n[0], &n[1], &n[2], &n[3], &n[4]) != 5) return std::nullopt;
    return UsbPassingCounts{n[0], n[1], n[2], n[3], n[4]};
}

bool UsbMemoryBehind(const UsbPassingCounts& counts, uint32_t index) {
    // The box holds first .. first + count - 1: the next passing it stores gets
    // first + count. Further on (or before first), the index is not the box's.
    return static_cast<uint32_t>(index - counts.firstIndex) > counts.count;
}

std::optional<UsbInfoValue> DecodeInfo(const std::string& valueLine) {
    UsbInfoValue info;
    if (!ReadHexPair(valueLine, info.item, info.value)) return std::nullopt;
    return info;
}

}  // namespace lv

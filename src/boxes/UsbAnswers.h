#pragma once
// The USB TimingBox's answers decoded without I/O: the reply of a PASSINGGET (status
// line, value line, passing lines) into the passings it gives in order and what broke
// their run, and the value lines of PASSINGINFOGET and INFOGET into their numbers.
// No box, transport or exchange: any text goes in, so that they can be fed anything.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lv {

// One passing of a batch, at the index the box gave it.
struct UsbBatchPassing {
    uint32_t index = 0;
    std::string chip;
    uint32_t ticks = 0;
    std::string line;  // as received, for the log
};

// Why the run of a batch's passings ended before its announced count.
enum class UsbBatchBreak {
    None,        // every announced passing came, in order
    Unreadable,  // a line that is no passing line (fewer than 12 components)
    OutOfOrder,  // a passing line whose index is not the next one
    Missing,     // the reply ended before the announced count
};

struct UsbBatch {
    int status = -1;  // "PASSINGGET;%d", -1 when it does not read
    std::string statusLine;
    std::string valueLine;
    bool valueRead = false;  // the value line gave two numbers
    // Status 0: the first index and the number announced; status 10: 0 and the box's
    // first index.
    uint32_t first = 0;
    uint32_t announced = 0;
    // The passings from the index asked, in order, up to the first line out of place.
    std::vector<UsbBatchPassing> passings;
    UsbBatchBreak broken = UsbBatchBreak::None;
    std::string brokenLine;       // the line that broke the run (Unreadable, OutOfOrder)
    int brokenComponents = 0;     // components read of an unreadable line
    uint32_t brokenIndex = 0;     // index read on an out-of-place line
    std::size_t extraLines = 0;   // lines beyond the announced count
};

// The index after `index`, in the box's 32-bit space (it wraps as the box does).
inline uint32_t NextUsbIndex(uint32_t index, uint32_t step = 1) { return index + step; }

// Decodes the text of a PASSINGGET reply asked at `askedIndex`. Only a status 0 reply
// with a readable value line has passings.
UsbBatch DecodePassingBatch(std::string_view reply, uint32_t askedIndex);

struct UsbPassingCounts {
    uint32_t count = 0;
    uint32_t firstIndex = 0;
    uint32_t firstTicks = 0;
    uint32_t lastIndex = 0;
    uint32_t lastTicks = 0;
};
// The PASSINGINFOGET value line: five hexadecimal fields.
std::optional<UsbPassingCounts> DecodePassingInfo(const std::string& valueLine);
// True when the box, as `counts` shows it, holds no passing at `index` nor would hold
// the next one there: its memory holds fewer passings than that index implies (it
// started again, or is another box).
bool UsbMemoryBehind(const UsbPassingCounts& counts, uint32_t index);

struct UsbInfoValue {
    uint32_t item = 0;
    uint32_t value = 0;
};
// The INFOGET value line: item and value.
std::optional<UsbInfoValue> DecodeInfo(const std::string& valueLine);

}  // namespace lv
